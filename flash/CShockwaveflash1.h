// Wrapper of the Flash control that runs the game's loader movie in the game window.
//
// Until the control itself is hosted here, the wrapper is a plain child window with the control's
// id, so that the game window's layout, focus and keyboard filter have a real window to work on;
// the calls on the movie do nothing.
#pragma once

#include "framework/CWnd.h"

#include <string>

class CShockwaveflash1 : public CWnd {
public:
    virtual BOOL Create(LPCWSTR windowName, DWORD style, const RECT& rect, CWnd* pParentWnd, UINT id) {
        if (!pParentWnd || !pParentWnd->m_hWnd)
            return FALSE;
        return CreateEx(0, L"Static", windowName, style | WS_CHILD, rect, pParentWnd->m_hWnd, id);
    }

    void Play() {}
    void Stop() {}
    // Calls a function of the movie with an ExternalInterface request; the movie's reply.
    std::wstring CallFunction(const std::wstring&) { return {}; }

    void put_Menu(bool) {}
    void put_AllowFullScreen(const std::wstring&) {}
    void put_AllowScriptAccess(const std::wstring&) {}
    void put_WMode(const std::wstring&) {}
    void put_BackgroundColor(long) {}
    void put_FlashVars(const std::wstring&) {}
    void LoadMovie(long, const std::wstring&) {}
};

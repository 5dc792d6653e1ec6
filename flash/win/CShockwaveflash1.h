// Wrapper of the Shockwave Flash control that runs the game's loader movie in the game window:
// creation by class id as a child window, and typed calls by DISPID. Its events (FlashCall,
// OnReadyStateChange) reach the parent's event-sink map.
#pragma once

#include "flash/core/FlashCopy.h"
#include "framework/ControlWnd.h"

#include <string>

namespace kelvo {

class FlashCopyLibrary;

class CShockwaveflash1 : public ControlWnd {
public:
    // Creates the control as a child window (style WS_CHILD added) with the given rectangle, parent
    // and id: from the copy beside the program when it gives one, otherwise from the registered
    // class, with one debug-output line about a copy that is there. FALSE when neither gives a
    // control that can be hosted.
    virtual BOOL Create(LPCWSTR windowName, DWORD style, const RECT& rect, CWnd* pParentWnd, UINT id);
    // The same with style WS_CHILD only and no window text.
    BOOL Create(CWnd* pParentWnd, const RECT& rect, UINT id);
    // The control from `copy` alone: None when it is hosted here, otherwise why not, with the
    // failing result in *code (0 when there is none).
    FlashCopyFault CreateFromCopy(const FlashCopyLibrary& copy, DWORD style, const RECT& rect,
                                  CWnd* pParentWnd, UINT id, std::uint32_t* code = nullptr);

    // Property puts.
    HRESULT Menu(bool show);
    HRESULT AllowFullScreen(const std::wstring& value);
    HRESULT AllowScriptAccess(const std::wstring& value);
    HRESULT WMode(const std::wstring& value);
    HRESULT BackgroundColor(long colour);
    HRESULT FlashVars(const std::wstring& value);
    // Methods.
    HRESULT LoadMovie(long layer, const std::wstring& url);
    HRESULT Play();
    HRESULT Stop();
    // Calls a function of the movie with an ExternalInterface request; the movie's reply, empty when
    // the call failed.
    std::wstring CallFunction(const std::wstring& request);
};

// The Flash control's class and its event interface.
extern const CLSID CLSID_KelvoShockwaveFlash;
extern const IID DIID_KelvoShockwaveFlashEvents;

// Event DISPIDs of the Flash control.
inline constexpr DISPID kDispidFlashCall = 197;
inline constexpr DISPID kDispidFlashReadyStateChange = -609;

} // namespace kelvo

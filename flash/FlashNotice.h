// What the game window shows in place of the Flash control when the control cannot be created
// (no Flash Player installed, as on current Windows): a plain child window with a notice that
// the game needs a Flash Player, instead of an empty window.
#pragma once

#include "framework/CWnd.h"
#include "framework/Handles.h"

class CFlashNotice : public CWnd {
public:
    // A visible child of the parent with the given rectangle and id.
    BOOL Create(CWnd* pParentWnd, const RECT& rect, UINT id);

    static const wchar_t* const kTitle;
    static const wchar_t* const kText;

protected:
    void OnPaint();
    BOOL OnEraseBkgnd(HDC hdc);

    DECLARE_MESSAGE_MAP()

private:
    UniqueFont m_fontTitle;
    UniqueFont m_fontText;
};

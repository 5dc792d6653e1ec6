// What the game window shows in place of the Flash control when the control cannot be created
// (no Flash Player installed, as on current Windows): a plain child window with a notice that
// the game needs a Flash Player, instead of an empty window.
#pragma once

#include "framework/CWnd.h"
#include "framework/Handles.h"

#include <string>

namespace kelvo {

class FlashNotice : public CWnd {
public:
    // A visible child of the parent with the given rectangle and id. `reloadable`: F5 can enter
    // the game again from this window (there is a re-entry address); otherwise the notice says to
    // leave the game and enter it again, the only way back then.
    BOOL Create(CWnd* pParentWnd, const RECT& rect, UINT id, bool reloadable);
    // The explanation under the title: the reason, then what brings the game back.
    const std::wstring& GetText() const noexcept { return m_strText; }

    static const wchar_t* const kTitle;
    static const wchar_t* const kReason;
    static const wchar_t* const kAdvicePressF5;
    static const wchar_t* const kAdviceEnterAgain;

protected:
    void OnPaint();
    BOOL OnEraseBkgnd(HDC hdc);

    DECLARE_MESSAGE_MAP()

private:
    UniqueFont m_fontTitle;
    UniqueFont m_fontText;
    std::wstring m_strText;
};

} // namespace kelvo

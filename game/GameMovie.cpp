// The Flash host of the game window: the loader movie in a new Flash control on every load, its
// layout on the first ready-state change, the reload message, and the notice shown where no Flash
// Player exists.
#include "game/tarvinGame.h"

#include "framework/Text.h"

#include <algorithm>

// "Note: do you really want to leave the game?" with ASCII ':' and '?'.
const wchar_t* const tarvinGame::kDefaultLeaveGamePrompt =
    L"\u63D0\u793A:\u60A8\u786E\u5B9A\u8981\u79BB\u5F00\u5F53\u524D\u6E38\u620F\u5417?";

BEGIN_EVENTSINK_MAP(tarvinGame, CDialog)
ON_EVENT_LONG(kGameControlId, kDispidFlashReadyStateChange, OnFlashReadyStateChange)
ON_EVENT_WSTRING(kGameControlId, kDispidFlashCall, HandleFlashCall)
END_EVENTSINK_MAP()

void tarvinGame::LoadGameMovie(const std::wstring& query) {
    // The caller may pass our own stored query.
    const std::wstring whole = query;

    if (m_pFlashCtrl) {
        m_pFlashCtrl->Stop();
        m_pFlashCtrl.reset();
    }
    m_pFlashNotice.reset();
    m_pFlashCtrl = std::make_unique<CShockwaveflash1>();
    m_bReadyLayoutDone = false;
    m_strLeaveGamePrompt = kDefaultLeaveGamePrompt;

    RECT client{};
    if (m_hWnd)
        ::GetClientRect(m_hWnd, &client);
    const RECT place{kGameBorderWidth, kGameCaptionHeight, client.right - kGameBorderWidth,
                     client.bottom - kGameBorderWidth};
    const bool created = m_hWnd && m_pFlashCtrl->Create(this, place, kGameControlId);

    // Stored before anything can fail, so that every reload path finds the query again.
    m_strGameQuery = whole;
    const std::size_t kept = std::min(whole.size(), kGameQueryCapacity - 1);
    std::copy_n(whole.data(), kept, m_szGameQuery);
    m_szGameQuery[kept] = L'\0';

    if (!created) {
        // No Flash Player: say so in the control's place; a later load tries the control again.
        m_pFlashCtrl.reset();
        if (m_hWnd) {
            m_pFlashNotice = std::make_unique<CFlashNotice>();
            if (!m_pFlashNotice->Create(this, place, 0, CanRefresh()))
                m_pFlashNotice.reset();
            LayoutGameControl();
        }
        return;
    }
    CShockwaveflash1& flash = *m_pFlashCtrl;
    ::MoveWindow(flash.m_hWnd, kGameBorderWidth, kGameCaptionHeight, client.right - 2 * kGameBorderWidth,
                 client.bottom - kGameCaptionHeight - kGameBorderWidth, TRUE);
    flash.ShowWindow(SW_SHOW);

    flash.Menu(false);
    flash.AllowFullScreen(L"true");
    flash.AllowScriptAccess(L"always");
    flash.WMode(L"direct");
    flash.BackgroundColor(0);

    const GameMoviePlan plan = PlanGameMovie(ToU16(m_strGameQuery));
    if (plan.flashVars && plan.movieUrl) {
        flash.FlashVars(ToWide(*plan.flashVars));
        flash.LoadMovie(0, ToWide(*plan.movieUrl));
    }
    // A handler of the load's events may have replaced or removed the control meanwhile.
    if (m_pFlashCtrl.get() == &flash)
        flash.Play();
}

void tarvinGame::OnFlashReadyStateChange(long) {
    if (m_bReadyLayoutDone)
        return;
    m_bReadyLayoutDone = true;
    LayoutGameControl();
}

LRESULT tarvinGame::OnReloadMovie(WPARAM, LPARAM) {
    // The whole stored query: m_szGameQuery holds its first 1499 units, and nothing of a longer
    // query may be lost from a reload.
    LoadGameMovie(m_strGameQuery);
    return 0;
}

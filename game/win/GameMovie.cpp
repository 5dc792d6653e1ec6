// The Flash host of the game window: the loader movie in a new Flash control on every load, its
// layout on the first ready-state change, the reload message, and the notice shown where no Flash
// Player exists.
#include "game/win/tarvinGame.h"

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
    // The keyboard was the game's (the old control had it, or lost it with the window active):
    // the new control takes it over, so that F5 and the game's own keys work without a click.
    const bool hadKeyboard = m_hWnd && ::GetActiveWindow() == m_hWnd;

    // Every call below may raise an event whose handler replaces or removes the control (a new
    // game entry or a reload message during a leave question, the question answered Yes). Each
    // control gets its own number, and a load stops as soon as its control is no longer current.
    const unsigned generation = ++m_nFlashGeneration;
    const auto current = [this, generation] { return m_nFlashGeneration == generation && m_pFlashCtrl; };

    if (m_pFlashCtrl) {
        m_pFlashCtrl->Stop();
        if (m_nFlashGeneration != generation)
            return;
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
            if (hadKeyboard)
                ::SetFocus(m_hWnd);
        }
        return;
    }
    ::MoveWindow(m_pFlashCtrl->m_hWnd, kGameBorderWidth, kGameCaptionHeight,
                 client.right - 2 * kGameBorderWidth, client.bottom - kGameCaptionHeight - kGameBorderWidth,
                 TRUE);
    m_pFlashCtrl->ShowWindow(SW_SHOW);
    if (hadKeyboard)
        ::SetFocus(m_pFlashCtrl->m_hWnd);

    // Each call goes to the control of this load only, never to one that replaced it.
    const auto call = [&](auto&& step) {
        if (current())
            step(*m_pFlashCtrl);
    };
    call([](CShockwaveflash1& f) { f.Menu(false); });
    call([](CShockwaveflash1& f) { f.AllowFullScreen(L"true"); });
    call([](CShockwaveflash1& f) { f.AllowScriptAccess(L"always"); });
    call([](CShockwaveflash1& f) { f.WMode(L"direct"); });
    call([](CShockwaveflash1& f) { f.BackgroundColor(0); });
    const GameMoviePlan plan = PlanGameMovie(ToU16(m_strGameQuery));
    if (plan.flashVars && plan.movieUrl) {
        call([&](CShockwaveflash1& f) { f.FlashVars(ToWide(*plan.flashVars)); });
        call([&](CShockwaveflash1& f) { f.LoadMovie(0, ToWide(*plan.movieUrl)); });
    }
    call([](CShockwaveflash1& f) { f.Play(); });
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

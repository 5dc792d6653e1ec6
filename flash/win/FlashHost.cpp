#include "flash/win/FlashHost.h"

#include "framework/Text.h"
#include "res/resource.h"

#include <algorithm>

namespace kelvo {

void FlashHost::Load(CWnd& parent, std::wstring query, const RECT& place, bool reloadable) {
    // The keyboard was the game's (the old control had it, or lost it with the window active):
    // the new control takes it over, so that F5 and the game's own keys work without a click.
    const HWND window = parent.m_hWnd;
    const bool hadKeyboard = window && ::GetActiveWindow() == window;

    if (!RemoveControl(Removal::Stop))
        return;
    // Every call below may raise an event whose handler replaces or removes the control (a new
    // game entry or a reload message during a leave question, the question answered Yes). Each
    // control gets its own number, and a load stops as soon as its control is no longer current.
    const unsigned generation = ++m_nFlashGeneration;
    const auto current = [this, generation] { return m_nFlashGeneration == generation && m_pFlashCtrl; };

    m_pFlashNotice.reset();
    m_pFlashCtrl = std::make_unique<CShockwaveflash1>();
    m_bReadyLayoutDone = false;
    const bool created = window && m_pFlashCtrl->Create(&parent, place, IDC_FLASH);

    // Stored before anything can fail, so that every reload path finds the query again.
    m_strGameQuery = std::move(query);
    const std::size_t kept = std::min(m_strGameQuery.size(), kGameQueryCapacity - 1);
    std::copy_n(m_strGameQuery.data(), kept, m_szGameQuery);
    m_szGameQuery[kept] = L'\0';

    if (!created) {
        // No Flash Player: say so in the control's place; a later load tries the control again.
        m_pFlashCtrl.reset();
        if (window) {
            m_pFlashNotice = std::make_unique<FlashNotice>();
            if (!m_pFlashNotice->Create(&parent, place, 0, reloadable))
                m_pFlashNotice.reset();
            if (hadKeyboard)
                ::SetFocus(window);
        }
        return;
    }
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
    std::u16string refusal;
    const GameMoviePlan plan = PlanGameMovie(ToU16(m_strGameQuery), BuiltInTrustedHosts(), refusal);
    if (!refusal.empty())
        ::OutputDebugStringW(ToWide(refusal).c_str());
    if (plan.flashVars && plan.movieUrl) {
        call([&](CShockwaveflash1& f) { f.FlashVars(ToWide(*plan.flashVars)); });
        call([&](CShockwaveflash1& f) { f.LoadMovie(0, ToWide(*plan.movieUrl)); });
    }
    call([](CShockwaveflash1& f) { f.Play(); });
}

bool FlashHost::RemoveControl(Removal how) {
    if (m_pFlashCtrl) {
        const unsigned generation = ++m_nFlashGeneration;
        if (how == Removal::Stop) {
            m_pFlashCtrl->Stop();
            if (m_nFlashGeneration != generation)
                return false;
        }
        m_pFlashCtrl.reset();
    }
    m_bReadyLayoutDone = false;
    return true;
}

bool FlashHost::ReadyStateChanged() noexcept {
    if (m_bReadyLayoutDone)
        return false;
    m_bReadyLayoutDone = true;
    return true;
}

} // namespace kelvo

// The Flash control inside the window that shows the game: the loader movie in a new control on
// every load, the query it came from for the reloads, the control's end, and the notice shown in its
// place where no Flash Player exists. The window passes in what the host needs of it (itself as the
// parent, the place, whether F5 enters again) and keeps the control's events in its own sink map,
// since the parent receives them.
#pragma once

#include "flash/core/GameMoviePlan.h"
#include "flash/win/CShockwaveflash1.h"
#include "flash/win/FlashNotice.h"

#include <memory>
#include <string>

namespace kelvo {

class FlashHost {
public:
    enum class Removal {
        Stop,   // the movie is stopped first
        Destroy // the control only goes, as when its window goes with the parent's
    };

    // Replaces the control by a new one, child of `parent` at `place` (the parent's client
    // coordinates), that runs the loader movie named by `query`. Where no control can be created,
    // the notice takes the place; `reloadable` tells it whether F5 brings the game back. The
    // keyboard goes to the new control (or the parent) when the parent had it.
    void Load(CWnd& parent, std::wstring query, const RECT& place, bool reloadable);
    // Ends the control, if any, and any load still calling it. False when stopping it let another
    // load replace it (one of its own events did): that control stays.
    bool RemoveControl(Removal how);
    // The current control's ready state changed: true the first time only, when the window fits
    // the control into its place.
    bool ReadyStateChanged() noexcept;

    // The current control; none before the first load, after a removal, or where the notice stands.
    CShockwaveflash1* Control() const noexcept { return m_pFlashCtrl.get(); }
    // The notice's window where no control could be created; none otherwise.
    HWND NoticeWindow() const noexcept { return m_pFlashNotice ? m_pFlashNotice->m_hWnd : nullptr; }
    // The whole query of the last load, for the reloads.
    const std::wstring& GameQuery() const noexcept { return m_strGameQuery; }

private:
    friend struct FlashHostProbe; // the host's state, for the tests

    std::unique_ptr<CShockwaveflash1> m_pFlashCtrl;
    // Counts the replacements and removals of m_pFlashCtrl: a load whose control is no longer the
    // current one stops calling it.
    unsigned m_nFlashGeneration = 0;
    wchar_t m_szGameQuery[kGameQueryCapacity] = {};
    // The whole last query: m_szGameQuery holds at most 1499 units of it, and nothing of a longer
    // query may be lost from the FlashVars or from a reload.
    std::wstring m_strGameQuery;
    bool m_bReadyLayoutDone = false;
    // Shown in the control's place when no control could be created.
    std::unique_ptr<FlashNotice> m_pFlashNotice;
};

} // namespace kelvo

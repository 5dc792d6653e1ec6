// When the login page is asked for again after the web view completed a page of the control's own
// (an address beginning with "res://"). The first such page is the placeholder, and the login page
// follows it at once. Every later one is the control's error page for a request that failed (the
// portal unreachable, a resolver without a network): the request is repeated after a delay that
// doubles with each failure in a row, up to a cap, so that a launcher without a network waits
// instead of spinning. A completed page of the portal starts the schedule from its beginning and
// cancels a repetition still waiting; so does, without the restart, every navigation the program
// starts itself.
#pragma once

namespace kelvo {

class LoginPageRetry {
public:
    static constexpr unsigned kFirstDelayMs = 500;
    static constexpr unsigned kMaxDelayMs = 30000;

    // A page of the control's own completed. 0: ask for the login page now; otherwise ask once that
    // many milliseconds have passed (a repetition already waiting is replaced).
    unsigned OnOwnPageCompleted() noexcept;
    // Any other page completed. True when a repetition was waiting and is to be cancelled.
    bool OnPortalPageCompleted() noexcept;
    // The program sends the web view somewhere itself (a re-entry, the hand-off's reset, the
    // placeholder's request). True when a repetition was waiting and is to be cancelled: it would
    // take the view away from that navigation before its page completes. The delays stay as they are.
    bool OnOwnNavigation() noexcept;
    // The delay has passed. True when the login page is to be asked for now; false when no
    // repetition waits any more (a page completed meanwhile).
    bool OnDelayElapsed() noexcept;

private:
    bool m_bPlaceholderDone = false;
    bool m_bWaiting = false;
    unsigned m_nNextDelayMs = kFirstDelayMs;
};

} // namespace kelvo

#include "login/core/LoginPageRetry.h"

#include <utility>

namespace kelvo {

unsigned LoginPageRetry::OnOwnPageCompleted() noexcept {
    if (!m_bPlaceholderDone) {
        // Nothing has failed yet: the placeholder only stands in until the login page arrives.
        m_bPlaceholderDone = true;
        return 0;
    }
    const unsigned delay = m_nNextDelayMs;
    m_nNextDelayMs = delay >= kMaxDelayMs / 2 ? kMaxDelayMs : delay * 2;
    m_bWaiting = true;
    return delay;
}

bool LoginPageRetry::OnPortalPageCompleted() noexcept {
    m_nNextDelayMs = kFirstDelayMs;
    const bool wasWaiting = m_bWaiting;
    m_bWaiting = false;
    return wasWaiting;
}

bool LoginPageRetry::OnOwnNavigation() noexcept {
    return std::exchange(m_bWaiting, false);
}

bool LoginPageRetry::OnDelayElapsed() noexcept {
    const bool wasWaiting = m_bWaiting;
    m_bWaiting = false;
    return wasWaiting;
}

} // namespace kelvo

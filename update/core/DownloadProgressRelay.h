// What a download running on a worker thread tells the thread of the progress window, and the one
// thing that thread tells it back: stop. The worker writes, the window's thread reads when it
// likes (a timer), so the read loop pays two relaxed atomics a read and never waits for a window.
#pragma once

#include "update/core/DownloadFlow.h"

#include <atomic>
#include <cstdint>
#include <optional>

namespace kelvo {

class DownloadProgressRelay final : public DownloadObserver {
public:
    // Worker side.
    void BodyStarted(std::optional<std::uint64_t> announced) override;
    bool Continue(std::uint64_t received) override;

    // Window side. Nothing until the body has started; then the announced length, if any.
    std::optional<std::optional<std::uint64_t>> Started() const;
    std::uint64_t Received() const { return m_received.load(std::memory_order_relaxed); }
    // The download stops before its next read.
    void Stop() { m_stopped.store(true, std::memory_order_relaxed); }

private:
    static constexpr std::uint64_t kNoLength = ~std::uint64_t{0};

    std::atomic<std::uint64_t> m_received{0};
    std::atomic<std::uint64_t> m_length{kNoLength};
    std::atomic<bool> m_started{false};
    std::atomic<bool> m_stopped{false};
};

} // namespace kelvo

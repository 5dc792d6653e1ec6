#include "update/core/DownloadProgressRelay.h"

namespace kelvo {

void DownloadProgressRelay::BodyStarted(std::optional<std::uint64_t> announced) {
    m_length.store(announced.value_or(kNoLength), std::memory_order_relaxed);
    // Release: a reader that sees the start sees the length.
    m_started.store(true, std::memory_order_release);
}

bool DownloadProgressRelay::Continue(std::uint64_t received) {
    m_received.store(received, std::memory_order_relaxed);
    return !m_stopped.load(std::memory_order_relaxed);
}

std::optional<std::optional<std::uint64_t>> DownloadProgressRelay::Started() const {
    if (!m_started.load(std::memory_order_acquire))
        return std::nullopt;
    const std::uint64_t length = m_length.load(std::memory_order_relaxed);
    return length == kNoLength ? std::optional<std::uint64_t>() : std::optional<std::uint64_t>(length);
}

} // namespace kelvo

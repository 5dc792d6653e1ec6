#include "update/core/DownloadFlow.h"

#include <limits>
#include <vector>

namespace kelvo {

std::chrono::milliseconds SteadyNow() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
}

DownloadOutcome RunDownload(DownloadTransport& transport, const DownloadLimits& limits,
                            const DownloadClock& clock, DownloadObserver* observer) {
    const std::chrono::milliseconds start = clock();
    const auto late = [&] { return clock() - start > limits.deadline; };
    if (!transport.Send())
        return DownloadOutcome::Failed;
    const std::optional<int> status = transport.StatusCode();
    if (!status)
        return DownloadOutcome::Failed;
    if (*status != 200) {
        transport.ShowDownloadFailed();
        return DownloadOutcome::Failed;
    }
    const std::optional<std::uint64_t> announced = transport.ContentLength();
    if (announced && *announced > limits.maxBytes)
        return DownloadOutcome::OverLimit; // nothing written yet
    if (!transport.CreateDestination())
        return DownloadOutcome::Failed;
    if (observer)
        observer->BodyStarted(announced);

    std::vector<std::byte> block(kReadBlockSize);
    std::uint64_t received = 0;
    for (;;) {
        if (late())
            return DownloadOutcome::OverLimit;
        if (observer && !observer->Continue(received))
            return DownloadOutcome::Cancelled;
        const std::optional<std::size_t> count = transport.Read(block);
        if (!count) // a read that the observer's stop cut short is the stop's
            return observer && !observer->Continue(received) ? DownloadOutcome::Cancelled
                                                             : DownloadOutcome::Failed;
        if (*count == 0)
            break;
        if (*count > limits.maxBytes - received)
            return DownloadOutcome::OverLimit;
        // A short write (disk full, device error) would leave a truncated executable behind.
        if (!transport.Write(std::span<const std::byte>(block.data(), *count)))
            return DownloadOutcome::Failed;
        received += *count;
    }
    if (!transport.CloseDestination())
        return DownloadOutcome::Failed;
    // A connection that ends early reads like the end of the body; only the length tells.
    return !announced || received >= *announced ? DownloadOutcome::Complete : DownloadOutcome::Failed;
}

bool RunDownload(DownloadTransport& transport) {
    return RunDownload(transport, kExecutableLimits, SteadyNow) == DownloadOutcome::Complete;
}

std::optional<std::uint64_t> ParseContentLength(std::u16string_view text) {
    const auto blank = [](char16_t c) { return c == u' ' || c == u'\t'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    if (text.empty())
        return std::nullopt;
    std::uint64_t value = 0;
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
    for (const char16_t c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        const auto digit = static_cast<std::uint64_t>(c - u'0');
        if (value > (kMax - digit) / 10)
            return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

} // namespace kelvo

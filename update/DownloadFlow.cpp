#include "update/DownloadFlow.h"

#include <limits>
#include <vector>

namespace kelvo::update {

bool RunDownload(DownloadTransport& transport) {
    if (!transport.Send())
        return false;
    const std::optional<int> status = transport.StatusCode();
    if (!status)
        return false;
    if (*status != 200) {
        transport.ShowDownloadFailed();
        return false;
    }
    const std::optional<std::uint64_t> announced = transport.ContentLength();
    if (!transport.CreateDestination())
        return false;

    std::vector<std::byte> block(kReadBlockSize);
    std::uint64_t received = 0;
    for (;;) {
        const std::optional<std::size_t> count = transport.Read(block);
        if (!count)
            return false;
        if (*count == 0)
            break;
        // A short write (disk full, device error) would leave a truncated executable behind.
        if (!transport.Write(std::span<const std::byte>(block.data(), *count)))
            return false;
        received += *count;
    }
    if (!transport.CloseDestination())
        return false;
    // A connection that ends early reads like the end of the body; only the length tells.
    return !announced || received >= *announced;
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

} // namespace kelvo::update

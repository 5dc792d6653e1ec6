#include "update/core/UpdateProgress.h"

#include <algorithm>

namespace kelvo {

namespace {

std::u16string Decimal(std::uint64_t value) {
    std::u16string digits;
    do {
        digits.insert(digits.begin(), static_cast<char16_t>(u'0' + value % 10));
        value /= 10;
    } while (value != 0);
    return digits;
}

} // namespace

std::u16string FormatSize(std::uint64_t bytes) {
    constexpr std::uint64_t kKiB = 1024;
    constexpr std::uint64_t kMiB = kKiB * 1024;
    if (bytes < kMiB)
        return Decimal(bytes / kKiB) + u" KB";
    const std::uint64_t whole = bytes / kMiB;
    const std::uint64_t tenth = (bytes % kMiB) * 10 / kMiB;
    return Decimal(whole) + u"." + Decimal(tenth) + u" MB";
}

std::u16string FormatRate(std::uint64_t bytesPerSecond) {
    return FormatSize(bytesPerSecond) + u"/s";
}

void UpdateProgress::Start(std::optional<std::uint64_t> length, std::chrono::milliseconds now) {
    if (m_state != UpdateProgressState::Idle)
        return;
    m_state = UpdateProgressState::Downloading;
    m_length = length;
    m_received = 0;
    m_rate.reset();
    m_spanStart = now;
    m_spanBytes = 0;
    m_lastRedraw.reset();
}

void UpdateProgress::Received(std::uint64_t bytes, std::chrono::milliseconds now) {
    if (!Running())
        return;
    m_received = bytes;
    const std::chrono::milliseconds span = now - m_spanStart;
    if (span >= kRateSpan) {
        m_rate = (bytes - std::min(bytes, m_spanBytes)) * 1000 / static_cast<std::uint64_t>(span.count());
        m_spanStart = now;
        m_spanBytes = bytes;
    }
}

void UpdateProgress::Cancel() {
    if (Running())
        m_state = UpdateProgressState::Cancelled;
}

void UpdateProgress::Finish(bool complete) {
    if (m_state == UpdateProgressState::Cancelled)
        return;
    m_state = complete ? UpdateProgressState::Done : UpdateProgressState::Failed;
}

std::optional<int> UpdateProgress::Bar() const {
    if (!m_length)
        return std::nullopt;
    if (*m_length == 0 || m_received >= *m_length)
        return kBarRange;
    // In two steps, so that no length up to 2^64 overflows.
    const std::uint64_t permille =
        *m_length >= (1ull << 40) ? m_received / (*m_length / kBarRange) : m_received * kBarRange / *m_length;
    return static_cast<int>(std::min<std::uint64_t>(permille, kBarRange));
}

std::u16string UpdateProgress::Text() const {
    // "已下载 " — downloaded.
    std::u16string text = u"\u5df2\u4e0b\u8f7d ";
    text += FormatSize(m_received);
    if (m_length) {
        text += u" / ";
        text += FormatSize(*m_length);
    }
    if (m_rate) {
        text += u" (";
        text += FormatRate(*m_rate);
        text += u")";
    }
    return text;
}

namespace {

bool TakeDue(std::optional<std::chrono::milliseconds>& last, std::chrono::milliseconds interval,
             std::chrono::milliseconds now) {
    if (last && now - *last < interval)
        return false;
    last = now;
    return true;
}

} // namespace

bool UpdateProgress::TakeRedraw(std::chrono::milliseconds now) {
    return Running() && TakeDue(m_lastRedraw, kRedrawInterval, now);
}

} // namespace kelvo

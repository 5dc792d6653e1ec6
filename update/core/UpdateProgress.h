// What the progress window of the new executable's download shows, and what the player's Cancel
// decides. Portable: the window hands in the download's count with the time, asks whether it still
// runs, and draws what this says.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace kelvo {

enum class UpdateProgressState {
    Idle,        // no body has arrived yet: no window
    Downloading, // the window is shown
    Cancelled,   // the player said no: the download stops and its file is removed
    Done,        // the body arrived whole; the update goes on without the window
    Failed,      // ended as the download would have ended without the window
};

class UpdateProgress {
public:
    // The bar's fill runs from 0 to this.
    static constexpr int kBarRange = 1000;
    // The window takes the download's count and redraws its line and bar at most this often: a
    // fast download spends its time reading, not drawing.
    static constexpr std::chrono::milliseconds kRedrawInterval{100};
    // The rate shown is measured over spans of at least this length.
    static constexpr std::chrono::milliseconds kRateSpan{1000};

    // The server answered 200: the window shows, with the announced length, if any.
    void Start(std::optional<std::uint64_t> length, std::chrono::milliseconds now);
    // The bytes written so far.
    void Received(std::uint64_t bytes, std::chrono::milliseconds now);
    // Cancel, Escape, the window's close button, the frame's close button: a running download stops;
    // at any other time nothing happens.
    void Cancel();
    // The download has returned.
    void Finish(bool complete);

    UpdateProgressState State() const { return m_state; }
    bool Running() const { return m_state == UpdateProgressState::Downloading; }
    // The fill out of kBarRange; nothing when no length was announced (the bar runs as a marquee).
    std::optional<int> Bar() const;
    // "已下载 1.2 MB / 1.5 MB (120 KB/s)"; without a length, no " / ..."; before the first rate
    // span has passed, no rate.
    std::u16string Text() const;
    // True when the window should be redrawn now; then not again before kRedrawInterval has passed.
    bool TakeRedraw(std::chrono::milliseconds now);

private:
    UpdateProgressState m_state = UpdateProgressState::Idle;
    std::optional<std::uint64_t> m_length;
    std::uint64_t m_received = 0;
    std::optional<std::uint64_t> m_rate; // bytes a second
    std::chrono::milliseconds m_spanStart{0};
    std::uint64_t m_spanBytes = 0;
    std::optional<std::chrono::milliseconds> m_lastRedraw;
};

// "512 KB" below one MiB (whole KiB, rounded down), "1.5 MB" from there (tenths, rounded down).
std::u16string FormatSize(std::uint64_t bytes);
// FormatSize + "/s".
std::u16string FormatRate(std::uint64_t bytesPerSecond);

} // namespace kelvo

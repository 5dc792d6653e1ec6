// One HTTP GET streamed into one file, as the self-update needs it: the manifest and the new
// executable. The transport (WinINet on Windows, a recorder in the tests) does the platform work;
// this file decides what counts as a complete download.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string_view>

namespace kelvo {

// The body passes through one block of this size; memory does not grow with the file.
inline constexpr std::size_t kReadBlockSize = 10240;

// A server, or anyone on the path, could otherwise stream without end (filling the disk) or trickle
// a byte at a time (never tripping the receive timeout), and the check runs on the GUI thread.
struct DownloadLimits {
    std::uint64_t maxBytes;
    // From the start of the download; checked between reads, so a transfer ends at most one
    // receive timeout after it.
    std::chrono::milliseconds deadline;
};
// The manifest is an INI file with a few short keys.
inline constexpr DownloadLimits kManifestLimits{64u << 10, std::chrono::seconds(30)};
inline constexpr DownloadLimits kExecutableLimits{256u << 20, std::chrono::minutes(5)};

enum class DownloadOutcome {
    Complete,
    Failed,    // as the transport or the server ended it; nothing is removed
    OverLimit, // stopped at a bound; the caller removes what was written
    Cancelled, // stopped by the observer, between reads or in one; the caller removes what was written
};

// Milliseconds from any fixed point.
using DownloadClock = std::function<std::chrono::milliseconds()>;
std::chrono::milliseconds SteadyNow();

class DownloadTransport {
public:
    virtual ~DownloadTransport() = default;

    // Opens the session, connects and sends the request. False on any failure.
    virtual bool Send() = 0;
    // The final status code (after redirects); nothing when the response has none (the connection
    // ended before a status line), which is a failure of the connection, not an answer.
    virtual std::optional<int> StatusCode() = 0;
    // The announced body length, if the response carries a usable Content-Length.
    virtual std::optional<std::uint64_t> ContentLength() = 0;
    virtual void ShowDownloadFailed() = 0;
    // Creates or truncates the destination file.
    virtual bool CreateDestination() = 0;
    // Bytes read into block; 0 at the end of the body; nothing on a read failure.
    virtual std::optional<std::size_t> Read(std::span<std::byte> block) = 0;
    // True only when every byte was written.
    virtual bool Write(std::span<const std::byte> bytes) = 0;
    // Closes the destination; false when the system reports that the data did not reach it.
    virtual bool CloseDestination() = 0;
};

// Told of the body while it arrives, between reads, and asked each time whether to go on. It runs on
// the thread of the download; a window on another thread reads what it was told.
class DownloadObserver {
public:
    virtual ~DownloadObserver() = default;
    // The server answered 200 and the destination is open: the announced length, if any.
    virtual void BodyStarted(std::optional<std::uint64_t> announced) = 0;
    // Before each read, with the bytes written so far; false stops the download (Cancelled). Asked
    // again after a failed read: false then makes the failure Cancelled too (the stop cut it short).
    virtual bool Continue(std::uint64_t received) = 0;
};

// Complete when the server answered 200 and the whole body (all of it, when a length was announced)
// was written to the destination within the limits. A status other than 200 is shown to the user;
// nothing else is. A body announced or found larger than limits.maxBytes, or still arriving at the
// deadline, is OverLimit: it fails as a dropped connection does.
DownloadOutcome RunDownload(DownloadTransport& transport, const DownloadLimits& limits,
                            const DownloadClock& clock, DownloadObserver* observer = nullptr);

// Complete within the executable's limits, by the steady clock.
bool RunDownload(DownloadTransport& transport);

// A Content-Length value: decimal digits with optional surrounding blanks; anything else, or a value
// beyond 64 bits, counts as not announced.
std::optional<std::uint64_t> ParseContentLength(std::u16string_view text);

} // namespace kelvo

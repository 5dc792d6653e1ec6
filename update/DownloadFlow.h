// One HTTP GET streamed into one file, as the self-update needs it: the manifest and the new
// executable. The transport (WinINet on Windows, a recorder in the tests) does the platform work;
// this file decides what counts as a complete download.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace kelvo::update {

// The body passes through one block of this size; memory does not grow with the file.
inline constexpr std::size_t kReadBlockSize = 10240;

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

// True when the server answered 200 and the whole body (all of it, when a length was announced)
// was written to the destination. A status other than 200 is shown to the user; nothing else is.
bool RunDownload(DownloadTransport& transport);

// A Content-Length value: decimal digits with optional surrounding blanks; anything else, or a value
// beyond 64 bits, counts as not announced.
std::optional<std::uint64_t> ParseContentLength(std::u16string_view text);

} // namespace kelvo::update

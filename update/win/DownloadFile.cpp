// DownloadFile over WinINet, with the system's proxy settings.
#include "update/win/DownloadFile.h"

#include "framework/CWinApp.h"
#include "framework/CatchLog.h"
#include "framework/InternetHandle.h"
#include "update/core/DownloadFlow.h"
#include "update/core/LongPath.h"
#include "update/core/UpdateFlow.h"
#include "framework/Text.h"

#include <wininet.h>

#include <algorithm>
#include <cwchar>

namespace kelvo {

namespace {

class WinInetTransport final : public DownloadTransport {
public:
    // How long a request may wait for the server's next bytes before the download fails.
    static constexpr DWORD kReceiveTimeoutMs = 15000;

    WinInetTransport(const std::wstring& url, const std::wstring& path) : m_url(url), m_path(path) {}
    // The file closes before the request, the connection and the session.
    ~WinInetTransport() override = default;
    WinInetTransport(const WinInetTransport&) = delete;
    WinInetTransport& operator=(const WinInetTransport&) = delete;

    bool Send() override {
        m_session.reset(
            ::InternetOpenW(AfxGetAppName().c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
        if (!m_session)
            return false;
        DWORD timeout = 2000;
        DWORD retries = 1;
        ::InternetSetOptionExW(m_session.get(), INTERNET_OPTION_CONNECT_TIMEOUT, &timeout, sizeof timeout, 0);
        ::InternetSetOptionExW(m_session.get(), INTERNET_OPTION_CONNECT_RETRIES, &retries, sizeof retries, 0);
        // A server that takes the connection and never answers would otherwise hold the login
        // dialog's first paint, and with it the whole launcher, for as long as it likes.
        DWORD receiveTimeout = kReceiveTimeoutMs;
        ::InternetSetOptionExW(m_session.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, &receiveTimeout,
                               sizeof receiveTimeout, 0);

        // Pointer mode: the parts point into m_url, nothing is decoded.
        URL_COMPONENTSW parts{};
        parts.dwStructSize = sizeof parts;
        parts.dwHostNameLength = 1;
        parts.dwUrlPathLength = 1;
        parts.dwExtraInfoLength = 1;
        if (!::InternetCrackUrlW(m_url.c_str(), static_cast<DWORD>(m_url.size()), ICU_BROWSER_MODE, &parts))
            return false;
        if (!parts.lpszHostName || parts.dwHostNameLength == 0)
            return false;
        const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
        std::wstring object;
        if (parts.lpszUrlPath)
            object.assign(parts.lpszUrlPath, parts.dwUrlPathLength);
        if (parts.lpszExtraInfo)
            object.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
        if (object.empty())
            object = L"/";
        // The parser gives 443 for an https address without a port; such an address is fetched over TLS.
        const DWORD secure = parts.nScheme == INTERNET_SCHEME_HTTPS ? INTERNET_FLAG_SECURE : 0;

        m_connection.reset(::InternetConnectW(m_session.get(), host.c_str(), parts.nPort, nullptr, nullptr,
                                              INTERNET_SERVICE_HTTP, 0, 0));
        if (!m_connection)
            return false;
        m_request.reset(::HttpOpenRequestW(m_connection.get(), L"GET", object.c_str(), L"HTTP/1.0", nullptr,
                                           nullptr, INTERNET_FLAG_EXISTING_CONNECT | secure, 0));
        if (!m_request)
            return false;
        // Also on the request itself: not every implementation passes the session's value on.
        ::InternetSetOptionExW(m_request.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, &receiveTimeout,
                               sizeof receiveTimeout, 0);
        return ::HttpSendRequestW(m_request.get(), nullptr, 0, nullptr, 0) != FALSE;
    }

    std::optional<int> StatusCode() override {
        wchar_t status[40] = {}; // 80 bytes
        DWORD size = sizeof status - sizeof status[0];
        if (!::HttpQueryInfoW(m_request.get(), HTTP_QUERY_STATUS_CODE, status, &size, nullptr))
            return std::nullopt;
        const long code = std::wcstol(status, nullptr, 10);
        if (code <= 0)
            return std::nullopt;
        return static_cast<int>(code);
    }

    std::optional<std::uint64_t> ContentLength() override {
        wchar_t length[40] = {};
        DWORD size = sizeof length - sizeof length[0];
        if (!::HttpQueryInfoW(m_request.get(), HTTP_QUERY_CONTENT_LENGTH, length, &size, nullptr))
            return std::nullopt;
        return ParseContentLength(ToU16(length));
    }

    void ShowDownloadFailed() override {
        AfxMessageBox(ToWide(kDownloadFailedText).c_str(), MB_OK | MB_ICONWARNING);
    }

    bool CreateDestination() override {
        m_file.reset(::CreateFileW(ToWide(ToFileApiPath(ToU16(m_path))).c_str(), GENERIC_WRITE,
                                   FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        return static_cast<bool>(m_file);
    }

    std::optional<std::size_t> Read(std::span<std::byte> block) override {
        // A read waits for what has arrived, not for a whole block: the synchronous read would
        // otherwise wait for the block to fill, and a trickling server would never reach the
        // download's deadline check between reads.
        DWORD available = 0;
        if (!::InternetQueryDataAvailable(m_request.get(), &available, 0, 0))
            return std::nullopt;
        if (available == 0)
            return 0; // the end of the body
        DWORD got = 0;
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(available, block.size()));
        if (!::InternetReadFile(m_request.get(), block.data(), want, &got))
            return std::nullopt;
        return got;
    }

    bool Write(std::span<const std::byte> bytes) override {
        DWORD written = 0;
        return ::WriteFile(m_file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
               written == bytes.size();
    }

    bool CloseDestination() override {
        if (!m_file)
            return true;
        // Closed here rather than by the owner: the result tells whether the data reached the file.
        return ::CloseHandle(m_file.release()) != FALSE;
    }

private:
    std::wstring m_url;
    std::wstring m_path;
    // Closed in reverse: file, request, connection, session.
    InternetHandle m_session;
    InternetHandle m_connection;
    InternetHandle m_request;
    UniqueFile m_file;
};

} // namespace

bool DownloadFile(const std::wstring& url, const std::wstring& path, const kelvo::DownloadLimits& limits,
                  DownloadObserver* observer) {
    try {
        DownloadOutcome outcome = DownloadOutcome::Failed;
        {
            WinInetTransport transport(url, path);
            outcome = RunDownload(transport, limits, SteadyNow, observer);
        }
        if (outcome == DownloadOutcome::Cancelled) {
            // The player said no: nothing of it stays, and nothing is said.
            ::DeleteFileW(ToWide(ToFileApiPath(ToU16(path))).c_str());
        } else if (outcome == DownloadOutcome::OverLimit) {
            // Closed above; what came of an endless or trickling body is no use to anyone.
            ::DeleteFileW(ToWide(ToFileApiPath(ToU16(path))).c_str());
            ::OutputDebugStringW(L"kelvo update: download stopped at its size or time bound");
        }
        return outcome == DownloadOutcome::Complete;
    } catch (...) {
        KELVO_LOG_CAUGHT();
        return false;
    }
}

bool DownloadFile(const std::wstring& url, const std::wstring& path) {
    return DownloadFile(url, path, kelvo::kExecutableLimits);
}

} // namespace kelvo

// DownloadFile over WinINet, with the system's proxy settings.
#include "update/win/DownloadFile.h"

#include "framework/CWinApp.h"
#include "framework/CatchLog.h"
#include "framework/Handles.h"
#include "framework/InternetHandle.h"
#include "update/core/DownloadFlow.h"
#include "update/core/LongPath.h"
#include "update/core/UpdateFlow.h"
#include "framework/Text.h"

#include <wininet.h>

#include <algorithm>
#include <atomic>
#include <cwchar>

namespace kelvo {

namespace {

// Where a request's asynchronous calls complete. A call that the closing of its handle does not cut
// short (Wine's) runs on until the server answers or the receive timeout passes, and reports then,
// after the download has gone; so WinINet holds a reference of its own, given up with the last
// report of the request's handle (INTERNET_STATUS_HANDLE_CLOSING).
class AsyncCompletion {
public:
    static AsyncCompletion* Create() {
        auto* completion = new AsyncCompletion;
        if (!completion->m_hDone) {
            completion->Release();
            return nullptr;
        }
        return completion;
    }
    AsyncCompletion(const AsyncCompletion&) = delete;
    AsyncCompletion& operator=(const AsyncCompletion&) = delete;

    void AddRef() noexcept { m_refs.fetch_add(1, std::memory_order_relaxed); }
    void Release() noexcept {
        if (m_refs.fetch_sub(1, std::memory_order_acq_rel) == 1)
            delete this;
    }
    // Set (and reset by the wait) when a call completes.
    HANDLE Done() const noexcept { return m_hDone.get(); }
    // Where a query of the data available writes its count: a query that completes later writes it
    // then, even after the download has gone.
    DWORD* Available() noexcept { return &m_available; }
    bool Succeeded() const noexcept { return m_succeeded.load(std::memory_order_acquire); }

    static void CALLBACK Report(HINTERNET, DWORD_PTR context, DWORD status, void* info, DWORD) noexcept {
        auto* completion = reinterpret_cast<AsyncCompletion*>(context);
        if (!completion) // the session and the connection carry no context
            return;
        if (status == INTERNET_STATUS_REQUEST_COMPLETE && info) {
            completion->m_succeeded.store(static_cast<const INTERNET_ASYNC_RESULT*>(info)->dwResult != 0,
                                          std::memory_order_release);
            ::SetEvent(completion->m_hDone.get());
        } else if (status == INTERNET_STATUS_HANDLE_CLOSING) {
            completion->Release();
        }
    }

private:
    AsyncCompletion() noexcept : m_hDone(::CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}
    ~AsyncCompletion() = default;

    UniqueKernelObject m_hDone;
    DWORD m_available = 0;
    std::atomic<bool> m_succeeded{false};
    std::atomic<int> m_refs{1};
};

class WinInetTransport final : public DownloadTransport {
public:
    // How long a request may wait for the server's next bytes before the download fails.
    static constexpr DWORD kReceiveTimeoutMs = 15000;

    // With stop, the calls that wait for the server run asynchronously, and the wait for them ends
    // when stop is set: a thread that closes a handle under a blocking read does not always free
    // the reader (under Wine it waits on for the server).
    WinInetTransport(const std::wstring& url, const std::wstring& path, HANDLE stop = nullptr)
        : m_url(url), m_path(path), m_hStop(stop) {}
    // The file closes before the request, the connection and the session.
    ~WinInetTransport() override {
        m_file.reset();
        m_request.reset();
        m_connection.reset();
        m_session.reset();
        if (m_pCompletion)
            m_pCompletion->Release();
    }
    WinInetTransport(const WinInetTransport&) = delete;
    WinInetTransport& operator=(const WinInetTransport&) = delete;

    // A status other than 200 was answered; its message is due.
    bool Refused() const noexcept { return m_bRefused; }

    bool Send() override {
        DWORD flags = 0;
        if (m_hStop) {
            m_pCompletion = AsyncCompletion::Create();
            if (!m_pCompletion)
                return false;
            flags = INTERNET_FLAG_ASYNC;
        }
        m_session.reset(
            ::InternetOpenW(AfxGetAppName().c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, flags));
        if (!m_session)
            return false;
        // Set before the connection and the request are made: they take the session's callback.
        if (m_pCompletion && ::InternetSetStatusCallbackW(m_session.get(), &AsyncCompletion::Report) ==
                                 INTERNET_INVALID_STATUS_CALLBACK)
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
        // WinINet's reference to the completion, given back with the request handle's last report.
        if (m_pCompletion)
            m_pCompletion->AddRef();
        m_request.reset(::HttpOpenRequestW(m_connection.get(), L"GET", object.c_str(), L"HTTP/1.0", nullptr,
                                           nullptr, INTERNET_FLAG_EXISTING_CONNECT | secure,
                                           reinterpret_cast<DWORD_PTR>(m_pCompletion)));
        if (!m_request) {
            if (m_pCompletion)
                m_pCompletion->Release();
            return false;
        }
        // Also on the request itself: not every implementation passes the session's value on.
        ::InternetSetOptionExW(m_request.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, &receiveTimeout,
                               sizeof receiveTimeout, 0);
        return Await(::HttpSendRequestW(m_request.get(), nullptr, 0, nullptr, 0));
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
        // A worker thread owns no window to show it over.
        if (m_hStop)
            m_bRefused = true;
        else
            kelvo::ShowDownloadFailed();
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
        DWORD count = 0;
        DWORD* const slot = m_pCompletion ? m_pCompletion->Available() : &count;
        // Asynchronously, a query that has to wait completes without a count: asked again, it
        // answers at once.
        while (!::InternetQueryDataAvailable(m_request.get(), slot, 0, 0)) {
            if (!Await(FALSE))
                return std::nullopt;
        }
        const DWORD available = *slot;
        if (available == 0)
            return 0; // the end of the body
        DWORD got = 0;
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(available, block.size()));
        if (!::InternetReadFile(m_request.get(), block.data(), want, &got)) {
            // What has arrived is read at once; should the read still wait, block and count are
            // written when it completes, so it is waited for, stop or not.
            if (!m_pCompletion || ::GetLastError() != ERROR_IO_PENDING ||
                ::WaitForSingleObject(m_pCompletion->Done(), INFINITE) != WAIT_OBJECT_0 ||
                !m_pCompletion->Succeeded())
                return std::nullopt;
        }
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
    // The outcome of a call that may complete later (asynchronously): true when it succeeded, at
    // once or when it completed; false when it failed or stop was set first.
    bool Await(BOOL succeeded) {
        if (succeeded)
            return true;
        if (!m_pCompletion || ::GetLastError() != ERROR_IO_PENDING)
            return false;
        const HANDLE waits[] = {m_pCompletion->Done(), m_hStop};
        return ::WaitForMultipleObjects(2, waits, FALSE, INFINITE) == WAIT_OBJECT_0 &&
               m_pCompletion->Succeeded();
    }

    std::wstring m_url;
    std::wstring m_path;
    HANDLE m_hStop;
    AsyncCompletion* m_pCompletion = nullptr;
    bool m_bRefused = false;
    // Closed in reverse: file, request, connection, session.
    InternetHandle m_session;
    InternetHandle m_connection;
    InternetHandle m_request;
    UniqueFile m_file;
};

void RemoveDownload(const std::wstring& path, DownloadOutcome outcome) {
    if (outcome == DownloadOutcome::Cancelled) {
        // The player said no: nothing of it stays, and nothing is said.
        ::DeleteFileW(ToWide(ToFileApiPath(ToU16(path))).c_str());
    } else if (outcome == DownloadOutcome::OverLimit) {
        // Closed above; what came of an endless or trickling body is no use to anyone.
        ::DeleteFileW(ToWide(ToFileApiPath(ToU16(path))).c_str());
        ::OutputDebugStringW(L"kelvo update: download stopped at its size or time bound");
    }
}

} // namespace

void ShowDownloadFailed() {
    AfxMessageBox(ToWide(kDownloadFailedText).c_str(), MB_OK | MB_ICONWARNING);
}

bool DownloadFile(const std::wstring& url, const std::wstring& path, const kelvo::DownloadLimits& limits) {
    try {
        DownloadOutcome outcome = DownloadOutcome::Failed;
        {
            WinInetTransport transport(url, path);
            outcome = RunDownload(transport, limits, SteadyNow);
        }
        RemoveDownload(path, outcome);
        return outcome == DownloadOutcome::Complete;
    } catch (...) {
        KELVO_LOG_CAUGHT();
        return false;
    }
}

bool DownloadFile(const std::wstring& url, const std::wstring& path, const DownloadLimits& limits,
                  DownloadObserver& observer, HANDLE stop, bool& refused) {
    refused = false;
    try {
        DownloadOutcome outcome = DownloadOutcome::Failed;
        {
            WinInetTransport transport(url, path, stop);
            outcome = RunDownload(transport, limits, SteadyNow, &observer);
            refused = transport.Refused();
        }
        RemoveDownload(path, outcome);
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

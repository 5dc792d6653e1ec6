#include "update/win/WinUpdateEnvironment.h"

#include "framework/Handles.h"
#include "framework/Text.h"
#include "update/core/LongPath.h"
#include "update/win/DownloadFile.h"
#include "update/win/UpdateProgressWindow.h"
#include "update/win/WinHeldFile.h"

#include <shellapi.h>
#include <stdio.h>

#include <algorithm>

namespace kelvo {

namespace {

std::wstring FileApiPath(const std::u16string& path) {
    return ToWide(ToFileApiPath(path));
}

// For the calls that do not take the extended form (the profile reader, the shell): the short form
// of a long path usually fits the classic limit.
std::wstring ClassicPath(const std::u16string& path) {
    if (path.size() < kClassicPathLimit)
        return ToWide(path);
    const std::wstring extended = FileApiPath(path);
    std::wstring shortPath(kClassicPathLimit + 4, L'\0');
    const DWORD got =
        ::GetShortPathNameW(extended.c_str(), shortPath.data(), static_cast<DWORD>(shortPath.size()));
    if (got == 0 || got >= shortPath.size())
        return extended;
    shortPath.resize(got);
    if (shortPath.rfind(L"\\\\?\\", 0) == 0)
        shortPath.erase(0, 4);
    return shortPath.size() < kClassicPathLimit ? shortPath : extended;
}

} // namespace

std::uint32_t WinUpdateEnvironment::TickCount() {
    return ::GetTickCount();
}

std::u16string WinUpdateEnvironment::CurrentDirectory() {
    // Sized from the system's own answer, so a long directory is never cut.
    std::wstring directory;
    DWORD needed = ::GetCurrentDirectoryW(0, nullptr);
    for (int attempt = 0; attempt < 4 && needed != 0; ++attempt) {
        directory.resize(needed);
        const DWORD got = ::GetCurrentDirectoryW(needed, directory.data());
        if (got < needed) {
            directory.resize(got);
            return ToU16(directory);
        }
        needed = got; // changed in between: try again with the new size
    }
    return {};
}

void WinUpdateEnvironment::DeleteFile(const std::u16string& path) {
    ::DeleteFileW(FileApiPath(path).c_str());
}

bool WinUpdateEnvironment::Download(const std::u16string& url, const std::u16string& path) {
    return kelvo::DownloadFile(ToWide(url), ToWide(path));
}

bool WinUpdateEnvironment::BoundedDownload(const std::u16string& url, const std::u16string& path,
                                           const DownloadLimits& limits) {
    return kelvo::DownloadFile(ToWide(url), ToWide(path), limits);
}

bool WinUpdateEnvironment::ExecutableDownload(const std::u16string& url, const std::u16string& path,
                                              const DownloadLimits& limits) {
    if (!m_pProgress)
        return BoundedDownload(url, path, limits);
    const std::wstring wideUrl = ToWide(url);
    const std::wstring widePath = ToWide(path);
    bool refused = false;
    const bool complete = m_pProgress->Run(m_hOwner, [&](DownloadObserver& relay, HANDLE stop) {
        return kelvo::DownloadFile(wideUrl, widePath, limits, relay, stop, refused);
    });
    // Here, with the window gone, as the download without the window shows it.
    if (refused)
        ShowDownloadFailed();
    return complete;
}

std::int32_t WinUpdateEnvironment::ReadIniInt(const std::u16string& path, std::u16string_view section,
                                              std::u16string_view key, std::int32_t fallback) {
    const UINT value = ::GetPrivateProfileIntW(ToWide(section).c_str(), ToWide(key).c_str(), fallback,
                                               ClassicPath(path).c_str());
    return static_cast<std::int32_t>(value);
}

std::u16string WinUpdateEnvironment::ReadIniString(const std::u16string& path, std::u16string_view section,
                                                   std::u16string_view key) {
    wchar_t value[kMaxUrlLength + 1] = {};
    ::GetPrivateProfileStringW(ToWide(section).c_str(), ToWide(key).c_str(), L"", value, kMaxUrlLength + 1,
                               ClassicPath(path).c_str());
    return ToU16(value);
}

std::optional<FileHead> WinUpdateEnvironment::ReadHead(const std::u16string& path, std::size_t limit) {
    UniqueFile file(::CreateFileW(FileApiPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return std::nullopt;
    return ReadOpenFileHead(file.get(), limit);
}

bool WinUpdateEnvironment::FlushFile(const std::u16string& path) {
    // Flushing needs a handle with write access; nothing is written through it.
    UniqueFile file(::CreateFileW(FileApiPath(path).c_str(), GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    return file && ::FlushFileBuffers(file.get());
}

bool WinUpdateEnvironment::Rename(const std::u16string& from, const std::u16string& to) {
    return ::_wrename(FileApiPath(from).c_str(), FileApiPath(to).c_str()) == 0;
}

std::unique_ptr<HeldFile> WinUpdateEnvironment::Hold(const std::u16string& path) {
    return WinHeldFile::Open(path);
}

void WinUpdateEnvironment::ShowUpdated() {
    ::MessageBoxW(m_hOwner, ToWide(kUpdatedText).c_str(), ToWide(kUpdatedCaption).c_str(), MB_OK);
}

void WinUpdateEnvironment::Start(const std::u16string& path) {
    ::ShellExecuteW(nullptr, L"Open", ClassicPath(path).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void WinUpdateEnvironment::PostClose() {
    ::PostMessageW(m_hOwner, WM_CLOSE, 0, 0);
}

} // namespace kelvo

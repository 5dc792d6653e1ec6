// The self-update's platform work on Windows: files, WinINet, profile (INI) reading, the shell.
#pragma once

// <windows.h> first: its DeleteFile macro must rename the interface's member as it renames this
// class's override.
#include <windows.h>

#include "update/core/UpdateFlow.h"

#include <string>

namespace kelvo {

class UpdateProgressWindow;

class WinUpdateEnvironment final : public UpdateEnvironment {
public:
    // With a progress window, the new executable's download shows it.
    explicit WinUpdateEnvironment(HWND owner, UpdateProgressWindow* progress = nullptr) noexcept
        : m_hOwner(owner), m_pProgress(progress) {}

    std::uint32_t TickCount() override;
    std::u16string CurrentDirectory() override;
    void DeleteFile(const std::u16string& path) override;
    bool Download(const std::u16string& url, const std::u16string& path) override;
    bool BoundedDownload(const std::u16string& url, const std::u16string& path,
                         const DownloadLimits& limits) override;
    bool ExecutableDownload(const std::u16string& url, const std::u16string& path,
                            const DownloadLimits& limits) override;
    std::int32_t ReadIniInt(const std::u16string& path, std::u16string_view section, std::u16string_view key,
                            std::int32_t fallback) override;
    std::u16string ReadIniString(const std::u16string& path, std::u16string_view section,
                                 std::u16string_view key) override;
    std::optional<FileHead> ReadHead(const std::u16string& path, std::size_t limit) override;
    bool FlushFile(const std::u16string& path) override;
    bool Rename(const std::u16string& from, const std::u16string& to) override;
    std::unique_ptr<HeldFile> Hold(const std::u16string& path) override;
    void ShowUpdated() override;
    void Start(const std::u16string& path) override;
    void PostClose() override;

private:
    HWND m_hOwner;
    UpdateProgressWindow* m_pProgress;
};

} // namespace kelvo

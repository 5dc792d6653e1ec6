// The self-update's order of steps and its decision, free of Windows so that it runs under test.
//
// At start-up the launcher removes what an earlier update left behind, fetches the manifest from
// the resource server into the current directory, and when the manifest names a newer version it
// downloads the new executable next to the running one, swaps the two and restarts. The platform
// work (files, HTTP, INI reading, message box, process start, closing the window) goes through
// UpdateEnvironment; the Windows side implements it for real, the tests with a recorder.
#pragma once

#include "update/core/DownloadFlow.h"
#include "base/ExecutableImage.h"
#include "update/core/UpdateSignature.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelvo {

// The manifests lie in one folder of the resource server, one per architecture: a manifest names one
// executable and signs it, and an executable of the other architecture cannot run in its place.
inline constexpr std::u16string_view kManifestFolder = u"/front_resource/kelvo/weiduan/zarn/";
inline constexpr std::u16string_view kLauncherName = u"kelvo.exe";
inline constexpr std::u16string_view kPreviousName = u"kelvo_.exe";
inline constexpr std::u16string_view kDownloadName = u"kelvo_new.exe";
inline constexpr std::u16string_view kManifestName = u"kelvoupdate.ini";
inline constexpr std::u16string_view kSection = u"LoginUpdate";
inline constexpr std::u16string_view kVersionKey = u"VersionId";
inline constexpr std::u16string_view kUrlKey = u"downloadUrl";
// The manifest's download address is read into a 260-unit buffer: longer values are cut.
inline constexpr std::size_t kMaxUrlLength = 259;

// "无法下载文件。请检查网络后重试。" — the download failed, check the network and retry.
inline constexpr std::u16string_view kDownloadFailedText =
    u"\u65e0\u6cd5\u4e0b\u8f7d\u6587\u4ef6\u3002\u8bf7\u68c0\u67e5\u7f51\u7edc\u540e\u91cd\u8bd5\u3002";
// "游戏已经更新完成，点击确定后将重新启动游戏" — updated; the game restarts after OK.
inline constexpr std::u16string_view kUpdatedText =
    u"\u6e38\u620f\u5df2\u7ecf\u66f4\u65b0\u5b8c\u6210\uff0c\u70b9"
    u"\u51fb\u786e\u5b9a\u540e\u5c06\u91cd\u65b0\u542f\u52a8\u6e38\u620f";
// "提示" — notice.
inline constexpr std::u16string_view kUpdatedCaption = u"\u63d0\u793a";

// The first bytes of a file and its whole size.
struct FileHead {
    std::vector<std::byte> bytes;
    std::uint64_t size = 0;
};

// The downloaded executable, held open from its executable check through its hash, its flush and
// its rename to the launcher's name, with no other writer let in: the bytes checked are the bytes
// installed, even when another program may write the directory.
class HeldFile {
public:
    virtual ~HeldFile() = default;

    // Up to limit bytes from the start of the file; nothing when it cannot be read.
    virtual std::optional<FileHead> ReadHead(std::size_t limit) = 0;
    // The SHA-256 of the whole file; nothing when it cannot be read.
    virtual std::optional<Sha256Digest> Hash(SignatureChecker& checker) = 0;
    // Writes the file's data through to the disk; false when the system cannot confirm it.
    virtual bool Flush() = 0;
    // Fails when the new name exists.
    virtual bool RenameTo(const std::u16string& to) = 0;
};

class UpdateEnvironment {
public:
    virtual ~UpdateEnvironment() = default;

    virtual std::uint32_t TickCount() = 0;
    virtual std::u16string CurrentDirectory() = 0;
    // Failures (a missing file, a file in use) are not reported: the next start tries again.
    virtual void DeleteFile(const std::u16string& path) = 0;
    // True when the server answered 200 and the whole body reached the file.
    virtual bool Download(const std::u16string& url, const std::u16string& path) = 0;
    // Download held to limits: past either, it fails as a dropped connection does and leaves no file.
    // An environment with no transfer of its own to bound (a recorder) fetches as Download does.
    virtual bool BoundedDownload(const std::u16string& url, const std::u16string& path,
                                 const DownloadLimits& limits) {
        static_cast<void>(limits);
        return Download(url, path);
    }
    // The new executable's download: BoundedDownload, where a build may show its progress and let
    // the player cancel it (which fails it as a dropped connection does, and leaves no file).
    virtual bool ExecutableDownload(const std::u16string& url, const std::u16string& path,
                                    const DownloadLimits& limits) {
        return BoundedDownload(url, path, limits);
    }
    virtual std::int32_t ReadIniInt(const std::u16string& path, std::u16string_view section,
                                    std::u16string_view key, std::int32_t fallback) = 0;
    virtual std::u16string ReadIniString(const std::u16string& path, std::u16string_view section,
                                         std::u16string_view key) = 0;
    // Up to limit bytes from the start of the file; nothing when it cannot be opened or read.
    virtual std::optional<FileHead> ReadHead(const std::u16string& path, std::size_t limit) = 0;
    // Writes the file's data through to the disk; false when the system cannot confirm it.
    virtual bool FlushFile(const std::u16string& path) = 0;
    // Fails when the new name exists.
    virtual bool Rename(const std::u16string& from, const std::u16string& to) = 0;
    // The file, held until the result is destroyed; nothing when it cannot be opened. An environment
    // without handles of its own (a recorder) reaches the file by its path through the calls above.
    virtual std::unique_ptr<HeldFile> Hold(const std::u16string& path);
    // Modal; returns when the user has answered.
    virtual void ShowUpdated() = 0;
    virtual void Start(const std::u16string& path) = 0;
    virtual void PostClose() = 0;
};

// What the build brings to a check: the downloads' bounds and, for a signed build, the publisher's key.
struct UpdateSettings {
    DownloadLimits manifest = kManifestLimits;
    DownloadLimits executable = kExecutableLimits;
    // The publisher's public key (PEM); empty: updates are not signed, and no signature is read.
    std::string_view publicKeyPem;
    // The platform's hashing and ECDSA; a signed build without it installs nothing.
    SignatureChecker* signatures = nullptr;

    bool Signed() const { return !publicKeyPem.empty(); }
};

enum class UpdateOutcome {
    NoManifest,   // the manifest could not be fetched
    UpToDate,     // no newer version, or no usable download address
    NotInstalled, // a newer version exists but was not fetched whole, cannot run here, or could not
                  // be put in place
    Installed,    // the new executable is in place, started, and the window asked to close
};

// "?" and the tick count as a signed decimal: it keeps caches between us and the server out.
std::u16string TickSuffix(std::uint32_t ticks);

// The name of the manifest a launcher for machine reads on the server: "kelvoupdate.ini" for the
// 32-bit launcher, "kelvoupdate-win64.ini" for the 64-bit one. Its local copy is kManifestName for
// both.
std::u16string_view ManifestName(std::uint16_t machine);

// "http://" + host[:port] + the manifest's folder and name for machine, without the tick suffix.
std::u16string ManifestUrl(std::u16string_view resourceHost, std::uint16_t machine = kMachineI386);

// dir + "\" + name.
std::u16string JoinPath(std::u16string_view directory, std::u16string_view name);

// A newer version with an address that names an executable (".exe" from position 1 on).
bool IsUpdateDue(std::int32_t manifestVersion, std::u16string_view downloadUrl, std::int32_t builtInVersion);

UpdateOutcome CheckForUpdate(UpdateEnvironment& env, std::u16string_view manifestUrl,
                             std::int32_t builtInVersion, const UpdateSettings& settings);
// Unsigned, with the default bounds.
UpdateOutcome CheckForUpdate(UpdateEnvironment& env, std::u16string_view manifestUrl,
                             std::int32_t builtInVersion);

// Downloads url into the directory's "kelvo_new.exe" and, when that is a complete executable for
// this build's architecture and has reached the disk, swaps it with "kelvo.exe", tells the user,
// starts the new launcher and asks the owner window to close. True when all of that happened.
// A signed build first checks signatureText against version and the downloaded file; a refused
// download is deleted and the reason goes to the debug output, with no message to the user.
bool InstallUpdate(UpdateEnvironment& env, const std::u16string& directory, const std::u16string& url,
                   const UpdateSettings& settings, std::int32_t version, std::u16string_view signatureText);
// Unsigned, with the default bounds.
bool InstallUpdate(UpdateEnvironment& env, const std::u16string& directory, const std::u16string& url);

} // namespace kelvo

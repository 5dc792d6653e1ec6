#include "update/core/UpdateFlow.h"

#include "base/ExecutableImage.h"

#include <utility>

namespace kelvo {

namespace {

// A held file that is its path: each call goes through the environment's own path calls.
class PathHeldFile final : public HeldFile {
public:
    PathHeldFile(UpdateEnvironment& env, std::u16string path) : m_env(env), m_path(std::move(path)) {}

    std::optional<FileHead> ReadHead(std::size_t limit) override { return m_env.ReadHead(m_path, limit); }
    std::optional<Sha256Digest> Hash(SignatureChecker& checker) override { return checker.HashFile(m_path); }
    bool Flush() override { return m_env.FlushFile(m_path); }
    bool RenameTo(const std::u16string& to) override {
        if (!m_env.Rename(m_path, to))
            return false;
        m_path = to;
        return true;
    }

private:
    UpdateEnvironment& m_env;
    std::u16string m_path;
};

} // namespace

std::unique_ptr<HeldFile> UpdateEnvironment::Hold(const std::u16string& path) {
    return std::make_unique<PathHeldFile>(*this, path);
}

std::u16string TickSuffix(std::uint32_t ticks) {
    // After 2^31 ms of uptime the count reads as negative, as "%d" of a DWORD would print it.
    const auto value = static_cast<std::int64_t>(static_cast<std::int32_t>(ticks));
    std::u16string digits;
    auto magnitude = static_cast<std::uint64_t>(value < 0 ? -value : value);
    do {
        digits.insert(digits.begin(), static_cast<char16_t>(u'0' + magnitude % 10));
        magnitude /= 10;
    } while (magnitude != 0);
    return (value < 0 ? u"?-" : u"?") + digits;
}

std::u16string_view ManifestName(std::uint16_t machine) {
    return machine == kMachineAmd64 ? u"kelvoupdate-win64.ini" : kManifestName;
}

std::u16string ManifestUrl(std::u16string_view resourceHost, std::uint16_t machine) {
    std::u16string url = u"http://";
    url += resourceHost;
    url += kManifestFolder;
    url += ManifestName(machine);
    return url;
}

std::u16string JoinPath(std::u16string_view directory, std::u16string_view name) {
    std::u16string path(directory);
    path += u'\\';
    path += name;
    return path;
}

bool IsUpdateDue(std::int32_t manifestVersion, std::u16string_view downloadUrl, std::int32_t builtInVersion) {
    const auto exe = downloadUrl.find(u".exe");
    return manifestVersion > builtInVersion && exe != std::u16string_view::npos && exe >= 1;
}

UpdateOutcome CheckForUpdate(UpdateEnvironment& env, std::u16string_view manifestUrl,
                             std::int32_t builtInVersion) {
    return CheckForUpdate(env, manifestUrl, builtInVersion, UpdateSettings{});
}

UpdateOutcome CheckForUpdate(UpdateEnvironment& env, std::u16string_view manifestUrl,
                             std::int32_t builtInVersion, const UpdateSettings& settings) {
    const std::u16string suffix = TickSuffix(env.TickCount());
    const std::u16string directory = env.CurrentDirectory();
    const std::u16string manifest = JoinPath(directory, kManifestName);

    env.DeleteFile(JoinPath(directory, kPreviousName));
    env.DeleteFile(manifest);
    // Left by an interrupted or refused download; never installed as it stands.
    env.DeleteFile(JoinPath(directory, kDownloadName));

    // A failed fetch leaves whatever was written of the manifest to the next start's clean-up.
    if (!env.BoundedDownload(std::u16string(manifestUrl) + suffix, manifest, settings.manifest))
        return UpdateOutcome::NoManifest;

    const std::int32_t version = env.ReadIniInt(manifest, kSection, kVersionKey, 0);
    std::u16string url = env.ReadIniString(manifest, kSection, kUrlKey);
    if (url.size() > kMaxUrlLength)
        url.resize(kMaxUrlLength);
    url += suffix;

    if (!IsUpdateDue(version, url, builtInVersion)) {
        env.DeleteFile(manifest);
        return UpdateOutcome::UpToDate;
    }
    // Read while the manifest is still there; an unsigned build reads nothing new.
    const std::u16string signature =
        settings.Signed() ? env.ReadIniString(manifest, kSection, kSignatureKey) : std::u16string();
    env.DeleteFile(manifest);
    const bool installed = InstallUpdate(env, directory, url, settings, version, signature);
    env.DeleteFile(manifest); // normally gone by now; harmless
    return installed ? UpdateOutcome::Installed : UpdateOutcome::NotInstalled;
}

bool InstallUpdate(UpdateEnvironment& env, const std::u16string& directory, const std::u16string& url) {
    return InstallUpdate(env, directory, url, UpdateSettings{}, 0, u"");
}

bool InstallUpdate(UpdateEnvironment& env, const std::u16string& directory, const std::u16string& url,
                   const UpdateSettings& settings, std::int32_t version, std::u16string_view signatureText) {
    const std::u16string download = JoinPath(directory, kDownloadName);
    const std::u16string launcher = JoinPath(directory, kLauncherName);
    const std::u16string previous = JoinPath(directory, kPreviousName);

    // What can be refused without the file is refused before it is fetched: a build whose key does
    // not read, or a signature text that cannot be one, would download the whole executable at every
    // start only to delete it again.
    SignatureForm form;
    if (settings.Signed()) {
        if (settings.signatures)
            form = CheckSignatureForm(settings.publicKeyPem, signatureText);
        if (form.verdict != SignatureVerdict::Valid) {
            if (settings.signatures)
                settings.signatures->Refused(RefusalReason(form.verdict));
            return false;
        }
    }

    // A partly written download stays until the next start deletes it.
    if (!env.ExecutableDownload(url, download, settings.executable))
        return false;
    std::unique_ptr<HeldFile> file = env.Hold(download);
    if (!file)
        return false;
    // A 200 answer is not yet a program: a portal's page, an error page or a body cut short without
    // a length would otherwise become the launcher. Refused like a failed download.
    const std::optional<FileHead> head = file->ReadHead(kImageHeadLimit);
    if (!head || CheckExecutableImage(head->bytes, head->size, kBuildMachine) != ImageVerdict::Runnable)
        return false;
    // Only what the publisher signed for this version may take the launcher's name: checked on the
    // held file, before anything is moved.
    if (settings.Signed()) {
        const SignatureVerdict verdict =
            CheckSignedFile(*settings.signatures, form, version, file->Hash(*settings.signatures));
        if (verdict != SignatureVerdict::Valid) {
            file.reset();
            env.DeleteFile(download);
            settings.signatures->Refused(RefusalReason(verdict));
            return false;
        }
    }
    // After a power loss right after the renames, kelvo.exe must not be a file of zeroes.
    if (!file->Flush())
        return false;

    // The running executable may be renamed; it is deleted at the next start. The move fails when
    // the launcher was started from elsewhere (then the new file simply takes the name).
    const bool movedAside = env.Rename(launcher, previous);
    const bool installed = file->RenameTo(launcher);
    file.reset();
    if (!installed) {
        // Never leave the directory without a launcher, and do not restart into the old version,
        // which would only find the same update again.
        if (movedAside)
            env.Rename(previous, launcher);
        return false;
    }

    env.ShowUpdated();
    env.Start(launcher);
    env.PostClose();
    return true;
}

} // namespace kelvo

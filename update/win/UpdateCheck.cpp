#include "update/win/UpdateCheck.h"

#include "BuildConfig.h"
#include "framework/CatchLog.h"
#include "update/win/CngSignatureChecker.h"
#include "update/win/InstallRecord.h"
#include "update/win/WinUpdateEnvironment.h"

#include <chrono>

namespace kelvo {

bool CheckForUpdate(HWND hOwner, UpdateProgressWindow* progress) {
    WinUpdateEnvironment env(hOwner, progress);
    CngSignatureChecker signatures;
    UpdateSettings settings;
    settings.manifest.deadline = std::chrono::seconds(KELVO_UPDATE_MANIFEST_DEADLINE_SECONDS);
    settings.executable.deadline = std::chrono::seconds(KELVO_UPDATE_EXE_DEADLINE_SECONDS);
    settings.publicKeyPem = KELVO_UPDATE_KEY_PEM;
    settings.signatures = &signatures;
    try {
        // The launcher a self-update started shows its own version in the list of installed programs.
        RefreshInstalledVersion(kUninstallKeyPath, ExecutableFolder(), KELVO_VERSION);
        return kelvo::CheckForUpdate(env, ManifestUrl(KELVO_RESOURCE_HOST, kBuildMachine), KELVO_VERSION,
                                     settings) == UpdateOutcome::Installed;
    } catch (...) {
        KELVO_LOG_CAUGHT();
        // Out of memory at most; the login goes on with the running version.
        return false;
    }
}

} // namespace kelvo

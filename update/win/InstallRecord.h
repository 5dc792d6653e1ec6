// The setup program's record of an install, the current user's Uninstall key, as the launcher keeps
// it true after updating itself.
#pragma once

#include <string>

namespace kelvo {

inline constexpr wchar_t kUninstallKeyPath[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Kelvo";

// Writes version as the key's DisplayVersion when the key (under HKEY_CURRENT_USER) names
// exeFolder as its InstallLocation and shows another version: after a self-update the list of
// installed programs would go on showing the version the setup program installed. A launcher
// anywhere else (a portable copy, an older install in another folder) writes nothing, and nothing
// but DisplayVersion is ever written. True when it wrote.
bool RefreshInstalledVersion(const std::wstring& keyPath, const std::wstring& exeFolder, int version);

// The folder of the running executable.
std::wstring ExecutableFolder();

} // namespace kelvo

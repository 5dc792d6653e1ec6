#include "framework/SystemLibrary.h"

#include <shellapi.h>

#include <cwchar>

namespace kelvo {

bool SystemFolderPath(const wchar_t* name, wchar_t (&path)[MAX_PATH]) noexcept {
    const std::size_t folder = ::GetSystemDirectoryW(path, MAX_PATH);
    const std::size_t length = std::wcslen(name);
    if (folder == 0 || folder + 1 + length >= MAX_PATH)
        return false;
    path[folder] = L'\\';
    std::wmemcpy(path + folder + 1, name, length + 1);
    return true;
}

void StartSystemProgram(const wchar_t* name, const wchar_t* parameters) noexcept {
    wchar_t path[MAX_PATH];
    if (SystemFolderPath(name, path))
        ::ShellExecuteW(nullptr, L"open", path, parameters, nullptr, SW_SHOWNORMAL);
}

UniqueModule LoadSystemLibrary(const wchar_t* name) noexcept {
    if (UniqueModule module{::LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)})
        return module;
    // Windows 7 without its loader update (KB2533623) refuses the search flag. The full path in the
    // system folder names the same file; its own dependencies are then looked for beside it first.
    wchar_t path[MAX_PATH];
    if (!SystemFolderPath(name, path))
        return {};
    return UniqueModule{::LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH)};
}

void RestrictLibrarySearch() noexcept {
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    // Looked up: Windows 7 has it only with its loader update.
    const auto setDefault = ProcAddress<SetDefaultDllDirectoriesFn>(::GetModuleHandleW(L"kernel32.dll"),
                                                                    "SetDefaultDllDirectories");
    if (setDefault && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32))
        return;
    ::SetDllDirectoryW(L"");
}

HMODULE LoadDelayedSystemLibrary(const char* name) noexcept {
    wchar_t wide[MAX_PATH];
    std::size_t i = 0;
    for (; name[i] && i + 1 < MAX_PATH; ++i) {
        // A plain file name: a path would leave the system folder.
        if (name[i] == '\\' || name[i] == '/' || name[i] == ':' ||
            static_cast<unsigned char>(name[i]) >= 0x80)
            return nullptr;
        wide[i] = static_cast<wchar_t>(name[i]);
    }
    if (name[i])
        return nullptr;
    wide[i] = L'\0';
    return LoadSystemLibrary(wide).release();
}

} // namespace kelvo

#include "framework/SystemLibrary.h"

#include <cwchar>

namespace kelvo {

UniqueModule LoadSystemLibrary(const wchar_t* name) noexcept {
    if (UniqueModule module{::LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)})
        return module;
    // Windows 7 without its loader update (KB2533623) refuses the search flag. The full path in the
    // system folder names the same file; its own dependencies are then looked for beside it first.
    wchar_t path[MAX_PATH];
    const std::size_t folder = ::GetSystemDirectoryW(path, MAX_PATH);
    const std::size_t length = std::wcslen(name);
    if (folder == 0 || folder + 1 + length >= MAX_PATH)
        return {};
    path[folder] = L'\\';
    std::wmemcpy(path + folder + 1, name, length + 1);
    return UniqueModule{::LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH)};
}

} // namespace kelvo

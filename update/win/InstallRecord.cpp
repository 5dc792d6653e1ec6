#include "update/win/InstallRecord.h"

#include "framework/Handles.h"

#include <windows.h>

namespace kelvo {

namespace {

void CloseKey(HKEY key) noexcept {
    ::RegCloseKey(key);
}
using UniqueKey = UniqueHandle<HKEY, &CloseKey>;

std::wstring ReadString(HKEY key, const wchar_t* name) {
    DWORD type = 0;
    DWORD bytes = 0;
    if (::RegQueryValueExW(key, name, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS || type != REG_SZ)
        return {};
    std::wstring value(bytes / sizeof(wchar_t) + 1, L'\0');
    bytes = static_cast<DWORD>(value.size() * sizeof(wchar_t));
    if (::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value.data()), &bytes) !=
            ERROR_SUCCESS ||
        type != REG_SZ)
        return {};
    value.resize(bytes / sizeof(wchar_t));
    while (!value.empty() && value.back() == L'\0')
        value.pop_back();
    return value;
}

// One spelling of a folder: the long form where it exists, no trailing backslash.
std::wstring Normalized(std::wstring folder) {
    std::wstring longForm(32768, L'\0');
    const DWORD got =
        ::GetLongPathNameW(folder.c_str(), longForm.data(), static_cast<DWORD>(longForm.size()));
    if (got != 0 && got < longForm.size()) {
        longForm.resize(got);
        folder = longForm;
    }
    while (folder.size() > 3 && (folder.back() == L'\\' || folder.back() == L'/'))
        folder.pop_back();
    return folder;
}

bool SameFolder(const std::wstring& a, const std::wstring& b) {
    const std::wstring left = Normalized(a);
    const std::wstring right = Normalized(b);
    return !left.empty() && ::CompareStringOrdinal(left.c_str(), static_cast<int>(left.size()), right.c_str(),
                                                   static_cast<int>(right.size()), TRUE) == CSTR_EQUAL;
}

} // namespace

bool RefreshInstalledVersion(const std::wstring& keyPath, const std::wstring& exeFolder, int version) {
    HKEY raw = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, keyPath.c_str(), 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &raw) !=
        ERROR_SUCCESS)
        return false;
    const UniqueKey key(raw);
    if (!SameFolder(ReadString(key.get(), L"InstallLocation"), exeFolder))
        return false;
    const std::wstring text = std::to_wstring(version);
    if (ReadString(key.get(), L"DisplayVersion") == text)
        return false;
    return ::RegSetValueExW(key.get(), L"DisplayVersion", 0, REG_SZ,
                            reinterpret_cast<const BYTE*>(text.c_str()),
                            static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

std::wstring ExecutableFolder() {
    std::wstring path(32768, L'\0');
    const DWORD got = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (got == 0 || got >= path.size())
        return {};
    path.resize(got);
    const std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

} // namespace kelvo

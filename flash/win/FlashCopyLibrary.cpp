#include "flash/win/FlashCopyLibrary.h"

#include "framework/CatchLog.h"
#include "framework/Handles.h"
#include "base/ExecutableImage.h"
#include "update/win/CngSignatureChecker.h"

#include <vector>

namespace kelvo {

FlashCopyLibrary::FlashCopyLibrary(std::wstring path, std::u16string_view pin) noexcept
    : m_path(std::move(path)) {
    Load(pin);
}

FlashCopyLibrary& FlashCopyLibrary::BesideProgram() noexcept {
    static FlashCopyLibrary copy([] {
        // The folder of the program file, whatever the current directory is.
        std::wstring path(MAX_PATH, L'\0');
        for (;;) {
            const DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
            if (n == 0)
                return std::wstring();
            if (n < path.size()) {
                path.resize(n);
                break;
            }
            path.resize(path.size() * 2);
        }
        path.resize(path.rfind(L'\\') + 1);
        return path + std::wstring(kFlashCopyName.begin(), kFlashCopyName.end());
    }());
    return copy;
}

void FlashCopyLibrary::Load(std::u16string_view pin) noexcept {
    if (m_path.empty())
        return;
    const DWORD attributes = ::GetFileAttributesW(m_path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            return;
        m_fault = FlashCopyFault::Unreadable;
        m_code = error;
        return;
    }
    // The headers first: a file of the other architecture or no library at all is named as such,
    // and never reaches the loader. The file stays open, shared for reading only, until it is
    // loaded: nobody can write, replace or rename it between the checks and the loader.
    UniqueFile file(::CreateFileW(m_path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    {
        LARGE_INTEGER size{};
        if (!file || !::GetFileSizeEx(file.get(), &size)) {
            m_fault = FlashCopyFault::Unreadable;
            m_code = ::GetLastError();
            return;
        }
        std::vector<std::byte> head;
        try {
            head.resize(static_cast<std::size_t>(
                std::min<LONGLONG>(size.QuadPart, static_cast<LONGLONG>(kelvo::kImageHeadLimit))));
        } catch (...) {
            KELVO_LOG_CAUGHT();
            m_fault = FlashCopyFault::Unreadable;
            return;
        }
        DWORD read = 0;
        if (!head.empty() &&
            !::ReadFile(file.get(), head.data(), static_cast<DWORD>(head.size()), &read, nullptr)) {
            m_fault = FlashCopyFault::Unreadable;
            m_code = ::GetLastError();
            return;
        }
        head.resize(read);
        m_fault = CheckFlashCopyImage(head, static_cast<std::uint64_t>(size.QuadPart), kelvo::kBuildMachine);
        if (m_fault != FlashCopyFault::None)
            return;
    }
    // A pinned build takes the publisher's file only, not one dropped beside the launcher.
    if (!pin.empty()) {
        const std::optional<Sha256Digest> digest = HashOpenFile(file.get());
        if (!digest) {
            m_fault = FlashCopyFault::Unreadable;
            m_code = ::GetLastError();
            return;
        }
        if (!MatchesFlashCopyPin(pin, *digest)) {
            m_fault = FlashCopyFault::NotPublishers;
            return;
        }
    }
    // By its full path, the libraries it needs looked for beside it and in the system folder only.
    // A loader without those flags (Windows 7 without KB2533623) refuses them; there the search
    // starts beside the file, and the current directory has already left it (WinMain). No error
    // box: a failure falls back to the registered control. Never freed (see the header).
    DWORD previousMode = 0;
    const BOOL quiet = ::SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &previousMode);
    HMODULE module = ::LoadLibraryExW(m_path.c_str(), nullptr,
                                      LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
    DWORD error = ::GetLastError();
    if (!module && error == ERROR_INVALID_PARAMETER) {
        module = ::LoadLibraryExW(m_path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
        error = ::GetLastError();
    }
    if (quiet)
        ::SetThreadErrorMode(previousMode, nullptr);
    if (!module) {
        m_fault = FlashCopyFault::NotLoaded;
        m_code = error;
        return;
    }
    m_getClassObject = reinterpret_cast<decltype(m_getClassObject)>(
        reinterpret_cast<void (*)()>(::GetProcAddress(module, "DllGetClassObject")));
    m_fault = m_getClassObject ? FlashCopyFault::None : FlashCopyFault::NoClassFactory;
}

HRESULT FlashCopyLibrary::CreateObject(REFCLSID clsid, IUnknown** object) const noexcept {
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (!m_getClassObject)
        return E_UNEXPECTED;
    ComPtr<IClassFactory> factory;
    HRESULT hr = m_getClassObject(clsid, IID_IClassFactory,
                                  reinterpret_cast<void**>(factory.ReleaseAndGetAddressOf()));
    if (FAILED(hr))
        return hr;
    if (!factory)
        return E_NOINTERFACE;
    hr = factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(object));
    if (SUCCEEDED(hr) && !*object)
        hr = E_NOINTERFACE;
    return hr;
}

} // namespace kelvo

// A Flash control shipped as a file, used through its own class factory without any registration:
// the file is checked, loaded by its full path, and asked for the Flash class. Loaded once and
// kept for the life of the process: the objects it made, and a site retired while one of them was
// busy, may outlive any owner that would unload it.
#pragma once

#include "flash/core/FlashCopy.h"

#include <windows.h>

#include <unknwn.h>

#include <string>

namespace kelvo {

class FlashCopyLibrary {
public:
    // Checks and loads the file at `path` (a full path); with a `pin`, only the file of that
    // SHA-256 (hex).
    explicit FlashCopyLibrary(std::wstring path, std::u16string_view pin = BuiltInFlashCopyPin()) noexcept;
    FlashCopyLibrary(const FlashCopyLibrary&) = delete;
    FlashCopyLibrary& operator=(const FlashCopyLibrary&) = delete;

    // The copy beside the running program, loaded at the first call.
    static FlashCopyLibrary& BesideProgram() noexcept;

    const std::wstring& Path() const noexcept { return m_path; }
    // None when the library is loaded and offers its class factory; otherwise why not, with the
    // system's error code (0 when there is none).
    FlashCopyFault LoadFault() const noexcept { return m_fault; }
    std::uint32_t LoadCode() const noexcept { return m_code; }

    // A new object of the class from the library's class factory; the factory's or the object's
    // failure as the result.
    HRESULT CreateObject(REFCLSID clsid, IUnknown** object) const noexcept;

private:
    void Load(std::u16string_view pin) noexcept;

    std::wstring m_path;
    FlashCopyFault m_fault = FlashCopyFault::Absent;
    std::uint32_t m_code = 0;
    HRESULT(STDAPICALLTYPE* m_getClassObject)(REFCLSID, REFIID, void**) = nullptr;
};

} // namespace kelvo

// Small helpers shared by the Windows tests.
#pragma once

#include <windows.h>

#include <cwctype>
#include <functional>
#include <string>

inline RECT WindowRect(HWND hwnd) {
    RECT r{};
    ::GetWindowRect(hwnd, &r);
    return r;
}

inline RECT WorkArea() {
    RECT r{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &r, 0);
    return r;
}

// Dispatches this thread's messages until done() holds or the time runs out.
inline bool PumpUntil(const std::function<bool()>& done, DWORD ms = 10000) {
    const DWORD start = ::GetTickCount();
    while (!done()) {
        if (::GetTickCount() - start > ms)
            return false;
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        ::Sleep(5);
    }
    return true;
}

// True when the prefix has the web browser class id registered to the stand-in controls.
inline bool BrowserStandinRegistered() {
    wchar_t path[MAX_PATH] = L"";
    DWORD size = sizeof(path);
    if (::RegGetValueW(HKEY_LOCAL_MACHINE,
                       L"Software\\Classes\\CLSID\\{8856F961-340A-11D0-A96B-00C04FD705A2}\\InprocServer32",
                       nullptr, RRF_RT_REG_SZ, nullptr, path, &size) != ERROR_SUCCESS)
        return false;
    std::wstring server(path);
    for (auto& c : server)
        c = static_cast<wchar_t>(std::towlower(c));
    return server.find(L"kelvo_standins") != std::wstring::npos;
}

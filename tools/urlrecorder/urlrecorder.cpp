// Test and demo tool: registered in a scratch Wine prefix as the handler of web addresses, it
// appends every address it is asked to open, one per line in UTF-8, to "links.txt" beside itself.
#include <windows.h>

#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR commandLine, int) {
    std::wstring address = commandLine ? commandLine : L"";
    while (!address.empty() && (address.front() == L' ' || address.front() == L'"'))
        address.erase(address.begin());
    while (!address.empty() && (address.back() == L' ' || address.back() == L'"'))
        address.pop_back();

    wchar_t path[MAX_PATH] = {};
    const DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring log(path, n);
    log.resize(log.find_last_of(L'\\') + 1);
    log += L"links.txt";

    const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, address.c_str(), static_cast<int>(address.size()),
                                            nullptr, 0, nullptr, nullptr);
    std::string line(static_cast<std::size_t>(bytes), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, address.c_str(), static_cast<int>(address.size()), line.data(), bytes,
                          nullptr, nullptr);
    line += "\n";
    HANDLE file = ::CreateFileW(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    DWORD written = 0;
    ::WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    ::CloseHandle(file);
    return 0;
}

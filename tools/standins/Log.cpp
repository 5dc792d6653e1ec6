#include "Log.h"

#include "Common.h"

namespace standins {

void LogLine(const std::wstring& line) {
    wchar_t path[MAX_PATH] = L"";
    const DWORD n = ::GetEnvironmentVariableW(L"KELVO_STANDIN_LOG", path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        lstrcpyW(path, L"standin.log");
    // Opened and closed per line so that nothing waits in a buffer when the process is killed, and
    // several processes may share one record.
    const HANDLE file =
        ::CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    const std::string bytes = ToUtf8(line) + "\n";
    DWORD written = 0;
    ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(file);
}

} // namespace standins

// Test tool: prints, in UTF-8 and one line each, the texts of the static controls of the visible
// dialog windows titled as the argument, such as a message box's text. Run in the Wine prefix of the program
// under test while the box is open.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::wstring g_title;

void Print(const std::wstring& text) {
    const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr,
                                            0, nullptr, nullptr);
    std::string line(static_cast<std::size_t>(bytes), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), line.data(), bytes,
                          nullptr, nullptr);
    std::printf("%s\n", line.c_str());
}

std::wstring Text(HWND hwnd) {
    wchar_t text[1024] = {};
    ::GetWindowTextW(hwnd, text, 1024);
    return text;
}

BOOL CALLBACK PrintChild(HWND child, LPARAM) {
    wchar_t cls[16] = {};
    ::GetClassNameW(child, cls, 16);
    if (std::wstring(cls) == L"Static" && ::IsWindowVisible(child)) {
        const std::wstring text = Text(child);
        if (!text.empty())
            Print(text);
    }
    return TRUE;
}

BOOL CALLBACK PrintDialog(HWND hwnd, LPARAM) {
    wchar_t cls[16] = {};
    ::GetClassNameW(hwnd, cls, 16);
    if (std::wstring(cls) == L"#32770" && ::IsWindowVisible(hwnd) && Text(hwnd) == g_title)
        ::EnumChildWindows(hwnd, &PrintChild, 0);
    return TRUE;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2)
        return 2;
    g_title = argv[1];
    ::EnumWindows(&PrintDialog, 0);
    return 0;
}

// Small helpers shared by the Windows tests.
#pragma once

#include "framework/CWnd.h"
#include "framework/Handles.h"
#include "framework/ScreenRect.h"

#include <windows.h>
#include <mshtml.h>

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

using namespace kelvo;

inline bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// How a pumped message is handed out: straight to its window, or first offered to the
// PreTranslateMessage chain of its window, its parents and owners, as the frame's modal loop does.
enum class PumpWay { Dispatch, ThroughFilters };

// Dispatches this thread's messages until done() holds or the time runs out.
inline bool PumpUntil(const std::function<bool()>& done, DWORD ms = 10000, PumpWay way = PumpWay::Dispatch) {
    const DWORD start = ::GetTickCount();
    while (!done()) {
        if (::GetTickCount() - start > ms)
            return false;
        // The time bounds the draining too: a window that never validates its update region keeps
        // a WM_PAINT in the queue.
        MSG msg;
        while (::GetTickCount() - start <= ms && ::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (way == PumpWay::ThroughFilters && CWnd::WalkPreTranslateTree(nullptr, &msg))
                continue;
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        ::Sleep(5);
    }
    return true;
}

// Dispatches this thread's messages for a while.
inline void Pump(DWORD ms) {
    PumpUntil([] { return false; }, ms);
}

inline void PumpThroughFilters(DWORD ms = 100) {
    PumpUntil([] { return false; }, ms, PumpWay::ThroughFilters);
}

inline const wchar_t kBrowserClsid[] = L"{8856F961-340A-11D0-A96B-00C04FD705A2}";
inline const wchar_t kFlashClsid[] = L"{D27CDB6E-AE6D-11CF-96B8-444553540000}";

inline std::wstring ClassKey(const wchar_t* clsid) {
    return std::wstring(L"Software\\Classes\\CLSID\\") + clsid;
}

// The in-process server registered for a class id in the prefix; empty when there is none.
inline std::wstring RegisteredServer(const wchar_t* clsid) {
    wchar_t path[MAX_PATH] = L"";
    DWORD size = sizeof(path);
    if (::RegGetValueW(HKEY_LOCAL_MACHINE, (ClassKey(clsid) + L"\\InprocServer32").c_str(), nullptr,
                       RRF_RT_REG_SZ, nullptr, path, &size) != ERROR_SUCCESS)
        return {};
    return path;
}

// True when the class id is registered to the stand-in controls (tools/standins/register.sh).
inline bool StandinRegistered(const wchar_t* clsid) {
    std::wstring server = RegisteredServer(clsid);
    for (auto& c : server)
        c = static_cast<wchar_t>(std::towlower(c));
    return server.find(L"kelvo_standins") != std::wstring::npos;
}

inline std::wstring FromUtf8(const std::string& text) {
    std::wstring wide(text.size(), L'\0');
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                                        static_cast<int>(wide.size()));
    wide.resize(static_cast<std::size_t>(n > 0 ? n : 0));
    return wide;
}

// The address of one of this program's own HTML resources.
inline std::wstring OwnResAddress(int id) {
    wchar_t path[MAX_PATH] = L"";
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    const wchar_t* name = std::wcsrchr(path, L'\\');
    return L"res://" + std::wstring(name ? name + 1 : path) + L"/" + std::to_wstring(id);
}

// Sets the body's before-unload handler of a loaded document, as a page script would.
inline HRESULT PutBeforeUnload(IDispatch* document, const wchar_t* handler) {
    ComPtr<IHTMLDocument2> html;
    ComPtr<IHTMLElement> body;
    ComPtr<IHTMLBodyElement> bodyElement;
    HRESULT hr = document ? html.QueryFrom(document, IID_IHTMLDocument2) : E_POINTER;
    if (SUCCEEDED(hr))
        hr = html->get_body(body.ReleaseAndGetAddressOf());
    if (SUCCEEDED(hr))
        hr = body ? bodyElement.QueryFrom(body.Get(), IID_IHTMLBodyElement) : E_POINTER;
    if (FAILED(hr))
        return hr;
    UniqueVariant value;
    value.get()->vt = VT_BSTR;
    value.get()->bstrVal = ::SysAllocString(handler);
    return bodyElement->put_onbeforeunload(*value.get());
}

// A class's registration taken out of the prefix for a while: back at Restore() or at the end.
class ClassRegistrationRemoved {
public:
    explicit ClassRegistrationRemoved(const wchar_t* clsid)
        : m_key(ClassKey(clsid)), m_server(RegisteredServer(clsid)) {
        if (m_server.empty())
            return;
        wchar_t name[256] = L"";
        DWORD size = sizeof(name);
        ::RegGetValueW(HKEY_LOCAL_MACHINE, m_key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, name, &size);
        m_description = name;
        m_removed = ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, m_key.c_str()) == ERROR_SUCCESS;
    }
    ~ClassRegistrationRemoved() { Restore(); }
    ClassRegistrationRemoved(const ClassRegistrationRemoved&) = delete;
    ClassRegistrationRemoved& operator=(const ClassRegistrationRemoved&) = delete;

    bool WasRegistered() const { return !m_server.empty(); }
    // False when a registration was there and could not be taken away.
    bool Ok() const { return m_server.empty() || m_removed; }
    void Restore() {
        if (!m_removed)
            return;
        m_removed = false;
        const std::wstring server = m_key + L"\\InprocServer32";
        ::RegSetKeyValueW(HKEY_LOCAL_MACHINE, m_key.c_str(), nullptr, REG_SZ, m_description.c_str(),
                          static_cast<DWORD>((m_description.size() + 1) * sizeof(wchar_t)));
        ::RegSetKeyValueW(HKEY_LOCAL_MACHINE, server.c_str(), nullptr, REG_SZ, m_server.c_str(),
                          static_cast<DWORD>((m_server.size() + 1) * sizeof(wchar_t)));
        ::RegSetKeyValueW(HKEY_LOCAL_MACHINE, server.c_str(), L"ThreadingModel", REG_SZ, L"Apartment",
                          sizeof(L"Apartment"));
    }

private:
    std::wstring m_key, m_server, m_description;
    bool m_removed = false;
};

// The full path of this test program, and its folder with the trailing backslash.
inline std::wstring ProgramPath() {
    wchar_t path[MAX_PATH] = L"";
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}
inline std::wstring ProgramFolder() {
    const std::wstring program = ProgramPath();
    return program.substr(0, program.rfind(L'\\') + 1);
}

// Set in a child run of RunChildTests: main() fails such a run when it ran no test or skipped one.
inline constexpr wchar_t kChildRunMark[] = L"KELVO_TEST_CHILD_RUN";
inline bool IsChildRun() {
    return ::GetEnvironmentVariableW(kChildRunMark, nullptr, 0) != 0;
}

// Runs the tests matching `filter` in a child run of this program with the environment variable
// `mark` set to `value` (the child's tests skip without it); its exit status, or -1 when it could
// not be run within two minutes. Its output goes to this program's output. The child run fails
// unless it ran at least one test and skipped none.
inline int RunChildTests(const std::wstring& filter, const wchar_t* mark, const wchar_t* value = L"1") {
    const std::wstring program = ProgramPath();
    std::wstring command = L"\"" + program + L"\" --gtest_filter=" + filter;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION child{};
    ::SetEnvironmentVariableW(mark, value);
    ::SetEnvironmentVariableW(kChildRunMark, L"1");
    const BOOL started = ::CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, FALSE, 0,
                                          nullptr, nullptr, &startup, &child);
    ::SetEnvironmentVariableW(kChildRunMark, nullptr);
    ::SetEnvironmentVariableW(mark, nullptr);
    if (!started)
        return -1;
    UniqueFile process(child.hProcess), thread(child.hThread);
    if (::WaitForSingleObject(child.hProcess, 120000) != WAIT_OBJECT_0)
        return -1;
    DWORD status = 1;
    ::GetExitCodeProcess(child.hProcess, &status);
    return static_cast<int>(status);
}

// An export looked up by name, through void(*)() so that the conversion is explicit.
// A path in the temporary folder (which ends in a backslash).
inline std::wstring TempPath(const std::wstring& name) {
    wchar_t base[MAX_PATH] = L"";
    ::GetTempPathW(MAX_PATH, base);
    return std::wstring(base) + name;
}

// Writes the file anew with these bytes.
inline bool WriteFileBytes(const std::wstring& path, std::string_view bytes) {
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return file &&
           ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

// The file's bytes, read while others may still write it; nothing when it cannot be opened.
inline std::optional<std::string> ReadFileBytes(const std::wstring& path) {
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    if (!file)
        return std::nullopt;
    std::string bytes;
    char block[65536];
    DWORD got = 0;
    while (::ReadFile(file.get(), block, sizeof block, &got, nullptr) && got != 0)
        bytes.append(block, got);
    return bytes;
}

// A base that keeps the memory of deleted objects of class T instead of giving it back: it is filled
// with a pattern and kept, so that a later write through a stale pointer shows and a later virtual
// call crashes. class X : public Base, public Graveyard<X>.
template <typename T>
class Graveyard {
public:
    static void* operator new(std::size_t size) { return ::operator new(size); }
    static void operator delete(void* p, std::size_t size) {
        std::memset(p, kPoison, size);
        Graves().push_back({static_cast<unsigned char*>(p), size});
    }
    static bool Untouched() {
        for (const Grave& grave : Graves())
            for (std::size_t i = 0; i < grave.size; ++i)
                if (grave.bytes[i] != kPoison)
                    return false;
        return true;
    }
    static std::size_t Buried() { return Graves().size(); }
    static void Free() {
        for (const Grave& grave : Graves())
            ::operator delete(grave.bytes);
        Graves().clear();
    }

private:
    static constexpr unsigned char kPoison = 0xDD;
    struct Grave {
        unsigned char* bytes;
        std::size_t size;
    };
    static std::vector<Grave>& Graves() {
        static std::vector<Grave> graves;
        return graves;
    }
};

// The stand-in controls' record while the object lives: KELVO_STANDIN_LOG names a scratch file of
// this process, and its earlier value comes back afterwards.
class StandinLog {
public:
    StandinLog() {
        m_path = TempPath(L"kelvo_standin_" + std::to_wstring(::GetCurrentProcessId()) + L".log");
        ::DeleteFileW(m_path.c_str());
        wchar_t previous[MAX_PATH] = L"";
        if (::GetEnvironmentVariableW(L"KELVO_STANDIN_LOG", previous, MAX_PATH) < MAX_PATH)
            m_previous = previous;
        ::SetEnvironmentVariableW(L"KELVO_STANDIN_LOG", m_path.c_str());
    }
    // The stand-ins run strict: misuse they detected (a call after the control's last release, a
    // release or a destroyed view inside the control's own event) fails the test.
    ~StandinLog() {
        const std::string text = Text();
        for (std::size_t at = 0; (at = text.find("fault: ", at)) != std::string::npos; ++at)
            ADD_FAILURE() << "stand-in " << text.substr(at, text.find('\n', at) - at);
        ::SetEnvironmentVariableW(L"KELVO_STANDIN_LOG", m_previous.empty() ? nullptr : m_previous.c_str());
        ::DeleteFileW(m_path.c_str());
    }
    StandinLog(const StandinLog&) = delete;
    StandinLog& operator=(const StandinLog&) = delete;

    std::string Text() const { return ReadFileBytes(m_path).value_or(""); }
    // The record's lines as written (UTF-8), a last line without its newline included.
    std::vector<std::string> Utf8Lines() const {
        std::vector<std::string> lines;
        const std::string text = Text();
        for (std::size_t at = 0; at < text.size();) {
            std::size_t end = text.find('\n', at);
            if (end == std::string::npos)
                end = text.size();
            lines.push_back(text.substr(at, end - at));
            at = end + 1;
        }
        return lines;
    }
    std::vector<std::wstring> Lines() const {
        std::vector<std::wstring> lines;
        for (const std::string& line : Utf8Lines())
            lines.push_back(FromUtf8(line));
        return lines;
    }
    // How many lines are exactly `line`.
    int Count(const std::wstring& line) const {
        int n = 0;
        for (const auto& l : Lines())
            n += l == line;
        return n;
    }
    int Count(const std::string& utf8Line) const { return Count(FromUtf8(utf8Line)); }

private:
    std::wstring m_path, m_previous;
};

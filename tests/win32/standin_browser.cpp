// The web browser stand-in, hosted the way the launcher hosts the real control: atl.dll's AtlAxWin
// window with the class id as its text, calls by DISPID, DocumentComplete through a sink. Skipped
// unless the prefix has the class id registered to kelvo_standins.dll (tools/standins/register.sh).
#include <winsock2.h>
#include <windows.h>
#include <exdisp.h>
#include <mshtml.h>
#include <ocidl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

const wchar_t kBrowserClsid[] = L"{8856F961-340A-11D0-A96B-00C04FD705A2}";

std::wstring RegisteredServer() {
    wchar_t path[MAX_PATH] = L"";
    DWORD size = sizeof(path);
    const std::wstring key =
        std::wstring(L"Software\\Classes\\CLSID\\") + kBrowserClsid + L"\\InprocServer32";
    if (::RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, path, &size) !=
        ERROR_SUCCESS)
        return {};
    return path;
}

bool StandinRegistered() {
    std::wstring server = RegisteredServer();
    for (auto& c : server)
        c = static_cast<wchar_t>(towlower(c));
    return server.find(L"kelvo_standins") != std::wstring::npos;
}

std::wstring ResAddress(int id) {
    wchar_t path[MAX_PATH] = L"";
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    const wchar_t* name = wcsrchr(path, L'\\');
    return L"res://" + std::wstring(name ? name + 1 : path) + L"/" + std::to_wstring(id);
}

std::wstring Narrow(const std::string& utf8) {
    std::wstring out(utf8.size(), L'\0');
    out.resize(static_cast<size_t>(::MultiByteToWideChar(
        CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), static_cast<int>(out.size()))));
    return out;
}

// Records every DocumentComplete with the shape of its arguments.
class EventSink final : public IDispatch {
public:
    std::vector<std::wstring> completed;
    std::function<void(const std::wstring&)> onComplete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == DIID_DWebBrowserEvents2) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --m_refs; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT*,
                                     EXCEPINFO*, UINT*) override {
        if (id != 259)
            return S_OK;
        std::wstring address = L"<bad arguments>";
        if (flags == DISPATCH_METHOD && params && params->cArgs == 2 &&
            V_VT(&params->rgvarg[1]) == VT_DISPATCH && V_DISPATCH(&params->rgvarg[1]) &&
            V_VT(&params->rgvarg[0]) == (VT_VARIANT | VT_BYREF) && V_VARIANTREF(&params->rgvarg[0]) &&
            V_VT(V_VARIANTREF(&params->rgvarg[0])) == VT_BSTR)
            address = V_BSTR(V_VARIANTREF(&params->rgvarg[0]));
        completed.push_back(address);
        if (onComplete)
            onComplete(address);
        return S_OK;
    }

private:
    ULONG m_refs = 1;
};

template <typename Fn>
Fn Lookup(HMODULE module, const char* name) {
    // Through void(*)() so that the conversion between function types is explicit.
    return module ? reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)))
                  : nullptr;
}

using AtlAxWinInitFn = BOOL(WINAPI*)();
using AtlAxGetControlFn = HRESULT(WINAPI*)(HWND, IUnknown**);
using AtlAdviseFn = HRESULT(WINAPI*)(IUnknown*, IUnknown*, const IID&, DWORD*);
using AtlUnadviseFn = HRESULT(WINAPI*)(IUnknown*, const IID&, DWORD);

class StandinBrowser : public ::testing::Test {
protected:
    void SetUp() override {
        if (!StandinRegistered())
            GTEST_SKIP() << "the web browser class id is not registered to kelvo_standins.dll";
        wchar_t temp[MAX_PATH] = L"";
        ::GetTempPathW(MAX_PATH, temp);
        m_log =
            std::wstring(temp) + L"kelvo_standin_test_" + std::to_wstring(::GetCurrentProcessId()) + L".log";
        ::DeleteFileW(m_log.c_str());
        wchar_t previous[MAX_PATH] = L"";
        if (::GetEnvironmentVariableW(L"KELVO_STANDIN_LOG", previous, MAX_PATH) < MAX_PATH && previous[0])
            m_previousLog = previous;
        ::SetEnvironmentVariableW(L"KELVO_STANDIN_LOG", m_log.c_str());

        m_atl = ::LoadLibraryW(L"atl.dll");
        ASSERT_NE(m_atl, nullptr);
        const auto init = Lookup<AtlAxWinInitFn>(m_atl, "AtlAxWinInit");
        const auto getControl = Lookup<AtlAxGetControlFn>(m_atl, "AtlAxGetControl");
        m_advise = Lookup<AtlAdviseFn>(m_atl, "AtlAdvise");
        m_unadvise = Lookup<AtlUnadviseFn>(m_atl, "AtlUnadvise");
        ASSERT_TRUE(init && getControl && m_advise && m_unadvise);
        // Wine answers FALSE when the window classes exist already (the framework may have called it).
        init();

        m_parent = ::CreateWindowExW(0, L"STATIC", L"standin host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                     700, 450, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(m_parent, nullptr);
        m_host = ::CreateWindowExW(0, L"AtlAxWin", kBrowserClsid, WS_CHILD | WS_VISIBLE, 45, 30, 610, 336,
                                   m_parent, reinterpret_cast<HMENU>(1000), nullptr, nullptr);
        ASSERT_NE(m_host, nullptr);
        IUnknown* unknown = nullptr;
        ASSERT_EQ(getControl(m_host, &unknown), S_OK);
        ASSERT_NE(unknown, nullptr);
        unknown->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&m_browser));
        unknown->Release();
        ASSERT_NE(m_browser, nullptr);
        ASSERT_EQ(m_advise(m_browser, &m_sink, DIID_DWebBrowserEvents2, &m_cookie), S_OK);
    }

    void TearDown() override {
        if (m_browser) {
            m_unadvise(m_browser, DIID_DWebBrowserEvents2, m_cookie);
            m_browser->Release();
        }
        if (m_parent)
            ::DestroyWindow(m_parent);
        Pump(50);
        if (!m_log.empty()) {
            ::DeleteFileW(m_log.c_str());
            ::SetEnvironmentVariableW(L"KELVO_STANDIN_LOG",
                                      m_previousLog.empty() ? nullptr : m_previousLog.c_str());
        }
    }

    // Navigate as the launcher calls it: the address, then four optional arguments. `nullRefs`
    // passes them as by-reference variants without a target, else as references to empty variants.
    HRESULT Navigate(const std::wstring& url, bool nullRefs = false) {
        VARIANT empty[4];
        VARIANTARG args[5];
        for (int i = 0; i < 4; ++i) {
            ::VariantInit(&empty[i]);
            ::VariantInit(&args[i]);
            V_VT(&args[i]) = VT_VARIANT | VT_BYREF;
            V_VARIANTREF(&args[i]) = nullRefs ? nullptr : &empty[i];
        }
        ::VariantInit(&args[4]);
        V_VT(&args[4]) = VT_BSTR;
        V_BSTR(&args[4]) = ::SysAllocString(url.c_str());
        DISPPARAMS params{args, nullptr, 5, 0};
        const HRESULT hr = m_browser->Invoke(104, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                                             nullptr, nullptr, nullptr);
        ::VariantClear(&args[4]);
        return hr;
    }

    IHTMLDocument2* Document() {
        VARIANT result;
        ::VariantInit(&result);
        DISPPARAMS none{nullptr, nullptr, 0, 0};
        if (FAILED(m_browser->Invoke(203, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &result,
                                     nullptr, nullptr)) ||
            V_VT(&result) != VT_DISPATCH || !V_DISPATCH(&result))
            return nullptr;
        IHTMLDocument2* document = nullptr;
        V_DISPATCH(&result)->QueryInterface(IID_IHTMLDocument2, reinterpret_cast<void**>(&document));
        ::VariantClear(&result);
        return document;
    }

    static void Pump(DWORD ms) {
        PumpUntil([] { return false; }, ms);
    }

    static bool PumpUntil(const std::function<bool()>& done, DWORD ms = 10000) {
        const DWORD start = ::GetTickCount();
        while (!done()) {
            if (::GetTickCount() - start > ms)
                return false;
            MSG msg;
            while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                ::TranslateMessage(&msg);
                ::DispatchMessageW(&msg);
            }
            ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        }
        return true;
    }

    bool WaitForCompletions(size_t n) {
        return PumpUntil([&] { return m_sink.completed.size() >= n; });
    }

    std::vector<std::wstring> LogLines() const {
        std::ifstream in(m_log.c_str(), std::ios::binary);
        std::vector<std::wstring> lines;
        for (std::string line; std::getline(in, line);)
            lines.push_back(Narrow(line));
        return lines;
    }

    bool Logged(const std::wstring& line) const {
        for (const auto& l : LogLines())
            if (l == line)
                return true;
        return false;
    }

    HWND View() const { return ::GetWindow(m_host, GW_CHILD); }

    void Click(int x, int y) {
        const HWND view = View();
        ::SendMessageW(view, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
        ::SendMessageW(view, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    }

    HMODULE m_atl = nullptr;
    AtlAdviseFn m_advise = nullptr;
    AtlUnadviseFn m_unadvise = nullptr;
    HWND m_parent = nullptr;
    HWND m_host = nullptr;
    IDispatch* m_browser = nullptr;
    EventSink m_sink;
    DWORD m_cookie = 0;
    std::wstring m_log;
    std::wstring m_previousLog;
};

TEST_F(StandinBrowser, HostedControlHasItsOwnChildWindowFillingTheHost) {
    const HWND view = View();
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(::IsWindowVisible(view));
    RECT rc{};
    ::GetClientRect(view, &rc);
    EXPECT_EQ(rc.right, 610);
    EXPECT_EQ(rc.bottom, 336);
    IOleInPlaceObject* inPlace = nullptr;
    ASSERT_EQ(m_browser->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlace)), S_OK);
    HWND reported = nullptr;
    EXPECT_EQ(inPlace->GetWindow(&reported), S_OK);
    EXPECT_EQ(reported, view);
    const RECT moved{0, 0, 300, 200};
    inPlace->SetObjectRects(&moved, &moved);
    ::GetClientRect(view, &rc);
    EXPECT_EQ(rc.right, 300);
    EXPECT_EQ(rc.bottom, 200);
    inPlace->Release();
}

TEST_F(StandinBrowser, NavigateReturnsAtOnceAndCompletesLaterWithTheAddress) {
    const std::wstring address = ResAddress(9101);
    EXPECT_EQ(Document(), nullptr); // nothing loaded yet
    ASSERT_EQ(Navigate(address), S_OK);
    EXPECT_TRUE(m_sink.completed.empty());
    ASSERT_TRUE(WaitForCompletions(1));
    EXPECT_EQ(m_sink.completed, std::vector<std::wstring>{address});
    Pump(100);
    EXPECT_EQ(m_sink.completed.size(), 1u);
    const auto lines = LogLines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0], L"navigate " + address);
    EXPECT_EQ(lines[1], L"complete " + address);

    // The optional arguments may also come as references without a target.
    m_sink.completed.clear();
    ASSERT_EQ(Navigate(ResAddress(9104), true), S_OK);
    ASSERT_TRUE(WaitForCompletions(1));
    EXPECT_EQ(m_sink.completed[0], ResAddress(9104));
}

TEST_F(StandinBrowser, DocumentBodyTakesAnEmptyBeforeUnloadHandler) {
    ASSERT_EQ(Navigate(ResAddress(9101)), S_OK);
    ASSERT_TRUE(WaitForCompletions(1));
    IHTMLDocument2* document = Document();
    ASSERT_NE(document, nullptr);
    BSTR text = nullptr;
    ASSERT_EQ(document->get_title(&text), S_OK);
    EXPECT_STREQ(text, L"Stand-in & top");
    ::SysFreeString(text);
    ASSERT_EQ(document->get_URL(&text), S_OK);
    EXPECT_EQ(std::wstring(text), ResAddress(9101));
    ::SysFreeString(text);

    IHTMLElement* body = nullptr;
    ASSERT_EQ(document->get_body(&body), S_OK);
    ASSERT_NE(body, nullptr);
    IHTMLBodyElement* bodyElement = nullptr;
    ASSERT_EQ(body->QueryInterface(IID_IHTMLBodyElement, reinterpret_cast<void**>(&bodyElement)), S_OK);
    VARIANT handler;
    ::VariantInit(&handler);
    V_VT(&handler) = VT_BSTR;
    V_BSTR(&handler) = ::SysAllocString(L"");
    EXPECT_EQ(bodyElement->put_onbeforeunload(handler), S_OK);
    ::VariantClear(&handler);
    ASSERT_EQ(bodyElement->get_onbeforeunload(&handler), S_OK);
    EXPECT_EQ(V_VT(&handler), VT_BSTR);
    EXPECT_EQ(::SysStringLen(V_BSTR(&handler)), 0u);
    ::VariantClear(&handler);
    EXPECT_TRUE(Logged(L"onbeforeunload "));
    bodyElement->Release();
    body->Release();
    document->Release();
}

TEST_F(StandinBrowser, Gb2312PageIsDecoded) {
    ASSERT_EQ(Navigate(ResAddress(9102)), S_OK);
    ASSERT_TRUE(WaitForCompletions(1));
    IHTMLDocument2* document = Document();
    ASSERT_NE(document, nullptr);
    BSTR title = nullptr;
    ASSERT_EQ(document->get_title(&title), S_OK);
    EXPECT_STREQ(title, L"\u52a0\u8f7d\u4e2d");
    ::SysFreeString(title);
    document->Release();
}

TEST_F(StandinBrowser, FramesCompleteFirstThenTheTopPage) {
    ASSERT_EQ(Navigate(ResAddress(9103)), S_OK);
    ASSERT_TRUE(WaitForCompletions(3));
    EXPECT_EQ(m_sink.completed,
              (std::vector<std::wstring>{ResAddress(9102), ResAddress(9104), ResAddress(9103)}));
}

TEST_F(StandinBrowser, MissingResourceCompletesWithAnErrorPageOfTheControl) {
    ASSERT_EQ(Navigate(ResAddress(9999)), S_OK);
    ASSERT_TRUE(WaitForCompletions(1));
    EXPECT_EQ(m_sink.completed[0].rfind(L"res://", 0), 0u);
    EXPECT_NE(m_sink.completed[0].find(ResAddress(9999)), std::wstring::npos);
    EXPECT_NE(m_sink.completed[0], ResAddress(9999));
}

TEST_F(StandinBrowser, NavigationFromAnEventHandlerSupersedesTheRestOfThePage) {
    // Like the launcher: a completed frame sends the view elsewhere; the top page then never completes.
    m_sink.onComplete = [this](const std::wstring& address) {
        if (address == ResAddress(9102))
            Navigate(ResAddress(9101));
    };
    ASSERT_EQ(Navigate(ResAddress(9103)), S_OK);
    ASSERT_TRUE(WaitForCompletions(2));
    Pump(200);
    EXPECT_EQ(m_sink.completed, (std::vector<std::wstring>{ResAddress(9102), ResAddress(9101)}));

    // The same when the handler runs a message loop (a message box) and the new page completes in it.
    m_sink.completed.clear();
    m_sink.onComplete = [this](const std::wstring& address) {
        if (address == ResAddress(9102)) {
            Navigate(ResAddress(9105));
            PumpUntil([this] { return m_sink.completed.back() == ResAddress(9105); }, 5000);
        }
    };
    ASSERT_EQ(Navigate(ResAddress(9103)), S_OK);
    ASSERT_TRUE(WaitForCompletions(2));
    Pump(200);
    EXPECT_EQ(m_sink.completed, (std::vector<std::wstring>{ResAddress(9102), ResAddress(9105)}));
}

TEST_F(StandinBrowser, ClicksFollowLinksAndSubmitFormsAndAreRecorded) {
    // Pages without a title start their first line at the top left of the view.
    ASSERT_EQ(Navigate(ResAddress(9104)), S_OK);
    ASSERT_TRUE(WaitForCompletions(1));
    ::UpdateWindow(View());
    Click(20, 16);
    ASSERT_TRUE(WaitForCompletions(2));
    EXPECT_EQ(m_sink.completed[1], ResAddress(9101));
    EXPECT_TRUE(Logged(L"mouse WM_LBUTTONDOWN 20 16"));
    EXPECT_TRUE(Logged(L"mouse WM_LBUTTONUP 20 16"));

    ASSERT_EQ(Navigate(ResAddress(9105)), S_OK);
    ASSERT_TRUE(WaitForCompletions(3));
    ::UpdateWindow(View());
    Click(20, 16);
    ASSERT_TRUE(WaitForCompletions(4));
    EXPECT_EQ(m_sink.completed[3], ResAddress(9101) + L"?go=Enter&user=a+b%26c&pw=9");

    // Right-button messages are recorded too; a click outside anything navigates nowhere.
    ::SendMessageW(View(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(300, 300));
    Click(300, 300);
    Pump(100);
    EXPECT_TRUE(Logged(L"mouse WM_RBUTTONDOWN 300 300"));
    EXPECT_EQ(m_sink.completed.size(), 4u);
}

TEST_F(StandinBrowser, KeysOfferedForTranslationAreRecordedAndLeftForDispatch) {
    IOleInPlaceActiveObject* active = nullptr;
    ASSERT_EQ(m_browser->QueryInterface(IID_IOleInPlaceActiveObject, reinterpret_cast<void**>(&active)),
              S_OK);
    MSG msg{View(), WM_KEYDOWN, VK_RETURN, 0x001C0001, ::GetTickCount(), {}};
    EXPECT_EQ(active->TranslateAccelerator(&msg), S_FALSE);
    active->Release();
    EXPECT_TRUE(Logged(L"key 13"));
}

// Winsock, looked up at run time: the test program links no socket library.
struct Sockets {
#define STANDIN_SOCKET_FN(name) decltype(&::name) name = Lookup<decltype(&::name)>(module, #name);
    HMODULE module = ::LoadLibraryW(L"ws2_32.dll");
    STANDIN_SOCKET_FN(WSAStartup)
    STANDIN_SOCKET_FN(WSACleanup)
    STANDIN_SOCKET_FN(socket)
    STANDIN_SOCKET_FN(bind)
    STANDIN_SOCKET_FN(getsockname)
    STANDIN_SOCKET_FN(listen)
    STANDIN_SOCKET_FN(accept)
    STANDIN_SOCKET_FN(recv)
    STANDIN_SOCKET_FN(send)
    STANDIN_SOCKET_FN(shutdown)
    STANDIN_SOCKET_FN(closesocket)
#undef STANDIN_SOCKET_FN
};

// A tiny HTTP server on 127.0.0.1: "/start" redirects to "/final", which answers a page.
class RedirectServer {
public:
    RedirectServer() {
        WSADATA data;
        ws.WSAStartup(MAKEWORD(2, 2), &data);
        m_listen = ws.socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = 0x0100007F; // 127.0.0.1 in network order
        ws.bind(m_listen, reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
        int len = sizeof(addr);
        ws.getsockname(m_listen, reinterpret_cast<sockaddr*>(&addr), &len);
        port = ((addr.sin_port & 0xFF) << 8) | (addr.sin_port >> 8);
        ws.listen(m_listen, 4);
        m_thread = std::thread([this] { Serve(); });
    }
    RedirectServer(const RedirectServer&) = delete;
    RedirectServer& operator=(const RedirectServer&) = delete;
    ~RedirectServer() {
        ws.closesocket(m_listen);
        m_thread.join();
        ws.WSACleanup();
    }
    std::wstring Url(const char* path) const {
        return L"http://127.0.0.1:" + std::to_wstring(port) + Narrow(path);
    }
    int port = 0;
    std::atomic<int> requests{0};

private:
    void Serve() {
        for (;;) {
            const SOCKET s = ws.accept(m_listen, nullptr, nullptr);
            if (s == INVALID_SOCKET)
                return;
            std::string request;
            char buffer[2048];
            while (request.find("\r\n\r\n") == std::string::npos) {
                const int n = ws.recv(s, buffer, sizeof(buffer), 0);
                if (n <= 0)
                    break;
                request.append(buffer, static_cast<size_t>(n));
            }
            ++requests;
            std::string reply;
            if (request.rfind("GET /start ", 0) == 0) {
                reply = "HTTP/1.1 302 Found\r\nLocation: /final?x=1\r\nContent-Length: 0\r\nConnection: "
                        "close\r\n\r\n";
            } else if (request.rfind("GET /final", 0) == 0) {
                const std::string body = "<html><head><title>Final</title></head><body>ok</body></html>";
                reply = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: " +
                        std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
            } else {
                reply = "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
            }
            ws.send(s, reply.data(), static_cast<int>(reply.size()), 0);
            ws.shutdown(s, SD_SEND);
            ws.closesocket(s);
        }
    }
    Sockets ws;
    SOCKET m_listen = INVALID_SOCKET;
    std::thread m_thread;
};

TEST_F(StandinBrowser, HttpCompletesWithTheAddressAfterRedirects) {
    RedirectServer server;
    ASSERT_EQ(Navigate(server.Url("/start")), S_OK);
    ASSERT_TRUE(WaitForCompletions(1));
    EXPECT_EQ(m_sink.completed[0], server.Url("/final?x=1"));
    IHTMLDocument2* document = Document();
    ASSERT_NE(document, nullptr);
    BSTR title = nullptr;
    document->get_title(&title);
    EXPECT_STREQ(title, L"Final");
    ::SysFreeString(title);
    document->Release();

    ASSERT_EQ(Navigate(server.Url("/missing")), S_OK);
    ASSERT_TRUE(WaitForCompletions(2));
    EXPECT_EQ(m_sink.completed[1].rfind(L"res://", 0), 0u);
}

} // namespace

// The web browser stand-in, hosted the way the launcher hosts the real control: atl.dll's AtlAxWin
// window with the class id as its text, calls by DISPID, DocumentComplete through a sink. Skipped
// unless the prefix has the class id registered to kelvo_standins.dll (tools/standins/register.sh).
#include <winsock2.h>
#include <windows.h>
#include <exdisp.h>
#include <mshtml.h>
#include <ocidl.h>

#include "framework/SystemLibrary.h"

#include "loopback_server.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

using namespace kelvo;

namespace {

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

using AtlAxWinInitFn = BOOL(WINAPI*)();
using AtlAxGetControlFn = HRESULT(WINAPI*)(HWND, IUnknown**);
using AtlAdviseFn = HRESULT(WINAPI*)(IUnknown*, IUnknown*, const IID&, DWORD*);
using AtlUnadviseFn = HRESULT(WINAPI*)(IUnknown*, const IID&, DWORD);

class StandinBrowser : public ::testing::Test {
protected:
    void SetUp() override {
        if (!StandinRegistered(kBrowserClsid))
            GTEST_SKIP() << "the web browser class id is not registered to kelvo_standins.dll";
        m_log = std::make_unique<StandinLog>();

        m_atl = ::LoadLibraryW(L"atl.dll");
        ASSERT_NE(m_atl, nullptr);
        const auto init = ProcAddress<AtlAxWinInitFn>(m_atl, "AtlAxWinInit");
        const auto getControl = ProcAddress<AtlAxGetControlFn>(m_atl, "AtlAxGetControl");
        m_advise = ProcAddress<AtlAdviseFn>(m_atl, "AtlAdvise");
        m_unadvise = ProcAddress<AtlUnadviseFn>(m_atl, "AtlUnadvise");
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
        m_log.reset();
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

    ComPtr<IHTMLDocument2> Document() {
        UniqueVariant result;
        DISPPARAMS none{nullptr, nullptr, 0, 0};
        ComPtr<IHTMLDocument2> document;
        if (SUCCEEDED(m_browser->Invoke(203, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none,
                                        result.get(), nullptr, nullptr)) &&
            V_VT(result.get()) == VT_DISPATCH && V_DISPATCH(result.get()))
            document.QueryFrom(V_DISPATCH(result.get()), IID_IHTMLDocument2);
        return document;
    }
    // The loaded document's title, or "<no document>".
    std::wstring Title() {
        const ComPtr<IHTMLDocument2> document = Document();
        UniqueBstr title;
        if (!document || FAILED(document->get_title(title.out())))
            return L"<no document>";
        return title.get() ? title.get() : L"";
    }

    bool WaitForCompletions(size_t n) {
        return PumpUntil([&] { return m_sink.completed.size() >= n; });
    }

    std::vector<std::wstring> LogLines() const { return m_log->Lines(); }
    bool Logged(const std::wstring& line) const { return m_log->Count(line) > 0; }

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
    std::unique_ptr<StandinLog> m_log;
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
    const std::wstring address = OwnResAddress(9101);
    EXPECT_FALSE(Document()); // nothing loaded yet
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
    ASSERT_EQ(Navigate(OwnResAddress(9104), true), S_OK);
    ASSERT_TRUE(WaitForCompletions(1));
    EXPECT_EQ(m_sink.completed[0], OwnResAddress(9104));
}

TEST_F(StandinBrowser, DocumentBodyTakesAnEmptyBeforeUnloadHandler) {
    ASSERT_EQ(Navigate(OwnResAddress(9101)), S_OK);
    ASSERT_TRUE(WaitForCompletions(1));
    EXPECT_EQ(Title(), L"Stand-in & top");
    const ComPtr<IHTMLDocument2> document = Document();
    ASSERT_TRUE(document);
    UniqueBstr address;
    ASSERT_EQ(document->get_URL(address.out()), S_OK);
    EXPECT_EQ(std::wstring(address.get()), OwnResAddress(9101));

    ASSERT_EQ(PutBeforeUnload(document.Get(), L""), S_OK);
    ComPtr<IHTMLElement> body;
    ASSERT_EQ(document->get_body(body.ReleaseAndGetAddressOf()), S_OK);
    ComPtr<IHTMLBodyElement> bodyElement;
    ASSERT_EQ(bodyElement.QueryFrom(body.Get(), IID_IHTMLBodyElement), S_OK);
    UniqueVariant handler;
    ASSERT_EQ(bodyElement->get_onbeforeunload(handler.get()), S_OK);
    EXPECT_EQ(V_VT(handler.get()), VT_BSTR);
    EXPECT_EQ(::SysStringLen(V_BSTR(handler.get())), 0u);
    EXPECT_TRUE(Logged(L"onbeforeunload "));
}

TEST_F(StandinBrowser, Gb2312PageIsDecoded) {
    ASSERT_EQ(Navigate(OwnResAddress(9102)), S_OK);
    ASSERT_TRUE(WaitForCompletions(1));
    EXPECT_EQ(Title(), L"\u52a0\u8f7d\u4e2d");
}

TEST_F(StandinBrowser, FramesCompleteFirstThenTheTopPage) {
    ASSERT_EQ(Navigate(OwnResAddress(9103)), S_OK);
    ASSERT_TRUE(WaitForCompletions(3));
    EXPECT_EQ(m_sink.completed,
              (std::vector<std::wstring>{OwnResAddress(9102), OwnResAddress(9104), OwnResAddress(9103)}));
}

TEST_F(StandinBrowser, MissingResourceCompletesWithAnErrorPageOfTheControl) {
    ASSERT_EQ(Navigate(OwnResAddress(9999)), S_OK);
    ASSERT_TRUE(WaitForCompletions(1));
    EXPECT_EQ(m_sink.completed[0].rfind(L"res://", 0), 0u);
    EXPECT_NE(m_sink.completed[0].find(OwnResAddress(9999)), std::wstring::npos);
    EXPECT_NE(m_sink.completed[0], OwnResAddress(9999));
}

TEST_F(StandinBrowser, NavigationFromAnEventHandlerSupersedesTheRestOfThePage) {
    // Like the launcher: a completed frame sends the view elsewhere; the top page then never completes.
    m_sink.onComplete = [this](const std::wstring& address) {
        if (address == OwnResAddress(9102))
            Navigate(OwnResAddress(9101));
    };
    ASSERT_EQ(Navigate(OwnResAddress(9103)), S_OK);
    ASSERT_TRUE(WaitForCompletions(2));
    Pump(200);
    EXPECT_EQ(m_sink.completed, (std::vector<std::wstring>{OwnResAddress(9102), OwnResAddress(9101)}));

    // The same when the handler runs a message loop (a message box) and the new page completes in it.
    m_sink.completed.clear();
    m_sink.onComplete = [this](const std::wstring& address) {
        if (address == OwnResAddress(9102)) {
            Navigate(OwnResAddress(9105));
            PumpUntil([this] { return m_sink.completed.back() == OwnResAddress(9105); }, 5000);
        }
    };
    ASSERT_EQ(Navigate(OwnResAddress(9103)), S_OK);
    ASSERT_TRUE(WaitForCompletions(2));
    Pump(200);
    EXPECT_EQ(m_sink.completed, (std::vector<std::wstring>{OwnResAddress(9102), OwnResAddress(9105)}));
}

TEST_F(StandinBrowser, ClicksFollowLinksAndSubmitFormsAndAreRecorded) {
    // Pages without a title start their first line at the top left of the view.
    ASSERT_EQ(Navigate(OwnResAddress(9104)), S_OK);
    ASSERT_TRUE(WaitForCompletions(1));
    ::UpdateWindow(View());
    Click(20, 16);
    ASSERT_TRUE(WaitForCompletions(2));
    EXPECT_EQ(m_sink.completed[1], OwnResAddress(9101));
    EXPECT_TRUE(Logged(L"mouse WM_LBUTTONDOWN 20 16"));
    EXPECT_TRUE(Logged(L"mouse WM_LBUTTONUP 20 16"));

    ASSERT_EQ(Navigate(OwnResAddress(9105)), S_OK);
    ASSERT_TRUE(WaitForCompletions(3));
    ::UpdateWindow(View());
    Click(20, 16);
    ASSERT_TRUE(WaitForCompletions(4));
    EXPECT_EQ(m_sink.completed[3], OwnResAddress(9101) + L"?go=Enter&user=a+b%26c&pw=9");

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

// "/start" redirects to "/final", which answers a page; anything else is missing.
void AnswerRedirect(SOCKET s, const std::string& request) {
    if (request.rfind("GET /start ", 0) == 0)
        LoopbackServer::Send(s, LoopbackServer::Reply("302 Found", "", "Location: /final?x=1\r\n"));
    else if (request.rfind("GET /final", 0) == 0)
        LoopbackServer::Send(s, LoopbackServer::Reply(
                                    "200 OK", "<html><head><title>Final</title></head><body>ok</body></html>",
                                    "Content-Type: text/html\r\n"));
    else
        LoopbackServer::Send(s, LoopbackServer::Reply("404 Not Found", ""));
}

TEST_F(StandinBrowser, HttpCompletesWithTheAddressAfterRedirects) {
    LoopbackServer server(AnswerRedirect);
    ASSERT_EQ(Navigate(server.Url(L"/start")), S_OK);
    ASSERT_TRUE(WaitForCompletions(1));
    EXPECT_EQ(m_sink.completed[0], server.Url(L"/final?x=1"));
    EXPECT_EQ(Title(), L"Final");

    ASSERT_EQ(Navigate(server.Url(L"/missing")), S_OK);
    ASSERT_TRUE(WaitForCompletions(2));
    EXPECT_EQ(m_sink.completed[1].rfind(L"res://", 0), 0u);
}

} // namespace

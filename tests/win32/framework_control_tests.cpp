// Control hosting of the framework with the web browser stand-in: creation by class id as a child
// with a control id, calls by DISPID, the event-sink map, key forwarding to the in-place active
// object, and release on destruction. Skipped unless the stand-in is registered in the prefix.
#include "framework/CDialog.h"
#include "framework/CWinApp.h"
#include "framework/ControlWnd.h"
#include "login/win/CExplorer1.h"

#include <mshtml.h>
#include <olectl.h>

#include "test_support.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

using namespace kelvo;

namespace {

// A dialog hosting the browser with id 1000 and sinking its DocumentComplete by DISPID.
class HostDialog : public CDialog {
public:
    HostDialog() : CDialog(102) {}
    CExplorer1 browser;
    std::vector<std::wstring> completed;
    bool documentWasDispatch = false;

    void OnComplete(IDispatch* document, VARIANT* address) {
        documentWasDispatch = document != nullptr;
        completed.push_back(address && address->vt == VT_BSTR ? address->bstrVal : L"<no address>");
    }

protected:
    DECLARE_EVENTSINK_MAP()
};

BEGIN_EVENTSINK_MAP(HostDialog, CDialog)
ON_EVENT_DISPATCH_PVARIANT(1000, 259, OnComplete)
END_EVENTSINK_MAP()

class FrameworkControl : public ::testing::Test {
protected:
    void SetUp() override {
        if (!StandinRegistered(kBrowserClsid))
            GTEST_SKIP() << "the web browser class id is not registered to the stand-in";
        log = std::make_unique<StandinLog>();
        ASSERT_TRUE(host.Create(102));
        host.ShowWindow(SW_SHOW);
        ASSERT_TRUE(host.browser.Create(nullptr, WS_CHILD | WS_VISIBLE, RECT{45, 30, 655, 366}, &host, 1000));
    }
    void NavigateAndWait(const std::wstring& address) {
        const std::size_t before = host.completed.size();
        host.browser.Navigate(address.c_str(), nullptr, nullptr, nullptr, nullptr);
        ASSERT_TRUE(PumpUntil([&] { return host.completed.size() > before; }));
    }

    std::unique_ptr<StandinLog> log;
    HostDialog host;
};

TEST_F(FrameworkControl, CreatesTheControlAsAChildWithItsId) {
    EXPECT_EQ(::GetDlgCtrlID(host.browser.m_hWnd), 1000);
    EXPECT_EQ(::GetParent(host.browser.m_hWnd), host.m_hWnd);
    EXPECT_NE(host.browser.GetControlDispatch(), nullptr);
    RECT r{};
    ::GetWindowRect(host.browser.m_hWnd, &r);
    ::MapWindowPoints(nullptr, host.m_hWnd, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.left, 45);
    EXPECT_EQ(r.top, 30);
    EXPECT_EQ(r.right, 655);
    EXPECT_EQ(r.bottom, 366);
}

TEST_F(FrameworkControl, EventsReachTheSinkMapByControlIdAndDispid) {
    NavigateAndWait(OwnResAddress(208));
    ASSERT_EQ(host.completed.size(), 1u);
    EXPECT_EQ(host.completed[0], OwnResAddress(208));
    EXPECT_TRUE(host.documentWasDispatch);
}

TEST_F(FrameworkControl, DocumentBodyTakesAnEmptyBeforeUnloadHandler) {
    NavigateAndWait(OwnResAddress(208));
    ComPtr<IDispatch> document = host.browser.get_Document();
    ASSERT_TRUE(document);
    EXPECT_EQ(PutBeforeUnload(document.Get(), L""), S_OK);
    EXPECT_NE(log->Text().find("onbeforeunload \n"), std::string::npos) << log->Text();
}

TEST_F(FrameworkControl, KeysForTheControlGoToItsInPlaceActiveObject) {
    NavigateAndWait(OwnResAddress(208));
    HWND inner = ::GetWindow(host.browser.m_hWnd, GW_CHILD);
    while (inner && ::GetWindow(inner, GW_CHILD))
        inner = ::GetWindow(inner, GW_CHILD);
    ASSERT_NE(inner, nullptr);
    MSG tab{inner, WM_KEYDOWN, VK_TAB, 0, 0, {}};
    host.PreTranslateMessage(&tab);
    EXPECT_NE(log->Text().find("key 9"), std::string::npos) << log->Text();
}

TEST_F(FrameworkControl, DestructionReleasesTheControlAndItsEvents) {
    HWND hostWindow = host.browser.m_hWnd;
    host.browser.DestroyWindow();
    EXPECT_FALSE(::IsWindow(hostWindow));
    EXPECT_EQ(host.browser.GetControlDispatch(), nullptr);
    EXPECT_EQ(host.browser.GetControlSite(), nullptr);
    // A second control in the same place works after the first is gone.
    ASSERT_TRUE(host.browser.Create(nullptr, WS_CHILD | WS_VISIBLE, RECT{45, 30, 655, 366}, &host, 1000));
    NavigateAndWait(OwnResAddress(208));
    EXPECT_EQ(host.completed.size(), 1u);
}

} // namespace

namespace {

TEST_F(FrameworkControl, EventsThatCannotBeConnectedFailTheCreation) {
    // The browser has no connection point for this interface: its events would be lost unseen.
    const IID unknownEvents = {0x0BADF00D, 0x1234, 0x5678, {0x9A, 0xBC, 0xDE, 0xF0, 0x12, 0x34, 0x56, 0x78}};
    ControlWnd control;
    EXPECT_EQ(control.CreateControl(CLSID_KelvoWebBrowser, unknownEvents, WS_CHILD, RECT{0, 0, 100, 100},
                                    &host, 1002),
              CONNECT_E_NOCONNECTION);
    EXPECT_EQ(control.m_hWnd, nullptr);
    EXPECT_EQ(control.GetControlSite(), nullptr);
    EXPECT_EQ(host.GetDlgItem(1002), nullptr);
    // A parent without an event-sink map takes no events; asked for, they must connect all the same.
    CWnd plain;
    ASSERT_TRUE(plain.CreateEx(0, L"STATIC", L"", WS_CHILD, RECT{0, 0, 100, 100}, host.m_hWnd, 1004));
    EXPECT_EQ(control.CreateControl(CLSID_KelvoWebBrowser, unknownEvents, WS_CHILD, RECT{0, 0, 100, 100},
                                    &plain, 1005),
              CONNECT_E_NOCONNECTION);
    // Without an event owner nothing is connected, and the control is created.
    ControlWnd quiet;
    EXPECT_EQ(
        quiet.CreateControl(CLSID_KelvoWebBrowser, IID_NULL, WS_CHILD, RECT{0, 0, 100, 100}, &host, 1003),
        S_OK);
}

// A program whose run ends within the release timer's delay after a control was retired inside
// one of its calls: nothing would run that timer any more.
class EndsWithARetiredControl : public CWinApp {
public:
    explicit EndsWithARetiredControl(CWnd& parent) : m_parent(parent) {}
    BOOL InitInstance() override {
        auto control = std::make_unique<ControlWnd>();
        const CLSID flash = {0xD27CDB6E, 0xAE6D, 0x11CF, {0x96, 0xB8, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
        if (FAILED(control->CreateControl(flash, IID_NULL, WS_CHILD, RECT{0, 0, 100, 100}, &m_parent, 1001)))
            return FALSE;
        ControlSite* site = control->GetControlSite();
        site->Enter();
        control.reset();
        site->Leave();
        created = true;
        return FALSE;
    }
    bool created = false;

private:
    CWnd& m_parent;
};

TEST_F(FrameworkControl, AControlRetiredJustBeforeTheRunEndsIsReleased) {
    if (!StandinRegistered(kFlashClsid))
        GTEST_SKIP() << "the Flash class id is not registered to the stand-in";
    EndsWithARetiredControl app(host);
    AfxWinMain(::GetModuleHandleW(nullptr));
    ASSERT_TRUE(app.created);
    // Without a message loop in between.
    EXPECT_EQ(log->Count("flash destroyed"), 1) << log->Text();
    Pump(100);
    EXPECT_EQ(log->Count("flash destroyed"), 1) << log->Text();
}

TEST_F(FrameworkControl, AFailedCreationSaysWhy) {
    // An object that is no embeddable control: a plain stream.
    ComPtr<IStream> stream;
    ASSERT_EQ(::CreateStreamOnHGlobal(nullptr, TRUE, stream.ReleaseAndGetAddressOf()), S_OK);
    ControlWnd parentless;
    CDialog unshown(102);
    ControlWnd twice;
    ASSERT_EQ(twice.CreateControl(CLSID_KelvoWebBrowser, IID_NULL, WS_CHILD, RECT{0, 0, 10, 10}, &host, 1004),
              S_OK);
    struct Case {
        const char* what;
        std::function<HRESULT()> create;
        HRESULT expected;
    };
    const Case cases[] = {
        {"a parent without a window",
         [&] {
             return parentless.CreateControl(CLSID_KelvoWebBrowser, IID_NULL, WS_CHILD, RECT{}, &unshown,
                                             1005);
         },
         E_INVALIDARG},
        {"a wrapper that hosts a control already",
         [&] { return twice.CreateControl(CLSID_KelvoWebBrowser, IID_NULL, WS_CHILD, RECT{}, &host, 1004); },
         HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS)},
        {"a class nobody registered",
         [&] {
             const CLSID unknown = {
                 0x0BADF00D, 0x4321, 0x8765, {0x9A, 0xBC, 0xDE, 0xF0, 0x12, 0x34, 0x56, 0x78}};
             return parentless.CreateControl(unknown, IID_NULL, WS_CHILD, RECT{}, &host, 1005);
         },
         REGDB_E_CLASSNOTREG},
        {"no object",
         [&] { return parentless.CreateControl(nullptr, IID_NULL, WS_CHILD, RECT{}, &host, 1005); },
         E_POINTER},
        {"an object that is no control",
         [&] { return parentless.CreateControl(stream.Get(), IID_NULL, WS_CHILD, RECT{}, &host, 1005); },
         E_NOINTERFACE},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.create(), c.expected) << c.what;
        EXPECT_EQ(parentless.m_hWnd, nullptr) << c.what;
        EXPECT_EQ(host.GetDlgItem(1005), nullptr) << c.what;
    }
}

} // namespace

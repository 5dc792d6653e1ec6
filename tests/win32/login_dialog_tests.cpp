// The login dialog under Wine: colour key, tool-window style, edge lines, press forwarding to the
// frame, the Enter and Escape rules, the close request, the first paint running once, and the login
// page asked for again after a wait when the portal cannot be reached.
#include "frame/win/bgDialog.h"
#include "login/win/CtarvinDlg.h"

#include "probes/LoginDialogProbe.h"
#include "game_support.h"

#include <gtest/gtest.h>

using namespace kelvo;

namespace {

RECT ClientRectOf(HWND child, HWND parent) {
    RECT r{};
    ::GetWindowRect(child, &r);
    ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// The frame with its system move loop replaced by a record, so that a forwarded press that would
// drag can be seen without a real mouse.
class RecordingFrame : public bgDialog {
public:
    int moveRequests = 0;

protected:
    LRESULT OnSysCommand(WPARAM wp, LPARAM lp) {
        if (wp == (SC_MOVE | HTCAPTION)) {
            ++moveRequests;
            return 0;
        }
        return DefWindowProc(WM_SYSCOMMAND, wp, lp);
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(RecordingFrame, bgDialog)
ON_MESSAGE(WM_SYSCOMMAND, OnSysCommand)
END_MESSAGE_MAP()

class LoginFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(frame.Create(bgDialog::IDD));
        login = frame.GetLoginDialog();
        ASSERT_NE(login, nullptr);
        ASSERT_NE(login->m_hWnd, nullptr);
    }
    RecordingFrame frame;
    CtarvinDlg* login = nullptr;
};

TEST_F(LoginFixture, IsAColourKeyedToolWindow) {
    COLORREF key = 0;
    BYTE alpha = 1;
    DWORD flags = 0;
    ASSERT_TRUE(::GetLayeredWindowAttributes(login->m_hWnd, &key, &alpha, &flags));
    EXPECT_EQ(key, RGB(255, 255, 254));
    EXPECT_EQ(alpha, 0);
    EXPECT_EQ(flags, static_cast<DWORD>(LWA_COLORKEY));
    EXPECT_TRUE(login->GetExStyle() & WS_EX_LAYERED);
    EXPECT_TRUE(login->GetExStyle() & WS_EX_TOOLWINDOW);
    EXPECT_FALSE(login->GetExStyle() & WS_EX_APPWINDOW);
    EXPECT_FALSE(login->GetStyle() & WS_CAPTION);

    // The dialog background is the key colour.
    HDC dc = ::GetDC(login->m_hWnd);
    HBRUSH brush = reinterpret_cast<HBRUSH>(login->SendMessageW(WM_CTLCOLORDLG, reinterpret_cast<WPARAM>(dc),
                                                                reinterpret_cast<LPARAM>(login->m_hWnd)));
    ::ReleaseDC(login->m_hWnd, dc);
    LOGBRUSH lb{};
    ASSERT_TRUE(::GetObjectW(brush, sizeof(lb), &lb));
    EXPECT_EQ(lb.lbColor, RGB(255, 255, 254));
}

TEST_F(LoginFixture, EdgeLinesLieOnTheWebViewsOuterPixels) {
    struct Expected {
        int id;
        RECT rect;
    };
    const Expected lines[] = {
        {1021, {45, 30, 47, 366}},
        {1022, {45, 30, 653, 32}},
        {1023, {653, 30, 655, 366}},
        {1024, {45, 364, 653, 366}},
    };
    for (const Expected& e : lines) {
        HWND control = login->GetDlgItem(e.id);
        ASSERT_NE(control, nullptr) << e.id;
        const RECT r = ClientRectOf(control, login->m_hWnd);
        EXPECT_EQ(r.left, e.rect.left) << e.id;
        EXPECT_EQ(r.top, e.rect.top) << e.id;
        EXPECT_EQ(r.right, e.rect.right) << e.id;
        EXPECT_EQ(r.bottom, e.rect.bottom) << e.id;
    }
    RECT client{};
    ::GetClientRect(login->m_hWnd, &client);
    EXPECT_GE(client.right, 655);
    EXPECT_GE(client.bottom, 366);
}

TEST_F(LoginFixture, PressesGoToTheFrameInTheDialogsCoordinates) {
    // (653, 150) lies in the frame's official-site tab when read as frame coordinates.
    login->SendMessageW(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(653, 150));
    EXPECT_EQ(frame.GetButtons()[0].state, FrameButtonState::Pressed);
    EXPECT_EQ(frame.moveRequests, 0);
    // (45, 150) is outside every button: the frame is dragged.
    login->SendMessageW(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(45, 150));
    EXPECT_EQ(frame.moveRequests, 1);
}

TEST_F(LoginFixture, EnterGoesToTheWebViewAndEscapeIsDiscarded) {
    MSG enter{login->m_hWnd, WM_KEYDOWN, VK_RETURN, 0, 0, {}};
    MSG escape{login->m_hWnd, WM_KEYDOWN, VK_ESCAPE, 0, 0, {}};
    MSG rightPress{login->m_hWnd, WM_RBUTTONDOWN, 0, 0, 0, {}};
    MSG rightRelease{login->m_hWnd, WM_RBUTTONUP, 0, 0, 0, {}};
    EXPECT_FALSE(login->PreTranslateMessage(&enter)); // dispatched: the page gets it
    EXPECT_TRUE(login->PreTranslateMessage(&escape)); // no game window: discarded
    EXPECT_FALSE(frame.PreTranslateMessage(&enter));
    EXPECT_TRUE(frame.PreTranslateMessage(&escape));
    EXPECT_TRUE(LoginDialogProbe::Browser(*login).PreTranslateMessage(&rightPress));
    EXPECT_FALSE(LoginDialogProbe::Browser(*login).PreTranslateMessage(&rightRelease));
    MSG rightDouble{login->m_hWnd, WM_RBUTTONDBLCLK, 0, 0, 0, {}};
    EXPECT_TRUE(LoginDialogProbe::Browser(*login).PreTranslateMessage(&rightDouble));
}

// A login dialog whose update check is counted instead of run.
class CountingLogin : public CtarvinDlg {
public:
    using CtarvinDlg::CtarvinDlg;
    int updateChecks = 0;
    bool browserCreatedBeforeCheck = false;

protected:
    void RunUpdateCheck() override {
        ++updateChecks;
        browserCreatedBeforeCheck = IsWindowVisible() != FALSE;
    }
};

TEST(LoginFirstPaint, RunsOnceAndShowsTheDialogAndItsOwner) {
    CWnd owner;
    WNDCLASSW wc{};
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"KelvoTestOwner";
    ::RegisterClassW(&wc);
    ASSERT_TRUE(owner.CreateEx(0, L"KelvoTestOwner", L"owner", WS_POPUP, RECT{0, 0, 100, 100}, nullptr, 0));

    CountingLogin login(&owner);
    ASSERT_TRUE(login.Create(CtarvinDlg::IDD, &owner));
    EXPECT_TRUE(login.IsFirstPaintPending());
    EXPECT_FALSE(login.IsWindowVisible());
    for (int i = 0; i < 3; ++i) {
        ::RedrawWindow(login.m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        login.SendMessageW(WM_PAINT);
    }
    EXPECT_EQ(login.updateChecks, 1);
    EXPECT_FALSE(login.IsFirstPaintPending());
    EXPECT_TRUE(login.browserCreatedBeforeCheck); // the web view step ran first and showed the dialog
    EXPECT_TRUE(::IsWindowVisible(owner.m_hWnd));
}

class ClosingFrame : public bgDialog {
protected:
    BOOL OnInitDialog() override {
        bgDialog::OnInitDialog();
        ::PostMessageW(GetLoginDialog()->m_hWnd, WM_CLOSE, 0, 0);
        return TRUE;
    }
};

TEST(LoginClose, ACloseRequestToTheDialogEndsTheFramesModalRun) {
    ClosingFrame frame;
    EXPECT_EQ(frame.DoModal(), IDCANCEL);
    EXPECT_EQ(frame.m_hWnd, nullptr);
}

} // namespace

namespace {

int ZIndex(HWND hwnd) {
    int i = 0;
    for (HWND w = ::GetTopWindow(nullptr); w; w = ::GetWindow(w, GW_HWNDNEXT), ++i) {
        if (w == hwnd)
            return i;
    }
    return -1;
}

TEST_F(LoginFixture, LiesAboveTheFrameOnceBothAreShown) {
    frame.ShowWindow(SW_SHOWNORMAL);
    login->ShowWindow(SW_SHOW);
    const int loginZ = ZIndex(login->m_hWnd);
    const int frameZ = ZIndex(frame.m_hWnd);
    ASSERT_GE(loginZ, 0);
    EXPECT_LT(loginZ, frameZ); // nearer the top
}

} // namespace

namespace {

using namespace gametest;

// Nothing listens on the portal's port here, so each request of the login page ends on the
// stand-in's error page, as it does for a launcher without a network.
TEST_F(EntryFixture, AFailedLoginPageIsAskedForAgainAfterAWaitThatAPageOrTheDialogsEndCancels) {
    const std::string again = "navigate " + Utf8(kLoginPage);
    const std::string failed = "complete res://ieframe.dll/navcancl.htm#" + Utf8(kLoginPage);
    const auto complete = [&](const std::wstring& address) {
        UniqueVariant v;
        v.get()->vt = VT_BSTR;
        v.get()->bstrVal = ::SysAllocString(address.c_str());
        login->OnDocumentComplete(nullptr, v.get());
    };
    const auto failures = [&] { return log->Count(failed); };

    // The failure comes after this moment, and the next request 0.5 s after the failure: a bound
    // that no delay in noticing the failure can shorten.
    const DWORD askedAt = ::GetTickCount();
    complete(OwnResAddress(208)); // the placeholder: at once
    EXPECT_EQ(log->Count(again), 1);
    ASSERT_TRUE(PumpUntil([&] { return failures() == 1; }, 5000)) << log->Text();
    EXPECT_EQ(log->Count(again), 1); // not at once
    ASSERT_TRUE(PumpUntil([&] { return log->Count(again) == 2; }, 5000)) << log->Text();
    EXPECT_GE(::GetTickCount() - askedAt, 480u);

    // The second failure waits 1 s; a page completing meanwhile drops that request.
    ASSERT_TRUE(PumpUntil([&] { return failures() == 2; }, 5000)) << log->Text();
    complete(kPortal + L"/kelvo");
    Pump(1600);
    EXPECT_EQ(log->Count(again), 2) << log->Text();

    // A failure after that page waits from the beginning (0.5 s); the dialog's end drops it.
    complete(L"res://ieframe.dll/navcancl.htm#" + kLoginPage);
    EXPECT_EQ(log->Count(again), 2);
    login->DestroyWindow();
    Pump(1000);
    EXPECT_EQ(log->Count(again), 2) << log->Text();
}

} // namespace

// The framework under Wine: binding, message maps, the modal loop and its pre-translation chain,
// dialogs from templates, and the handle owners.
#include "framework/CDialog.h"
#include "framework/Handles.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

using namespace kelvo;

namespace {

constexpr UINT WM_TEST_PROBE = WM_APP + 1;
constexpr UINT WM_TEST_THROW = WM_APP + 2;
constexpr UINT WM_TEST_UNMAPPED = WM_APP + 3;

const wchar_t* RegisterTestClass() {
    static const wchar_t* name = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = ::DefWindowProcW;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"KelvoTestWindow";
        ::RegisterClassW(&wc);
        return L"KelvoTestWindow";
    }();
    return name;
}

class BaseWindow : public CWnd {
public:
    std::vector<std::string> log;
    bool destroyedAfterUnbind = false;

protected:
    LRESULT OnProbe(WPARAM wp, LPARAM) {
        log.push_back("base probe " + std::to_string(wp));
        return 10;
    }
    LRESULT OnUnmapped(WPARAM, LPARAM) { return 20; }
    void PostNcDestroy() override { destroyedAfterUnbind = m_hWnd == nullptr; }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(BaseWindow, CWnd)
ON_MESSAGE(WM_TEST_PROBE, OnProbe)
ON_MESSAGE(WM_TEST_UNMAPPED, OnUnmapped)
END_MESSAGE_MAP()

class DerivedWindow : public BaseWindow {
protected:
    LRESULT OnProbe(WPARAM wp, LPARAM) {
        log.push_back("derived probe " + std::to_string(wp));
        return 30;
    }
    LRESULT OnThrow(WPARAM, LPARAM) { throw std::runtime_error("handler failure"); }
    void OnMenuCommand() { log.push_back("command 7"); }
    LRESULT OnRegistered(WPARAM wp, LPARAM) {
        log.push_back("registered " + std::to_string(wp));
        return 40;
    }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(DerivedWindow, BaseWindow)
ON_MESSAGE(WM_TEST_PROBE, OnProbe)
ON_MESSAGE(WM_TEST_THROW, OnThrow)
ON_COMMAND(7, OnMenuCommand)
ON_REGISTERED_MESSAGE(L"KelvoTestRegistered", OnRegistered)
END_MESSAGE_MAP()

TEST(FrameworkWindow, BindsFromTheFirstMessageAndUnbindsAtTheLast) {
    DerivedWindow w;
    ASSERT_TRUE(w.CreateEx(0, RegisterTestClass(), L"probe", WS_POPUP, RECT{0, 0, 50, 50}, nullptr, 0));
    HWND hwnd = w.m_hWnd;
    EXPECT_EQ(CWnd::FromHandlePermanent(hwnd), &w);
    ::DestroyWindow(hwnd);
    EXPECT_EQ(w.m_hWnd, nullptr);
    EXPECT_EQ(CWnd::FromHandlePermanent(hwnd), nullptr);
    EXPECT_TRUE(w.destroyedAfterUnbind);
}

TEST(FrameworkWindow, MessageMapsChainFromDerivedToBase) {
    DerivedWindow w;
    ASSERT_TRUE(w.CreateEx(0, RegisterTestClass(), L"probe", WS_POPUP, RECT{0, 0, 50, 50}, nullptr, 0));
    EXPECT_EQ(w.SendMessageW(WM_TEST_PROBE, 1), 30); // the derived entry hides the base one
    EXPECT_EQ(w.SendMessageW(WM_TEST_UNMAPPED), 20); // found in the base table
    EXPECT_EQ(w.SendMessageW(WM_COMMAND, MAKEWPARAM(8, 0)), 0);
    EXPECT_EQ(w.SendMessageW(WM_COMMAND, MAKEWPARAM(7, 0)), 0);
    EXPECT_EQ(w.SendMessageW(WM_TEST_THROW), 0); // nothing thrown crosses the window procedure
    EXPECT_EQ(w.SendMessageW(::RegisterWindowMessageW(L"KelvoTestRegistered"), 2), 40);
    EXPECT_TRUE(::IsWindow(w.m_hWnd));
    EXPECT_EQ(w.log, (std::vector<std::string>{"derived probe 1", "command 7", "registered 2"}));
}

TEST(FrameworkWindow, DestructionOfTheObjectDestroysItsWindow) {
    HWND hwnd = nullptr;
    {
        DerivedWindow w;
        ASSERT_TRUE(w.CreateEx(0, RegisterTestClass(), L"probe", WS_POPUP, RECT{0, 0, 50, 50}, nullptr, 0));
        hwnd = w.m_hWnd;
    }
    EXPECT_FALSE(::IsWindow(hwnd));
}

// A window that deletes itself in a handler nested inside another of its messages, as a control
// wrapper may go inside its own event; its memory is kept poisoned, so that any write by the
// unwinding dispatch shows.
class SelfDeletingWindow : public CWnd, public Graveyard<SelfDeletingWindow> {
protected:
    LRESULT OnProbe(WPARAM, LPARAM) { return SendMessageW(WM_TEST_UNMAPPED); }
    LRESULT OnUnmapped(WPARAM, LPARAM) {
        delete this;
        return 5;
    }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(SelfDeletingWindow, CWnd)
ON_MESSAGE(WM_TEST_PROBE, OnProbe)
ON_MESSAGE(WM_TEST_UNMAPPED, OnUnmapped)
END_MESSAGE_MAP()

TEST(FrameworkWindow, AnObjectDeletedByItsOwnHandlerIsLeftAlone) {
    auto* w = new SelfDeletingWindow;
    ASSERT_TRUE(w->CreateEx(0, RegisterTestClass(), L"probe", WS_POPUP, RECT{0, 0, 50, 50}, nullptr, 0));
    const HWND hwnd = w->m_hWnd;
    EXPECT_EQ(::SendMessageW(hwnd, WM_TEST_PROBE, 0, 0), 5);
    EXPECT_FALSE(::IsWindow(hwnd));
    ASSERT_EQ(SelfDeletingWindow::Buried(), 1u);
    EXPECT_TRUE(SelfDeletingWindow::Untouched());
    SelfDeletingWindow::Free();
}

// A modal dialog (the frame's template) that owns a modeless dialog (the login template), and
// records which windows' PreTranslateMessage saw each queued message.
struct Trace {
    std::vector<std::string> entries;
};

class OwnedDialog : public CDialog {
public:
    OwnedDialog(Trace& trace, CWnd* owner) : CDialog(102, owner), m_trace(trace) {}
    BOOL PreTranslateMessage(MSG* pMsg) override {
        if (pMsg->message == WM_TEST_PROBE || pMsg->message == WM_KEYDOWN)
            m_trace.entries.push_back("owned " + std::to_string(pMsg->message));
        // Let keys travel on to the owner instead of the dialog keyboard handling.
        if (pMsg->message == WM_KEYDOWN)
            return FALSE;
        return CDialog::PreTranslateMessage(pMsg);
    }

private:
    Trace& m_trace;
};

class ModalDialog : public CDialog {
public:
    ModalDialog(Trace& trace) : CDialog(103), m_trace(trace), m_owned(trace, this) {}
    std::vector<UINT> script; // messages posted to the owned dialog once the loop runs
    bool closeFromOwnedProbe = true;
    bool endedByClose = false;

    BOOL PreTranslateMessage(MSG* pMsg) override {
        if (pMsg->message == WM_TEST_PROBE || pMsg->message == WM_KEYDOWN)
            m_trace.entries.push_back("modal " + std::to_string(pMsg->message));
        // Keys never end the test dialog; only the scripted close does.
        if (pMsg->message == WM_KEYDOWN)
            return TRUE;
        return CDialog::PreTranslateMessage(pMsg);
    }

protected:
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        m_owned.Create(102, this);
        for (UINT m : script) {
            if (m == WM_KEYDOWN)
                ::PostMessageW(m_owned.m_hWnd, WM_KEYDOWN, VK_RETURN, 0);
            else
                ::PostMessageW(m_owned.m_hWnd, m, 0, 0);
        }
        ::PostMessageW(m_hWnd, WM_TEST_PROBE, 0, 0);
        return TRUE;
    }
    LRESULT OnProbe(WPARAM, LPARAM) {
        m_trace.entries.push_back("dispatched to modal");
        PostMessageW(WM_CLOSE);
        return 0;
    }

    DECLARE_MESSAGE_MAP()

private:
    Trace& m_trace;
    OwnedDialog m_owned;
};

BEGIN_MESSAGE_MAP(ModalDialog, CDialog)
ON_MESSAGE(WM_TEST_PROBE, OnProbe)
END_MESSAGE_MAP()

TEST(FrameworkDialog, ModalLoopOffersOwnedWindowsMessagesToTheOwnerChainFirst) {
    Trace trace;
    ModalDialog dlg(trace);
    dlg.script = {WM_TEST_PROBE, WM_KEYDOWN};
    const INT_PTR result = dlg.DoModal();
    EXPECT_EQ(result, IDCANCEL); // the default close ends the dialog as Cancel
    const std::string probe = std::to_string(WM_TEST_PROBE);
    const std::string key = std::to_string(WM_KEYDOWN);
    EXPECT_EQ(trace.entries,
              (std::vector<std::string>{"owned " + probe, "modal " + probe, "owned " + key, "modal " + key,
                                        "modal " + probe, "dispatched to modal"}));
    EXPECT_EQ(dlg.m_hWnd, nullptr);
}

TEST(FrameworkDialog, ModelessDialogFromTemplateHidesOnCancel) {
    CDialog dlg(102);
    ASSERT_TRUE(dlg.Create(102));
    ASSERT_NE(dlg.m_hWnd, nullptr);
    dlg.ShowWindow(SW_SHOW);
    EXPECT_TRUE(dlg.IsWindowVisible());
    EXPECT_NE(dlg.GetDlgItem(1021), nullptr); // the template's controls exist
    dlg.SendMessageW(WM_CLOSE);
    EXPECT_TRUE(::IsWindow(dlg.m_hWnd));
    EXPECT_FALSE(dlg.IsWindowVisible());
}

TEST(FrameworkHandles, OwnersFreeExactlyOnceAndMoveOwnership) {
    HBITMAP raw = ::CreateBitmap(4, 4, 1, 32, nullptr);
    ASSERT_NE(raw, nullptr);
    {
        UniqueBitmap a(raw);
        UniqueBitmap b(std::move(a));
        EXPECT_FALSE(a);
        EXPECT_EQ(b.get(), raw);
        EXPECT_EQ(::GetObjectType(raw), static_cast<DWORD>(OBJ_BITMAP));
    }
    EXPECT_EQ(::GetObjectType(raw), 0u);

    UniqueBrush brush(::CreateSolidBrush(RGB(1, 2, 3)));
    HBRUSH rawBrush = brush.get();
    EXPECT_EQ(brush.release(), rawBrush);
    EXPECT_EQ(::GetObjectType(rawBrush), static_cast<DWORD>(OBJ_BRUSH));
    ::DeleteObject(rawBrush);

    static_assert(!std::is_copy_constructible_v<UniqueBitmap>);
    static_assert(!std::is_copy_assignable_v<ComPtr<IUnknown>>);
    static_assert(!std::is_copy_constructible_v<WindowDc>);
}

TEST(FrameworkHandles, SelectedObjectRestoresThePreviousSelection) {
    UniqueMemoryDc dc(::CreateCompatibleDC(nullptr));
    UniqueBitmap bitmap(::CreateBitmap(4, 4, 1, 1, nullptr));
    HGDIOBJ before = ::GetCurrentObject(dc.get(), OBJ_BITMAP);
    {
        SelectedObject selected(dc.get(), bitmap.get());
        EXPECT_EQ(::GetCurrentObject(dc.get(), OBJ_BITMAP), bitmap.get());
    }
    EXPECT_EQ(::GetCurrentObject(dc.get(), OBJ_BITMAP), before);
}

TEST(FrameworkHandles, PixelSectionIsTopDown32Bit) {
    UniqueMemoryDc dc(::CreateCompatibleDC(nullptr));
    void* bits = nullptr;
    UniqueBitmap section = CreatePixelSection(dc.get(), 3, 2, &bits);
    ASSERT_TRUE(section);
    ASSERT_NE(bits, nullptr);
    DIBSECTION info{};
    ASSERT_EQ(::GetObjectW(section.get(), sizeof info, &info), static_cast<int>(sizeof info));
    EXPECT_EQ(info.dsBm.bmWidth, 3);
    EXPECT_EQ(info.dsBm.bmHeight, 2);
    EXPECT_EQ(info.dsBm.bmBitsPixel, 32);
    EXPECT_EQ(info.dsBm.bmBits, bits);
    // Top-down: pixel (0, 0) is the first in memory, (2, 1) the last.
    {
        SelectedObject selected(dc.get(), section.get());
        ::SetPixelV(dc.get(), 0, 0, RGB(1, 2, 3));
        ::SetPixelV(dc.get(), 2, 1, RGB(4, 5, 6));
        ::GdiFlush();
    }
    const auto* pixels = static_cast<const std::uint32_t*>(bits);
    EXPECT_EQ(pixels[0] & 0xFFFFFFu, 0x010203u);
    EXPECT_EQ(pixels[5] & 0xFFFFFFu, 0x040506u);
}

class CountingUnknown : public IUnknown {
public:
    ULONG refs = 1;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }
};

TEST(FrameworkHandles, ComPtrBalancesReferences) {
    CountingUnknown object;
    {
        ComPtr<IUnknown> p(&object);
        EXPECT_EQ(object.refs, 2u);
        ComPtr<IUnknown> q(std::move(p));
        EXPECT_EQ(object.refs, 2u);
        EXPECT_FALSE(p);
    }
    EXPECT_EQ(object.refs, 1u);
    {
        ComPtr<IUnknown> adopted(&object, false);
        EXPECT_EQ(object.refs, 1u);
        adopted.Detach();
    }
    EXPECT_EQ(object.refs, 1u);
}

} // namespace

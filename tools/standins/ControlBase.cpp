#include "ControlBase.h"

#include "Log.h"

#include <windowsx.h>

#include <algorithm>
#include <string>

namespace standins {

namespace {

bool StrictMode() {
    wchar_t mode[16] = L"";
    const DWORD n = ::GetEnvironmentVariableW(L"KELVO_STANDIN_MODE", mode, 16);
    return !(n > 0 && n < 16 && lstrcmpiW(mode, L"kind") == 0);
}

const wchar_t* MouseButtonMessageName(UINT message) {
    switch (message) {
    case WM_LBUTTONDOWN:
        return L"WM_LBUTTONDOWN";
    case WM_LBUTTONUP:
        return L"WM_LBUTTONUP";
    case WM_LBUTTONDBLCLK:
        return L"WM_LBUTTONDBLCLK";
    case WM_RBUTTONDOWN:
        return L"WM_RBUTTONDOWN";
    case WM_RBUTTONUP:
        return L"WM_RBUTTONUP";
    case WM_RBUTTONDBLCLK:
        return L"WM_RBUTTONDBLCLK";
    case WM_MBUTTONDOWN:
        return L"WM_MBUTTONDOWN";
    case WM_MBUTTONUP:
        return L"WM_MBUTTONUP";
    default:
        return nullptr;
    }
}

} // namespace

ControlBase::ControlBase(REFCLSID clsid, REFIID eventsIid, const wchar_t* viewClass, const wchar_t* workClass,
                         const wchar_t* name)
    : m_clsid(clsid), m_eventsIid(eventsIid), m_viewClass(viewClass), m_workClass(workClass), m_name(name),
      m_events(static_cast<IDispatch*>(this), eventsIid), m_strict(StrictMode()) {
    RegisterClasses();
    m_work =
        ::CreateWindowExW(0, m_workClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, ModuleInstance(), this);
    // 610 x 336 pixels at 96 dots per inch, in HIMETRIC, until the host says otherwise.
    m_extent = {16140, 8890};
}

ControlBase::~ControlBase() {
    DestroyWindows();
}

void ControlBase::DestroyWindows() {
    // The windows go without this object: their procedures must not reach it any more.
    for (HWND hwnd : {m_hwnd, m_work}) {
        if (hwnd && ::IsWindow(hwnd)) {
            ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
            ::DestroyWindow(hwnd);
        }
    }
    m_hwnd = m_work = nullptr;
}

void ControlBase::Fault(const std::wstring& what) const {
    LogLine(L"fault: " + std::wstring(m_name) + L": " + what);
}

bool ControlBase::Live(const wchar_t* call) {
    if (m_released)
        Fault(std::wstring(L"call after its last release: ") + call);
    return !m_released;
}

ULONG STDMETHODCALLTYPE ControlBase::AddRef() {
    if (!Live(L"AddRef"))
        return 0;
    return static_cast<ULONG>(::InterlockedIncrement(&m_refs));
}

ULONG STDMETHODCALLTYPE ControlBase::Release() {
    if (!Live(L"Release"))
        return 0;
    const LONG n = ::InterlockedDecrement(&m_refs);
    if (n != 0)
        return static_cast<ULONG>(n);
    // The control's own code is still on the stack below the host's handler: a real control that
    // does not hold itself would go on running on freed memory.
    if (m_eventDepth > 0)
        Fault(L"last release inside its own event");
    OnFinalRelease();
    if (!m_strict) {
        delete this;
        return 0;
    }
    m_released = true;
    DestroyWindows();
    return 0;
}

HRESULT STDMETHODCALLTYPE ControlBase::QueryInterface(REFIID iid, void** out) {
    if (!out)
        return E_POINTER;
    if (!Live(L"QueryInterface")) {
        *out = nullptr;
        return E_UNEXPECTED;
    }
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IDispatch)
        *out = static_cast<IDispatch*>(this);
    else if (iid == IID_IOleObject)
        *out = static_cast<IOleObject*>(this);
    else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceObject)
        *out = static_cast<IOleInPlaceObject*>(this);
    else if (iid == IID_IOleInPlaceActiveObject)
        *out = static_cast<IOleInPlaceActiveObject*>(this);
    else if (iid == IID_IOleControl)
        *out = static_cast<IOleControl*>(this);
    else if (iid == IID_IPersist || iid == IID_IPersistStreamInit)
        *out = static_cast<IPersistStreamInit*>(this);
    else if (iid == IID_IConnectionPointContainer)
        *out = static_cast<IConnectionPointContainer*>(this);
    else {
        // Shows in the debug output what a host asked for and did not get.
        ::OutputDebugStringW(
            (L"kelvo stand-in " + std::wstring(m_name) + L": no interface " + GuidString(iid) + L"\n")
                .c_str());
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

void ControlBase::RaiseEvent(DISPID id, DISPPARAMS& params) {
    // A host may unadvise inside its handler: the loop walks its own copy of the sinks. In the
    // kind mode this object also outlives a host that releases it meanwhile; in the strict mode
    // that is the host's duty, and the depth tells a release or a destroyed view inside the event.
    const Ref<IDispatch> keepAlive = HoldSelf();
    ++m_eventDepth;
    for (const Ref<IDispatch>& sink : m_events.Sinks())
        sink->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
    --m_eventDepth;
}

// The object a window of the control belongs to: stored at creation, forgotten at the window's
// last message, when the object forgets the window too.
ControlBase* ControlBase::Owner(HWND hwnd, UINT message, LPARAM lParam, HWND ControlBase::*window) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<ControlBase*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        if (self && self->*window == hwnd)
            self->*window = nullptr;
        return nullptr;
    }
    return self;
}

LRESULT CALLBACK ControlBase::ViewProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    ControlBase* self = Owner(hwnd, message, lParam, &ControlBase::m_hwnd);
    if (!self)
        return ::DefWindowProcW(hwnd, message, wParam, lParam);
    // A click may raise an event whose host destroys the control and this window: the object
    // outlives the handler (in the kind mode), and nothing of it is read afterwards.
    const Ref<IDispatch> keepAlive = self->HoldSelf();
    if (message == WM_DESTROY && self->m_eventDepth > 0)
        self->Fault(L"view destroyed inside its own event");
    if (message == WM_SETCURSOR && LOWORD(lParam) == HTCLIENT) {
        POINT pt{};
        ::GetCursorPos(&pt);
        ::ScreenToClient(hwnd, &pt);
        if (self->HitAt(pt.x, pt.y) >= 0) {
            ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
            return TRUE;
        }
    }
    // Tests read what reached the control: every mouse button message with its client point.
    if (const wchar_t* name = MouseButtonMessageName(message))
        LogLine(std::wstring(L"mouse ") + name + L" " + std::to_wstring(GET_X_LPARAM(lParam)) + L" " +
                std::to_wstring(GET_Y_LPARAM(lParam)));
    switch (message) {
    case WM_PAINT:
        self->PaintView(hwnd);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_SETFOCUS:
        self->UIActivate();
        break;
    default:
        break;
    }
    LRESULT result = 0;
    if (self->OnViewMessage(hwnd, message, wParam, lParam, result))
        return result;
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

void ControlBase::PaintView(HWND hwnd) {
    PAINTSTRUCT ps;
    const HDC windowDc = ::BeginPaint(hwnd, &ps);
    RECT client{};
    ::GetClientRect(hwnd, &client);
    const HDC dc = ::CreateCompatibleDC(windowDc);
    const HBITMAP bitmap =
        ::CreateCompatibleBitmap(windowDc, std::max<LONG>(client.right, 1), std::max<LONG>(client.bottom, 1));
    const HGDIOBJ oldBitmap = ::SelectObject(dc, bitmap);
    const HBRUSH background = ::CreateSolidBrush(Background());
    ::FillRect(dc, &client, background);
    ::DeleteObject(background);
    Draw(hwnd, dc, client);
    ::BitBlt(windowDc, 0, 0, client.right, client.bottom, dc, 0, 0, SRCCOPY);
    ::SelectObject(dc, oldBitmap);
    ::DeleteObject(bitmap);
    ::DeleteDC(dc);
    ::EndPaint(hwnd, &ps);
}

LRESULT CALLBACK ControlBase::WorkProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    ControlBase* self = Owner(hwnd, message, lParam, &ControlBase::m_work);
    if (self && message != WM_NCCREATE && message != WM_CREATE) {
        // Script steps raise events too; as for the view.
        const Ref<IDispatch> keepAlive = self->HoldSelf();
        if (self->OnWorkMessage(message, wParam, lParam))
            return 0;
    }
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

void ControlBase::RegisterClasses() const {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.hInstance = ModuleInstance();
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof(existing);
    if (!::GetClassInfoExW(wc.hInstance, m_workClass, &existing)) {
        wc.lpfnWndProc = &ControlBase::WorkProc;
        wc.lpszClassName = m_workClass;
        ::RegisterClassExW(&wc);
    }
    if (!::GetClassInfoExW(wc.hInstance, m_viewClass, &existing)) {
        wc.lpfnWndProc = &ControlBase::ViewProc;
        wc.style = CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;
        wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
        wc.lpszClassName = m_viewClass;
        ::RegisterClassExW(&wc);
    }
}

void ControlBase::UnregisterClasses(const wchar_t* viewClass, const wchar_t* workClass) {
    ::UnregisterClassW(viewClass, ModuleInstance());
    ::UnregisterClassW(workClass, ModuleInstance());
}

HRESULT ControlBase::InPlaceActivate(HWND parent, LPCRECT rect) {
    if (m_inPlace) {
        if (m_hwnd && !::IsWindowVisible(m_hwnd))
            ::ShowWindow(m_hwnd, SW_SHOW);
        return S_OK;
    }
    RECT position = rect ? *rect : RECT{0, 0, 300, 150};
    if (m_site && SUCCEEDED(m_site->QueryInterface(IID_IOleInPlaceSite, m_inPlaceSite.putVoid())) &&
        m_inPlaceSite) {
        if (m_inPlaceSite->CanInPlaceActivate() != S_OK) {
            m_inPlaceSite = Ref<IOleInPlaceSite>();
            return E_FAIL;
        }
        m_inPlaceSite->OnInPlaceActivate();
        HWND siteWindow = nullptr;
        if (SUCCEEDED(m_inPlaceSite->GetWindow(&siteWindow)) && siteWindow)
            parent = siteWindow;
        RECT clip{};
        OLEINPLACEFRAMEINFO info{};
        info.cb = sizeof(info);
        RECT sitePosition{};
        if (SUCCEEDED(m_inPlaceSite->GetWindowContext(m_frame.put(), m_uiWindow.put(), &sitePosition, &clip,
                                                      &info)) &&
            sitePosition.right > sitePosition.left)
            position = sitePosition;
    }
    if (!parent)
        return E_INVALIDARG;
    m_inPlace = true;
    m_hwnd = ::CreateWindowExW(0, m_viewClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_TABSTOP,
                               position.left, position.top, position.right - position.left,
                               position.bottom - position.top, parent, nullptr, ModuleInstance(), this);
    return m_hwnd ? S_OK : E_FAIL;
}

void ControlBase::UIActivate() {
    if (m_uiActive || !m_inPlace)
        return;
    m_uiActive = true;
    if (m_inPlaceSite)
        m_inPlaceSite->OnUIActivate();
    // Hosts hand their key messages to the active object they are given here.
    if (m_frame)
        m_frame->SetActiveObject(static_cast<IOleInPlaceActiveObject*>(this), nullptr);
    if (m_uiWindow)
        m_uiWindow->SetActiveObject(static_cast<IOleInPlaceActiveObject*>(this), nullptr);
}

} // namespace standins

#include "framework/CWnd.h"

#include "framework/CatchLog.h"
#include "framework/ControlHost.h"
#include "framework/Handles.h"

#include <unordered_map>

namespace kelvo {

namespace {

std::unordered_map<HWND, CWnd*>& HandleMap() {
    static std::unordered_map<HWND, CWnd*> map;
    return map;
}

// Windows whose object let go of them while another procedure was subclassed on top of the
// framework's (the control host does so at its creation): the framework cannot put its saved
// procedure back, so it goes on passing their messages to that procedure until the last one. The
// host library releases its host object there, and a window answered by the default procedure
// instead would leak it.
std::unordered_map<HWND, WNDPROC>& UnboundMap() {
    static std::unordered_map<HWND, WNDPROC> map;
    return map;
}

// Window creation is synchronous and the program has one user-interface thread, so one pending
// object and one hook per thread suffice; nested creations are bound before they can nest.
thread_local CWnd* t_pWndInit = nullptr;
thread_local UniqueHook t_hookInit;

// The messages being handled on this thread, innermost first. A handler may delete its own
// window object (a control wrapper whose event ends the game, say); the destructor clears the
// object's frames so that the dispatch unwinds without touching it.
struct DispatchFrame {
    CWnd* wnd;
    DispatchFrame* outer;
};
thread_local DispatchFrame* t_frames = nullptr;

HWND ParentOrOwner(HWND hwnd) noexcept {
    if (::GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_CHILD)
        return ::GetAncestor(hwnd, GA_PARENT);
    return ::GetWindow(hwnd, GW_OWNER);
}

} // namespace

CWnd::CWnd() noexcept = default;

CWnd::~CWnd() {
    for (DispatchFrame* frame = t_frames; frame; frame = frame->outer)
        if (frame->wnd == this)
            frame->wnd = nullptr;
    HWND hwnd = m_hWnd;
    Unbind();
    if (m_pCtrlSite)
        ControlSite::Retire(std::move(m_pCtrlSite), hwnd);
    else if (hwnd)
        ::DestroyWindow(hwnd);
}

const MessageMap* CWnd::GetThisMessageMap() {
    static const MessageEntry entries[] = {{0, 0, nullptr}};
    static const MessageMap map{nullptr, entries, 0};
    return &map;
}

const MessageMap* CWnd::GetMessageMap() const {
    return GetThisMessageMap();
}

const EventSinkMap* CWnd::GetThisEventSinkMap() {
    static const EventSinkEntry entries[] = {{0, 0, nullptr}};
    static const EventSinkMap map{nullptr, entries, 0};
    return &map;
}

const EventSinkMap* CWnd::GetEventSinkMap() const {
    return GetThisEventSinkMap();
}

void CWnd::OnControlEvent(UINT controlId, DISPID dispid, DISPPARAMS* params) {
    for (const EventSinkMap* map = GetEventSinkMap(); map; map = map->base ? map->base() : nullptr) {
        for (std::size_t i = 0; i < map->count; ++i) {
            const EventSinkEntry& entry = map->entries[i];
            if (entry.controlId == controlId && entry.dispid == dispid) {
                entry.handler(*this, params);
                return;
            }
        }
    }
}

HRESULT CWnd::CreateControl(REFCLSID clsid, REFIID eventsIid, DWORD style, const RECT& rect, CWnd* pParentWnd,
                            UINT id) {
    wchar_t classId[64] = {};
    if (!::StringFromGUID2(clsid, classId, 64))
        return E_INVALIDARG;
    // The host window creates the control named by its window text while it is created.
    HRESULT hr = CreateHostWindow(classId, style, rect, pParentWnd, id);
    if (SUCCEEDED(hr))
        hr = AttachControlSite(eventsIid, pParentWnd, id);
    if (FAILED(hr)) {
        // The host keeps to itself why it made no control; the class's own answer says it (not
        // registered, its file not loadable) where it is the cause.
        ComPtr<IClassFactory> factory;
        const HRESULT classResult =
            ::CoGetClassObject(clsid, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, nullptr, IID_IClassFactory,
                               reinterpret_cast<void**>(factory.ReleaseAndGetAddressOf()));
        if (FAILED(classResult))
            return classResult;
    }
    return hr;
}

HRESULT CWnd::CreateControl(IUnknown* control, REFIID eventsIid, DWORD style, const RECT& rect,
                            CWnd* pParentWnd, UINT id) {
    if (!control)
        return E_POINTER;
    HRESULT hr = CreateHostWindow(L"", style, rect, pParentWnd, id);
    if (FAILED(hr))
        return hr;
    hr = ControlHost::AttachControl(control, m_hWnd);
    if (FAILED(hr)) {
        DestroyWindow();
        return hr;
    }
    return AttachControlSite(eventsIid, pParentWnd, id);
}

HRESULT CWnd::CreateHostWindow(LPCWSTR text, DWORD style, const RECT& rect, CWnd* pParentWnd, UINT id) {
    if (m_hWnd)
        return HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS);
    if (!pParentWnd || !pParentWnd->m_hWnd)
        return E_INVALIDARG;
    // The system's control host (atl.dll) is missing or offers no host window class.
    if (!ControlHost::LoadHostLibrary())
        return HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
    if (CreateEx(0, ControlHost::HostWindowClass(), text, style | WS_CHILD, rect, pParentWnd->m_hWnd, id))
        return S_OK;
    // The host refuses its window when the control named in the text cannot be made; the system
    // seldom says why.
    const DWORD error = ::GetLastError();
    return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
}

HRESULT CWnd::AttachControlSite(REFIID eventsIid, CWnd* pParentWnd, UINT id) {
    auto site = std::make_unique<ControlSite>(id);
    const HRESULT hr = site->Attach(m_hWnd, eventsIid, pParentWnd);
    if (FAILED(hr)) {
        DestroyWindow();
        return hr;
    }
    m_pCtrlSite = std::move(site);
    return S_OK;
}

IDispatch* CWnd::GetControlDispatch() const noexcept {
    return m_pCtrlSite ? m_pCtrlSite->Dispatch() : nullptr;
}

HRESULT CWnd::InvokeHelper(DISPID dispid, WORD flags, VARIANT* result, VARIANTARG* args,
                           UINT count) const noexcept {
    // The site and its references stay for the call even when an event raised inside it destroys
    // this wrapper: the site is retired only once the call has returned.
    ControlSite* site = m_pCtrlSite.get();
    IDispatch* dispatch = site ? site->Dispatch() : nullptr;
    if (!dispatch)
        return E_NOINTERFACE;
    DISPPARAMS params{args, nullptr, count, 0};
    DISPID named = DISPID_PROPERTYPUT;
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
        params.rgdispidNamedArgs = &named;
        params.cNamedArgs = 1;
    }
    if (result)
        ::VariantInit(result);
    EXCEPINFO exception{};
    UINT badArg = 0;
    site->Enter();
    const HRESULT hr =
        dispatch->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, &exception, &badArg);
    site->Leave();
    ::SysFreeString(exception.bstrSource);
    ::SysFreeString(exception.bstrDescription);
    ::SysFreeString(exception.bstrHelpFile);
    return hr;
}

HRESULT CWnd::PutProperty(DISPID dispid, const DispatchArg& value) const noexcept {
    VARIANTARG arg = value.Get();
    return InvokeHelper(dispid, DISPATCH_PROPERTYPUT, nullptr, &arg, 1);
}

HRESULT CWnd::CallMethod(DISPID dispid, std::span<const DispatchArg> args, VARIANT* result) const noexcept {
    // Shallow copies: the DispatchArg objects keep owning what the variants point to.
    constexpr std::size_t kMaxArgs = 8;
    if (args.size() > kMaxArgs)
        return E_INVALIDARG;
    VARIANTARG reversed[kMaxArgs];
    for (std::size_t i = 0; i < args.size(); ++i)
        reversed[args.size() - 1 - i] = args[i].Get();
    return InvokeHelper(dispid, DISPATCH_METHOD, result, args.empty() ? nullptr : reversed,
                        static_cast<UINT>(args.size()));
}

CWnd* CWnd::FromHandlePermanent(HWND hwnd) noexcept {
    auto& map = HandleMap();
    auto it = map.find(hwnd);
    return it == map.end() ? nullptr : it->second;
}

void CWnd::Bind(HWND hwnd) noexcept {
    UnboundMap().erase(hwnd);
    m_hWnd = hwnd;
    HandleMap()[hwnd] = this;
    m_pfnSuper = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWnd::StandardWindowProc)));
}

void CWnd::Unbind() noexcept {
    if (!m_hWnd)
        return;
    if (m_pfnSuper) {
        if (::GetWindowLongPtrW(m_hWnd, GWLP_WNDPROC) ==
            reinterpret_cast<LONG_PTR>(&CWnd::StandardWindowProc))
            ::SetWindowLongPtrW(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
        else if (::IsWindow(m_hWnd)) {
            try {
                UnboundMap()[m_hWnd] = m_pfnSuper;
            } catch (...) {
                KELVO_LOG_CAUGHT();
                // Without memory for the entry the window's later messages get the default answer.
            }
        }
    }
    HandleMap().erase(m_hWnd);
    m_hWnd = nullptr;
}

BOOL CWnd::SubclassWindow(HWND hwnd) noexcept {
    if (!hwnd || m_hWnd || FromHandlePermanent(hwnd))
        return FALSE;
    Bind(hwnd);
    return TRUE;
}

LRESULT CALLBACK CWnd::CreateHookProc(int code, WPARAM wParam, LPARAM lParam) noexcept {
    if (code == HCBT_CREATEWND && t_pWndInit) {
        CWnd* pWnd = t_pWndInit;
        t_pWndInit = nullptr;
        pWnd->Bind(reinterpret_cast<HWND>(wParam));
    }
    return ::CallNextHookEx(t_hookInit.get(), code, wParam, lParam);
}

void CWnd::HookWindowCreate(CWnd* pWnd) noexcept {
    t_pWndInit = pWnd;
    if (!t_hookInit)
        t_hookInit.reset(::SetWindowsHookExW(WH_CBT, &CWnd::CreateHookProc, nullptr, ::GetCurrentThreadId()));
}

bool CWnd::UnhookWindowCreate() noexcept {
    t_hookInit.reset();
    const bool bound = t_pWndInit == nullptr;
    t_pWndInit = nullptr;
    return bound;
}

BOOL CWnd::CreateEx(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, const RECT& rect,
                    HWND hwndParent, UINT id) {
    if (m_hWnd)
        return FALSE;
    HookWindowCreate(this);
    HWND hwnd = ::CreateWindowExW(exStyle, className, windowName, style, rect.left, rect.top,
                                  rect.right - rect.left, rect.bottom - rect.top, hwndParent,
                                  reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)),
                                  ::GetModuleHandleW(nullptr), nullptr);
    UnhookWindowCreate();
    if (!hwnd) {
        Unbind();
        return FALSE;
    }
    return TRUE;
}

BOOL CWnd::DestroyWindow() {
    if (!m_hWnd)
        return FALSE;
    return ::DestroyWindow(m_hWnd);
}

BOOL CWnd::ModifyStyle(DWORD remove, DWORD add) const noexcept {
    const DWORD style = GetStyle();
    const DWORD next = (style & ~remove) | add;
    if (next == style)
        return FALSE;
    ::SetWindowLongPtrW(m_hWnd, GWL_STYLE, static_cast<LONG_PTR>(next));
    return TRUE;
}

void CWnd::SetIcons(HICON icon) const noexcept {
    ::SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    ::SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
}

BOOL CWnd::ModifyStyleEx(DWORD remove, DWORD add) const noexcept {
    const DWORD style = GetExStyle();
    const DWORD next = (style & ~remove) | add;
    if (next == style)
        return FALSE;
    ::SetWindowLongPtrW(m_hWnd, GWL_EXSTYLE, static_cast<LONG_PTR>(next));
    return TRUE;
}

BOOL CWnd::PreTranslateMessage(MSG*) {
    return FALSE;
}

BOOL CWnd::WalkPreTranslateTree(HWND hwndStop, MSG* pMsg) {
    for (HWND hwnd = pMsg->hwnd; hwnd; hwnd = ParentOrOwner(hwnd)) {
        if (CWnd* pWnd = FromHandlePermanent(hwnd)) {
            if (pWnd->PreTranslateMessage(pMsg))
                return TRUE;
        }
        if (hwnd == hwndStop)
            break;
    }
    return FALSE;
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (m_pfnSuper)
        return ::CallWindowProcW(m_pfnSuper, m_hWnd, message, wParam, lParam);
    return ::DefWindowProcW(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::Default() {
    return DefWindowProc(m_current.message, m_current.wParam, m_current.lParam);
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    for (const MessageMap* map = GetMessageMap(); map; map = map->base ? map->base() : nullptr) {
        for (std::size_t i = 0; i < map->count; ++i) {
            const MessageEntry& entry = map->entries[i];
            if (entry.message != message)
                continue;
            if (entry.id != kAnyId && entry.id != LOWORD(wParam))
                continue;
            return entry.handler(*this, wParam, lParam);
        }
    }
    return DefWindowProc(message, wParam, lParam);
}

LRESULT CALLBACK CWnd::StandardWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    CWnd* pWnd = FromHandlePermanent(hwnd);
    if (!pWnd) {
        auto& unbound = UnboundMap();
        const auto it = unbound.find(hwnd);
        if (it == unbound.end())
            return ::DefWindowProcW(hwnd, message, wParam, lParam);
        const WNDPROC super = it->second;
        if (message == WM_NCDESTROY)
            unbound.erase(it);
        return ::CallWindowProcW(super, hwnd, message, wParam, lParam);
    }

    if (message == WM_DESTROY && pWnd->m_pCtrlSite) {
        // Disconnect and release the control before its host window lets go of it (once the
        // control is idle, when the window goes with a parent inside one of its events).
        ControlSite::Retire(std::move(pWnd->m_pCtrlSite), nullptr);
    }
    const CurrentMessage saved = pWnd->m_current;
    pWnd->m_current = {message, wParam, lParam};
    DispatchFrame frame{pWnd, t_frames};
    t_frames = &frame;
    LRESULT result = 0;
    try {
        result = pWnd->WindowProc(message, wParam, lParam);
    } catch (...) {
        KELVO_LOG_CAUGHT();
        // Nothing thrown may cross into the system; the message counts as handled.
        result = 0;
    }
    t_frames = frame.outer;
    if (!frame.wnd) {
        // The object was deleted by its own handler.
        if (message == WM_NCDESTROY)
            UnboundMap().erase(hwnd);
        return result;
    }
    if (message == WM_NCDESTROY) {
        // The last message: unbind first so that PostNcDestroy may delete the object.
        pWnd->Unbind();
        UnboundMap().erase(hwnd);
        pWnd->PostNcDestroy();
        return result;
    }
    pWnd->m_current = saved;
    return result;
}

} // namespace kelvo

#include "framework/CWnd.h"

#include "framework/CatchLog.h"
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

// Takes the bits remove out of the style word at index (GWL_STYLE, GWL_EXSTYLE) and puts the bits
// add in; FALSE when the word stays as it was.
BOOL ModifyStyleWord(HWND hwnd, int index, DWORD remove, DWORD add) noexcept {
    const auto style = static_cast<DWORD>(::GetWindowLongPtrW(hwnd, index));
    const DWORD next = (style & ~remove) | add;
    if (next == style)
        return FALSE;
    ::SetWindowLongPtrW(hwnd, index, static_cast<LONG_PTR>(next));
    return TRUE;
}

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
    if (hwnd)
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
    return ModifyStyleWord(m_hWnd, GWL_STYLE, remove, add);
}

void CWnd::SetIcons(HICON icon) const noexcept {
    ::SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    ::SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
}

BOOL CWnd::ModifyStyleEx(DWORD remove, DWORD add) const noexcept {
    return ModifyStyleWord(m_hWnd, GWL_EXSTYLE, remove, add);
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

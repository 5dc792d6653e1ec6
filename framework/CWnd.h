// The window object of the framework: binds one HWND to one C++ object for the window's life and
// routes its messages through the class's message map.
#pragma once

#include "framework/MessageMap.h"

#include <windows.h>

namespace kelvo {

class CWnd {
public:
    CWnd() noexcept;
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND m_hWnd = nullptr;

    HWND GetSafeHwnd() const noexcept { return m_hWnd; }
    operator HWND() const noexcept { return GetSafeHwnd(); }
    static CWnd* FromHandlePermanent(HWND hwnd) noexcept;

    // Creates a window of a registered class bound to this object from its first message on.
    BOOL CreateEx(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, const RECT& rect,
                  HWND hwndParent, UINT id);
    // Binds an existing window and routes its messages through this object.
    BOOL SubclassWindow(HWND hwnd) noexcept;
    virtual BOOL DestroyWindow();

    // Called for every queued message addressed to this window or to one it parents or owns, before
    // it is dispatched; TRUE means the message is used up.
    virtual BOOL PreTranslateMessage(MSG* pMsg);
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);

    // Offers a queued message to PreTranslateMessage of its target window and then of each parent
    // and owner up to and including hwndStop.
    static BOOL WalkPreTranslateTree(HWND hwndStop, MSG* pMsg);

    // Thin forwards to the Win32 calls on m_hWnd.
    BOOL ShowWindow(int cmd) const noexcept { return ::ShowWindow(m_hWnd, cmd); }
    BOOL IsWindowVisible() const noexcept { return ::IsWindowVisible(m_hWnd); }
    BOOL IsIconic() const noexcept { return ::IsIconic(m_hWnd); }
    BOOL IsZoomed() const noexcept { return ::IsZoomed(m_hWnd); }
    BOOL SetWindowTextW(LPCWSTR text) const noexcept { return ::SetWindowTextW(m_hWnd, text); }
    LRESULT SendMessageW(UINT msg, WPARAM wp = 0, LPARAM lp = 0) const noexcept {
        return ::SendMessageW(m_hWnd, msg, wp, lp);
    }
    BOOL PostMessageW(UINT msg, WPARAM wp = 0, LPARAM lp = 0) const noexcept {
        return ::PostMessageW(m_hWnd, msg, wp, lp);
    }
    BOOL ModifyStyle(DWORD remove, DWORD add) const noexcept;
    BOOL ModifyStyleEx(DWORD remove, DWORD add) const noexcept;
    // The window's icon for the caption and the task bar, both sizes.
    void SetIcons(HICON icon) const noexcept;
    DWORD GetStyle() const noexcept { return static_cast<DWORD>(::GetWindowLongPtrW(m_hWnd, GWL_STYLE)); }
    DWORD GetExStyle() const noexcept { return static_cast<DWORD>(::GetWindowLongPtrW(m_hWnd, GWL_EXSTYLE)); }
    HWND GetOwner() const noexcept { return ::GetWindow(m_hWnd, GW_OWNER); }
    HWND GetDlgItem(int id) const noexcept { return ::GetDlgItem(m_hWnd, id); }

protected:
    virtual const MessageMap* GetMessageMap() const;
    static const MessageMap* GetThisMessageMap();

    // Default processing of the message being handled.
    LRESULT Default();
    // Called after the last message (WM_NCDESTROY) once the object is unbound.
    virtual void PostNcDestroy() {}

    // Handlers that derived maps may reach by name and that do the default processing.
    HBRUSH OnCtlColor(HDC, HWND, UINT) { return reinterpret_cast<HBRUSH>(Default()); }

    // The next window created on this thread is bound to pWnd from its first message on.
    static void HookWindowCreate(CWnd* pWnd) noexcept;
    // Ends the hook; true when the window was bound.
    static bool UnhookWindowCreate() noexcept;
    // Lets go of the window: after a creation that failed, or at its last message.
    void Unbind() noexcept;

private:
    struct CurrentMessage {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };

    static LRESULT CALLBACK StandardWindowProc(HWND hwnd, UINT message, WPARAM wParam,
                                               LPARAM lParam) noexcept;
    static LRESULT CALLBACK CreateHookProc(int code, WPARAM wParam, LPARAM lParam) noexcept;
    void Bind(HWND hwnd) noexcept;

    WNDPROC m_pfnSuper = nullptr;
    CurrentMessage m_current{};
};

} // namespace kelvo

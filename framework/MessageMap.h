// Per-class message maps: one visible table per window class that names, for each message it
// handles, the member that handles it. A message not found in a class's table is looked up in its
// base class's table, and one found nowhere goes to DefWindowProc.
#pragma once

#include <windows.h>
#include <windowsx.h>

// windowsx.h names a macro after the framework's member function.
#undef SubclassWindow

#include <cstddef>
#include <iterator>

namespace kelvo {

class CWnd;

struct MessageEntry {
    UINT message;
    UINT id; // for WM_COMMAND: the command id, or kAnyId
    LRESULT (*handler)(CWnd& wnd, WPARAM wParam, LPARAM lParam);
};

struct MessageMap {
    const MessageMap* (*base)();
    const MessageEntry* entries;
    std::size_t count;
};

constexpr UINT kAnyId = 0xFFFFFFFFu;

// The number of a message registered by name; window messages stop at 0xFFFF.
inline UINT KelvoRegisteredMessage(const wchar_t* name) noexcept {
    const UINT message = ::RegisterWindowMessageW(name);
    return message ? message : 0xFFFFFFFFu;
}

#define DECLARE_MESSAGE_MAP()                                                                                \
protected:                                                                                                   \
    static const MessageMap* GetThisMessageMap();                                                            \
    const MessageMap* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                                               \
    const MessageMap* theClass::GetMessageMap() const {                                                      \
        return GetThisMessageMap();                                                                          \
    }                                                                                                        \
    const MessageMap* theClass::GetThisMessageMap() {                                                        \
        using ThisClass = theClass;                                                                          \
        using TheBaseClass = baseClass;                                                                      \
        static const MessageEntry entries[] = {

#define END_MESSAGE_MAP()                                                                                    \
    { 0, 0, nullptr }                                                                                        \
    }                                                                                                        \
    ;                                                                                                        \
    static const MessageMap map{&TheBaseClass::GetThisMessageMap, entries, std::size(entries) - 1};          \
    return &map;                                                                                             \
    }

#define KELVO_SELF static_cast<ThisClass&>(w)

// Any message: LRESULT OnXxx(WPARAM, LPARAM).
#define ON_MESSAGE(msg, memberFn)                                                                            \
    {msg, kAnyId, [](CWnd& w, WPARAM wp, LPARAM lp) -> LRESULT { return KELVO_SELF.memberFn(wp, lp); }},
// A message registered by name with the system (RegisterWindowMessage), such as the shell's
// "TaskbarCreated": LRESULT OnXxx(WPARAM, LPARAM). A name the system refuses maps to a number no
// window message carries.
#define ON_REGISTERED_MESSAGE(name, memberFn)                                                                \
    {KelvoRegisteredMessage(name), kAnyId,                                                                   \
     [](CWnd& w, WPARAM wp, LPARAM lp) -> LRESULT { return KELVO_SELF.memberFn(wp, lp); }},
// WM_COMMAND with one id: void OnXxx().
#define ON_COMMAND(cmdId, memberFn)                                                                          \
    {WM_COMMAND, static_cast<UINT>(cmdId), [](CWnd& w, WPARAM, LPARAM) -> LRESULT {                          \
         KELVO_SELF.memberFn();                                                                              \
         return 0;                                                                                           \
     }},
#define ON_WM_CREATE()                                                                                       \
    {WM_CREATE, kAnyId, [](CWnd& w, WPARAM, LPARAM lp) -> LRESULT {                                          \
         return KELVO_SELF.OnCreate(reinterpret_cast<LPCREATESTRUCTW>(lp));                                  \
     }},
#define ON_WM_DESTROY()                                                                                      \
    {WM_DESTROY, kAnyId, [](CWnd& w, WPARAM, LPARAM) -> LRESULT {                                            \
         KELVO_SELF.OnDestroy();                                                                             \
         return 0;                                                                                           \
     }},
#define ON_WM_CLOSE()                                                                                        \
    {WM_CLOSE, kAnyId, [](CWnd& w, WPARAM, LPARAM) -> LRESULT {                                              \
         KELVO_SELF.OnClose();                                                                               \
         return 0;                                                                                           \
     }},
#define ON_WM_MOVE()                                                                                         \
    {WM_MOVE, kAnyId, [](CWnd& w, WPARAM, LPARAM lp) -> LRESULT {                                            \
         KELVO_SELF.OnMove(GET_X_LPARAM(lp), GET_Y_LPARAM(lp));                                              \
         return 0;                                                                                           \
     }},
#define ON_WM_SIZE()                                                                                         \
    {WM_SIZE, kAnyId, [](CWnd& w, WPARAM wp, LPARAM lp) -> LRESULT {                                         \
         KELVO_SELF.OnSize(static_cast<UINT>(wp), LOWORD(lp), HIWORD(lp));                                   \
         return 0;                                                                                           \
     }},
#define ON_WM_PAINT()                                                                                        \
    {WM_PAINT, kAnyId, [](CWnd& w, WPARAM, LPARAM) -> LRESULT {                                              \
         KELVO_SELF.OnPaint();                                                                               \
         return 0;                                                                                           \
     }},
#define ON_WM_ERASEBKGND()                                                                                   \
    {WM_ERASEBKGND, kAnyId, [](CWnd& w, WPARAM wp, LPARAM) -> LRESULT {                                      \
         return KELVO_SELF.OnEraseBkgnd(reinterpret_cast<HDC>(wp));                                          \
     }},
// Mouse messages, both kinds: void OnXxx(UINT keyFlags, POINT clientPoint) for the client area's,
// void OnXxx(UINT hitCode, POINT screenPoint) for the non-client ones.
#define KELVO_ON_MOUSE(msg, memberFn)                                                                        \
    {msg, kAnyId, [](CWnd& w, WPARAM wp, LPARAM lp) -> LRESULT {                                             \
         KELVO_SELF.memberFn(static_cast<UINT>(wp), POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)});              \
         return 0;                                                                                           \
     }},
#define ON_WM_MOUSEMOVE() KELVO_ON_MOUSE(WM_MOUSEMOVE, OnMouseMove)
#define ON_WM_LBUTTONDOWN() KELVO_ON_MOUSE(WM_LBUTTONDOWN, OnLButtonDown)
#define ON_WM_LBUTTONUP() KELVO_ON_MOUSE(WM_LBUTTONUP, OnLButtonUp)
#define ON_WM_LBUTTONDBLCLK() KELVO_ON_MOUSE(WM_LBUTTONDBLCLK, OnLButtonDblClk)
#define ON_WM_RBUTTONDOWN() KELVO_ON_MOUSE(WM_RBUTTONDOWN, OnRButtonDown)
#define ON_WM_RBUTTONUP() KELVO_ON_MOUSE(WM_RBUTTONUP, OnRButtonUp)
#define ON_WM_NCMOUSEMOVE() KELVO_ON_MOUSE(WM_NCMOUSEMOVE, OnNcMouseMove)
#define ON_WM_NCLBUTTONDOWN() KELVO_ON_MOUSE(WM_NCLBUTTONDOWN, OnNcLButtonDown)
#define ON_WM_NCLBUTTONUP() KELVO_ON_MOUSE(WM_NCLBUTTONUP, OnNcLButtonUp)
#define ON_WM_NCLBUTTONDBLCLK() KELVO_ON_MOUSE(WM_NCLBUTTONDBLCLK, OnNcLButtonDblClk)
#define ON_WM_NCHITTEST()                                                                                    \
    {WM_NCHITTEST, kAnyId, [](CWnd& w, WPARAM, LPARAM lp) -> LRESULT {                                       \
         return static_cast<LRESULT>(KELVO_SELF.OnNcHitTest(POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)}));     \
     }},
#define ON_WM_SETCURSOR()                                                                                    \
    {WM_SETCURSOR, kAnyId, [](CWnd& w, WPARAM wp, LPARAM lp) -> LRESULT {                                    \
         return KELVO_SELF.OnSetCursor(reinterpret_cast<HWND>(wp), LOWORD(lp), HIWORD(lp));                  \
     }},
#define ON_WM_GETMINMAXINFO()                                                                                \
    {WM_GETMINMAXINFO, kAnyId, [](CWnd& w, WPARAM, LPARAM lp) -> LRESULT {                                   \
         KELVO_SELF.OnGetMinMaxInfo(reinterpret_cast<MINMAXINFO*>(lp));                                      \
         return 0;                                                                                           \
     }},
#define ON_WM_TIMER()                                                                                        \
    {WM_TIMER, kAnyId, [](CWnd& w, WPARAM wp, LPARAM) -> LRESULT {                                           \
         KELVO_SELF.OnTimer(static_cast<UINT_PTR>(wp));                                                      \
         return 0;                                                                                           \
     }},
#define ON_WM_QUERYDRAGICON()                                                                                \
    {WM_QUERYDRAGICON, kAnyId, [](CWnd& w, WPARAM, LPARAM) -> LRESULT {                                      \
         return reinterpret_cast<LRESULT>(KELVO_SELF.OnQueryDragIcon());                                     \
     }},
// All WM_CTLCOLORxxx messages: HBRUSH OnCtlColor(HDC, HWND control, UINT ctlType), with ctlType one of
// CTLCOLOR_MSGBOX .. CTLCOLOR_STATIC.
#define KELVO_ON_CTLCOLOR(msg, type)                                                                         \
    {msg, kAnyId, [](CWnd& w, WPARAM wp, LPARAM lp) -> LRESULT {                                             \
         return reinterpret_cast<LRESULT>(                                                                   \
             KELVO_SELF.OnCtlColor(reinterpret_cast<HDC>(wp), reinterpret_cast<HWND>(lp), type));            \
     }},
#define ON_WM_CTLCOLOR()                                                                                     \
    KELVO_ON_CTLCOLOR(WM_CTLCOLORMSGBOX, CTLCOLOR_MSGBOX)                                                    \
    KELVO_ON_CTLCOLOR(WM_CTLCOLOREDIT, CTLCOLOR_EDIT)                                                        \
    KELVO_ON_CTLCOLOR(WM_CTLCOLORLISTBOX, CTLCOLOR_LISTBOX)                                                  \
    KELVO_ON_CTLCOLOR(WM_CTLCOLORBTN, CTLCOLOR_BTN)                                                          \
    KELVO_ON_CTLCOLOR(WM_CTLCOLORDLG, CTLCOLOR_DLG)                                                          \
    KELVO_ON_CTLCOLOR(WM_CTLCOLORSCROLLBAR, CTLCOLOR_SCROLLBAR)                                              \
    KELVO_ON_CTLCOLOR(WM_CTLCOLORSTATIC, CTLCOLOR_STATIC)

} // namespace kelvo

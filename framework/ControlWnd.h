// A window that hosts an ActiveX control: the system's control host window (atl.dll) made as a
// child with a control id, the control's IDispatch called by DISPID, and its events connected to
// the parent's event-sink map. The base of the control wrappers.
#pragma once

#include "framework/CWnd.h"
#include "framework/ControlSite.h"
#include "framework/DispatchArg.h"

#include <memory>
#include <span>

namespace kelvo {

class ControlWnd : public CWnd {
public:
    ControlWnd() noexcept;
    ~ControlWnd() override;

    // Creates an ActiveX control of the class id as a child window with the control id, and
    // connects the control's events of eventsIid to the parent's event-sink map. S_OK, or the
    // failure of the step that failed, with no window left.
    HRESULT CreateControl(REFCLSID clsid, REFIID eventsIid, DWORD style, const RECT& rect, CWnd* pParentWnd,
                          UINT id);
    // The same for a control object made already (by a class factory of the program's choosing,
    // with no registration): an empty host window takes it in.
    HRESULT CreateControl(IUnknown* control, REFIID eventsIid, DWORD style, const RECT& rect,
                          CWnd* pParentWnd, UINT id);
    // The hosted control's automation interface, or null when this window hosts none.
    IDispatch* GetControlDispatch() const noexcept;
    ControlSite* GetControlSite() const noexcept { return m_pCtrlSite.get(); }
    // The site of the control that the window hosts, or null when it hosts none or is no control
    // window of the framework.
    static ControlSite* SiteOf(HWND hwnd) noexcept;

    // Calls the hosted control by DISPID. args holds the arguments last to first, as IDispatch
    // takes them; result may be null. Failures come back as the HRESULT.
    HRESULT InvokeHelper(DISPID dispid, WORD flags, VARIANT* result, VARIANTARG* args,
                         UINT count) const noexcept;
    // Typed calls by DISPID: a property put, and a method with its arguments in declaration order
    // (first to last; they are handed to the control reversed, as IDispatch takes them).
    HRESULT PutProperty(DISPID dispid, const DispatchArg& value) const noexcept;
    HRESULT CallMethod(DISPID dispid, std::span<const DispatchArg> args,
                       VARIANT* result = nullptr) const noexcept;

    // Releases the control as its window is destroyed; a derived class that handles WM_DESTROY
    // here passes it on.
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    // The host window of a control, created with `text` (the class id, or empty to take an object in).
    HRESULT CreateHostWindow(LPCWSTR text, DWORD style, const RECT& rect, CWnd* pParentWnd, UINT id);
    // Takes the hosted control into a site of this window, with its events; destroys the window when
    // that fails.
    HRESULT AttachControlSite(REFIID eventsIid, CWnd* pParentWnd, UINT id);

    std::unique_ptr<ControlSite> m_pCtrlSite;
};

} // namespace kelvo

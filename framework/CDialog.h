// Dialogs from templates, modeless (Create) or modal (DoModal). The dialog manager's own window
// procedure stays underneath as DefWindowProc; the dialog procedure itself does nothing, so every
// message reaches the message map first. A dialog is the parent of the controls it hosts: their
// events reach its event-sink map.
#pragma once

#include "framework/CWnd.h"
#include "framework/EventSinkMap.h"

namespace kelvo {

class CDialog : public CWnd, public ControlEventTarget {
public:
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr) noexcept;

    // Creates the dialog modeless, owned by pParentWnd (or the parent given at construction).
    BOOL Create(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
    // Runs the dialog modally: the owner is disabled, and the dialog's own loop offers every
    // queued message to the PreTranslateMessage chain before dispatching it.
    virtual INT_PTR DoModal();
    void EndDialog(int nResult);

    BOOL PreTranslateMessage(MSG* pMsg) override;
    void OnControlEvent(UINT controlId, DISPID dispid, DISPPARAMS* params) final;

protected:
    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    // The default close request ends the dialog as Cancel.
    void OnClose();
    LRESULT HandleInitDialog(WPARAM, LPARAM);

    CWnd* m_pParentWnd;

    DECLARE_MESSAGE_MAP()

    // The events of the controls this dialog parents, by control id and DISPID: none here; a
    // derived class declares its own table (DECLARE_EVENTSINK_MAP).
    virtual const EventSinkMap* GetEventSinkMap() const;
    static const EventSinkMap* GetThisEventSinkMap();

private:
    static INT_PTR CALLBACK DialogProc(HWND, UINT, WPARAM, LPARAM) noexcept;
    void RunModalLoop();

    UINT m_nIDTemplate;
    bool m_bModal = false;
    bool m_bContinueModal = false;
    INT_PTR m_nModalResult = -1;
};

} // namespace kelvo

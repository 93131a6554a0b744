// Dialogs built without a template (the caller shows the template) and the
// data exchange between a dialog and its controls.
#pragma once

#include "Wnd.h"

class CDataExchange
{
public:
    CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate)
        : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd) {}

    BOOL m_bSaveAndValidate; // TRUE: controls to data; FALSE: data to controls
    CWnd* m_pDlgWnd;
};

class CDialog : public CWnd
{
    DECLARE_DYNAMIC(CDialog)

public:
    CDialog() {}

    // Fills the controls (the loading exchange); TRUE lets the dialog
    // manager set the focus.
    virtual BOOL OnInitDialog();
    // Stores the controls (the saving exchange), then ends with IDOK.
    virtual void OnOK();
    // Ends with IDCANCEL.
    virtual void OnCancel();

    BOOL UpdateData(BOOL bSaveAndValidate);
    void EndDialog(int nResult);
    LRESULT HandleInitDialog(WPARAM wParam, LPARAM lParam);

protected:
    virtual void DoDataExchange(CDataExchange*) {}
};

// A static text control.
class CStatic : public CWnd
{
    DECLARE_DYNAMIC(CStatic)
};

// Binds rControl to the dialog's control nIDC on the first exchange.
void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);

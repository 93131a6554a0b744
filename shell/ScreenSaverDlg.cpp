#include "ScreenSaverDlg.h"

#include "ScreenSaverWnd.h"
#include "Shell.h"

// The one dialog object of the process, registered by its constructor.
static CScreenSaverDlg* s_pSaverDlg;

IMPLEMENT_DYNAMIC(CScreenSaverDlg, CDialog)

BEGIN_MESSAGE_MAP(CScreenSaverDlg, CCmdTarget)
    ON_WM_NCDESTROY()
    ON_WM_CREATE()
    ON_COMMAND(IDOK, OnOK)
    ON_COMMAND(IDCANCEL, OnCancel)
    // Never reached, as SaverDialogProc answers WM_INITDIALOG first; kept for a dialog driven by the table alone.
    ON_MESSAGE(WM_INITDIALOG, HandleInitDialog)
END_MESSAGE_MAP()

CScreenSaverDlg::CScreenSaverDlg()
{
    s_pSaverDlg = this;
}

CScreenSaverDlg::~CScreenSaverDlg()
{
    s_pSaverDlg = nullptr;
}

LRESULT CScreenSaverDlg::DefWindowProc(UINT, WPARAM, LPARAM)
{
    return 0;
}

BOOL CScreenSaverDlg::OnInitDialog()
{
    if (g_pSaverWnd != nullptr)
        g_pSaverWnd->LoadSettings();
    return CDialog::OnInitDialog();
}

int CScreenSaverDlg::OnCreate(LPCREATESTRUCTA)
{
    return Default() == -1 ? -1 : 0;
}

INT_PTR CALLBACK SaverDialogProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (s_pSaverDlg == nullptr)
        return FALSE;
    if (s_pSaverDlg->m_hWnd == nullptr)
        s_pSaverDlg->Attach(hDlg);

    if (message == WM_INITDIALOG)
    {
        CDialog* pDialog = static_cast<CDialog*>(
            AfxDynamicDownCast(RUNTIME_CLASS(CDialog), CWnd::FromHandlePermanent(hDlg)));
        if (pDialog == nullptr)
            return TRUE;
        // No exception may leave a dialog procedure.
        try
        {
            return pDialog->OnInitDialog();
        }
        catch (...)
        {
            return TRUE;
        }
    }
    return AfxCallWndProc(s_pSaverDlg, hDlg, message, wParam, lParam);
}

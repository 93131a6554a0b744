#include "ScreenSaverDlg.h"

#include "ScreenSaverWnd.h"
#include "Shell.h"

CScreenSaverDlg* g_pSaverDlg;

IMPLEMENT_DYNAMIC(CScreenSaverDlg, CDialog)

BEGIN_MESSAGE_MAP(CScreenSaverDlg, CCmdTarget)
    ON_WM_NCDESTROY()
    ON_WM_CREATE()
    ON_COMMAND(IDOK, OnOK)
    ON_COMMAND(IDCANCEL, OnCancel)
    ON_MESSAGE(WM_INITDIALOG, HandleInitDialog)
END_MESSAGE_MAP()

CScreenSaverDlg::CScreenSaverDlg()
{
    g_pSaverDlg = this;
}

CScreenSaverDlg::~CScreenSaverDlg()
{
    g_pSaverDlg = nullptr;
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
    if (g_pSaverDlg == nullptr)
        return FALSE;
    if (g_pSaverDlg->m_hWnd == nullptr)
        g_pSaverDlg->Attach(hDlg);

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
    return AfxCallWndProc(g_pSaverDlg, hDlg, message, wParam, lParam);
}

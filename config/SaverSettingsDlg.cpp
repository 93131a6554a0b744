#include "SaverSettingsDlg.h"

#include <commctrl.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>

#include "../res/resource.h"
#include "../slideshow/SlideShowWnd.h"

static const char PRODUCT_PAGE[] = "https://vistel.example/";
static const char HOME_PAGE[] = "https://corvane.example/";
static const char MAIL_ADDRESS[] = "mailto:vistel@corvane.example";

static const char BROWSE_TITLE[] = "Select a Directory";

// The program's one window object, which holds the settings.
static CSlideShowWnd* SlideShowWnd()
{
    return static_cast<CSlideShowWnd*>(g_pSaverWnd);
}

BEGIN_MESSAGE_MAP(CSaverSettingsDlg, CScreenSaverDlg)
    ON_BN_CLICKED(IDC_BROWSE, OnBrowse)
    ON_WM_VSCROLL()
    ON_MESSAGE(WM_PAINT, OnPassToDefault)
    ON_MESSAGE(WM_QUERYDRAGICON, OnPassToDefault)
    ON_BN_CLICKED(IDC_BACKGROUND, OnBackground)
    // The links draw themselves in their colours.
    ON_WM_CTLCOLORSTATIC()
END_MESSAGE_MAP()

CSaverSettingsDlg::CSaverSettingsDlg()
{
}

CSaverSettingsDlg::~CSaverSettingsDlg()
{
}

BOOL CSaverSettingsDlg::OnInitDialog()
{
    // Loads the settings and fills the controls.
    CScreenSaverDlg::OnInitDialog();
    // As long as the longest folder the browser gives: the settings file is
    // read back with room for that and the backslash reading adds.
    ::SendDlgItemMessageA(m_hWnd, IDC_IMAGEPATH, EM_LIMITTEXT, MAX_PATH - 1, 0);
    m_homeLink.SetTarget(HOME_PAGE);
    m_productLink.SetTarget(PRODUCT_PAGE);
    m_mailLink.SetTarget(MAIL_ADDRESS);
    return TRUE;
}

void CSaverSettingsDlg::DoDataExchange(CDataExchange* pDX)
{
    DDX_Control(pDX, IDC_SPEEDTEXT, m_speedText);
    DDX_Control(pDX, IDC_PRODUCTLINK, m_productLink);
    DDX_Control(pDX, IDC_HOMELINK, m_homeLink);
    DDX_Control(pDX, IDC_MAILLINK, m_mailLink);

    CSlideShowWnd* pShow = SlideShowWnd();
    if (pShow == nullptr)
        return;

    if (!pDX->m_bSaveAndValidate)
    {
        // What is on disk now.
        pShow->LoadSettings();
        ::SendDlgItemMessageA(m_hWnd, IDC_SPEEDSPIN, UDM_SETRANGE, 0, MAKELPARAM(MAX_SPEED_POSITION, 0));
        ::SendDlgItemMessageA(m_hWnd, IDC_SPEEDSPIN, UDM_SETPOS, 0, LOWORD(pShow->GetSpeed()));
        UpdateSpeedText(pShow->GetSpeed());
        ::SendDlgItemMessageA(m_hWnd, IDC_RANDOM, BM_SETCHECK, static_cast<WPARAM>(pShow->GetRandom()), 0);
        ::SetDlgItemTextA(m_hWnd, IDC_IMAGEPATH, pShow->GetImagePath());
    }
    else
    {
        // The spin control has no buddy: its position is the low word, the
        // high word an error flag.
        pShow->SetSpeed(LOWORD(::SendDlgItemMessageA(m_hWnd, IDC_SPEEDSPIN, UDM_GETPOS, 0, 0)));
        pShow->SetRandom(static_cast<int>(::SendDlgItemMessageA(m_hWnd, IDC_RANDOM, BM_GETCHECK, 0, 0)));
        // The folder as typed: it is neither checked nor given a backslash.
        const HWND hEdit = ::GetDlgItem(m_hWnd, IDC_IMAGEPATH);
        CString strImagePath;
        const int nLength = ::GetWindowTextLengthA(hEdit);
        LPSTR psz = strImagePath.GetBuffer(nLength);
        ::GetWindowTextA(hEdit, psz, nLength + 1);
        strImagePath.ReleaseBuffer();
        pShow->SetImagePath(strImagePath);
        pShow->SaveSettings();
    }
}

void CSaverSettingsDlg::OnOK()
{
    if (!UpdateData(TRUE))
        return;
    // Settings that reached no file would be lost with the dialog: it stays
    // open, and says where they could not go and why.
    CSlideShowWnd* pShow = SlideShowWnd();
    if (pShow == nullptr || pShow->m_dwSaveError == ERROR_SUCCESS)
    {
        EndDialog(IDOK);
        return;
    }
    char szReason[512];
    DWORD cchReason = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                       pShow->m_dwSaveError, 0, szReason, sizeof(szReason), nullptr);
    while (cchReason > 0 && std::strchr(" \r\n", szReason[cchReason - 1]) != nullptr)
        cchReason--;
    szReason[cchReason] = '\0';
    if (cchReason == 0)
        std::snprintf(szReason, sizeof(szReason), "Error %lu.", pShow->m_dwSaveError);
    CString strMessage;
    strMessage.Format("The settings could not be saved in\n\n%s\n\n%s", static_cast<LPCSTR>(pShow->m_strSaveFile),
                      szReason);
    AfxMessageBox(strMessage, MB_ICONEXCLAMATION);
}

void CSaverSettingsDlg::UpdateSpeedText(int nSpeed)
{
    const ULONGLONG llSeconds = CSlideShowWnd::DisplaySeconds(nSpeed);
    CString strText;
    if (llSeconds == 1)
        strText = "1 Second";
    else
        strText.Format("%lu Seconds", static_cast<unsigned long>(llSeconds));
    ::SetWindowTextA(m_speedText.m_hWnd, strText);
}

void CSaverSettingsDlg::OnVScroll(UINT, UINT, CWnd*)
{
    if (SlideShowWnd() == nullptr)
        return;
    UpdateSpeedText(LOWORD(::SendDlgItemMessageA(m_hWnd, IDC_SPEEDSPIN, UDM_GETPOS, 0, 0)));
}

LRESULT CSaverSettingsDlg::OnPassToDefault(WPARAM, LPARAM)
{
    return Default();
}

void CSaverSettingsDlg::OnBrowse()
{
    CSlideShowWnd* pShow = SlideShowWnd();
    if (pShow == nullptr)
        return;
    // Whatever was typed gives way to the stored folder, also when the
    // user cancels the browser.
    ::SetDlgItemTextA(m_hWnd, IDC_IMAGEPATH, pShow->GetImagePath());

    // The browser is modal to the main window, or without one (always so in
    // this mode) to this dialog, which it disables meanwhile.
    BROWSEINFOA bi = {};
    const CWinThread* pThread = AfxGetThread();
    bi.hwndOwner = pThread != nullptr && pThread->m_pMainWnd != nullptr ? pThread->m_pMainWnd->m_hWnd : m_hWnd;
    bi.lpszTitle = BROWSE_TITLE;
    LPITEMIDLIST pidl = ::SHBrowseForFolderA(&bi);
    if (pidl == nullptr)
        return;

    // A virtual folder (one without a file-system path) keeps the stored one.
    char szPath[MAX_PATH];
    if (::SHGetPathFromIDListA(pidl, szPath))
        ::SetDlgItemTextA(m_hWnd, IDC_IMAGEPATH, szPath);

    IMalloc* pMalloc = nullptr;
    if (SUCCEEDED(::SHGetMalloc(&pMalloc)))
    {
        pMalloc->Free(pidl);
        pMalloc->Release();
    }
}

void CSaverSettingsDlg::OnBackground()
{
    // Modal to this dialog; the short form, with the current colour chosen.
    CColorDialog dlg(0, 0, this);
    if (CSlideShowWnd* pShow = SlideShowWnd(); pShow != nullptr)
    {
        dlg.m_cc.Flags = CC_RGBINIT;
        dlg.m_cc.rgbResult = pShow->GetBackColor();
        // In memory at once; on disk only when the dialog ends with OK.
        if (dlg.DoModal() == IDOK)
            pShow->SetBackColor(dlg.GetColor());
    }
}

#include "ScreenSaverWnd.h"

#include "Shell.h"

CScreenSaverWnd* g_pSaverWnd;

IMPLEMENT_DYNAMIC(CScreenSaverWnd, CWnd)

BEGIN_MESSAGE_MAP(CScreenSaverWnd, CWnd)
    ON_WM_CREATE()
    ON_WM_ERASEBKGND()
    ON_WM_PAINT()
    ON_WM_PALETTECHANGED()
    ON_WM_QUERYNEWPALETTE()
END_MESSAGE_MAP()

CScreenSaverWnd::CScreenSaverWnd() : m_bEraseToBlack(TRUE), m_pDrawPalette(nullptr)
{
    g_pSaverWnd = this;
}

CScreenSaverWnd::~CScreenSaverWnd()
{
    g_pSaverWnd = nullptr;
}

LRESULT CScreenSaverWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefaultSaverProc(m_hWnd, message, wParam, lParam);
}

void CScreenSaverWnd::DrawSaver(CDC*)
{
}

UINT_PTR CScreenSaverWnd::StartSaver()
{
    return 0;
}

void CScreenSaverWnd::SaveSettings()
{
}

void CScreenSaverWnd::LoadSettings()
{
}

int CScreenSaverWnd::OnCreate(LPCREATESTRUCTA)
{
    if (Default() == -1)
        return -1;
    LoadSettings();
    StartSaver();
    return 0;
}

BOOL CScreenSaverWnd::OnEraseBkgnd(CDC* pDC)
{
    if (m_bEraseToBlack)
    {
        RECT rcClient;
        ::GetClientRect(m_hWnd, &rcClient);
        pDC->FillRect(rcClient, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
    }
    return TRUE; // the class brush is never used
}

void CScreenSaverWnd::OnPaint()
{
    CPaintDC dc(this);
    if (m_pDrawPalette != nullptr)
    {
        dc.SelectPalette(*m_pDrawPalette, FALSE);
        dc.RealizePalette();
    }
    DrawSaver(&dc);
}

BOOL CScreenSaverWnd::OnQueryNewPalette()
{
    if (m_pDrawPalette == nullptr)
        return FALSE;
    CClientDC dc(this);
    dc.SelectPalette(*m_pDrawPalette, FALSE);
    dc.RealizePalette();
    return TRUE;
}

void CScreenSaverWnd::OnPaletteChanged(CWnd* pFocusWnd)
{
    if (pFocusWnd != this)
        OnQueryNewPalette();
}

LRESULT ForwardToSaverWnd(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (g_pSaverWnd == nullptr)
        return 0;
    if (g_pSaverWnd->m_hWnd == nullptr)
    {
        // The window's first message: bring the framework up.
        static char s_szNoCommandLine[] = "";
        HINSTANCE hInstance = reinterpret_cast<HINSTANCE>(::GetWindowLongPtrA(hWnd, GWLP_HINSTANCE));
        AfxWinInit(hInstance, nullptr, s_szNoCommandLine, SW_SHOWNORMAL);
        g_pSaverWnd->Attach(hWnd);
    }
    const LRESULT lResult = AfxCallWndProc(g_pSaverWnd, hWnd, message, wParam, lParam);
    if (message == WM_NCDESTROY)
        AfxWinTerm();
    return lResult;
}

#include "ToolTipCtrl.h"

#include <commctrl.h>

#include "SystemProc.h"

void AfxInitCommonControls(DWORD dwClasses)
{
    // The static import of InitCommonControls keeps the library loaded.
    typedef BOOL(WINAPI * PFNINITCOMMONCONTROLSEX)(const INITCOMMONCONTROLSEX*);
    const PFNINITCOMMONCONTROLSEX pfnInitEx =
        GetProcAddressAs<PFNINITCOMMONCONTROLSEX>(::GetModuleHandleA("comctl32.dll"), "InitCommonControlsEx");
    INITCOMMONCONTROLSEX icc = { sizeof(icc), dwClasses };
    if (pfnInitEx == nullptr || !pfnInitEx(&icc))
        ::InitCommonControls();
}

// The tooltip window is the control's own: it is not bound to the object
// through the handle map and its messages never pass through the object.

CToolTipCtrl::~CToolTipCtrl()
{
    if (m_hWnd != nullptr && ::IsWindow(m_hWnd))
        ::DestroyWindow(m_hWnd);
    m_hWnd = nullptr;
}

BOOL CToolTipCtrl::Create(CWnd* pParentWnd, DWORD dwStyle)
{
    if (m_hWnd != nullptr && ::IsWindow(m_hWnd))
        ::DestroyWindow(m_hWnd);
    AfxInitCommonControls(ICC_BAR_CLASSES);
    m_hWnd = ::CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, WS_POPUP | dwStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, pParentWnd != nullptr ? pParentWnd->m_hWnd : nullptr,
                               nullptr, AfxGetInstanceHandle(), nullptr);
    return m_hWnd != nullptr;
}

// The record as the first common-control versions know it (they refuse
// larger ones), which holds every field used here.
static TOOLINFOA MakeToolInfo(CWnd* pWnd, UINT_PTR nIDTool, LPCSTR pszText)
{
    TOOLINFOA ti = {};
    ti.cbSize = TTTOOLINFOA_V1_SIZE;
    ti.hwnd = pWnd->m_hWnd;
    ti.uId = nIDTool;
    ti.lpszText = const_cast<LPSTR>(pszText);
    return ti;
}

BOOL CToolTipCtrl::AddTool(CWnd* pWnd, LPCSTR pszText, LPCRECT lpRectTool, UINT_PTR nIDTool)
{
    TOOLINFOA ti = MakeToolInfo(pWnd, nIDTool, pszText);
    ti.uFlags = TTF_SUBCLASS;
    ti.rect = *lpRectTool;
    return static_cast<BOOL>(::SendMessageA(m_hWnd, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&ti)));
}

void CToolTipCtrl::UpdateTipText(LPCSTR pszText, CWnd* pWnd, UINT_PTR nIDTool)
{
    TOOLINFOA ti = MakeToolInfo(pWnd, nIDTool, pszText);
    ::SendMessageA(m_hWnd, TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&ti));
}

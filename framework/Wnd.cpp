#include "Wnd.h"

#include <cstring>
#include <map>

// The permanent handle map: which object each bound window belongs to.
// The program has one thread, so one map serves it.
static std::map<HWND, CWnd*> s_handleMap;

// The message being handled, for CWnd::Default.
static MSG s_currentMessage;

// ---- CCmdTarget ----------------------------------------------------------

const AFX_MSGMAP* CCmdTarget::GetMessageMap() const
{
    return GetThisMessageMap();
}

const AFX_MSGMAP* CCmdTarget::GetThisMessageMap()
{
    static const AFX_MSGMAP_ENTRY entries[] = { { 0, 0, 0, nullptr } };
    static const AFX_MSGMAP messageMap = { nullptr, entries };
    return &messageMap;
}

// ---- CWnd ----------------------------------------------------------------

IMPLEMENT_DYNAMIC(CWnd, CObject)

BEGIN_MESSAGE_MAP(CWnd, CCmdTarget)
    ON_WM_NCDESTROY()
END_MESSAGE_MAP()

CWnd::~CWnd()
{
    if (m_hWnd != nullptr)
        Detach();
}

BOOL CWnd::Attach(HWND hWnd)
{
    if (hWnd == nullptr)
        return FALSE;
    m_hWnd = hWnd;
    s_handleMap[hWnd] = this;
    return TRUE;
}

HWND CWnd::Detach()
{
    HWND hWnd = m_hWnd;
    if (hWnd != nullptr)
    {
        auto it = s_handleMap.find(hWnd);
        if (it != s_handleMap.end() && it->second == this)
            s_handleMap.erase(it);
    }
    m_hWnd = nullptr;
    return hWnd;
}

CWnd* CWnd::FromHandlePermanent(HWND hWnd)
{
    auto it = s_handleMap.find(hWnd);
    return it != s_handleMap.end() ? it->second : nullptr;
}

// The procedure of every subclassed control.
static LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CWnd* pWnd = CWnd::FromHandlePermanent(hWnd);
    if (pWnd == nullptr)
        return ::DefWindowProcA(hWnd, message, wParam, lParam);
    return AfxCallWndProc(pWnd, hWnd, message, wParam, lParam);
}

BOOL CWnd::SubclassWindow(HWND hWnd)
{
    if (!Attach(hWnd))
        return FALSE;
    PreSubclassWindow();
    m_pfnSuper = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrA(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&AfxWndProc)));
    if (m_pfnSuper == nullptr)
    {
        Detach();
        return FALSE;
    }
    return TRUE;
}

LRESULT CWnd::Default()
{
    return DefWindowProc(s_currentMessage.message, s_currentMessage.wParam, s_currentMessage.lParam);
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT lResult = 0;
    if (!OnWndMsg(message, wParam, lParam, &lResult))
        lResult = DefWindowProc(message, wParam, lParam);
    return lResult;
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (m_pfnSuper != nullptr)
        return ::CallWindowProcA(m_pfnSuper, m_hWnd, message, wParam, lParam);
    return ::DefWindowProcA(m_hWnd, message, wParam, lParam);
}

static BOOL EntryMatches(const AFX_MSGMAP_ENTRY& entry, UINT message, WPARAM wParam)
{
    if (entry.nMessage != message)
        return FALSE;
    if (message == WM_COMMAND)
        return entry.nCode == HIWORD(wParam) && entry.nID == LOWORD(wParam);
    return TRUE;
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    for (const AFX_MSGMAP* pMap = GetMessageMap(); pMap != nullptr;
         pMap = pMap->pfnGetBaseMap != nullptr ? pMap->pfnGetBaseMap() : nullptr)
    {
        for (const AFX_MSGMAP_ENTRY* pEntry = pMap->lpEntries; pEntry->nMessage != 0; pEntry++)
        {
            if (EntryMatches(*pEntry, message, wParam))
            {
                *pResult = pEntry->pfn(this, wParam, lParam);
                return TRUE;
            }
        }
    }
    return FALSE;
}

void CWnd::OnNcDestroy()
{
    HWND hWnd = m_hWnd;
    const LONG_PTR pfnCurrent = ::GetWindowLongPtrA(hWnd, GWLP_WNDPROC);
    Default();
    // Give a subclassed control its own procedure back, unless someone
    // subclassed it again meanwhile.
    if (m_pfnSuper != nullptr && ::GetWindowLongPtrA(hWnd, GWLP_WNDPROC) == pfnCurrent)
        ::SetWindowLongPtrA(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
    m_pfnSuper = nullptr;
    Detach();
}

HBRUSH CWnd::OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor)
{
    LRESULT lResult = 0;
    if (pWnd != nullptr &&
        pWnd->OnWndMsg(WM_REFLECT_CTLCOLOR, reinterpret_cast<WPARAM>(pDC->m_hDC), nCtlColor, &lResult))
        return reinterpret_cast<HBRUSH>(lResult);
    return nullptr;
}

LRESULT AfxCallWndProc(CWnd* pWnd, HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    const MSG previous = s_currentMessage;
    s_currentMessage.hwnd = hWnd;
    s_currentMessage.message = message;
    s_currentMessage.wParam = wParam;
    s_currentMessage.lParam = lParam;

    LRESULT lResult = 0;
    try
    {
        lResult = pWnd->WindowProc(message, wParam, lParam);
    }
    catch (...)
    {
        if (message == WM_CREATE)
            lResult = -1;
        else if (message == WM_PAINT)
            ::ValidateRect(hWnd, nullptr);
    }

    s_currentMessage = previous;
    return lResult;
}

// ---- Device contexts on windows ------------------------------------------

CPaintDC::CPaintDC(CWnd* pWnd) : m_hWnd(pWnd->m_hWnd)
{
    Attach(::BeginPaint(m_hWnd, &m_ps));
}

CPaintDC::~CPaintDC()
{
    ::EndPaint(m_hWnd, &m_ps);
    Detach();
}

CClientDC::CClientDC(CWnd* pWnd) : m_hWnd(pWnd->m_hWnd)
{
    Attach(::GetDC(m_hWnd));
}

CClientDC::~CClientDC()
{
    ::ReleaseDC(m_hWnd, Detach());
}

// ---- Framework start and end ---------------------------------------------

static CWinThread s_thread;
static BOOL s_bInitialised = FALSE;
static HINSTANCE s_hInstance = nullptr;

BOOL AfxWinInit(HINSTANCE hInstance, HINSTANCE, LPSTR, int)
{
    s_hInstance = hInstance;
    s_thread.m_pMainWnd = nullptr;
    s_bInitialised = TRUE;
    return TRUE;
}

void AfxWinTerm()
{
    s_thread.m_pMainWnd = nullptr;
    s_hInstance = nullptr;
    s_bInitialised = FALSE;
}

CWinThread* AfxGetThread()
{
    return s_bInitialised ? &s_thread : nullptr;
}

HINSTANCE AfxGetInstanceHandle()
{
    return s_hInstance != nullptr ? s_hInstance : ::GetModuleHandleA(nullptr);
}

int AfxMessageBox(LPCSTR pszText, UINT nType)
{
    HWND hOwner = nullptr;
    if (CWinThread* pThread = AfxGetThread(); pThread != nullptr && pThread->m_pMainWnd != nullptr)
        hOwner = pThread->m_pMainWnd->m_hWnd;
    if (hOwner == nullptr)
        hOwner = ::GetActiveWindow();

    // The title is the program's file name without folder and extension.
    char szTitle[MAX_PATH] = "";
    const DWORD cchPath = ::GetModuleFileNameA(AfxGetInstanceHandle(), szTitle, sizeof(szTitle));
    szTitle[cchPath < sizeof(szTitle) ? cchPath : sizeof(szTitle) - 1] = '\0';
    LPSTR pszName = szTitle;
    for (LPSTR psz = szTitle; *psz != '\0'; psz++)
        if (*psz == '\\' || *psz == '/' || *psz == ':')
            pszName = psz + 1;
    if (LPSTR pszDot = std::strrchr(pszName, '.'); pszDot != nullptr)
        *pszDot = '\0';

    return ::MessageBoxA(hOwner, pszText, pszName, nType);
}

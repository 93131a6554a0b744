#include "HyperLink.h"

#include <shellapi.h>

#include <cstring>

// The link colours, shared by all links.
static const COLORREF LINK_ACTIVE_COLOR = RGB(0, 128, 128);  // teal, while selected (focus or press)
static const COLORREF LINK_VISITED_COLOR = RGB(128, 0, 128); // purple, once opened
static const COLORREF LINK_NORMAL_COLOR = RGB(0, 0, 255);    // blue

// The hand cursor of all links.
static HCURSOR s_hLinkCursor;

// The tooltip's one tool: the whole control.
static const UINT_PTR LINK_TOOL_ID = 1;

// The help program's hand cursor.
static const char HELP_PROGRAM[] = "\\winhlp32.exe";
static const WORD HELP_HAND_CURSOR = 106;

// Where the program registered for web pages is found.
static const char WEB_PAGE_EXTENSION[] = ".htm";
static const char OPEN_COMMAND_KEY[] = "\\shell\\open\\command";
static const int COMMAND_SIZE = 2 * MAX_PATH; // the registered command, a blank and the target

IMPLEMENT_DYNAMIC(CHyperLink, CStatic)

// Only the control's own entries: the framework's window handlers are not
// wanted here, and what the table leaves goes to the static control.
BEGIN_MESSAGE_MAP(CHyperLink, CWnd)
    ON_WM_CTLCOLOR_REFLECT()
    ON_WM_SETCURSOR()
    ON_WM_MOUSEMOVE()
    ON_WM_LBUTTONDOWN()
    ON_WM_LBUTTONUP()
    ON_WM_SETFOCUS()
    ON_WM_KILLFOCUS()
    ON_WM_KEYDOWN()
    ON_WM_NCHITTEST()
END_MESSAGE_MAP()

CHyperLink::CHyperLink()
    : m_bSelected(FALSE), m_bHover(FALSE), m_bVisited(FALSE), m_bAutoSize(TRUE)
{
}

CHyperLink::~CHyperLink()
{
}

static CString GetText(HWND hWnd)
{
    CString str;
    const int nLength = ::GetWindowTextLengthA(hWnd);
    if (nLength > 0)
    {
        LPSTR psz = str.GetBuffer(nLength);
        ::GetWindowTextA(hWnd, psz, nLength + 1);
        str.ReleaseBuffer();
    }
    return str;
}

// ---- Set-up ----------------------------------------------------------------

void CHyperLink::PreSubclassWindow()
{
    if (m_strTarget.IsEmpty())
        m_strTarget = GetText(m_hWnd);

    const HFONT hFont = reinterpret_cast<HFONT>(::SendMessageA(m_hWnd, WM_GETFONT, 0, 0));
    LOGFONTA lf;
    if (hFont != nullptr && ::GetObjectA(hFont, sizeof(lf), &lf) == sizeof(lf))
    {
        lf.lfUnderline = 1;
        m_fontLink.DeleteObject(); // a font of an earlier binding
        if (m_fontLink.CreateFontIndirect(&lf))
            ::SendMessageA(m_hWnd, WM_SETFONT, reinterpret_cast<WPARAM>(static_cast<HFONT>(m_fontLink)), TRUE);
        FitToText();
    }
    else
    {
        m_bAutoSize = FALSE;
    }
    LoadHandCursor();

    if (m_tipLink.Create(this, 0))
    {
        RECT rcClient;
        ::GetClientRect(m_hWnd, &rcClient);
        m_tipLink.AddTool(this, m_strTarget, &rcClient, LINK_TOOL_ID);
    }

    CStatic::PreSubclassWindow();
}

void CHyperLink::SetTarget(const CString& strTarget)
{
    m_strTarget = strTarget;
    if (m_hWnd == nullptr)
        return;
    ::ShowWindow(m_hWnd, SW_HIDE);
    FitToText();
    m_tipLink.UpdateTipText(m_strTarget, this, LINK_TOOL_ID);
    ::ShowWindow(m_hWnd, SW_SHOW);
}

HFONT CHyperLink::GetControlFont() const
{
    if (m_fontLink.m_hObject != nullptr)
        return m_fontLink;
    return reinterpret_cast<HFONT>(::SendMessageA(m_hWnd, WM_GETFONT, 0, 0));
}

void CHyperLink::FitToText()
{
    if (!m_bAutoSize)
        return;

    RECT rcWindow, rcClient;
    ::GetWindowRect(m_hWnd, &rcWindow);
    if (const HWND hParent = ::GetParent(m_hWnd); hParent != nullptr)
        ::MapWindowPoints(nullptr, hParent, reinterpret_cast<POINT*>(&rcWindow), 2);
    ::GetClientRect(m_hWnd, &rcClient);
    const int cxBorder = (rcWindow.right - rcWindow.left) - rcClient.right;
    const int cyBorder = (rcWindow.bottom - rcWindow.top) - rcClient.bottom;

    const SIZE sizeText = MeasureText();

    // The window is fitted to the text together with its border, so that
    // the kept edge (or centre) stays where it is on a bordered control too.
    const int cxFit = sizeText.cx + cxBorder;
    const int cyFit = sizeText.cy + cyBorder;
    const DWORD dwStyle = static_cast<DWORD>(::GetWindowLongA(m_hWnd, GWL_STYLE));

    if ((dwStyle & SS_CENTERIMAGE) != 0)
    {
        const int nShrink = ((rcWindow.bottom - rcWindow.top) - cyFit) / 2;
        rcWindow.top += nShrink;
        rcWindow.bottom -= nShrink;
    }
    else
    {
        rcWindow.bottom = rcWindow.top + cyFit;
    }

    // The alignment is the low style bits: SS_CENTER and SS_RIGHT are not
    // independent flags (SS_RIGHT is 2, SS_CENTER 1).
    const DWORD dwAlign = dwStyle & SS_TYPEMASK;
    if (dwAlign == SS_CENTER)
    {
        const int nShrink = ((rcWindow.right - rcWindow.left) - cxFit) / 2;
        rcWindow.left += nShrink;
        rcWindow.right -= nShrink;
    }
    else if (dwAlign == SS_RIGHT)
    {
        rcWindow.left = rcWindow.right - cxFit;
    }
    else
    {
        rcWindow.right = rcWindow.left + cxFit;
    }

    ::MoveWindow(m_hWnd, rcWindow.left, rcWindow.top, rcWindow.right - rcWindow.left,
                 rcWindow.bottom - rcWindow.top, TRUE);
}

SIZE CHyperLink::MeasureText()
{
    const CString strText = GetText(m_hWnd);
    SIZE sizeText = { 0, 0 };
    CClientDC dc(this);
    const HGDIOBJ hOldFont = dc.SelectObject(GetControlFont());
    ::GetTextExtentPoint32A(dc.m_hAttribDC, strText, strText.GetLength(), &sizeText);
    dc.SelectObject(hOldFont);
    return sizeText;
}

void CHyperLink::LoadHandCursor()
{
    if (s_hLinkCursor != nullptr)
        return;

    // The help program's hand, as the links of help files show it.
    char szPath[MAX_PATH + sizeof(HELP_PROGRAM)];
    const UINT cchDir = ::GetWindowsDirectoryA(szPath, MAX_PATH);
    if (cchDir > 0 && cchDir < MAX_PATH)
    {
        std::memcpy(szPath + cchDir, HELP_PROGRAM, sizeof(HELP_PROGRAM));
        if (const HMODULE hHelp = ::LoadLibraryA(szPath); hHelp != nullptr)
        {
            if (const HCURSOR hHand = ::LoadCursorA(hHelp, MAKEINTRESOURCEA(HELP_HAND_CURSOR)); hHand != nullptr)
                s_hLinkCursor = ::CopyIcon(hHand);
            ::FreeLibrary(hHelp);
        }
    }
    // Without the help program's hand, the system's own (it exists from
    // Windows 98 and 2000 on).
    if (s_hLinkCursor == nullptr)
        s_hLinkCursor = ::LoadCursorA(nullptr, IDC_HAND);
}

// ---- Drawing -----------------------------------------------------------------

HBRUSH CHyperLink::CtlColor(CDC* pDC, UINT)
{
    COLORREF crText = LINK_NORMAL_COLOR;
    if (m_bSelected)
        crText = LINK_ACTIVE_COLOR;
    else if (m_bVisited)
        crText = LINK_VISITED_COLOR;
    pDC->SetTextColor(crText);
    pDC->SetBkMode(TRANSPARENT);
    return static_cast<HBRUSH>(::GetStockObject(NULL_BRUSH));
}

// ---- Pointer, keys and focus -------------------------------------------------
// Mouse messages go on to the default handling too: the tooltip watches
// them there.

BOOL CHyperLink::OnSetCursor(CWnd*, UINT, UINT)
{
    if (s_hLinkCursor == nullptr)
        return FALSE;
    ::SetCursor(s_hLinkCursor);
    return TRUE;
}

void CHyperLink::OnMouseMove(UINT, POINT point)
{
    if (!m_bHover)
    {
        m_bHover = TRUE;
        ::InvalidateRect(m_hWnd, nullptr, TRUE);
        ::SetCapture(m_hWnd);
    }
    else
    {
        RECT rcClient;
        ::GetClientRect(m_hWnd, &rcClient);
        if (!::PtInRect(&rcClient, point))
        {
            m_bHover = FALSE;
            ::ReleaseCapture();
            ::InvalidateRect(m_hWnd, nullptr, TRUE);
        }
    }
    Default();
}

void CHyperLink::OnLButtonDown(UINT, POINT)
{
    ::SetFocus(m_hWnd);
    m_bSelected = TRUE;
    Default();
}

void CHyperLink::OnLButtonUp(UINT, POINT)
{
    if (m_bSelected)
        FollowLink();
    Default();
}

void CHyperLink::OnSetFocus(CWnd*)
{
    m_bSelected = TRUE;
    ::InvalidateRect(m_hWnd, nullptr, TRUE);
}

void CHyperLink::OnKillFocus(CWnd*)
{
    m_bHover = FALSE;
    m_bSelected = FALSE;
    ::InvalidateRect(m_hWnd, nullptr, TRUE);
}

void CHyperLink::OnKeyDown(UINT nChar, UINT, UINT)
{
    if (nChar == VK_SPACE)
        FollowLink();
    else
        Default();
}

LRESULT CHyperLink::OnNcHitTest(POINT)
{
    return HTCLIENT;
}

// ---- Opening -------------------------------------------------------------------

void CHyperLink::FollowLink()
{
    const int nResult = OpenLink(m_strTarget, SW_SHOW);
    if (nResult <= 32)
    {
        // The message box's buttons must get the clicks: a link that still
        // holds the mouse would take them and open itself again.
        if (::GetCapture() == m_hWnd)
            ::ReleaseCapture();
        m_bHover = FALSE;
        ::MessageBeep(MB_ICONEXCLAMATION);
        ShowLinkError(nResult);
        return;
    }
    m_bVisited = TRUE;
    ::InvalidateRect(m_hWnd, nullptr, TRUE);
}

// The unnamed value of a key of HKEY_CLASSES_ROOT. A value that does not
// fit the buffer, or fills it without its terminating zero, is no value.
static BOOL ReadClassValue(LPCSTR pszKey, char (&szValue)[MAX_PATH])
{
    HKEY hKey;
    if (::RegOpenKeyExA(HKEY_CLASSES_ROOT, pszKey, 0, KEY_QUERY_VALUE, &hKey) != ERROR_SUCCESS)
        return FALSE;
    LONG cbValue = sizeof(szValue);
    const LONG lResult = ::RegQueryValueA(hKey, nullptr, szValue, &cbValue);
    ::RegCloseKey(hKey);
    return lResult == ERROR_SUCCESS && cbValue > 0 && cbValue <= static_cast<LONG>(sizeof(szValue)) &&
           std::memchr(szValue, '\0', static_cast<size_t>(cbValue)) != nullptr;
}

int CHyperLink::OpenLink(LPCSTR pszTarget, int nShowCmd)
{
    const int nShellResult = static_cast<int>(
        reinterpret_cast<INT_PTR>(::ShellExecuteA(nullptr, "open", pszTarget, nullptr, nullptr, nShowCmd)));
    if (nShellResult > 32)
        return nShellResult;

    // The program registered for web pages: the class of ".htm" files and
    // that class's open command.
    char szClass[MAX_PATH];
    if (!ReadClassValue(WEB_PAGE_EXTENSION, szClass))
        return nShellResult;
    const size_t cchClass = std::strlen(szClass);
    if (cchClass + sizeof(OPEN_COMMAND_KEY) > sizeof(szClass))
        return nShellResult;
    std::memcpy(szClass + cchClass, OPEN_COMMAND_KEY, sizeof(OPEN_COMMAND_KEY));
    char szRegistered[MAX_PATH];
    if (!ReadClassValue(szClass, szRegistered))
        return nShellResult;

    // The command ends before its placeholder for the page, a quoted one
    // first; the target follows after a blank.
    char* pszPlaceholder = std::strstr(szRegistered, "\"%1\"");
    if (pszPlaceholder == nullptr)
        pszPlaceholder = std::strstr(szRegistered, "%1");
    if (pszPlaceholder != nullptr)
        *pszPlaceholder = '\0';
    const size_t cchRegistered = std::strlen(szRegistered);
    const size_t cchTarget = std::strlen(pszTarget);
    char szCommand[COMMAND_SIZE];
    if (cchRegistered + 1 + cchTarget >= sizeof(szCommand))
        return nShellResult;
    std::memcpy(szCommand, szRegistered, cchRegistered);
    szCommand[cchRegistered] = ' ';
    std::memcpy(szCommand + cchRegistered + 1, pszTarget, cchTarget + 1);

    return static_cast<int>(::WinExec(szCommand, static_cast<UINT>(nShowCmd)));
}

void CHyperLink::ShowLinkError(int nError)
{
    CString strMessage;
    switch (nError)
    {
    case 0: strMessage = "The operating system is out\nof memory or resources."; break;
    case SE_ERR_FNF: strMessage = "The specified file was not found."; break;
    case SE_ERR_PNF: strMessage = "The specified path was not found."; break;
    case SE_ERR_ACCESSDENIED: strMessage = "The operating system denied\naccess to the specified file."; break;
    case SE_ERR_OOM: strMessage = "There was not enough memory to complete the operation."; break;
    case ERROR_BAD_FORMAT: strMessage = "The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image)."; break;
    case SE_ERR_SHARE: strMessage = "A sharing violation occurred. "; break;
    case SE_ERR_ASSOCINCOMPLETE: strMessage = "The filename association is\nincomplete or invalid."; break;
    case SE_ERR_DDETIMEOUT:
        strMessage = "The DDE transaction could not\nbe completed because the request timed out.";
        break;
    case SE_ERR_DDEFAIL: strMessage = "The DDE transaction failed."; break;
    case SE_ERR_DDEBUSY:
        strMessage = "The DDE transaction could not\nbe completed because other DDE transactions\n"
                     "were being processed.";
        break;
    case SE_ERR_NOASSOC: strMessage = "There is no application associated\nwith the given filename extension."; break;
    case SE_ERR_DLLNOTFOUND: strMessage = "The specified dynamic-link library was not found."; break;
    default: strMessage.Format("Unknown Error (%d) occurred.", nError); break;
    }
    AfxMessageBox(CString("Can't open link:\n\n") + strMessage, MB_ICONEXCLAMATION);
}

// The saver window: its class, creation and message loop, the low-level
// window procedure, and the rules by which input ends the saver.
#include "Shell.h"
#include "ScreenSaverWnd.h"

#include <cstdlib>

#include "../res/resource.h"

BOOL g_bPreview;
BOOL g_bClosing;
BOOL g_bVerifying;

// The reference point of the mouse-move rule.
static POINT s_ptLastCursor;
// The system's AutoPlay query (Windows 95/98 only; 0 elsewhere).
static UINT s_uQueryCancelAutoPlay;

typedef HIMC (WINAPI* IMMASSOCIATECONTEXTPROC)(HWND hWnd, HIMC hImc);

static HMODULE s_hImm;
static IMMASSOCIATECONTEXTPROC s_pfnImmAssociateContext;
static HIMC s_hPrevImc;

// A move closes the saver when it takes the cursor further than this from
// the reference point, counted as horizontal plus vertical distance.
static const LONG MOUSE_THRESHOLD = 4;

// The input that ends the full-screen saver: a key or a mouse button going
// down. A mouse move ends it too, beyond the threshold.
static const UINT ENDING_INPUT[] = { WM_KEYDOWN, WM_SYSKEYDOWN, WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MBUTTONDOWN };

static BOOL IsEndingInput(UINT message)
{
    for (const UINT ending : ENDING_INPUT)
        if (message == ending)
            return TRUE;
    return FALSE;
}

static BOOL RegisterSaverClass()
{
    WNDCLASSA wc = {};
    wc.style = CS_OWNDC | CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = SaverWindowProc;
    wc.hInstance = g_hSaverInstance;
    wc.hIcon = ::LoadIconA(g_hSaverInstance, MAKEINTRESOURCEA(IDI_VISTEL));
    wc.hCursor = nullptr;
    wc.hbrBackground = static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH));
    wc.lpszClassName = SAVER_CLASS_NAME;
    return ::RegisterClassA(&wc) != 0;
}

// A preview fills its host's client area; the full-screen saver covers the
// screen, above every other window.
static HWND CreateSaverWindow(HWND hParent)
{
    RECT rc = {};
    DWORD dwStyle = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, dwExStyle = 0;
    LPCSTR pszTitle = PREVIEW_TITLE;
    if (hParent != nullptr)
        ::GetClientRect(hParent, &rc);
    else
    {
        HDC hScreenDC = ::GetDC(nullptr);
        ::GetClipBox(hScreenDC, &rc);
        ::ReleaseDC(nullptr, hScreenDC);
        dwStyle = WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
        dwExStyle = WS_EX_TOPMOST;
        pszTitle = SAVER_TITLE;
    }
    return ::CreateWindowExA(dwExStyle, SAVER_CLASS_NAME, pszTitle, dwStyle, rc.left, rc.top, rc.right - rc.left,
                             rc.bottom - rc.top, hParent, nullptr, g_hSaverInstance, nullptr);
}

// One full-screen saver at a time: a second start brings the first forward.
static BOOL BringRunningSaverForward()
{
    HWND hRunning = ::FindWindowA(SAVER_CLASS_NAME, SAVER_TITLE);
    if (hRunning == nullptr || !::IsWindow(hRunning))
        return FALSE;
    ::SetForegroundWindow(hRunning);
    return TRUE;
}

// Runs until the window has gone; the exit code of its quit message.
static int RunMessageLoop(HWND hWnd)
{
    if (!g_bPreview)
        ::SetForegroundWindow(hWnd);
    MSG msg = {};
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0)
    {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    return static_cast<int>(msg.wParam);
}

int RunSaverWindow(HWND hParent)
{
    if (hParent != nullptr)
        g_bPreview = TRUE;
    else if (BringRunningSaverForward())
        return 0;
    else
        LoadPasswordLibrary();

    s_uQueryCancelAutoPlay = g_bWin9x ? ::RegisterWindowMessageA("QueryCancelAutoPlay") : 0;
    const HWND hWnd = RegisterSaverClass() ? CreateSaverWindow(hParent) : nullptr;
    // A saver that could not show its window reports it.
    const int nResult = hWnd != nullptr ? RunMessageLoop(hWnd) : -1;
    FreePasswordLibrary();
    return nResult;
}

static void HideCursor()
{
    ::SetCursor(nullptr);
}

static void OnSaverCreate(HWND hWnd)
{
    s_hImm = ::GetModuleHandleA("IMM32.DLL");
    if (s_hImm != nullptr)
    {
        s_pfnImmAssociateContext = GetProcAddressAs<IMMASSOCIATECONTEXTPROC>(s_hImm, "ImmAssociateContext");
        if (s_pfnImmAssociateContext != nullptr)
            s_hPrevImc = s_pfnImmAssociateContext(hWnd, nullptr);
    }
    ::GetCursorPos(&s_ptLastCursor);
    if (!g_bPreview)
        HideCursor();
}

static void OnSaverDestroy(HWND hWnd)
{
    if (s_hImm != nullptr && s_pfnImmAssociateContext != nullptr && s_hPrevImc != nullptr)
        s_pfnImmAssociateContext(hWnd, s_hPrevImc);
    ::PostQuitMessage(0);
}

// In preview mode help requests belong to the control panel hosting us.
static LRESULT PassToHost(HWND hWnd, UINT message, LPARAM lParam)
{
    HWND hHost = ::GetParent(hWnd);
    if (hHost != nullptr && ::IsWindow(hHost))
        ::PostMessageA(hHost, message, reinterpret_cast<WPARAM>(hHost), lParam);
    return 1;
}

LRESULT CALLBACK SaverWindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message)
    {
    case WM_CREATE:
        OnSaverCreate(hWnd);
        break;
    case WM_DESTROY:
        OnSaverDestroy(hWnd);
        break;
    case WM_SETTEXT:
        return 0;
    case WM_PAINT:
        if (g_bClosing)
            return ::DefWindowProcA(hWnd, message, wParam, lParam);
        if (!g_bPreview)
            HideCursor();
        break;
    case WM_TIMER:
        if (g_bClosing)
            return 0;
        // Every tick gives the rest of its time slice to other programs, as a background saver should.
        ::Sleep(0);
        break;
    case WM_HELP:
    case WM_CONTEXTMENU:
        if (g_bPreview)
            return PassToHost(hWnd, message, lParam);
        break;
    case WM_SYSCOMMAND:
        // A renewed start request and the window-switching commands do nothing.
        if (!g_bPreview && (wParam == SC_NEXTWINDOW || wParam == SC_PREVWINDOW || wParam == SC_SCREENSAVE))
            return 0;
        break;
    default:
        // Once closing, the input that would end the saver goes nowhere else.
        if (g_bClosing && (IsEndingInput(message) || message == WM_MOUSEMOVE))
            return ::DefWindowProcA(hWnd, message, wParam, lParam);
        break;
    }
    return ForwardToSaverWnd(hWnd, message, wParam, lParam);
}

static void PostClose(HWND hWnd)
{
    ::PostMessageA(hWnd, WM_CLOSE, 0, 0);
}

// Small moves add up: the reference stays until the total distance from it
// exceeds the threshold.
static BOOL CursorBeyondThreshold(POINT* pPt)
{
    ::GetCursorPos(pPt);
    return std::labs(pPt->x - s_ptLastCursor.x) + std::labs(pPt->y - s_ptLastCursor.y) > MOUSE_THRESHOLD;
}

static void ApplyMouseMoveRule(HWND hWnd)
{
    POINT pt;
    if (CursorBeyondThreshold(&pt))
    {
        PostClose(hWnd);
        s_ptLastCursor = pt;
    }
}

BOOL SaverEndingInputWaiting()
{
    if (g_bPreview || g_bClosing || g_bVerifying)
        return FALSE;
    // The queue's summary first: it costs no look at the messages.
    const DWORD dwQueued = HIWORD(::GetQueueStatus(QS_KEY | QS_MOUSEBUTTON | QS_MOUSEMOVE));
    if (dwQueued & (QS_KEY | QS_MOUSEBUTTON))
    {
        MSG msg;
        for (const UINT message : ENDING_INPUT)
            if (::PeekMessageA(&msg, nullptr, message, message, PM_NOREMOVE | PM_NOYIELD))
                return TRUE;
    }
    POINT pt;
    return (dwQueued & QS_MOUSEMOVE) != 0 && CursorBeyondThreshold(&pt);
}

// A power event that means the machine is going to sleep or has woken.
// Power-status, battery-low and power-setting changes, which a laptop on
// battery sends every few minutes, and cancelled sleeps leave the show on.
static BOOL IsSleepOrWake(WPARAM wEvent)
{
    switch (wEvent)
    {
    case PBT_APMQUERYSUSPEND:
    case PBT_APMQUERYSTANDBY:
    case PBT_APMSUSPEND:
    case PBT_APMSTANDBY:
    case PBT_APMRESUMECRITICAL:
    case PBT_APMRESUMESUSPEND:
    case PBT_APMRESUMESTANDBY:
    case PBT_APMRESUMEAUTOMATIC:
        return TRUE;
    default:
        return FALSE;
    }
}

// The closing rules of the full-screen saver, for input and system events.
// Returns TRUE when the message is settled with *pResult.
static BOOL ApplyClosingRules(HWND hWnd, UINT message, WPARAM wParam, LRESULT* pResult)
{
    switch (message)
    {
    case WM_CLOSE:
        if (g_bWin9x && !VerifySaverPassword(hWnd))
        {
            // The paint that gave up for the input that asked drew nothing.
            ::InvalidateRect(hWnd, nullptr, FALSE);
            ::GetCursorPos(&s_ptLastCursor);
            *pResult = 0;
            return TRUE;
        }
        return FALSE;
    case WM_VERIFYPASSWORD:
        if (!g_bWin9x)
            return FALSE;
        *pResult = g_pfnVerifyPassword != nullptr ? g_pfnVerifyPassword(hWnd) : 1;
        return TRUE;
    }

    if (g_bVerifying)
        return FALSE;

    switch (message)
    {
    case WM_SHOWWINDOW:
        if (wParam != 0)
            HideCursor();
        break;
    case WM_ACTIVATEAPP:
        if (wParam == 0)
            PostClose(hWnd);
        break;
    case WM_SETCURSOR:
        HideCursor();
        *pResult = TRUE;
        return TRUE;
    case WM_POWER:
        if (wParam == PWR_CRITICALRESUME)
            PostClose(hWnd);
        break;
    case WM_POWERBROADCAST:
        if (IsSleepOrWake(wParam))
            PostClose(hWnd);
        break;
    case WM_MOUSEMOVE:
        ApplyMouseMoveRule(hWnd);
        break;
    default:
        if (IsEndingInput(message))
            PostClose(hWnd);
        break;
    }
    return FALSE;
}

LRESULT DefaultSaverProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT lResult = 0;
    if (!g_bPreview && !g_bClosing && ApplyClosingRules(hWnd, message, wParam, &lResult))
        return lResult;

    // The system asks whether AutoPlay may run: the saver closes, and while
    // the password check is armed the answer cancels AutoPlay.
    if (s_uQueryCancelAutoPlay != 0 && message == s_uQueryCancelAutoPlay)
    {
        PostClose(hWnd);
        return g_pfnVerifyPassword != nullptr ? 1 : 0;
    }
    return ::DefWindowProcA(hWnd, message, wParam, lParam);
}

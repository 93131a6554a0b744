// The shell's window procedures and framework bridges, driven in-process
// with messages sent straight to a window of the saver's class.
#define DOCTEST_CONFIG_IMPLEMENT_WITH_MAIN
#include <doctest.h>

#include <string>
#include <vector>

#include "ScreenSaverDlg.h"
#include "ScreenSaverWnd.h"
#include "Shell.h"

static std::vector<std::string> s_hooks;

class CRecordingSaverWnd : public CScreenSaverWnd
{
public:
    void LoadSettings() override { s_hooks.push_back(AfxGetThread() ? "load (framework up)" : "load"); }
    UINT_PTR StartSaver() override { s_hooks.push_back("start"); return 0; }
    void DrawSaver(CDC*) override { s_hooks.push_back("draw"); }
};

static CRecordingSaverWnd s_saverWnd;
static CScreenSaverDlg s_saverDlg;

// A window of the saver's class, without the saver's message loop.
static HWND CreateSaverClassWindow()
{
    static ATOM atom = 0;
    if (atom == 0)
    {
        WNDCLASSA wc = {};
        wc.style = CS_OWNDC;
        wc.lpfnWndProc = SaverWindowProc;
        wc.hInstance = ::GetModuleHandleA(nullptr);
        wc.lpszClassName = "VistelShellTest";
        atom = ::RegisterClassA(&wc);
    }
    return ::CreateWindowExA(0, "VistelShellTest", SAVER_TITLE, WS_POPUP, 0, 0, 64, 48, nullptr, nullptr,
                             ::GetModuleHandleA(nullptr), nullptr);
}

// TRUE when the window has a close request waiting (and takes it away).
static bool TakeCloseRequest(HWND hWnd)
{
    MSG msg;
    return ::PeekMessageA(&msg, hWnd, WM_CLOSE, WM_CLOSE, PM_REMOVE) != 0;
}

TEST_CASE("The window bridge brings the framework up for the window's life")
{
    s_hooks.clear();
    CHECK(AfxGetThread() == nullptr);
    HWND hWnd = CreateSaverClassWindow();
    REQUIRE(hWnd != nullptr);
    CHECK(s_saverWnd.m_hWnd == hWnd);
    CHECK(AfxGetThread() != nullptr);
    CHECK(s_hooks == std::vector<std::string>{ "load (framework up)", "start" });

    ::DestroyWindow(hWnd);
    CHECK(s_saverWnd.m_hWnd == nullptr);
    CHECK(AfxGetThread() == nullptr);
    TakeCloseRequest(hWnd);
}

TEST_CASE("Erasing and palette messages follow the window object's fields")
{
    HWND hWnd = CreateSaverClassWindow();
    // Erase into a bitmap of the window's size, filled white first.
    HDC hDC = ::CreateCompatibleDC(nullptr);
    HBITMAP hBitmap = ::CreateBitmap(64, 48, 1, 32, nullptr);
    HGDIOBJ hOldBitmap = ::SelectObject(hDC, hBitmap);
    const RECT rcAll = { 0, 0, 64, 48 };
    ::FillRect(hDC, &rcAll, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));

    s_saverWnd.m_bEraseToBlack = FALSE;
    CHECK(::SendMessageA(hWnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(hDC), 0) == TRUE);
    CHECK(::GetPixel(hDC, 10, 10) == RGB(255, 255, 255));
    s_saverWnd.m_bEraseToBlack = TRUE;
    CHECK(::SendMessageA(hWnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(hDC), 0) == TRUE);
    CHECK(::GetPixel(hDC, 63, 47) == RGB(0, 0, 0));
    ::SelectObject(hDC, hOldBitmap);
    ::DeleteObject(hBitmap);
    ::DeleteDC(hDC);

    CHECK(::SendMessageA(hWnd, WM_QUERYNEWPALETTE, 0, 0) == FALSE);
    CPalette palette;
    palette.Attach(::GetStockObject(DEFAULT_PALETTE));
    s_saverWnd.m_pDrawPalette = &palette;
    CHECK(::SendMessageA(hWnd, WM_QUERYNEWPALETTE, 0, 0) == TRUE);
    s_saverWnd.m_pDrawPalette = nullptr;
    palette.Detach();

    s_hooks.clear();
    ::SendMessageA(hWnd, WM_PAINT, 0, 0);
    CHECK(s_hooks == std::vector<std::string>{ "draw" });
    ::DestroyWindow(hWnd);
}

TEST_CASE("The closing rules of the full-screen saver")
{
    g_bPreview = FALSE;
    HWND hWnd = CreateSaverClassWindow();
    TakeCloseRequest(hWnd);

    SUBCASE("presses, power events and losing activation ask to close")
    {
        for (UINT message : { WM_KEYDOWN, WM_SYSKEYDOWN, WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MBUTTONDOWN })
        {
            ::SendMessageA(hWnd, message, 0, 0);
            CHECK(TakeCloseRequest(hWnd));
        }
        ::SendMessageA(hWnd, WM_ACTIVATEAPP, FALSE, 0);
        CHECK(TakeCloseRequest(hWnd));
        ::SendMessageA(hWnd, WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0);
        CHECK(TakeCloseRequest(hWnd));
        ::SendMessageA(hWnd, WM_POWER, PWR_CRITICALRESUME, 0);
        CHECK(TakeCloseRequest(hWnd));
    }
    SUBCASE("other input and system events leave the saver alone")
    {
        for (UINT message : { WM_KEYUP, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_MOUSEWHEEL, WM_CHAR })
            ::SendMessageA(hWnd, message, 0, 0);
        ::SendMessageA(hWnd, WM_ACTIVATEAPP, TRUE, 0);
        ::SendMessageA(hWnd, WM_POWER, PWR_SUSPENDRESUME, 0);
        CHECK_FALSE(TakeCloseRequest(hWnd));
        CHECK(::SendMessageA(hWnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(hWnd), HTCLIENT) == TRUE);
    }
    SUBCASE("while a password dialog is open no input asks to close")
    {
        g_bVerifying = TRUE;
        ::SendMessageA(hWnd, WM_KEYDOWN, 'A', 0);
        ::SendMessageA(hWnd, WM_ACTIVATEAPP, FALSE, 0);
        g_bVerifying = FALSE;
        CHECK_FALSE(TakeCloseRequest(hWnd));
    }
    SUBCASE("once closing, timer ticks are dropped and input goes to the default handling")
    {
        g_bClosing = TRUE;
        ::SendMessageA(hWnd, WM_KEYDOWN, 'A', 0);
        CHECK_FALSE(TakeCloseRequest(hWnd));
        g_bClosing = FALSE;
    }
    SUBCASE("in preview mode nothing asks to close")
    {
        g_bPreview = TRUE;
        ::SendMessageA(hWnd, WM_KEYDOWN, 'A', 0);
        ::SendMessageA(hWnd, WM_LBUTTONDOWN, 0, 0);
        ::SendMessageA(hWnd, WM_ACTIVATEAPP, FALSE, 0);
        CHECK_FALSE(TakeCloseRequest(hWnd));
        g_bPreview = FALSE;
    }
    SUBCASE("on other platforms a close request closes at once")
    {
        ::SendMessageA(hWnd, WM_CLOSE, 0, 0);
        CHECK_FALSE(::IsWindow(hWnd));
    }
    if (::IsWindow(hWnd))
        ::DestroyWindow(hWnd);
}

TEST_CASE("Window handles are decimal and wrap modulo 2^32")
{
    CHECK(ParseWindowHandle("1234") == reinterpret_cast<HWND>(1234));
    CHECK(ParseWindowHandle("12ab") == reinterpret_cast<HWND>(12));
    CHECK(ParseWindowHandle("abc") == nullptr);
    CHECK(ParseWindowHandle("") == nullptr);
    CHECK(ParseWindowHandle("-5") == nullptr);
    CHECK(ParseWindowHandle("4294967297") == reinterpret_cast<HWND>(1));
    CHECK(ParseWindowHandle("99999999999999999999") == reinterpret_cast<HWND>(UINT_PTR(1661992959)));
}

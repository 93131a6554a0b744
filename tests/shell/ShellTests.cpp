// The shell's edge logic that the real saver's input cannot reach, driven
// in-process with messages sent straight to a window of the saver's class:
// the framework bridge, erasing and palettes, the rules for power and
// closing-time messages, and the handle parser. The closing rules for key,
// button and mouse input are proven on the real saver by the end-to-end tests.
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

TEST_CASE("Erasing, palette and paint messages follow the window object's fields")
{
    HWND hWnd = CreateSaverClassWindow();
    // Erase into a white bitmap of the window's size.
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

TEST_CASE("Power messages, activation, characters and input while closing: which ask to close")
{
    HWND hWnd = CreateSaverClassWindow();
    TakeCloseRequest(hWnd);
    const struct { const char* what; BOOL bClosing; UINT message; WPARAM wParam; bool closes; } cases[] = {
        { "a critical resume", FALSE, WM_POWER, PWR_CRITICALRESUME, true },
        { "a resume from suspension", FALSE, WM_POWER, PWR_SUSPENDRESUME, false },
        { "gaining activation", FALSE, WM_ACTIVATEAPP, TRUE, false },
        { "a character", FALSE, WM_CHAR, 'a', false },
        { "a key press once closing", TRUE, WM_KEYDOWN, 'A', false },
        { "losing activation once closing", TRUE, WM_ACTIVATEAPP, FALSE, false },
    };
    for (const auto& c : cases)
    {
        const std::string what = c.what;
        CAPTURE(what);
        g_bClosing = c.bClosing;
        ::SendMessageA(hWnd, c.message, c.wParam, 0);
        g_bClosing = FALSE;
        CHECK(TakeCloseRequest(hWnd) == c.closes);
    }
    // The cursor stays hidden: the saver settles the cursor request itself.
    CHECK(::SendMessageA(hWnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(hWnd), HTCLIENT) == TRUE);
    ::DestroyWindow(hWnd);
}

TEST_CASE("Window handles are decimal and wrap modulo 2^32")
{
    const std::pair<const char*, UINT_PTR> cases[] = {
        { "1234", 1234 }, { "12ab", 12 }, { "abc", 0 }, { "", 0 }, { "-5", 0 }, { "4294967297", 1 },
        { "99999999999999999999", 1661992959 },
    };
    for (const auto& c : cases)
    {
        CAPTURE(c.first);
        CHECK(ParseWindowHandle(c.first) == reinterpret_cast<HWND>(c.second));
    }
}

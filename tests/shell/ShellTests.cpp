// The shell's framework bridge, erasing, palettes, painting and input once
// closing, driven with messages sent to a window of the saver's class.
#define DOCTEST_CONFIG_IMPLEMENT_WITH_MAIN
#include <doctest.h>

#include <string>

#include "ScreenSaverWnd.h"
#include "Shell.h"

static std::string s_hooks;

class CRecordingSaverWnd : public CScreenSaverWnd
{
public:
    void LoadSettings() override { s_hooks += AfxGetThread() != nullptr ? "load (framework up) " : "load "; }
    UINT_PTR StartSaver() override { s_hooks += "start "; return 0; }
    void DrawSaver(CDC*) override { s_hooks += "draw "; }
    LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        s_hooks += message == WM_SYSCOMMAND ? "syscommand " : "";
        return CScreenSaverWnd::DefWindowProc(message, wParam, lParam);
    }
};

static CRecordingSaverWnd s_saverWnd;

TEST_CASE("A preview whose host has gone ends at once with -1")
{
    HWND hWnd = ::CreateWindowExA(0, "Static", "", WS_POPUP, 0, 0, 9, 9, nullptr, nullptr, nullptr, nullptr);
    ::DestroyWindow(hWnd);
    CHECK(RunSaverWindow(hWnd) == -1);
    g_bPreview = FALSE;
}

// A full-screen window of the saver's class (which the test above
// registered, although it could not make its window) over s_saverWnd.
struct SaverWindow
{
    HWND hWnd;
    SaverWindow()
    {
        s_hooks.clear();
        hWnd = ::CreateWindowA(SAVER_CLASS_NAME, SAVER_TITLE, WS_POPUP, 0, 0, 64, 48, nullptr, nullptr, nullptr, nullptr);
        REQUIRE(hWnd != nullptr);
    }
    ~SaverWindow() { ::DestroyWindow(hWnd); }
};

TEST_CASE("The framework is up for the saver window's life, and the window object loads its settings and starts")
{
    {
        SaverWindow saver;
        CHECK(s_saverWnd.m_hWnd == saver.hWnd);
        CHECK(AfxGetThread() != nullptr);
        CHECK(s_hooks == "load (framework up) start ");
    }
    CHECK(s_saverWnd.m_hWnd == nullptr);
    CHECK(AfxGetThread() == nullptr);
}

TEST_CASE_FIXTURE(SaverWindow, "The saver window erases to black when its object asks, else not at all")
{
    HDC hDC = ::CreateCompatibleDC(nullptr);
    HGDIOBJ hOldBitmap = ::SelectObject(hDC, ::CreateBitmap(64, 48, 1, 32, nullptr));
    for (BOOL bBlack : { FALSE, TRUE })
    {
        ::PatBlt(hDC, 0, 0, 64, 48, WHITENESS);
        s_saverWnd.m_bEraseToBlack = bBlack;
        CHECK(::SendMessageA(hWnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(hDC), 0) == TRUE);
        CHECK(::GetPixel(hDC, 63, 47) == (bBlack ? RGB(0, 0, 0) : RGB(255, 255, 255)));
    }
    ::DeleteObject(::SelectObject(hDC, hOldBitmap));
    ::DeleteDC(hDC);
}

TEST_CASE_FIXTURE(SaverWindow, "The saver window realizes a palette only when its object draws with one")
{
    CHECK(::SendMessageA(hWnd, WM_QUERYNEWPALETTE, 0, 0) == FALSE);
    CPalette palette;
    palette.Attach(::GetStockObject(DEFAULT_PALETTE));
    s_saverWnd.m_pDrawPalette = &palette;
    CHECK(::SendMessageA(hWnd, WM_QUERYNEWPALETTE, 0, 0) == TRUE);
    s_saverWnd.m_pDrawPalette = nullptr;
    palette.Detach();
}

TEST_CASE_FIXTURE(SaverWindow, "Window switching and a renewed start request are swallowed; paints reach the object")
{
    s_hooks.clear();
    for (WPARAM wCommand : { SC_NEXTWINDOW, SC_PREVWINDOW, SC_SCREENSAVE, SC_DEFAULT })
        ::SendMessageA(hWnd, WM_SYSCOMMAND, wCommand, 0);
    ::SendMessageA(hWnd, WM_PAINT, 0, 0);
    CHECK(s_hooks == "syscommand draw ");
}

TEST_CASE_FIXTURE(SaverWindow, "Once closing, neither a key nor a switch to another program asks to close again")
{
    MSG msg;
    while (::PeekMessageA(&msg, hWnd, WM_CLOSE, WM_CLOSE, PM_REMOVE)) // requests made before this point
        ;
    g_bClosing = TRUE;
    ::SendMessageA(hWnd, WM_KEYDOWN, 'A', 0);
    ::SendMessageA(hWnd, WM_ACTIVATEAPP, FALSE, 0);
    g_bClosing = FALSE;
    CHECK_FALSE(::PeekMessageA(&msg, hWnd, WM_CLOSE, WM_CLOSE, PM_REMOVE));
}

TEST_CASE("Window handles are decimal and wrap modulo 2^32")
{
    const std::pair<const char*, UINT_PTR> cases[] = {
        { "12ab", 12 }, { "abc", 0 }, { "", 0 }, { "-5", 0 }, { "99999999999999999999", 1661992959 },
    };
    for (const auto& c : cases)
        CHECK_MESSAGE(ParseWindowHandle(c.first) == reinterpret_cast<HWND>(c.second), c.first);
}

// ud2: unknown to every processor, as SSE is to one whose system does not save its registers.
asm(".text\n.globl TryUnknownInstruction\nTryUnknownInstruction:\n.byte 0x0f, 0x0b\nret\n");
extern "C" void TryUnknownInstruction();

TEST_CASE("The SSE check runs its instruction where the system allows it and survives one that faults")
{
    CHECK(InstructionRuns(TrySseInstruction));
    CHECK_FALSE(InstructionRuns(TryUnknownInstruction));
    CHECK(InstructionRuns(TrySseInstruction)); // the filter is gone again and the check repeatable
}

// Hosts the saver's preview in a window of another process, as the display
// control panel does (Wine shows no child window drawn by another process,
// so the tests look at the preview here); exits with the preview's result.
#include <cstdio>

#include "../../shell/ScreenSaverDlg.h"
#include "../../shell/Shell.h"
#include "../../slideshow/SlideShowWnd.h"

static CSlideShowWnd s_saverWnd;
static CScreenSaverDlg s_saverDlg;

int main()
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = "VistelTestHost";
    RegisterClassA(&wc);
    HWND hHost = CreateWindowExA(0, wc.lpszClassName, "Host", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 20, 20, 152,
                                 112, nullptr, nullptr, wc.hInstance, nullptr);
    std::printf("%llu\n", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(hHost)));
    std::fflush(stdout);
    g_hSaverInstance = wc.hInstance;
    return RunSaverWindow(hHost);
}

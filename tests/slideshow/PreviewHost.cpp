// Hosts the saver's preview in a window of another process, as the display
// control panel does (Wine shows no child window drawn by another process,
// so the tests look at the preview here); exits with the preview's result.
#include <cstdio>

#include "../../shell/ScreenSaverDlg.h"
#include "../../shell/Shell.h"
#include "../../slideshow/SlideShowWnd.h"
#include "../image/TestPictures.h"

static CSlideShowWnd s_saverWnd;
static CScreenSaverDlg s_saverDlg;

int main()
{
    HWND hHost = CreateTestWindow(20, 20, 152, 112);
    std::printf("%llu\n", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(hHost)));
    std::fflush(stdout);
    g_hSaverInstance = ::GetModuleHandleA(nullptr);
    return RunSaverWindow(hHost);
}

// The slide show in a test program. Without arguments it hosts the preview in a window of its own, as the
// display control panel does (Wine shows no child window drawn by another process, so the tests look at the
// preview here), and exits with the preview's result. With a command line it is a saver whose first paint
// crashes: the shell's exception guard must switch the running state off and end the process.
#include <cstdio>

#include "../../shell/ScreenSaverDlg.h"
#include "../../shell/Shell.h"
#include "../../slideshow/SlideShowWnd.h"
#include "../helpers/TestWindow.h"

static bool s_bCrash;

class CTestSaverWnd : public CSlideShowWnd
{
public:
    void DrawSaver(CDC* pDC) override
    {
        if (s_bCrash)
            *static_cast<volatile int*>(nullptr) = 1;
        CSlideShowWnd::DrawSaver(pDC);
    }
};

static CTestSaverWnd s_saverWnd;
static CScreenSaverDlg s_saverDlg;

int main(int argc, char** argv)
{
    if ((s_bCrash = argc > 1))
        return RunSaverCommand(::GetModuleHandleA(nullptr), argv[1]);
    HWND hHost = CreateTestWindow(20, 20, 152, 112);
    std::printf("%llu\n", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(hHost)));
    std::fflush(stdout);
    g_hSaverInstance = ::GetModuleHandleA(nullptr);
    return RunSaverWindow(hHost);
}

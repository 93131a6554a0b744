// A saver whose window crashes on its first paint, to show that the shell's
// exception guard switches the screen-saver-running state off and ends the
// process.
#include "ScreenSaverDlg.h"
#include "ScreenSaverWnd.h"

class CCrashingSaverWnd : public CScreenSaverWnd
{
public:
    void DrawSaver(CDC*) override
    {
        volatile int* pNowhere = nullptr;
        *pNowhere = 1;
    }
};

static CCrashingSaverWnd s_saverWnd;
static CScreenSaverDlg s_saverDlg;

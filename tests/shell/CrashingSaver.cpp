// A saver whose window crashes on its first paint: the shell's exception guard must switch the
// screen-saver-running state off and end the process.
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

// A saver that crashes on its first paint: the shell must switch the running state off and end.
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

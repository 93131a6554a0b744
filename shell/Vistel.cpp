// The program's two application objects. They register themselves with the
// shell during static initialisation, before the entry routine runs.
#include "ScreenSaverDlg.h"
#include "ScreenSaverWnd.h"

// The saver window; it draws nothing of its own yet.
class CBlankSaverWnd : public CScreenSaverWnd
{
};

static CBlankSaverWnd s_saverWnd;
static CScreenSaverDlg s_saverDlg;

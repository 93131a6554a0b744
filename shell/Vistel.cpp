// The program's two application objects. They register themselves with the
// shell during static initialisation, before the entry routine runs.
#include "../slideshow/SlideShowWnd.h"
#include "ScreenSaverDlg.h"

static CSlideShowWnd s_saverWnd;
static CScreenSaverDlg s_saverDlg;

// The program's two application objects. They register themselves with the
// shell during static initialisation, before the entry routine runs.
#include "config/SaverSettingsDlg.h"
#include "slideshow/SlideShowWnd.h"

static CSlideShowWnd s_saverWnd;
static CSaverSettingsDlg s_saverDlg;

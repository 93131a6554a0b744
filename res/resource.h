// Resource ids shared by the resource script and the program.
#pragma once

#define IDI_VISTEL          100   // the program icon
#define IDS_DESCRIPTION     1     // the saver's name in the display control panel
#define IDD_SETTINGS        2003  // the settings dialog

#define IDC_BACKGROUND      1000
#define IDC_IMAGEPATH       1003
#define IDC_BROWSE          1004
#define IDC_PRODUCTLINK     1006
#define IDC_HOMELINK        1007
#define IDC_MAILLINK        1008
#define IDC_SPEEDTEXT       1013
#define IDC_SPEEDSPIN       1014
#define IDC_RANDOM          1015

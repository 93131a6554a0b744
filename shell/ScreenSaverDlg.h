// CScreenSaverDlg: the framework class of the settings dialog. Its message
// table names the command-target table as its base, so none of the
// framework's standard window or dialog handlers is consulted.
#pragma once

#include "../framework/Afx.h"

class CScreenSaverDlg : public CDialog
{
    DECLARE_DYNAMIC(CScreenSaverDlg)

public:
    CScreenSaverDlg();
    ~CScreenSaverDlg() override;

    // The dialog manager does its own default processing.
    LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    // Loads the settings before the controls are filled.
    BOOL OnInitDialog() override;

protected:
    int OnCreate(LPCREATESTRUCTA pCreate);

    DECLARE_MESSAGE_MAP()
};

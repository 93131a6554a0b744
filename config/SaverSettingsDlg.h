// CSaverSettingsDlg: the settings dialog (template 2003). It keeps no copy
// of the settings: it reads and writes them in the saver window object,
// which has no window in this mode, so its setters only store.
#pragma once

#include "../shell/ScreenSaverDlg.h"
#include "HyperLink.h"

// The highest spin position: 1050 seconds.
#define MAX_SPEED_POSITION 210

class CSaverSettingsDlg : public CScreenSaverDlg
{
public:
    CSaverSettingsDlg();
    ~CSaverSettingsDlg() override;

    BOOL OnInitDialog() override;
    // Saves the settings and closes, or stays open when they reached no file.
    void OnOK() override;
    // Shows the display time of a speed setting (a spin position).
    void UpdateSpeedText(int nSpeed);

protected:
    void DoDataExchange(CDataExchange* pDX) override;

    void OnBrowse();
    void OnVScroll(UINT nSBCode, UINT nPos, CWnd* pScrollBar);
    LRESULT OnPassToDefault(WPARAM wParam, LPARAM lParam);
    void OnBackground();

    CStatic m_speedText;
    CHyperLink m_productLink;
    CHyperLink m_homeLink;
    CHyperLink m_mailLink;

    DECLARE_MESSAGE_MAP()
};

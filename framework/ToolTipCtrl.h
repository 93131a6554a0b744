// CToolTipCtrl: the common control's tooltip window.
#pragma once

#include "Wnd.h"

class CToolTipCtrl : public CWnd
{
public:
    ~CToolTipCtrl() override;

    // Makes the tooltip window, owned by pParentWnd; a window made before
    // by this object goes first.
    BOOL Create(CWnd* pParentWnd, DWORD dwStyle);
    // Adds a tool: the rectangle lpRectTool of pWnd's client area. The
    // tooltip subclasses pWnd to watch its mouse messages itself, so no
    // message loop has to relay them: it works inside modal dialog loops.
    // pWnd's own handlers must pass its mouse messages on to the default
    // handling.
    BOOL AddTool(CWnd* pWnd, LPCSTR pszText, LPCRECT lpRectTool, UINT_PTR nIDTool);
    void UpdateTipText(LPCSTR pszText, CWnd* pWnd, UINT_PTR nIDTool);
};

// Registers the common-control classes named by dwClasses (ICC_* flags).
// The first common-control versions (Windows 95 as shipped) have no
// InitCommonControlsEx and register every class at once instead.
void AfxInitCommonControls(DWORD dwClasses);

// CColorDialog: the system's colour dialog.
#pragma once

#include "Wnd.h"

#include <commdlg.h>

class CColorDialog : public CObject
{
public:
    // The record starts with clrInit as its colour and exactly dwFlags;
    // change m_cc before DoModal to change either.
    CColorDialog(COLORREF clrInit, DWORD dwFlags, CWnd* pParentWnd);

    // Runs the dialog, owned by the parent window; IDOK when the user chose
    // a colour, IDCANCEL otherwise.
    INT_PTR DoModal();
    // The chosen colour (the initial one until DoModal chose another).
    COLORREF GetColor() const { return m_cc.rgbResult; }

    CHOOSECOLORA m_cc;

private:
    CWnd* m_pParentWnd;
};

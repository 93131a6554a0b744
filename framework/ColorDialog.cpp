#include "ColorDialog.h"

// The sixteen custom colours of the dialog, kept for the process's life as
// the dialog's user expects them to be; white until the user defines some.
static COLORREF s_crCustomColors[16] = {
    0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF,
    0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF,
};

CColorDialog::CColorDialog(COLORREF clrInit, DWORD dwFlags, CWnd* pParentWnd)
    : m_cc(), m_pParentWnd(pParentWnd)
{
    m_cc.lStructSize = sizeof(m_cc);
    m_cc.rgbResult = clrInit;
    m_cc.lpCustColors = s_crCustomColors;
    m_cc.Flags = dwFlags;
}

INT_PTR CColorDialog::DoModal()
{
    m_cc.hwndOwner = m_pParentWnd != nullptr ? m_pParentWnd->m_hWnd : nullptr;
    return ::ChooseColorA(&m_cc) ? IDOK : IDCANCEL;
}

#include "Gdi.h"

BOOL CGdiObject::Attach(HGDIOBJ hObject)
{
    if (hObject == nullptr)
        return FALSE;
    m_hObject = hObject;
    return TRUE;
}

HGDIOBJ CGdiObject::Detach()
{
    HGDIOBJ hObject = m_hObject;
    m_hObject = nullptr;
    return hObject;
}

BOOL CGdiObject::DeleteObject()
{
    if (m_hObject == nullptr)
        return FALSE;
    return ::DeleteObject(Detach());
}

HDC CDC::Detach()
{
    HDC hDC = m_hDC;
    m_hDC = m_hAttribDC = nullptr;
    return hDC;
}

HPALETTE CDC::SelectPalette(HPALETTE hPalette, BOOL bForceBackground)
{
    return ::SelectPalette(m_hDC, hPalette, bForceBackground);
}

UINT CDC::RealizePalette()
{
    return ::RealizePalette(m_hDC);
}

void CDC::FillRect(const RECT& rect, HBRUSH hBrush)
{
    ::FillRect(m_hDC, &rect, hBrush);
}

int CDC::SetStretchBltMode(int nMode)
{
    return ::SetStretchBltMode(m_hDC, nMode);
}

int CDC::SetBkMode(int nMode)
{
    return ::SetBkMode(m_hDC, nMode);
}

COLORREF CDC::SetTextColor(COLORREF crColor)
{
    return ::SetTextColor(m_hDC, crColor);
}

HGDIOBJ CDC::SelectObject(HGDIOBJ hObject)
{
    return ::SelectObject(m_hDC, hObject);
}

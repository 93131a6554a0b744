// GDI objects and device contexts: thin owners of GDI handles.
#pragma once

#include "Object.h"

// Owns one GDI object handle and deletes it on destruction.
class CGdiObject : public CObject
{
public:
    CGdiObject() : m_hObject(nullptr) {}
    ~CGdiObject() override { DeleteObject(); }

    BOOL Attach(HGDIOBJ hObject);     // FALSE for a null handle
    HGDIOBJ Detach();
    BOOL DeleteObject();              // deletes the handle and forgets it

    HGDIOBJ m_hObject;
};

class CPalette : public CGdiObject
{
public:
    operator HPALETTE() const { return static_cast<HPALETTE>(m_hObject); }
};

class CBrush : public CGdiObject
{
public:
    explicit CBrush(COLORREF crColor) { Attach(::CreateSolidBrush(crColor)); }
    operator HBRUSH() const { return static_cast<HBRUSH>(m_hObject); }
};

class CFont : public CGdiObject
{
public:
    BOOL CreateFontIndirect(const LOGFONTA* pLogFont) { return Attach(::CreateFontIndirectA(pLogFont)); }
    operator HFONT() const { return static_cast<HFONT>(m_hObject); }
};

// A device context: output goes to m_hDC, attribute queries to m_hAttribDC
// (the same handle for every context this program makes).
class CDC : public CObject
{
public:
    CDC() : m_hDC(nullptr), m_hAttribDC(nullptr) {}

    void Attach(HDC hDC) { m_hDC = m_hAttribDC = hDC; }
    HDC Detach();

    // The previous palette, or null.
    HPALETTE SelectPalette(HPALETTE hPalette, BOOL bForceBackground);
    UINT RealizePalette();
    int SetStretchBltMode(int nMode);
    int SetBkMode(int nMode);
    COLORREF SetTextColor(COLORREF crColor);
    HGDIOBJ SelectObject(HGDIOBJ hObject);
    void FillRect(const RECT& rect, HBRUSH hBrush);

    HDC m_hDC;
    HDC m_hAttribDC;
};

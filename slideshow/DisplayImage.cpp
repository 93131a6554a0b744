#include "DisplayImage.h"

#include <memory>

#include "../image/SECJpeg.h"
#include "../image/SECPcx.h"
#include "../image/SECTarga.h"
#include "../image/Shrink.h"

PictureFormat FormatOfPath(LPCSTR pszPath)
{
    CString strLower(pszPath);
    strLower.MakeLower();
    const CString strLast3 = strLower.Right(3), strLast4 = strLower.Right(4);
    // A picture listed under its short alias has at most three letters of
    // its extension: .jpeg is .JPE, and .jfif is .JFI.
    if (strLast3 == "jpg" || strLast4 == "jpeg" || strLast3 == "jpe" || strLast3 == "jif" || strLast4 == "jfif" ||
        strLast3 == "jfi")
        return FORMAT_JPEG;
    if (strLast3 == "pcx")
        return FORMAT_PCX;
    if (strLast3 == "tga")
        return FORMAT_TARGA;
    return FORMAT_BMP;
}

// The decoder of a format, or null when the bitmap reader alone reads it.
static std::unique_ptr<SECImage> CreateFormatObject(PictureFormat format)
{
    switch (format)
    {
    case FORMAT_JPEG:
        return std::unique_ptr<SECImage>(new SECJpeg);
    case FORMAT_PCX:
        return std::unique_ptr<SECImage>(new SECPcx);
    case FORMAT_TARGA:
        return std::unique_ptr<SECImage>(new SECTarga);
    default:
        return nullptr;
    }
}

BOOL LoadDisplayImage(SECDib& image, LPCSTR pszPath, const SIZE* pBox)
{
    // The name is tested in lower case, but the file is opened by the name
    // it was listed under, which also works where letter case matters.
    try
    {
        const PictureFormat format = FormatOfPath(pszPath);
        std::unique_ptr<SECImage> pFormat = CreateFormatObject(format);
        if (format == FORMAT_JPEG && pBox != nullptr)
            static_cast<SECJpeg*>(pFormat.get())->m_sizeFitBox = *pBox;
        if (pFormat != nullptr)
        {
            pFormat->LoadFromPath(pszPath);
            image.AdoptContents(*pFormat);
        }
        image.LoadFromPath(pszPath);
    }
    catch (const CFileException&)
    {
        return FALSE;
    }
    return TRUE;
}

BOOL ShrinkDisplayImage(SECDib& image, int nWidth, int nHeight)
{
    const DWORD iw = image.PixelWidth(), ih = image.PixelHeight();
    if (nWidth <= 0 || nHeight <= 0 || image.m_pImagePalette != nullptr || image.m_nScreenColors != 0 ||
        image.m_bHalftoneDraw || (static_cast<DWORD>(nWidth) >= iw && static_cast<DWORD>(nHeight) >= ih))
        return FALSE;
    return ShrinkPicture(image, static_cast<DWORD>(nWidth), static_cast<DWORD>(nHeight));
}

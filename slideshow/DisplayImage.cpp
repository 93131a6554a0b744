#include "DisplayImage.h"

#include <cstring>
#include <memory>

#include "../image/SECJpeg.h"
#include "../image/SECPcx.h"
#include "../image/SECTarga.h"
#include "../image/Shrink.h"

const PictureExtension PICTURE_EXTENSIONS[9] = {
    { "jpg", FORMAT_JPEG }, { "jpeg", FORMAT_JPEG }, { "jpe", FORMAT_JPEG }, { "jif", FORMAT_JPEG },
    { "jfif", FORMAT_JPEG }, { "pcx", FORMAT_PCX },  { "tga", FORMAT_TARGA }, { "bmp", FORMAT_BMP },
    { "dib", FORMAT_BMP },
};

PictureFormat FormatOfPath(LPCSTR pszPath)
{
    CString strLower(pszPath);
    strLower.MakeLower();
    // A picture listed under its short alias has only the first three
    // letters of its extension: .jpeg is .JPE, and .jfif is .JFI.
    const CString strLast3 = strLower.Right(3);
    for (const PictureExtension& extension : PICTURE_EXTENSIONS)
    {
        const int nLength = static_cast<int>(std::strlen(extension.pszExtension));
        if (strLower.Right(nLength) == extension.pszExtension || std::strncmp(strLast3, extension.pszExtension, 3) == 0)
            return extension.format;
    }
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

RECT FitPicture(const RECT& rcClient, DWORD iw, DWORD ih)
{
    int W = rcClient.right - rcClient.left, H = rcClient.bottom - rcClient.top;
    if (W < 0)
        W = 0;
    if (H < 0)
        H = 0;
    int dw, dh;
    if (iw <= static_cast<DWORD>(W) && ih <= static_cast<DWORD>(H))
    {
        dw = static_cast<int>(iw);
        dh = static_cast<int>(ih);
    }
    else
    {
        // One factor for both directions, the smaller of W / iw and H / ih,
        // so that the picture fits inside the window with its proportions.
        // Compared and scaled in whole numbers: the limiting side comes out
        // exactly W or H (a factor in floating point can leave it a pixel
        // short), and the other side, rounded down, never exceeds its own.
        const unsigned long long llWidthByH = static_cast<unsigned long long>(iw) * static_cast<unsigned>(H);
        const unsigned long long llHeightByW = static_cast<unsigned long long>(ih) * static_cast<unsigned>(W);
        if (iw != 0 && llWidthByH >= llHeightByW)
        {
            dw = W;
            dh = static_cast<int>(llHeightByW / iw);
        }
        else
        {
            dh = H;
            dw = static_cast<int>(llWidthByH / ih);
        }
    }
    // Never negative: the picture is no larger than the window now.
    int x = rcClient.left + (W - dw) / 2, y = rcClient.top + (H - dh) / 2;
    // A picture as high as the window keeps a 5-pixel margin above and below.
    int nDrawnHeight = dh;
    if (dh == H)
    {
        y += 5;
        nDrawnHeight = dh - 10;
    }
    return RECT{ x, y, x + dw, y + nDrawnHeight };
}

// The size a picture is drawn at in a window of sizeBox.
static SIZE DrawnSize(const SIZE& sizeBox, DWORD dwWidth, DWORD dwHeight)
{
    const RECT rcFit = FitPicture(RECT{ 0, 0, sizeBox.cx, sizeBox.cy }, dwWidth, dwHeight);
    return SIZE{ rcFit.right - rcFit.left, rcFit.bottom - rcFit.top };
}

BOOL ShrinkToDrawnSize(const SECImage& image, const SIZE& sizeBox, SECImage& target)
{
    const DWORD iw = image.PixelWidth(), ih = image.PixelHeight();
    const SIZE size = DrawnSize(sizeBox, iw, ih);
    if (size.cx <= 0 || size.cy <= 0 || image.m_pImagePalette != nullptr || image.m_nScreenColors != 0 ||
        image.m_bHalftoneDraw || (static_cast<DWORD>(size.cx) >= iw && static_cast<DWORD>(size.cy) >= ih))
        return FALSE;
    return ShrinkPictureInto(image, target, static_cast<DWORD>(size.cx), static_cast<DWORD>(size.cy));
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
        {
            SECJpeg* pJpeg = static_cast<SECJpeg*>(pFormat.get());
            pJpeg->m_sizeFitBox = *pBox;
            pJpeg->m_pfnDrawnSize = DrawnSize;
        }
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
    if (pBox != nullptr)
        ShrinkToDrawnSize(image, *pBox, image);
    return TRUE;
}

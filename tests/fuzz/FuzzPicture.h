// What every fuzz target does with one input: load it as a picture file and
// draw what was loaded the way the saver draws it. Inputs of odd length run
// on a palette screen (8 bits per pixel), the others on a true-colour
// screen: one extra byte at the end, which no reader needs, moves a file
// from one screen kind to the other.
#pragma once

#include <cstddef>
#include <cstdint>

#include "File.h"
#include "SECDib.h"

// Loads the bytes as the file pszName with load(image, name), then draws.
template <class Load>
void FuzzPicture(const uint8_t* pData, size_t cbData, LPCSTR pszName, Load load)
{
    ShimSetMemoryFile(pszName, pData, cbData);
    ShimSetScreenDepth(cbData % 2 != 0 ? 8 : 24);
    {
        SECDib image;
        try
        {
            load(image, pszName);
        }
        catch (const CFileException&)
        {
            // A read error is reported to the caller; the object stays whole.
        }
        const int nWidth = static_cast<int>(image.PixelWidth()), nHeight = static_cast<int>(image.PixelHeight());
        CDC dc;
        dc.Attach(GetDC(nullptr));
        image.DrawStretched(&dc, 0, 0, 800, 590, 0, 0, nWidth, nHeight, image.m_pPixelBits,
                            reinterpret_cast<const BITMAPINFO*>(image.m_pInfoHeader), DIB_RGB_COLORS, SRCCOPY);
    }
}

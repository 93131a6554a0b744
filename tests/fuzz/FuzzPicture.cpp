// Loads the input with the reader FUZZ_READER names, or the display-image routine under the
// name the first byte picks, and draws it: inputs of odd length on a palette screen. The Exif
// target reads its input as the data of an APP1 segment.
#include <cstdlib>
#include <iterator>

#include "../../slideshow/DisplayImage.h"
#include "ExifOrientation.h"
#include "SECJpeg.h"
#include "SECPcx.h"
#include "SECTarga.h"

#ifdef FUZZ_TARGET_Exif
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t cbData)
{
    const int nOrientation = ExifOrientation(pData, static_cast<DWORD>(cbData));
    if (nOrientation < 1 || nOrientation > 8)
        std::abort();
    return 0;
}
#else
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t cbData)
{
#ifdef FUZZ_READER
    const LPCSTR pszName = "input";
#else
    static const LPCSTR NAMES[] = { "input.jpg", "input.jpeg", "input.jfif", "input.pcx",
                                    "input.tga", "input.bmp",  "input.dib" };
    if (cbData-- == 0)
        return 0;
    const LPCSTR pszName = NAMES[*pData++ % std::size(NAMES)];
#endif
    shim::files[pszName].assign(reinterpret_cast<const char*>(pData), cbData);
    shim::nScreenDepth = cbData % 2 != 0 ? 8 : 24;
    SECDib image;
    try
    {
#ifdef FUZZ_READER
        FUZZ_READER picture;
        picture.LoadFromPath(pszName);
        image.AdoptContents(picture);
#else
        // Inputs whose length is a multiple of 3 are loaded for a small window (decoded scaled and averaged down).
        const SIZE box = { 64, 48 };
        LoadDisplayImage(image, pszName, cbData % 3 == 0 ? &box : nullptr);
#endif
    }
    catch (const CFileException&) // a read error goes to the caller; the object stays whole
    {
    }
    CDC dc;
    dc.Attach(GetDC(nullptr));
    image.DrawStretched(&dc, 0, 0, 800, 590, 0, 0, static_cast<int>(image.PixelWidth()),
                        static_cast<int>(image.PixelHeight()), image.m_pPixelBits,
                        reinterpret_cast<const BITMAPINFO*>(image.m_pInfoHeader), DIB_RGB_COLORS, SRCCOPY);
    return 0;
}
#endif

// A fuzz target: loads its input as a picture file the way the slide show
// does and draws what was loaded the way the saver draws it. Built once per
// reader with FUZZ_READER naming its class (targets.txt), whose picture the
// display image takes over; and once without it for the slide show's
// display-image routine, where the input's first byte picks the file name
// and the rest is the file. Files of odd length are drawn on a palette
// screen (8 bits per pixel), the others on a true-colour screen: one extra
// byte at the end, which no reader needs, moves a file from one to the other.
#include <iterator>

#include "../../slideshow/DisplayImage.h"
#include "SECJpeg.h"
#include "SECPcx.h"
#include "SECTarga.h"

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
    ShimSetMemoryFile(pszName, pData, cbData);
    ShimSetScreenDepth(cbData % 2 != 0 ? 8 : 24);
    SECDib image;
    try
    {
#ifdef FUZZ_READER
        FUZZ_READER picture;
        picture.LoadFromPath(pszName);
        image.AdoptContents(picture);
#else
        LoadDisplayImage(image, pszName);
#endif
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
    return 0;
}

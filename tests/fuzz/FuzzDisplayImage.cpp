// The slide show's display-image routine: the file name's extension picks the
// format class, the display image adopts its picture and then tries the
// bitmap reader on the same file. The first byte of the input picks the
// name; the rest is the file.
#include "../../slideshow/DisplayImage.h"
#include "FuzzPicture.h"

static const char* const NAMES[] = { "input.jpg", "input.jpeg", "input.jfif", "input.pcx",
                                     "input.tga", "input.bmp",  "input.dib" };

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t cbData)
{
    if (cbData == 0)
        return 0;
    const char* pszName = NAMES[pData[0] % (sizeof(NAMES) / sizeof(NAMES[0]))];
    FuzzPicture(pData + 1, cbData - 1, pszName,
                [](SECDib& image, LPCSTR pszPath) { LoadDisplayImage(image, pszPath); });
    return 0;
}

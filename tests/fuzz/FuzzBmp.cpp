// The bitmap reader: a SECDib loading a file of any content.
#include "FuzzPicture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t cbData)
{
    FuzzPicture(pData, cbData, "input.bmp", [](SECDib& image, LPCSTR pszName) { image.LoadFromPath(pszName); });
    return 0;
}

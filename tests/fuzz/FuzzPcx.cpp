// The PCX reader: a SECPcx loading a file of any content, its picture taken
// over by the display image as the slide show does.
#include "SECPcx.h"
#include "FuzzPicture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t cbData)
{
    FuzzPicture(pData, cbData, "input.pcx", [](SECDib& image, LPCSTR pszName) {
        SECPcx picture;
        picture.LoadFromPath(pszName);
        image.AdoptContents(picture);
    });
    return 0;
}

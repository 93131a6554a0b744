// The Targa reader: a SECTarga loading a file of any content, its picture taken
// over by the display image as the slide show does.
#include "SECTarga.h"
#include "FuzzPicture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t cbData)
{
    FuzzPicture(pData, cbData, "input.tga", [](SECDib& image, LPCSTR pszName) {
        SECTarga picture;
        picture.LoadFromPath(pszName);
        image.AdoptContents(picture);
    });
    return 0;
}

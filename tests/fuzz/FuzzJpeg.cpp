// The JPEG reader: a SECJpeg loading a file of any content, its picture taken
// over by the display image as the slide show does.
#include "SECJpeg.h"
#include "FuzzPicture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t cbData)
{
    FuzzPicture(pData, cbData, "input.jpg", [](SECDib& image, LPCSTR pszName) {
        SECJpeg picture;
        picture.LoadFromPath(pszName);
        image.AdoptContents(picture);
    });
    return 0;
}

// SECDib: Windows bitmap files (BMP, DIB), and the holder of any decoded
// picture: the slide show keeps every picture it shows in one, and a load
// parks the previous picture of an object in one while it runs.
#pragma once

#include "SECImage.h"

class SECDib : public SECImage
{
    DECLARE_SERIAL(SECDib)

public:
    SECDib();
    ~SECDib() override;

    // Reads a BMP file (SECImage::ReadBmpFromFile).
    BOOL DecodeFromFile(CFile* pFile) override;
};

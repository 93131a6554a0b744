// SECPcx: ZSoft PCX files (PC Paintbrush), read into an 8-bit or 24-bit
// picture.
//
// The layouts it reads, by bits per pixel per plane and number of planes:
//   8 bits, 1 plane    256 colours: an index per pixel; the colour table
//                      after the image data (a byte 12 and 256 RGB triples)
//                      or, without one, a grey ramp;
//   8 bits, 3 planes   24-bit colour: red, green and blue planes;
//   8 bits, 4 planes   the same with a fourth plane (alpha), which is dropped;
//   1 bit,  1 plane    black and white: bytes 0 and 255 of an 8-bit picture;
//   1 bit,  2-8 planes planar colour: plane k gives bit k of each pixel's
//                      index; up to 16 colours from the header's colour
//                      map, more from the table after the image data.
// Every other layout is refused, as is a header whose sizes do not fit
// together or could not be filled by the file's length.
#pragma once

#include "SECImage.h"

// The 128-byte file header, field by field.
struct PCXHEADER
{
    BYTE bManufacturer; // 10
    BYTE bVersion;      // 0 to 5
    BYTE bEncoding;     // 1: run-length encoding
    BYTE bBitsPerPixel; // per plane
    WORD wXMin;
    WORD wYMin;
    WORD wXMax;
    WORD wYMax;
    WORD wHorizontalDpi;
    WORD wVerticalDpi;
    BYTE abColorMap[48]; // sixteen red, green, blue triples
    BYTE bReserved;
    BYTE bPlanes;
    WORD wBytesPerLine; // of one plane of one scan line, decoded
    WORD wPaletteInfo;
    WORD wHorizontalScreenSize;
    WORD wVerticalScreenSize;
    BYTE abFiller[54];
};

class SECPcx : public SECImage
{
    DECLARE_SERIAL(SECPcx)

public:
    SECPcx();
    ~SECPcx() override;

    // TRUE when the file gave a picture; a refused file leaves no block of
    // this read behind.
    BOOL DecodeFromFile(CFile* pFile) override;

    PCXHEADER m_header;

private:
    BOOL CheckHeader(DWORD dwFileLength);
    void DecodeScanLines();
    void StoreDecodedByte(BYTE* pRow, DWORD dwPlane, DWORD dwByte, BYTE bValue) const;
    void ReadColorTable();

    DWORD m_dwOutBytesPerPixel; // 1 or 3 while decoding
};

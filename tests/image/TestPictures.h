// Pictures for the image tests, built byte by byte so that every field says
// what it is, and the temporary files they are written to.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "SECDib.h"

typedef std::vector<BYTE> Bytes;

// Appends little-endian fields.
struct ByteWriter
{
    Bytes data;
    ByteWriter& u8(BYTE v);
    ByteWriter& u16(WORD v);
    ByteWriter& u32(DWORD v);
    ByteWriter& bytes(const Bytes& v);
    ByteWriter& zeros(size_t n);
};

// The fields of a BITMAPINFOHEADER (or of the first 40 bytes of a larger
// header; the bytes past 40 up to size are zero).
struct BmpInfo
{
    DWORD size = 40;
    LONG width = 1;
    LONG height = 1;
    WORD planes = 1;
    WORD bitCount = 24;
    DWORD compression = BI_RGB;
    DWORD sizeImage = 0;
    DWORD clrUsed = 0;
    DWORD clrImportant = 0;
};

// Colour-table entries written as blue, green, red, 0.
struct Rgb
{
    BYTE r, g, b;
};
Bytes Table(const std::vector<Rgb>& colours);

// "BM", file size, reserved, bfOffBits (by default right after the header
// and the table), the info header, the table, the pixel data.
Bytes BuildBmp(const BmpInfo& info, const Bytes& table, const Bytes& pixels, DWORD offBits = 0);

// Writes bytes to a file in the temporary folder; returns its path.
std::string WriteTempFile(const char* pszName, const Bytes& bytes);
std::string TempPath(const char* pszName);

// Gives an object a picture of raw rows for the row services: a pixel block
// of cbBlock bytes (at least the rows given) holding rows.
void GiveRows(SECImage& image, int nDepth, DWORD dwWidth, DWORD dwHeight, const Bytes& rows, DWORD cbBlock,
              BOOL bAligned);

// The first cb bytes of the object's pixel block.
Bytes PixelBytes(const SECImage& image, size_t cb);

// The palette's entries as (r, g, b) triples.
std::vector<Rgb> PaletteEntries(const SECImage& image);

bool operator==(const Rgb& a, const Rgb& b);

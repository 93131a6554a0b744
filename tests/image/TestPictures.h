// Pictures for the image tests, and the temporary files they are written to.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "SECDib.h"

typedef std::vector<BYTE> Bytes;

// A BMP file: 40-byte header, colour table, pixel data.
Bytes BuildBmp(LONG width, LONG height, WORD bitCount, const Bytes& table, const Bytes& pixels);

std::string TempPath(const char* pszName);
// Writes bytes to a file in the temporary folder; returns its path.
std::string WriteTempFile(const char* pszName, const Bytes& bytes);

// Gives an object rows in a pixel block of cbBlock bytes.
void GiveRows(SECImage& image, int nDepth, DWORD dwWidth, DWORD dwHeight, const Bytes& rows, DWORD cbBlock,
              BOOL bAligned);
Bytes PixelBytes(const SECImage& image, size_t cb);

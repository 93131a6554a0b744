// Pictures for the image tests, and the temporary files they are written to.
#pragma once

#include <string>
#include <vector>

#include "SECDib.h"

typedef std::vector<BYTE> Bytes;

// A BMP file: 40-byte header, colour table, pixel data.
Bytes BuildBmp(LONG width, LONG height, WORD bitCount, const Bytes& table, const Bytes& pixels);

std::string TempPath(const char* pszName);
// Writes bytes to a file in the temporary folder; returns its path.
std::string WriteTempFile(const char* pszName, const Bytes& bytes);

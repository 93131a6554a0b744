// Shrinking a colour picture by area averaging: every pixel of the smaller
// picture is the mean of the part of the source it covers, each source
// pixel weighted by the share of it that falls inside (an exact box
// filter). A stretching draw samples instead and turns fine detail into
// aliasing and moire; doing it here also gives the same pixels on every
// Windows version and on Wine.
#pragma once

#include "SECImage.h"

// Whether ShrinkPicture takes the picture: 24- or 32-bit BI_RGB rows,
// 4-byte aligned, all of them inside the pixel block.
BOOL CanShrinkPicture(const SECImage& image);

// Replaces the picture with its dwWidth x dwHeight average (each side at
// most the picture's, neither 0 nor above 65535). FALSE, with the picture
// unchanged, when it cannot be shrunk to that size or the memory cannot be
// had.
BOOL ShrinkPicture(SECImage& image, DWORD dwWidth, DWORD dwHeight);

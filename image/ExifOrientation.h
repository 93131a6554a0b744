// ExifOrientation: how a camera meant its JPEG picture to be seen, and the
// turn that shows it so.
//
// A camera stores the picture as its sensor saw it and writes in its Exif
// data (an APP1 segment that begins "Exif\0\0", then TIFF data) the tag
// Orientation, 0x0112, in the first directory (IFD0):
//   1 as stored            5 mirrored along the top-left to bottom-right diagonal
//   2 mirrored left-right  6 turned 90 degrees clockwise
//   3 turned 180 degrees   7 mirrored along the other diagonal
//   4 mirrored top-bottom  8 turned 90 degrees anticlockwise
// (the turn that shows it upright). Only IFD0 is read and no pointer to
// another directory is followed, so a directory that points back at itself
// costs nothing; every offset and count is checked against the segment
// before it is used.
#pragma once

#include "SECImage.h"

struct jpeg_decompress_struct;

// Orientations from this one on swap the picture's width and height: a
// transpose, then what 1 to 4 do.
const int FIRST_QUARTER_TURN = 5;

// The orientation that the data of an APP1 segment (the bytes after its
// length field) gives: 1 to 8, or 1 when the data are no Exif data, are
// unreadable, lack the tag or hold a value out of range.
int ExifOrientation(const BYTE* pData, DWORD cbData);

// The orientation of the first Exif segment among the markers the decoder
// saved (jpeg_save_markers for APP1 before the header is read); 1 without one.
int JpegExifOrientation(const jpeg_decompress_struct& cinfo);

// Turns and mirrors the picture of the object as orientation nOrientation
// says. The picture is the one the JPEG reader holds before it aligns its
// rows: packed rows, top row first, 1 (8-bit) or 3 (24-bit) bytes a pixel.
// Orientations 5 to 8 swap width and height (object and header) and move
// the rows into a new pixel block sized for aligned rows, whose size goes to
// *pcbBits (unless null); the old block is freed. FALSE, with the picture untouched, for
// another kind of picture or when the new block cannot be had; TRUE for
// orientation 1 and any value out of range, which change nothing.
BOOL OrientPackedPicture(SECImage& image, int nOrientation, DWORD* pcbBits);

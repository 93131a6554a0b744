// Loading a picture file into the display image, the way the slide show
// shows it (the picture-dump tool uses the same routine).
#pragma once

#include "../image/SECDib.h"

enum PictureFormat { FORMAT_BMP, FORMAT_JPEG, FORMAT_PCX, FORMAT_TARGA };

// The extensions of picture files, in lower case, with the format each
// names, in the order the folder's pictures are listed.
struct PictureExtension
{
    const char* pszExtension;
    PictureFormat format;
};
extern const PictureExtension PICTURE_EXTENSIONS[9];

// The format a file's name says it has, by the end of its lower-case copy;
// anything that is not JPEG, PCX or Targa is read as a bitmap.
PictureFormat FormatOfPath(LPCSTR pszPath);

// The destination of a picture of iw x ih pixels in a rectangle, in the
// rectangle's own coordinates: centred, shrunk with its proportions to fit
// inside it when larger in either direction.
RECT FitPicture(const RECT& rcClient, DWORD iw, DWORD ih);

// Averages a colour picture that a window of sizeBox shows smaller than it
// is down to exactly the size drawn there, into target (which may be the
// picture itself), so that it is drawn 1:1 instead of stretched. FALSE, with
// target unchanged, for a picture not drawn smaller, a palette picture, any
// picture on a palette screen (the draw through the palette shrinks those),
// and a picture that cannot be averaged (its kind, or memory).
BOOL ShrinkToDrawnSize(const SECImage& image, const SIZE& sizeBox, SECImage& target);

// Loads the picture at pszPath into the display image: the format object
// that the name picks decodes the file and the display image takes the
// picture over; then the display image's own bitmap reader tries the file,
// so a bitmap under any name is shown from its bitmap content. FALSE when
// the file could not be opened or read (it may have gone since the folder
// was listed); otherwise TRUE, whatever the display image now holds.
// pBox, when given, is the size of the window the picture is shown in, and
// the picture comes back as it is drawn there: a JPEG file larger than that
// is decoded at a smaller scale that still covers the size drawn at, and a
// colour picture larger than that size (on a screen of more than 256
// colours) is averaged down to it, a JPEG file's rows as they decode.
BOOL LoadDisplayImage(SECDib& image, LPCSTR pszPath, const SIZE* pBox = nullptr);

// Loading a picture file into the display image, the way the slide show
// shows it (the picture-dump tool uses the same routine).
#pragma once

#include "../image/SECDib.h"

enum PictureFormat { FORMAT_BMP, FORMAT_JPEG, FORMAT_PCX, FORMAT_TARGA };

// The format a file's name says it has, by the end of its lower-case copy;
// anything that is not JPEG, PCX or Targa is read as a bitmap.
PictureFormat FormatOfPath(LPCSTR pszPath);

// Loads the picture at pszPath into the display image: the format object
// that the name picks decodes the file and the display image takes the
// picture over; then the display image's own bitmap reader tries the file,
// so a bitmap under any name is shown from its bitmap content. FALSE when
// the file could not be opened or read (it may have gone since the folder
// was listed); otherwise TRUE, whatever the display image now holds.
BOOL LoadDisplayImage(SECDib& image, LPCSTR pszPath);

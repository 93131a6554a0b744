// ExifOrientation: the Exif reader and the turn of a packed picture.
//
// The reader sees the TIFF data after the six bytes "Exif\0\0": a header
// (byte order "II" little-endian or "MM" big-endian, the number 42, the
// offset of IFD0), and at that offset the directory: a 16-bit entry count,
// then 12-byte entries (tag, type, count, value or offset; a value of up to
// four bytes sits in the entry itself, first). Offsets count from the start
// of the TIFF data. Every field is read through a FieldReader over the TIFF
// data: a field that does not lie wholly inside them fails it.
//
// The turn: orientations 5 to 8 are a transpose (rows become columns) into
// a new block followed by what 1 to 4 do in place; 2 mirrors every row, 3
// reverses the order of all pixels (packed rows in order are one run of
// pixels), 4 does both.
#include "ExifOrientation.h"

#include <cstring>

#include <jpeglib.h>

#include "FieldReader.h"
#include "ImageMemory.h"

namespace
{
const BYTE EXIF_SIGNATURE[] = { 'E', 'x', 'i', 'f', 0, 0 };
const DWORD SIGNATURE_BYTES = sizeof(EXIF_SIGNATURE);
const DWORD TIFF_HEADER_BYTES = 8;
const WORD BIG_ENDIAN_MARK = 0x4D4D;    // "MM"
const WORD LITTLE_ENDIAN_MARK = 0x4949; // "II"
const WORD TIFF_MAGIC = 42;
const DWORD ENTRY_BYTES = 12;
const WORD TAG_ORIENTATION = 0x0112;
const WORD TYPE_SHORT = 3;
const int AS_STORED = 1, MIRRORED = 2, HALF_TURN = 3, FLIPPED = 4, LAST_ORIENTATION = 8;

// Reverses the order of nPixels pixels of cbPixel bytes each.
void ReversePixels(BYTE* pPixels, size_t nPixels, size_t cbPixel)
{
    if (nPixels < 2)
        return;
    for (BYTE *pLow = pPixels, *pHigh = pPixels + (nPixels - 1) * cbPixel; pLow < pHigh;
         pLow += cbPixel, pHigh -= cbPixel)
    {
        for (size_t i = 0; i < cbPixel; i++)
        {
            const BYTE b = pLow[i];
            pLow[i] = pHigh[i];
            pHigh[i] = b;
        }
    }
}

// Pixel (x, y) of a picture nWide x nHigh becomes pixel (y, x) of the picture
// nHigh x nWide, both packed. Square tiles keep the rows read and the rows
// written in the cache; the pixel size is fixed so that a copy is a few moves.
template <size_t CB_PIXEL> void Transpose(const BYTE* pSource, BYTE* pTurned, size_t nWide, size_t nHigh)
{
    const size_t TILE = 32;
    for (size_t y0 = 0; y0 < nHigh; y0 += TILE)
    {
        const size_t yEnd = nHigh - y0 < TILE ? nHigh : y0 + TILE;
        for (size_t x0 = 0; x0 < nWide; x0 += TILE)
        {
            const size_t xEnd = nWide - x0 < TILE ? nWide : x0 + TILE;
            for (size_t y = y0; y < yEnd; y++)
            {
                const BYTE* pFrom = pSource + (y * nWide + x0) * CB_PIXEL;
                for (size_t x = x0; x < xEnd; x++, pFrom += CB_PIXEL)
                    std::memcpy(pTurned + (x * nHigh + y) * CB_PIXEL, pFrom, CB_PIXEL);
            }
        }
    }
}
} // namespace

int ExifOrientation(const BYTE* pData, DWORD cbData)
{
    if (pData == nullptr || cbData < SIGNATURE_BYTES + TIFF_HEADER_BYTES ||
        std::memcmp(pData, EXIF_SIGNATURE, SIGNATURE_BYTES) != 0)
        return AS_STORED;
    FieldReader tiff(pData + SIGNATURE_BYTES, cbData - SIGNATURE_BYTES);
    const WORD wByteOrder = tiff.Word(); // the same in either order
    if (wByteOrder == BIG_ENDIAN_MARK)
        tiff.SetBigEndian(TRUE);
    else if (wByteOrder != LITTLE_ENDIAN_MARK)
        return AS_STORED;

    if (tiff.Word() != TIFF_MAGIC)
        return AS_STORED;
    tiff.Seek(tiff.Dword());
    const DWORD dwEntries = tiff.Word();
    // A directory that claims more entries than the data hold is broken as a whole.
    if (tiff.Failed() || dwEntries > tiff.Remaining() / ENTRY_BYTES)
        return AS_STORED;

    for (DWORD i = 0; i < dwEntries; i++)
    {
        const WORD wTag = tiff.Word();
        const WORD wType = tiff.Word();
        const DWORD dwCount = tiff.Dword();
        const WORD wValue = tiff.Word(); // a short value comes first in its four bytes
        tiff.Skip(2);
        if (wTag == TAG_ORIENTATION) // the first one counts
        {
            const BOOL bValid = wType == TYPE_SHORT && dwCount == 1 && wValue >= AS_STORED &&
                                wValue <= LAST_ORIENTATION;
            return bValid ? wValue : AS_STORED;
        }
    }
    return AS_STORED;
}

int JpegExifOrientation(const jpeg_decompress_struct& cinfo)
{
    for (jpeg_saved_marker_ptr pMarker = cinfo.marker_list; pMarker != nullptr; pMarker = pMarker->next)
    {
        // Other APP1 segments (XMP) may come first; the first Exif one counts.
        if (pMarker->marker == JPEG_APP0 + 1 && pMarker->data_length >= SIGNATURE_BYTES &&
            std::memcmp(pMarker->data, EXIF_SIGNATURE, SIGNATURE_BYTES) == 0)
            return ExifOrientation(pMarker->data, pMarker->data_length);
    }
    return AS_STORED;
}

BOOL OrientPackedPicture(SECImage& image, int nOrientation, DWORD* pcbBits)
{
    if (nOrientation <= AS_STORED || nOrientation > LAST_ORIENTATION)
        return TRUE;
    const DWORD dwDepth = static_cast<DWORD>(image.m_nPixelDepth);
    const size_t cbPixel = dwDepth / 8;
    const size_t nWide = image.m_dwPixelsWide, nHigh = image.m_dwPixelsHigh;
    DWORD cbPicture = 0;
    if ((dwDepth != 8 && dwDepth != 24) || image.m_bRowsAligned || image.m_pPixelBits == nullptr ||
        image.m_pInfoHeader == nullptr || nWide == 0 || nHigh == 0 ||
        !MultiplySize(SECImage::PackedRowBytes(dwDepth, image.m_dwPixelsWide), image.m_dwPixelsHigh, &cbPicture) ||
        cbPicture > ImageBlockSize(image.m_pPixelBits))
        return FALSE;

    if (nOrientation >= FIRST_QUARTER_TURN)
    {
        // Sized for the aligned rows of the turned picture: they are widened in place later.
        DWORD cbBits = 0;
        const DWORD cbRow = SECImage::AlignedRowBytes(dwDepth, image.m_dwPixelsHigh);
        if (cbRow == 0 || !MultiplySize(cbRow, image.m_dwPixelsWide, &cbBits))
            return FALSE;
        BYTE* pTurned = static_cast<BYTE*>(AllocImageBlock(cbBits));
        if (pTurned == nullptr)
            return FALSE;
        if (cbPixel == 1)
            Transpose<1>(image.m_pPixelBits, pTurned, nWide, nHigh);
        else
            Transpose<3>(image.m_pPixelBits, pTurned, nWide, nHigh);
        FreeImageBlock(image.m_pPixelBits);
        image.m_pPixelBits = pTurned;
        if (pcbBits != nullptr)
            *pcbBits = cbBits;
        image.SetPixelSize(static_cast<DWORD>(nHigh), static_cast<DWORD>(nWide));
        nOrientation -= FIRST_QUARTER_TURN - AS_STORED; // what is left to do: 1 to 4 on the turned rows
    }

    const size_t nRowPixels = image.m_dwPixelsWide;
    if (nOrientation == MIRRORED || nOrientation == FLIPPED)
    {
        for (size_t y = 0; y < image.m_dwPixelsHigh; y++)
            ReversePixels(image.m_pPixelBits + y * nRowPixels * cbPixel, nRowPixels, cbPixel);
    }
    if (nOrientation == HALF_TURN || nOrientation == FLIPPED)
        ReversePixels(image.m_pPixelBits, nWide * nHigh, cbPixel);
    return TRUE;
}

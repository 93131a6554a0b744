// SECDib and SECImage's BMP reader.
//
// A BMP file: a 14-byte file header ("BM", the file size, two reserved
// words, bfOffBits: where the pixel data start), an info header (12 bytes
// for the OS/2 core header, 40 for BITMAPINFOHEADER, up to 124 for V5), for
// BI_BITFIELDS with a 40-byte header three colour masks, then the colour
// table, then anything up to bfOffBits, then the pixel data.
//
// Whatever the file holds, the reader hands on the library's one layout: a
// 40-byte header followed by the masks or the colour table (RGBQUAD entries)
// and 1024 zero bytes, so that 256 entries can always be read past what the
// file stored; pixel rows bottom-up and 4-byte aligned, or an RLE stream that
// ends with an end-of-bitmap code inside its block.
#include "SECDib.h"

#include <limits>
#include <cstring>

#include "FieldReader.h"
#include "ImageMemory.h"

IMPLEMENT_SERIAL(SECDib, CObject, 1)

SECDib::SECDib()
{
    m_pPixelBits = nullptr;
}

SECDib::~SECDib()
{
}

BOOL SECDib::DecodeFromFile(CFile* pFile)
{
    return ReadBmpFromFile(pFile);
}

namespace
{
const DWORD FILE_HEADER_BYTES = 14;
const DWORD CORE_HEADER_BYTES = 12;  // BITMAPCOREHEADER (OS/2 1.x, Windows 2.x)
const DWORD LARGEST_HEADER_BYTES = 124; // BITMAPV5HEADER
const DWORD MASK_BYTES = 12;         // red, green and blue masks of BI_BITFIELDS
const DWORD ZERO_TAIL_BYTES = MAX_PALETTE_ENTRIES * sizeof(RGBQUAD);

bool IsKnownDepth(WORD wBitCount)
{
    return wBitCount == 1 || wBitCount == 4 || wBitCount == 8 || wBitCount == 16 || wBitCount == 24 ||
           wBitCount == 32;
}

// Depth and compression go together as GDI draws them; anything else (JPEG
// or PNG inside a BMP, OS/2 Huffman and RLE24, alpha bit fields) is refused.
bool IsDrawableEncoding(WORD wBitCount, DWORD dwCompression)
{
    switch (dwCompression)
    {
    case BI_RGB: return true;
    case BI_RLE8: return wBitCount == 8;
    case BI_RLE4: return wBitCount == 4;
    case BI_BITFIELDS: return wBitCount == 16 || wBitCount == 32;
    default: return false;
    }
}

// Walks an RLE4 or RLE8 stream of cbStream bytes and returns the length of
// its part that GDI may read: up to and including the end-of-bitmap code,
// or, when there is none, up to the end of the last code that lies whole in
// the stream. *pbEnded tells which.
DWORD MeasureRleStream(const BYTE* pStream, DWORD cbStream, WORD wBitCount, bool* pbEnded)
{
    DWORD i = 0;
    *pbEnded = false;
    while (cbStream - i >= 2)
    {
        const BYTE count = pStream[i];
        const BYTE code = pStream[i + 1];
        DWORD cbCode = 2; // a run, an end of line or the end of the bitmap
        if (count == 0 && code == 1)
        {
            *pbEnded = true;
            return i + 2;
        }
        if (count == 0 && code == 2)
            cbCode = 4; // a move: two more bytes
        else if (count == 0 && code >= 3)
        {
            // That many literal pixels, padded to a 16-bit boundary.
            const DWORD cbPixels = (static_cast<DWORD>(code) * wBitCount + 7) / 8;
            cbCode = 2 + ((cbPixels + 1) & ~1u);
        }
        if (cbCode > cbStream - i)
            break;
        i += cbCode;
    }
    return i;
}
} // namespace

// What the reader gathers before it allocates anything: the header fields it
// uses, whichever header the file has, and where the file's parts lie.
struct BmpHeader
{
    DWORD dwStart;      // the file position of the "BM"
    DWORD dwAvailable;  // the file's bytes from there
    DWORD dwOffBits;    // the pixel data, from dwStart
    DWORD cbHeaderArea; // everything between the file header and the pixel data
    DWORD cbConsumed;   // of that area, read so far
    DWORD dwHeaderSize;

    LONG lWidth;
    LONG lHeight;
    WORD wPlanes;
    WORD wBitCount;
    DWORD dwCompression;
    DWORD dwSizeImage;
    LONG lXPelsPerMeter;
    LONG lYPelsPerMeter;
    DWORD dwClrUsed;
    DWORD dwClrImportant;
    BYTE masks[MASK_BYTES];
    bool bMasks;
    DWORD dwEntryBytes;   // 3 (RGBTRIPLE) or 4 (RGBQUAD)
    DWORD dwTableEntries; // colour-table entries stored before the pixel data, at most 256
    BYTE table[MAX_PALETTE_ENTRIES * 4];

    // From the checked sizes.
    DWORD dwWidth;
    DWORD dwHeight;
    DWORD cbImage; // aligned rows
    bool bTopDown;
    bool bCompressed;
};

namespace
{
// The file header and the size of the info header, which must end before
// the pixel data.
bool ReadFileHeader(CFile* pFile, BmpHeader& h)
{
    h.dwStart = pFile->GetPosition();
    const DWORD dwLength = pFile->GetLength();
    h.dwAvailable = dwLength > h.dwStart ? dwLength - h.dwStart : 0;

    BYTE fileHeader[FILE_HEADER_BYTES];
    if (SECImage::ReadFully(pFile, fileHeader, FILE_HEADER_BYTES) != FILE_HEADER_BYTES)
        return false;
    FieldReader in(fileHeader, FILE_HEADER_BYTES);
    if (in.Word() != 0x4D42) // "BM"
        return false;
    in.Skip(8); // the file size and the reserved words
    h.dwOffBits = in.Dword();
    // The pixel data must lie in the file, after the smallest header, and
    // where a seek can reach them.
    if (h.dwOffBits > h.dwAvailable || h.dwOffBits < FILE_HEADER_BYTES + CORE_HEADER_BYTES ||
        h.dwStart > 0x7FFFFFFF || h.dwOffBits > 0x7FFFFFFF - h.dwStart)
        return false;
    h.cbHeaderArea = h.dwOffBits - FILE_HEADER_BYTES;
    return true;
}

// The fields after the size of a core header (unsigned 16-bit sizes, no
// compression, RGBTRIPLE colour entries) or of an info header of 40 bytes or
// more; the reader is left at byte 40 of the latter.
void ParseInfoHeader(FieldReader& in, BmpHeader& h)
{
    if (h.dwHeaderSize == CORE_HEADER_BYTES)
    {
        h.lWidth = in.Word();
        h.lHeight = in.Word();
        h.wPlanes = in.Word();
        h.wBitCount = in.Word();
        h.dwCompression = BI_RGB;
        h.dwEntryBytes = 3;
        return;
    }
    h.lWidth = static_cast<LONG>(in.Dword());
    h.lHeight = static_cast<LONG>(in.Dword());
    h.wPlanes = in.Word();
    h.wBitCount = in.Word();
    h.dwCompression = in.Dword();
    h.dwSizeImage = in.Dword();
    h.lXPelsPerMeter = static_cast<LONG>(in.Dword());
    h.lYPelsPerMeter = static_cast<LONG>(in.Dword());
    h.dwClrUsed = in.Dword();
    h.dwClrImportant = in.Dword();
    h.dwEntryBytes = 4;
    h.bMasks = h.dwCompression == BI_BITFIELDS;
}

// The info header, and for BI_BITFIELDS the masks: inside a larger header
// or after a 40-byte one.
bool ReadInfoHeader(CFile* pFile, BmpHeader& h)
{
    BYTE info[LARGEST_HEADER_BYTES];
    if (SECImage::ReadFully(pFile, info, 4) != 4)
        return false;
    const DWORD dwSize = h.dwHeaderSize = FieldReader(info, 4).Dword();
    if (dwSize != CORE_HEADER_BYTES && (dwSize < INFO_HEADER_BYTES || dwSize > LARGEST_HEADER_BYTES))
        return false;
    if (dwSize > h.cbHeaderArea || SECImage::ReadFully(pFile, info + 4, dwSize - 4) != dwSize - 4)
        return false;
    h.cbConsumed = dwSize;
    FieldReader in(info, dwSize);
    in.Skip(4);
    ParseInfoHeader(in, h);
    if (!h.bMasks)
        return true;
    if (dwSize >= INFO_HEADER_BYTES + MASK_BYTES)
    {
        in.Bytes(h.masks, MASK_BYTES);
        return true;
    }
    if (h.cbHeaderArea - h.cbConsumed < MASK_BYTES || SECImage::ReadFully(pFile, h.masks, MASK_BYTES) != MASK_BYTES)
        return false;
    h.cbConsumed += MASK_BYTES;
    return true;
}

// Sizes the rest of the library and GDI can work with.
bool CheckSizes(BmpHeader& h)
{
    if (h.lWidth <= 0 || h.lHeight == 0 || h.lHeight == std::numeric_limits<LONG>::min())
        return false;
    if (!IsKnownDepth(h.wBitCount) || !IsDrawableEncoding(h.wBitCount, h.dwCompression))
        return false;
    h.bCompressed = h.dwCompression == BI_RLE8 || h.dwCompression == BI_RLE4;
    h.bTopDown = h.lHeight < 0;
    if (h.bCompressed && h.bTopDown)
        return false; // the format has no top-down RLE pictures
    h.dwWidth = static_cast<DWORD>(h.lWidth);
    h.dwHeight = h.bTopDown ? static_cast<DWORD>(-h.lHeight) : static_cast<DWORD>(h.lHeight);
    const DWORD cbRow = SECImage::AlignedRowBytes(h.wBitCount, h.dwWidth);
    return cbRow != 0 && MultiplySize(cbRow, h.dwHeight, &h.cbImage) && h.cbImage <= MAX_IMAGE_BLOCK;
}

// The colour table: as many entries as the file stores before the pixel
// data (no more than 256). Deeper pictures may carry one as a palette hint;
// with bit fields the masks take its place at byte 40.
bool ReadColorTable(CFile* pFile, BmpHeader& h)
{
    if (!h.bMasks)
    {
        h.dwTableEntries = (h.cbHeaderArea - h.cbConsumed) / h.dwEntryBytes;
        if (h.dwTableEntries > MAX_PALETTE_ENTRIES)
            h.dwTableEntries = MAX_PALETTE_ENTRIES;
        const DWORD cbTable = h.dwTableEntries * h.dwEntryBytes;
        if (SECImage::ReadFully(pFile, h.table, cbTable) != cbTable)
            return false;
        h.cbConsumed += cbTable;
    }
    if (h.wBitCount <= 8)
    {
        const DWORD dwMaxColors = 1u << h.wBitCount;
        if (h.dwClrUsed > dwMaxColors)
            h.dwClrUsed = dwMaxColors;
    }
    else if (h.bMasks)
        h.dwClrUsed = 0;
    return true;
}
} // namespace

BOOL SECImage::ReadBmpFromFile(CFile* pFile)
{
    BmpHeader header = {};
    if (pFile == nullptr || !ReadFileHeader(pFile, header) || !ReadInfoHeader(pFile, header) ||
        !CheckSizes(header) || !ReadColorTable(pFile, header))
        return FALSE;

    m_dwPixelsWide = header.dwWidth;
    m_dwPixelsHigh = header.dwHeight;
    m_nPixelDepth = header.wBitCount;
    m_wTableEntries = static_cast<WORD>(header.wBitCount <= 8 ? 1u << header.wBitCount : 0);
    if (!StoreBmpHeader(header) || !ReadBmpPixels(pFile, header))
        return FailDecode();
    m_bRowsAligned = TRUE;
    // The rest of the library holds pictures bottom-up.
    if (header.bTopDown && !ReverseRowOrder())
        return FailDecode();
    return TRUE;
}

// The header block: the file's fields, then the masks or the colour table
// and the zero tail.
BOOL SECImage::StoreBmpHeader(const BmpHeader& header)
{
    const DWORD cbTable = header.bMasks ? MASK_BYTES : header.dwTableEntries * sizeof(RGBQUAD);
    if (!AllocInfoHeader(cbTable + ZERO_TAIL_BYTES))
        return FALSE;
    m_pInfoHeader->biPlanes = header.wPlanes;
    m_pInfoHeader->biCompression = header.dwCompression;
    m_pInfoHeader->biSizeImage = header.dwSizeImage;
    m_pInfoHeader->biXPelsPerMeter = header.lXPelsPerMeter;
    m_pInfoHeader->biYPelsPerMeter = header.lYPelsPerMeter;
    m_pInfoHeader->biClrUsed = header.dwClrUsed;
    m_pInfoHeader->biClrImportant = header.dwClrImportant;
    if (header.bMasks)
        std::memcpy(m_pColorTable, header.masks, MASK_BYTES);
    for (DWORD i = 0; i < header.dwTableEntries; i++)
    {
        const BYTE* pEntry = header.table + i * header.dwEntryBytes;
        m_pColorTable[i].rgbBlue = pEntry[0];
        m_pColorTable[i].rgbGreen = pEntry[1];
        m_pColorTable[i].rgbRed = pEntry[2];
        m_pColorTable[i].rgbReserved = header.dwEntryBytes == 4 ? pEntry[3] : 0;
    }
    return TRUE;
}

// The pixel data: aligned rows, or the RLE stream.
BOOL SECImage::ReadBmpPixels(CFile* pFile, const BmpHeader& header)
{
    if (header.dwOffBits > FILE_HEADER_BYTES + header.cbConsumed)
        pFile->Seek(static_cast<LONG>(header.dwStart + header.dwOffBits), CFile::begin);
    const DWORD cbData = header.dwAvailable - header.dwOffBits;
    FreeImageBlock(m_pPixelBits);
    if (!header.bCompressed)
    {
        // Rows the file lacks (it was cut short) stay zero.
        m_pPixelBits = static_cast<BYTE*>(AllocImageBlock(header.cbImage));
        if (m_pPixelBits != nullptr)
            ReadFullyAbandonable(pFile, m_pPixelBits, cbData < header.cbImage ? cbData : header.cbImage);
        return m_pPixelBits != nullptr && !WasAbandoned();
    }

    // The stream as far as biSizeImage says, when the file holds that much;
    // it must end with an end-of-bitmap code inside the block, so one is
    // added where the stream lacks it.
    DWORD cbStream = cbData;
    if (header.dwSizeImage != 0 && header.dwSizeImage < cbStream)
        cbStream = header.dwSizeImage;
    if (cbStream > MAX_IMAGE_BLOCK - 2)
        cbStream = MAX_IMAGE_BLOCK - 2;
    m_pPixelBits = static_cast<BYTE*>(AllocImageBlock(cbStream + 2));
    if (m_pPixelBits == nullptr)
        return FALSE;
    cbStream = ReadFullyAbandonable(pFile, m_pPixelBits, cbStream);
    if (WasAbandoned())
        return FALSE;
    bool bEnded = false;
    DWORD cbUsed = MeasureRleStream(m_pPixelBits, cbStream, header.wBitCount, &bEnded);
    if (!bEnded)
    {
        m_pPixelBits[cbUsed] = 0;
        m_pPixelBits[cbUsed + 1] = 1;
        cbUsed += 2;
    }
    m_pInfoHeader->biSizeImage = cbUsed;
    return TRUE;
}

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
const DWORD INFO_HEADER_BYTES = 40;  // BITMAPINFOHEADER
const DWORD LARGEST_HEADER_BYTES = 124; // BITMAPV5HEADER
const DWORD MASK_BYTES = 12;         // red, green and blue masks of BI_BITFIELDS
const DWORD MAX_TABLE_ENTRIES = 256;
const DWORD ZERO_TAIL_BYTES = MAX_TABLE_ENTRIES * sizeof(RGBQUAD);

// The header fields the reader uses, whichever header the file has.
struct BmpHeader
{
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
    DWORD dwEntryBytes; // 3 (RGBTRIPLE) or 4 (RGBQUAD)
    DWORD dwTableEntries; // colour-table entries stored before the pixel data, at most 256
};

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

BOOL SECImage::ReadBmpFromFile(CFile* pFile)
{
    if (pFile == nullptr)
        return FALSE;
    const DWORD dwStart = pFile->GetPosition();
    const DWORD dwLength = pFile->GetLength();
    const DWORD dwAvailable = dwLength > dwStart ? dwLength - dwStart : 0;

    BYTE fileHeader[FILE_HEADER_BYTES];
    if (ReadFully(pFile, fileHeader, FILE_HEADER_BYTES) != FILE_HEADER_BYTES)
        return FALSE;
    if (ReadLE16(fileHeader) != 0x4D42) // "BM"
        return FALSE;
    const DWORD dwOffBits = ReadLE32(fileHeader + 10);
    // The pixel data must lie in the file, after the smallest header, and
    // where a seek can reach them.
    if (dwOffBits > dwAvailable || dwOffBits < FILE_HEADER_BYTES + CORE_HEADER_BYTES || dwStart > 0x7FFFFFFF ||
        dwOffBits > 0x7FFFFFFF - dwStart)
        return FALSE;
    // Everything between the file header and the pixel data.
    const DWORD cbHeaderArea = dwOffBits - FILE_HEADER_BYTES;

    BYTE info[LARGEST_HEADER_BYTES] = {};
    if (ReadFully(pFile, info, 4) != 4)
        return FALSE;
    const DWORD dwHeaderSize = ReadLE32(info);
    if (dwHeaderSize != CORE_HEADER_BYTES && (dwHeaderSize < INFO_HEADER_BYTES || dwHeaderSize > LARGEST_HEADER_BYTES))
        return FALSE;
    if (dwHeaderSize > cbHeaderArea || ReadFully(pFile, info + 4, dwHeaderSize - 4) != dwHeaderSize - 4)
        return FALSE;
    DWORD cbConsumed = dwHeaderSize;

    BmpHeader header = {};
    if (dwHeaderSize == CORE_HEADER_BYTES)
    {
        // Unsigned 16-bit sizes, no compression, RGBTRIPLE colour entries.
        header.lWidth = ReadLE16(info + 4);
        header.lHeight = ReadLE16(info + 6);
        header.wPlanes = ReadLE16(info + 8);
        header.wBitCount = ReadLE16(info + 10);
        header.dwCompression = BI_RGB;
        header.dwEntryBytes = 3;
    }
    else
    {
        header.lWidth = static_cast<LONG>(ReadLE32(info + 4));
        header.lHeight = static_cast<LONG>(ReadLE32(info + 8));
        header.wPlanes = ReadLE16(info + 12);
        header.wBitCount = ReadLE16(info + 14);
        header.dwCompression = ReadLE32(info + 16);
        header.dwSizeImage = ReadLE32(info + 20);
        header.lXPelsPerMeter = static_cast<LONG>(ReadLE32(info + 24));
        header.lYPelsPerMeter = static_cast<LONG>(ReadLE32(info + 28));
        header.dwClrUsed = ReadLE32(info + 32);
        header.dwClrImportant = ReadLE32(info + 36);
        header.dwEntryBytes = 4;
        if (header.dwCompression == BI_BITFIELDS)
        {
            header.bMasks = true;
            if (dwHeaderSize >= INFO_HEADER_BYTES + MASK_BYTES)
                std::memcpy(header.masks, info + INFO_HEADER_BYTES, MASK_BYTES); // inside a larger header
            else
            {
                // After a 40-byte header.
                if (cbHeaderArea - cbConsumed < MASK_BYTES || ReadFully(pFile, header.masks, MASK_BYTES) != MASK_BYTES)
                    return FALSE;
                cbConsumed += MASK_BYTES;
            }
        }
    }

    // Sizes the rest of the library and GDI can work with.
    if (header.lWidth <= 0 || header.lHeight == 0 || header.lHeight == std::numeric_limits<LONG>::min())
        return FALSE;
    if (!IsKnownDepth(header.wBitCount) || !IsDrawableEncoding(header.wBitCount, header.dwCompression))
        return FALSE;
    const bool bCompressed = header.dwCompression == BI_RLE8 || header.dwCompression == BI_RLE4;
    const bool bTopDown = header.lHeight < 0;
    if (bCompressed && bTopDown)
        return FALSE; // the format has no top-down RLE pictures
    const DWORD dwWidth = static_cast<DWORD>(header.lWidth);
    const DWORD dwHeight = bTopDown ? static_cast<DWORD>(-header.lHeight) : static_cast<DWORD>(header.lHeight);
    const DWORD cbRow = AlignedRowBytes(header.wBitCount, dwWidth);
    DWORD cbImage = 0;
    if (cbRow == 0 || !MultiplySize(cbRow, dwHeight, &cbImage) || cbImage > MAX_IMAGE_BLOCK)
        return FALSE;

    // The colour table: as many entries as the file stores before the pixel
    // data (no more than 256). Deeper pictures may carry one as a palette
    // hint; with bit fields the masks take its place at byte 40.
    BYTE table[MAX_TABLE_ENTRIES * 4];
    if (!header.bMasks)
    {
        header.dwTableEntries = (cbHeaderArea - cbConsumed) / header.dwEntryBytes;
        if (header.dwTableEntries > MAX_TABLE_ENTRIES)
            header.dwTableEntries = MAX_TABLE_ENTRIES;
        const DWORD cbTable = header.dwTableEntries * header.dwEntryBytes;
        if (ReadFully(pFile, table, cbTable) != cbTable)
            return FALSE;
        cbConsumed += cbTable;
    }
    if (header.wBitCount <= 8)
    {
        const DWORD dwMaxColors = 1u << header.wBitCount;
        if (header.dwClrUsed > dwMaxColors)
            header.dwClrUsed = dwMaxColors;
    }
    else if (header.bMasks)
        header.dwClrUsed = 0;

    // The header block.
    const DWORD cbPrefix = INFO_HEADER_BYTES + (header.bMasks ? MASK_BYTES : header.dwTableEntries * sizeof(RGBQUAD));
    FreeImageBlock(m_pInfoHeader);
    m_pInfoHeader = static_cast<BITMAPINFOHEADER*>(AllocImageBlock(cbPrefix + ZERO_TAIL_BYTES));
    m_pColorTable = nullptr;
    if (m_pInfoHeader == nullptr)
        return FALSE;
    BYTE* pBlock = reinterpret_cast<BYTE*>(m_pInfoHeader);
    m_pColorTable = reinterpret_cast<RGBQUAD*>(pBlock + INFO_HEADER_BYTES);
    m_pInfoHeader->biSize = INFO_HEADER_BYTES;
    m_pInfoHeader->biWidth = header.lWidth;
    m_pInfoHeader->biHeight = static_cast<LONG>(dwHeight);
    m_pInfoHeader->biPlanes = header.wPlanes;
    m_pInfoHeader->biBitCount = header.wBitCount;
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
        const BYTE* pEntry = table + i * header.dwEntryBytes;
        m_pColorTable[i].rgbBlue = pEntry[0];
        m_pColorTable[i].rgbGreen = pEntry[1];
        m_pColorTable[i].rgbRed = pEntry[2];
        m_pColorTable[i].rgbReserved = header.dwEntryBytes == 4 ? pEntry[3] : 0;
    }

    // The pixel data.
    if (dwOffBits > FILE_HEADER_BYTES + cbConsumed)
        pFile->Seek(static_cast<LONG>(dwStart + dwOffBits), CFile::begin);
    const DWORD cbData = dwAvailable - dwOffBits;
    FreeImageBlock(m_pPixelBits);
    m_pPixelBits = nullptr;
    if (bCompressed)
    {
        // The stream as far as biSizeImage says, when the file holds that
        // much; it must end with an end-of-bitmap code inside the block, so
        // one is added where the stream lacks it.
        DWORD cbStream = cbData;
        if (header.dwSizeImage != 0 && header.dwSizeImage < cbStream)
            cbStream = header.dwSizeImage;
        if (cbStream > MAX_IMAGE_BLOCK - 2)
            cbStream = MAX_IMAGE_BLOCK - 2;
        m_pPixelBits = static_cast<BYTE*>(AllocImageBlock(cbStream + 2));
        if (m_pPixelBits == nullptr)
            return DropBmpBlocks();
        cbStream = ReadFully(pFile, m_pPixelBits, cbStream);
        bool bEnded = false;
        DWORD cbUsed = MeasureRleStream(m_pPixelBits, cbStream, header.wBitCount, &bEnded);
        if (!bEnded)
        {
            m_pPixelBits[cbUsed] = 0;
            m_pPixelBits[cbUsed + 1] = 1;
            cbUsed += 2;
        }
        m_pInfoHeader->biSizeImage = cbUsed;
    }
    else
    {
        // Rows the file lacks (it was cut short) stay zero.
        m_pPixelBits = static_cast<BYTE*>(AllocImageBlock(cbImage));
        if (m_pPixelBits == nullptr)
            return DropBmpBlocks();
        ReadFully(pFile, m_pPixelBits, cbData < cbImage ? cbData : cbImage);
    }

    m_bRowsAligned = TRUE;
    m_dwPixelsWide = dwWidth;
    m_dwPixelsHigh = dwHeight;
    m_dwAlignedWidth = ((dwWidth * 8 + 31) >> 3) & ~3u;
    m_nPixelDepth = header.wBitCount;
    m_wTableEntries = static_cast<WORD>(header.wBitCount <= 8 ? 1u << header.wBitCount : 0);

    // The rest of the library holds pictures bottom-up.
    if (bTopDown && !ReverseRowOrder())
        return DropBmpBlocks();
    return TRUE;
}

// A read that fails after its allocations leaves no block behind.
BOOL SECImage::DropBmpBlocks()
{
    FreeImageBlock(m_pInfoHeader);
    m_pInfoHeader = nullptr;
    m_pColorTable = nullptr;
    FreeImageBlock(m_pPixelBits);
    m_pPixelBits = nullptr;
    return FALSE;
}

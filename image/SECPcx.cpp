// SECPcx: the PCX reader.
//
// A PCX file: the 128-byte header, then the run-length encoded scan lines,
// top line first, each holding its planes one after the other, each plane
// wBytesPerLine bytes once decoded; files of 256 colours end with a byte 12
// and 256 red, green, blue triples. A byte with both top bits set is a run:
// its low six bits count the copies of the byte that follows. Runs may go on
// across planes and scan lines.
//
// The header is checked as a whole before anything is allocated: a plane's
// bytes per line must hold the width, the window must not be empty, the
// picture's blocks must fit in 32 bits, and the file must be long enough to
// fill the picture even if every byte pair were a run of 63. Decoding then
// writes through the buffered reader straight into the final pixel block,
// packed rows top line first; a decoded byte whose pixel lies beyond the
// width is dropped, so nothing is ever written outside a row.
#include "SECPcx.h"

#include "FieldReader.h"
#include "ImageMemory.h"

IMPLEMENT_SERIAL(SECPcx, CObject, 1)

namespace
{
const DWORD HEADER_BYTES = 128;
const BYTE MANUFACTURER_ZSOFT = 10;
const BYTE LAST_VERSION = 5;
const BYTE ENCODING_RLE = 1;
const BYTE RUN_FLAGS = 0xC0;
const BYTE RUN_COUNT = 0x3F;
const BYTE TABLE_MARKER = 12;
const DWORD HEADER_MAP_ENTRIES = 16;

// A colour-table entry from a red, green, blue triple.
void SetEntry(RGBQUAD& entry, const BYTE* pRgb)
{
    entry.rgbRed = pRgb[0];
    entry.rgbGreen = pRgb[1];
    entry.rgbBlue = pRgb[2];
    entry.rgbReserved = 0;
}

// The header's fields, in the order the file stores them.
void ReadHeaderFields(FieldReader& in, PCXHEADER& h)
{
    h.bManufacturer = in.Byte();
    h.bVersion = in.Byte();
    h.bEncoding = in.Byte();
    h.bBitsPerPixel = in.Byte();
    h.wXMin = in.Word();
    h.wYMin = in.Word();
    h.wXMax = in.Word();
    h.wYMax = in.Word();
    h.wHorizontalDpi = in.Word();
    h.wVerticalDpi = in.Word();
    in.Bytes(h.abColorMap, 3 * HEADER_MAP_ENTRIES);
    h.bReserved = in.Byte();
    h.bPlanes = in.Byte();
    h.wBytesPerLine = in.Word();
    h.wPaletteInfo = in.Word();
    h.wHorizontalScreenSize = in.Word();
    h.wVerticalScreenSize = in.Word();
    in.Bytes(h.abFiller, sizeof(h.abFiller));
}

// The most bytes that cb bytes of run-length encoded data can decode to.
ULONGLONG MostDecodedBytes(ULONGLONG cb)
{
    return cb / 2 * RUN_COUNT + cb % 2;
}
} // namespace

SECPcx::SECPcx() : m_header(), m_dwOutBytesPerPixel(0)
{
}

SECPcx::~SECPcx()
{
}

// Tests the header and sets the picture's size fields from it; FALSE for a
// file that must be refused.
BOOL SECPcx::CheckHeader(DWORD dwFileLength)
{
    const PCXHEADER& h = m_header;
    if (h.bManufacturer != MANUFACTURER_ZSOFT || h.bVersion > LAST_VERSION)
        return FALSE;
    // Colours: at most 256 (the shift as a 32-bit machine does it, cut to 16 bits).
    const DWORD dwBits = static_cast<DWORD>(h.bBitsPerPixel) * h.bPlanes;
    const WORD wColors = static_cast<WORD>(1u << (dwBits % 32));
    if (wColors > MAX_PALETTE_ENTRIES)
        return FALSE;
    if (h.bEncoding != ENCODING_RLE)
        return FALSE;

    // The layouts that make a picture.
    const DWORD dwPlanes = h.bPlanes;
    if (h.bBitsPerPixel == 8 && dwPlanes == 1)
    {
        m_nPixelDepth = 8;
        m_wTableEntries = MAX_PALETTE_ENTRIES;
        m_dwOutBytesPerPixel = 1;
    }
    else if (h.bBitsPerPixel == 8 && (dwPlanes == 3 || dwPlanes == 4))
    {
        m_nPixelDepth = 24;
        m_wTableEntries = 0;
        m_dwOutBytesPerPixel = 3;
    }
    else if (h.bBitsPerPixel == 1 && dwPlanes >= 1 && dwPlanes <= 8)
    {
        m_nPixelDepth = 8;
        m_wTableEntries = static_cast<WORD>(dwPlanes >= 2 && dwPlanes <= 4 ? HEADER_MAP_ENTRIES : MAX_PALETTE_ENTRIES);
        m_dwOutBytesPerPixel = 1;
    }
    else
        return FALSE; // other depths, no planes, or raw planes that make no colours

    if (h.wXMax < h.wXMin || h.wYMax < h.wYMin)
        return FALSE;
    m_dwPixelsWide = static_cast<DWORD>(h.wXMax) - h.wXMin + 1;
    m_dwPixelsHigh = static_cast<DWORD>(h.wYMax) - h.wYMin + 1;
    m_dwAlignedWidth = AlignedRowBytes(8, m_dwPixelsWide);
    // A plane's line must hold the width; longer lines are padded.
    if (h.wBytesPerLine == 0 || h.wBytesPerLine < PackedRowBytes(h.bBitsPerPixel, m_dwPixelsWide))
        return FALSE;

    // The file must be able to hold the picture.
    const ULONGLONG cbDecoded = static_cast<ULONGLONG>(dwPlanes) * h.wBytesPerLine * m_dwPixelsHigh;
    if (dwFileLength < HEADER_BYTES || cbDecoded > MostDecodedBytes(dwFileLength - HEADER_BYTES))
        return FALSE;
    return TRUE;
}

BOOL SECPcx::DecodeFromFile(CFile* pFile)
{
    if (pFile == nullptr)
        return FALSE;
    m_pCurrentFile = pFile;
    BYTE abHeader[HEADER_BYTES];
    if (ReadFully(pFile, abHeader, HEADER_BYTES) != HEADER_BYTES)
        return FALSE;
    FieldReader in(abHeader, HEADER_BYTES);
    ReadHeaderFields(in, m_header);

    // The file's length from where this read started.
    const DWORD dwStart = pFile->GetPosition() - HEADER_BYTES;
    const DWORD dwLength = pFile->GetLength();
    if (!CheckHeader(dwLength > dwStart ? dwLength - dwStart : 0))
        return FailDecode();

    // The header block, with room for the colour table.
    if (!AllocInfoHeader(m_wTableEntries * sizeof(RGBQUAD)))
        return FailDecode();
    if (m_header.bBitsPerPixel == 1)
        m_pInfoHeader->biClrUsed = m_pInfoHeader->biClrImportant = m_wTableEntries;

    // The pixel block: planes × height × aligned width + 32 bytes, which
    // holds the aligned rows of every layout.
    DWORD cbPixels = 0;
    if (!MultiplySize(m_header.bPlanes, m_dwPixelsHigh, &cbPixels) ||
        !MultiplySize(cbPixels, m_dwAlignedWidth, &cbPixels) || !AddSize(cbPixels, 32, &cbPixels))
        return FailDecode();
    FreeImageBlock(m_pPixelBits);
    m_pPixelBits = static_cast<BYTE*>(AllocImageBlock(cbPixels));
    if (m_pPixelBits == nullptr || !BeginBufferedIo(IO_BUFFER_BYTES, IO_READ))
        return FailDecode();
    DecodeScanLines();
    if (WasAbandoned())
        return FailDecode();
    ReadColorTable();
    m_bRowsAligned = FALSE;
    if (!AlignRows() || !ReverseRowOrder())
        return FailDecode();
    EndBufferedIo();
    return TRUE;
}

// Decodes until every plane of every scan line is complete or the data end;
// rows the data do not reach stay zero.
void SECPcx::DecodeScanLines()
{
    const DWORD dwPlanes = m_header.bPlanes;
    const DWORD cbRow = m_dwPixelsWide * m_dwOutBytesPerPixel; // packed output row
    BYTE* pRow = m_pPixelBits;
    DWORD dwLine = 0, dwPlane = 0, dwByte = 0;

    while (dwLine < m_dwPixelsHigh)
    {
        BYTE bValue = 0;
        if (ReadBuffered(&bValue, 1) != 1)
            return;
        DWORD dwRun = 1;
        if ((bValue & RUN_FLAGS) == RUN_FLAGS)
        {
            dwRun = bValue & RUN_COUNT; // 0: the value byte is skipped
            if (ReadBuffered(&bValue, 1) != 1)
                return;
        }
        // What runs on past the last scan line is dropped.
        for (; dwRun != 0 && dwLine < m_dwPixelsHigh; dwRun--)
        {
            StoreDecodedByte(pRow, dwPlane, dwByte, bValue);
            if (++dwByte < m_header.wBytesPerLine)
                continue;
            dwByte = 0;
            if (++dwPlane < dwPlanes)
                continue;
            dwPlane = 0;
            pRow += cbRow;
            dwLine++;
            if (CheckAbandonAfterRow())
                return;
        }
    }
}

// Byte dwByte of plane dwPlane of a scan line into its packed output row;
// what lies beyond the width is dropped.
void SECPcx::StoreDecodedByte(BYTE* pRow, DWORD dwPlane, DWORD dwByte, BYTE bValue) const
{
    const DWORD dwWidth = m_dwPixelsWide;
    if (m_header.bBitsPerPixel != 1)
    {
        if (dwByte >= dwWidth)
            return;
        if (m_dwOutBytesPerPixel == 1)
            pRow[dwByte] = bValue;
        else if (dwPlane < 3) // red, green, blue to bytes 2, 1, 0; a fourth plane is dropped
            pRow[3 * dwByte + 2 - dwPlane] = bValue;
        return;
    }
    // Eight pixels, the most significant bit first.
    const DWORD dwFirst = 8 * dwByte;
    const DWORD dwEnd = dwFirst + 8 < dwWidth ? dwFirst + 8 : dwWidth;
    for (DWORD x = dwFirst; x < dwEnd; x++)
    {
        const bool bSet = (bValue & (0x80 >> (x - dwFirst))) != 0;
        if (m_header.bPlanes == 1)
            pRow[x] = bSet ? 255 : 0;
        else if (bSet)
            pRow[x] = static_cast<BYTE>(pRow[x] | (1u << dwPlane));
    }
}

// The colour table, after the decoded data or from the header.
void SECPcx::ReadColorTable()
{
    if (m_wTableEntries <= HEADER_MAP_ENTRIES)
    {
        for (DWORD i = 0; i < m_wTableEntries; i++)
            SetEntry(m_pColorTable[i], m_header.abColorMap + 3 * i);
        return;
    }

    // The 256-entry table follows a byte 12 after the image data.
    BYTE b = 0;
    while (ReadBuffered(&b, 1) == 1 && b != TABLE_MARKER)
    {
    }
    DWORD dwRead = 0;
    BYTE abRgb[3];
    while (b == TABLE_MARKER && dwRead < m_wTableEntries && ReadBuffered(abRgb, 3) == 3)
        SetEntry(m_pColorTable[dwRead++], abRgb);
    if (dwRead < m_wTableEntries)
        FillGreyRamp(); // no table
    else if (m_header.bBitsPerPixel == 1 && m_header.bPlanes == 1)
    {
        // A black-and-white picture holds its set pixels as 255; the file's
        // table gives its two colours as entries 0 and 1.
        m_pColorTable[MAX_PALETTE_ENTRIES - 1] = m_pColorTable[1];
    }
}

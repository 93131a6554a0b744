// SECTarga: the Targa reader.
//
// A TGA file, all values little-endian:
//   header (18 bytes) | image ID | colour map | pixel data | ...
//   ... developer directory, extension area and the blocks it points to
//   (anywhere) | footer (26 bytes: extension-area offset, developer-
//   directory offset, "TRUEVISION-XFILE." and a zero byte).
// Files without the footer's signature are of the original format and end
// with their pixel data (or anything else); only the header, ID, colour map
// and pixel data count for them.
//
// Every part is read only after its place and size have been checked
// against the file's length, so a hostile offset or length is a failed read,
// never a seek outside the file. The pixel data go through the buffered
// reader one byte per call, straight into the final pixel block as packed
// blue-green-red rows in file order; alignment, row order and mirroring are
// then done in place. A run-length packet may run on from one row into the
// next in that file order, as most writers store them (and older ones
// always did); one that runs past the last row is a malformed file.
#include "SECTarga.h"

#include <cstring>

#include "ImageMemory.h"

IMPLEMENT_SERIAL(SECTarga, CObject, 1)

namespace
{
const DWORD HEADER_BYTES = 18;
const DWORD FOOTER_BYTES = 26;
const DWORD SIGNATURE_BYTES = 18;
const char SIGNATURE[SIGNATURE_BYTES] = "TRUEVISION-XFILE."; // and its zero byte
const DWORD EXTENSION_BYTES = 495;
const DWORD TAG_BYTES = 10; // tag number, data offset, data size
const DWORD COLOR_CORRECTION_BYTES = 256 * 4 * 2;
const DWORD IO_BUFFER_BYTES = 60000;
const DWORD MAX_PACKET_PIXELS = 128;

enum { TYPE_MAPPED = 1, TYPE_TRUE_COLOR = 2, TYPE_GREY = 3, TYPE_RLE_MAPPED = 9, TYPE_RLE_TRUE_COLOR = 10,
       TYPE_RLE_GREY = 11 };
const BYTE DESCRIPTOR_TOP_DOWN = 0x20;
const BYTE DESCRIPTOR_RIGHT_TO_LEFT = 0x10;

// A text field: its bytes, always ending in a zero byte inside the field.
void CopyText(char* pszDst, const BYTE* pSrc, DWORD cb)
{
    std::memcpy(pszDst, pSrc, cb);
    pszDst[cb - 1] = '\0';
}

// A true-colour value of the stored kind as blue, green, red.
inline void Convert555(const BYTE* pStored, BYTE* pBgr)
{
    const DWORD v = pStored[0] | (static_cast<DWORD>(pStored[1]) << 8); // bit 15 is not used
    pBgr[0] = SECTarga::s_abFiveBits[v & 31];
    pBgr[1] = SECTarga::s_abFiveBits[(v >> 5) & 31];
    pBgr[2] = SECTarga::s_abFiveBits[(v >> 10) & 31];
}
} // namespace

const BYTE SECTarga::s_abFiveBits[32] = { 0,   8,   16,  25,  33,  41,  49,  58,  66,  74,  82,
                                          90,  99,  107, 115, 123, 132, 140, 148, 156, 165, 173,
                                          181, 189, 197, 206, 214, 222, 230, 239, 247, 255 };

SECTarga::SECTarga()
    : m_header(), m_pImageId(nullptr), m_pColorMap(nullptr), m_extension(), m_pScanLineTable(nullptr),
      m_bStampWidth(0), m_bStampHeight(0), m_pStampData(nullptr), m_colorCorrection(), m_dwExtensionOffset(0),
      m_dwDevDirOffset(0), m_szSignature(), m_bNewFormat(FALSE), m_dwImageDataOffset(0), m_pixelKind(PIXEL_NONE),
      m_entryKind(PIXEL_NONE), m_dwBytesPerPixel(0), m_dwEntryBytes(0), m_dwFileLength(0), m_dwPacketLeft(0),
      m_bPacketIsRun(FALSE), m_abRunPixel()
{
}

SECTarga::~SECTarga()
{
    ReleaseTargaBlocks();
}

// Drops what an earlier read kept of the file besides the picture.
void SECTarga::ReleaseTargaBlocks()
{
    FreeImageBlock(m_pImageId);
    m_pImageId = nullptr;
    FreeImageBlock(m_pColorMap);
    m_pColorMap = nullptr;
    FreeImageBlock(m_pScanLineTable);
    m_pScanLineTable = nullptr;
    FreeImageBlock(m_pStampData);
    m_pStampData = nullptr;
    m_bStampWidth = 0;
    m_bStampHeight = 0;
}

// A refused file: every block of this read is freed.
BOOL SECTarga::FailDecode()
{
    ReleaseContents();
    ReleaseTargaBlocks();
    return FALSE;
}

// cb bytes at dwOffset from the start of the file, when they all lie in it.
BOOL SECTarga::ReadAt(DWORD dwOffset, void* pDst, DWORD cb)
{
    if (static_cast<ULONGLONG>(dwOffset) + cb > m_dwFileLength || dwOffset > 0x7FFFFFFF)
        return FALSE;
    m_pCurrentFile->Seek(static_cast<LONG>(dwOffset), CFile::begin);
    return ReadFully(m_pCurrentFile, pDst, cb) == cb;
}

// cb bytes from the current position, when they all lie in the file.
BOOL SECTarga::ReadHere(void* pDst, DWORD cb)
{
    return ReadAt(m_pCurrentFile->GetPosition(), pDst, cb);
}

short SECTarga::ReadTargaHeader()
{
    ReleaseTargaBlocks();
    m_header = TGAHEADER();
    m_extension = TGAEXTENSION();
    std::memset(m_colorCorrection, 0, sizeof(m_colorCorrection));
    std::memset(m_szSignature, 0, sizeof(m_szSignature));
    m_dwExtensionOffset = 0;
    m_dwDevDirOffset = 0;
    m_bNewFormat = FALSE;
    m_dwImageDataOffset = 0;
    if (m_pCurrentFile == nullptr)
        return TARGA_SHORT_READ;
    m_dwFileLength = m_pCurrentFile->GetLength();

    BYTE abHeader[HEADER_BYTES];
    if (!ReadHere(abHeader, HEADER_BYTES))
        return TARGA_SHORT_READ;
    m_header.bIdLength = abHeader[0];
    m_header.bColorMapType = abHeader[1];
    m_header.bImageType = abHeader[2];
    m_header.wColorMapFirst = ReadLE16(abHeader + 3);
    m_header.wColorMapLength = ReadLE16(abHeader + 5);
    m_header.bColorMapEntrySize = abHeader[7];
    m_header.wXOrigin = ReadLE16(abHeader + 8);
    m_header.wYOrigin = ReadLE16(abHeader + 10);
    m_header.wWidth = ReadLE16(abHeader + 12);
    m_header.wHeight = ReadLE16(abHeader + 14);
    m_header.bPixelDepth = abHeader[16];
    m_header.bDescriptor = abHeader[17];

    if (m_header.bIdLength != 0)
    {
        m_pImageId = static_cast<BYTE*>(AllocImageBlock(m_header.bIdLength));
        if (m_pImageId == nullptr || !ReadHere(m_pImageId, m_header.bIdLength))
            return TARGA_SHORT_READ;
    }
    if (m_header.bColorMapType != 0)
    {
        // At most 65535 entries of 32 bytes: no overflow in 32 bits.
        const DWORD cbMap = static_cast<DWORD>(m_header.wColorMapLength) * ((m_header.bColorMapEntrySize + 7u) / 8);
        if (cbMap != 0) // a map of no entries is no map
        {
            const DWORD dwHere = m_pCurrentFile->GetPosition();
            if (static_cast<ULONGLONG>(dwHere) + cbMap > m_dwFileLength)
                return TARGA_SHORT_READ; // checked before the block is taken
            m_pColorMap = static_cast<BYTE*>(AllocImageBlock(cbMap));
            if (m_pColorMap == nullptr)
                return TARGA_NO_COLOR_MAP;
            if (!ReadAt(dwHere, m_pColorMap, cbMap))
                return TARGA_SHORT_READ;
        }
    }
    m_dwImageDataOffset = m_pCurrentFile->GetPosition();
    return ReadTrailer();
}

// The footer, and in a TGA 2.0 file the developer directory and the
// extension area with its blocks.
short SECTarga::ReadTrailer()
{
    BYTE abFooter[FOOTER_BYTES];
    if (m_dwFileLength < FOOTER_BYTES || !ReadAt(m_dwFileLength - FOOTER_BYTES, abFooter, FOOTER_BYTES))
        return TARGA_SHORT_READ;
    m_dwExtensionOffset = ReadLE32(abFooter);
    m_dwDevDirOffset = ReadLE32(abFooter + 4);
    std::memcpy(m_szSignature, abFooter + 8, SIGNATURE_BYTES);
    m_bNewFormat = std::memcmp(m_szSignature, SIGNATURE, SIGNATURE_BYTES) == 0;
    if (!m_bNewFormat)
        return 0;

    if (m_dwDevDirOffset != 0)
    {
        // The tags' data are of no use here: each must lie in the file, and
        // nothing of the directory is kept.
        BYTE abCount[2];
        if (!ReadAt(m_dwDevDirOffset, abCount, 2))
            return TARGA_SHORT_READ;
        const DWORD dwTags = ReadLE16(abCount);
        if (dwTags != 0)
        {
            const DWORD cbTags = dwTags * TAG_BYTES; // at most 655350
            BYTE* pTags = static_cast<BYTE*>(AllocImageBlock(cbTags));
            BOOL bInside = pTags != nullptr && ReadAt(m_dwDevDirOffset + 2, pTags, cbTags);
            for (DWORD i = 0; bInside && i < dwTags; i++)
            {
                const BYTE* pTag = pTags + i * TAG_BYTES;
                bInside = static_cast<ULONGLONG>(ReadLE32(pTag + 2)) + ReadLE32(pTag + 6) <= m_dwFileLength;
            }
            FreeImageBlock(pTags);
            if (!bInside)
                return TARGA_SHORT_READ;
        }
    }

    if (m_dwExtensionOffset == 0)
        return 0;
    BYTE abExtension[EXTENSION_BYTES];
    if (!ReadAt(m_dwExtensionOffset, abExtension, EXTENSION_BYTES))
        return TARGA_SHORT_READ;
    const BYTE* p = abExtension;
    m_extension.wSize = ReadLE16(p);
    p += 2;
    CopyText(m_extension.szAuthorName, p, 41);
    p += 41;
    CopyText(m_extension.szAuthorComments, p, 324);
    p += 324;
    for (WORD& w : m_extension.awDateTime)
    {
        w = ReadLE16(p);
        p += 2;
    }
    CopyText(m_extension.szJobName, p, 41);
    p += 41;
    for (WORD& w : m_extension.awJobTime)
    {
        w = ReadLE16(p);
        p += 2;
    }
    CopyText(m_extension.szSoftwareId, p, 41);
    p += 41;
    m_extension.wSoftwareVersion = ReadLE16(p);
    p += 2;
    m_extension.bSoftwareLetter = *p++;
    m_extension.dwKeyColor = ReadLE32(p);
    p += 4;
    for (WORD& w : m_extension.awAspectRatio)
    {
        w = ReadLE16(p);
        p += 2;
    }
    for (WORD& w : m_extension.awGamma)
    {
        w = ReadLE16(p);
        p += 2;
    }
    m_extension.dwColorCorrectionOffset = ReadLE32(p);
    m_extension.dwStampOffset = ReadLE32(p + 4);
    m_extension.dwScanLineOffset = ReadLE32(p + 8);
    m_extension.bAttributesType = p[12];

    const DWORD dwHeight = m_header.wHeight;
    const DWORD dwScanLines = m_extension.dwScanLineOffset;
    if (dwScanLines != 0 && dwHeight != 0)
    {
        const DWORD cbTable = dwHeight * 4; // at most 262140
        if (static_cast<ULONGLONG>(dwScanLines) + cbTable > m_dwFileLength)
            return TARGA_SHORT_READ;
        m_pScanLineTable = static_cast<DWORD*>(AllocImageBlock(cbTable));
        if (m_pScanLineTable == nullptr)
            return TARGA_NO_SCAN_LINE_TABLE;
        BYTE* pBytes = reinterpret_cast<BYTE*>(m_pScanLineTable);
        if (!ReadAt(dwScanLines, pBytes, cbTable))
            return TARGA_SHORT_READ;
        for (DWORD i = 0; i < dwHeight; i++)
            m_pScanLineTable[i] = ReadLE32(pBytes + 4 * i);
    }

    const DWORD dwStamp = m_extension.dwStampOffset;
    if (dwStamp != 0)
    {
        BYTE abSize[2];
        if (!ReadAt(dwStamp, abSize, 2))
            return TARGA_SHORT_READ;
        m_bStampWidth = abSize[0];
        m_bStampHeight = abSize[1];
        // At most 255 × 255 × 32 bytes.
        const DWORD cbStamp = static_cast<DWORD>(m_bStampWidth) * m_bStampHeight * ((m_header.bPixelDepth + 7u) / 8);
        if (cbStamp != 0)
        {
            if (static_cast<ULONGLONG>(dwStamp) + 2 + cbStamp > m_dwFileLength)
                return TARGA_SHORT_READ;
            m_pStampData = static_cast<BYTE*>(AllocImageBlock(cbStamp));
            if (m_pStampData == nullptr)
                return TARGA_NO_STAMP;
            if (!ReadAt(dwStamp + 2, m_pStampData, cbStamp))
                return TARGA_SHORT_READ;
        }
    }

    if (m_extension.dwColorCorrectionOffset != 0)
    {
        BYTE abTable[COLOR_CORRECTION_BYTES];
        if (!ReadAt(m_extension.dwColorCorrectionOffset, abTable, COLOR_CORRECTION_BYTES))
            return TARGA_SHORT_READ;
        for (DWORD i = 0; i < 256; i++)
            for (DWORD j = 0; j < 4; j++)
                m_colorCorrection[i][j] = ReadLE16(abTable + 8 * i + 2 * j);
    }
    return 0;
}

BOOL SECTarga::PrepareBitmapHeader()
{
    FreeImageBlock(m_pInfoHeader);
    m_pInfoHeader = nullptr;
    m_pColorTable = nullptr;
    m_dwPixelsWide = m_header.wWidth;
    m_dwPixelsHigh = m_header.wHeight;
    m_dwAlignedWidth = (m_dwPixelsWide + 3) & ~3u;
    m_nPixelDepth = 24;
    m_wTableEntries = 0;

    m_pInfoHeader = static_cast<BITMAPINFOHEADER*>(AllocImageBlock(sizeof(BITMAPINFOHEADER)));
    if (m_pInfoHeader == nullptr)
        return FALSE;
    m_pInfoHeader->biSize = sizeof(BITMAPINFOHEADER);
    m_pInfoHeader->biWidth = static_cast<LONG>(m_dwPixelsWide);
    m_pInfoHeader->biHeight = static_cast<LONG>(m_dwPixelsHigh);
    m_pInfoHeader->biPlanes = 1;
    m_pInfoHeader->biBitCount = 24;
    m_pColorTable = reinterpret_cast<RGBQUAD*>(reinterpret_cast<BYTE*>(m_pInfoHeader) + sizeof(BITMAPINFOHEADER));
    return TRUE;
}

// Decides how the stored pixels become blue, green, red; FALSE for files
// whose pixels mean nothing this reader can show.
BOOL SECTarga::ChoosePixelKind()
{
    m_pixelKind = PIXEL_NONE;
    m_entryKind = PIXEL_NONE;
    m_dwBytesPerPixel = (m_header.bPixelDepth + 7u) / 8;
    m_dwEntryBytes = (m_header.bColorMapEntrySize + 7u) / 8;

    switch (m_header.bImageType)
    {
    case TYPE_TRUE_COLOR:
    case TYPE_RLE_TRUE_COLOR:
        if (m_dwBytesPerPixel == 2)
            m_pixelKind = PIXEL_555;
        else if (m_dwBytesPerPixel == 3)
            m_pixelKind = PIXEL_BGR;
        else if (m_dwBytesPerPixel == 4)
            m_pixelKind = PIXEL_BGRA;
        break;
    case TYPE_GREY:
    case TYPE_RLE_GREY:
        if (m_dwBytesPerPixel == 1)
            m_pixelKind = PIXEL_GREY;
        else if (m_dwBytesPerPixel == 2)
            m_pixelKind = PIXEL_GREY_ALPHA;
        break;
    case TYPE_MAPPED:
    case TYPE_RLE_MAPPED:
        if (m_pColorMap == nullptr || (m_dwBytesPerPixel != 1 && m_dwBytesPerPixel != 2))
            break;
        if (m_dwEntryBytes == 2)
            m_entryKind = PIXEL_555;
        else if (m_dwEntryBytes == 3)
            m_entryKind = PIXEL_BGR;
        else if (m_dwEntryBytes == 4)
            m_entryKind = PIXEL_BGRA;
        if (m_entryKind != PIXEL_NONE)
            m_pixelKind = PIXEL_INDEX;
        break;
    default:
        break;
    }
    return m_pixelKind != PIXEL_NONE;
}

// TRUE when the rest of the file is long enough for the pixel data the
// header announces: plain, every pixel; run-length encoded, at least one
// packet of one pixel value for every 128 pixels (packets run on across
// rows). A file that claims a picture it cannot hold is refused before
// anything is allocated.
BOOL SECTarga::FileHoldsPixelData() const
{
    const ULONGLONG cbRest = m_dwFileLength - m_dwImageDataOffset;
    const ULONGLONG dwWidth = m_header.wWidth, dwHeight = m_header.wHeight;
    if (m_header.bImageType < TYPE_RLE_MAPPED)
        return dwWidth * dwHeight * m_dwBytesPerPixel <= cbRest;
    const ULONGLONG dwPackets = (dwWidth * dwHeight + MAX_PACKET_PIXELS - 1) / MAX_PACKET_PIXELS;
    return dwPackets * (1 + m_dwBytesPerPixel) <= cbRest;
}

void SECTarga::ConvertPixel(const BYTE* pStored, BYTE* pBgr) const
{
    switch (m_pixelKind)
    {
    case PIXEL_555:
        Convert555(pStored, pBgr);
        break;
    case PIXEL_BGR:
    case PIXEL_BGRA:
        pBgr[0] = pStored[0];
        pBgr[1] = pStored[1];
        pBgr[2] = pStored[2];
        break;
    case PIXEL_GREY:
    case PIXEL_GREY_ALPHA: // the grey byte comes first
        pBgr[0] = pBgr[1] = pBgr[2] = pStored[0];
        break;
    case PIXEL_INDEX:
    {
        const DWORD dwIndex = m_dwBytesPerPixel == 1 ? pStored[0] : ReadLE16(pStored);
        const DWORD dwEntry = dwIndex - m_header.wColorMapFirst; // wraps for indices below the first
        if (dwEntry >= m_header.wColorMapLength)
        {
            pBgr[0] = pBgr[1] = pBgr[2] = 0;
            break;
        }
        const BYTE* pMapped = m_pColorMap + dwEntry * m_dwEntryBytes;
        if (m_entryKind == PIXEL_555)
            Convert555(pMapped, pBgr);
        else
        {
            pBgr[0] = pMapped[0];
            pBgr[1] = pMapped[1];
            pBgr[2] = pMapped[2];
        }
        break;
    }
    default:
        pBgr[0] = pBgr[1] = pBgr[2] = 0;
        break;
    }
}

// One stored pixel through the buffered reader, converted; FALSE at the
// end of the data.
inline BOOL SECTarga::ReadPixel(BYTE* pBgr)
{
    BYTE abStored[4];
    for (DWORD i = 0; i < m_dwBytesPerPixel; i++)
        if (ReadBuffered(&abStored[i], 1) != 1)
            return FALSE;
    ConvertPixel(abStored, pBgr);
    return TRUE;
}

BOOL SECTarga::DecodePlainRows()
{
    BYTE* pOut = m_pPixelBits;
    // Three bytes a pixel fit in the pixel block, so no product here overflows.
    const DWORD dwPixels = m_dwPixelsWide * m_dwPixelsHigh;
    if (m_pixelKind == PIXEL_BGR)
    {
        // Stored as held: byte for byte.
        for (DWORD i = 0; i < dwPixels * 3; i++)
            if (ReadBuffered(pOut + i, 1) != 1)
                return FALSE;
        return TRUE;
    }
    for (DWORD i = 0; i < dwPixels; i++, pOut += 3)
        if (!ReadPixel(pOut))
            return FALSE;
    return TRUE;
}

long SECTarga::DecodeRleRow(BYTE* pRow, WORD wWidth, WORD wBytesPerPixel)
{
    if (wBytesPerPixel != m_dwBytesPerPixel || m_pixelKind == PIXEL_NONE)
        return -1;
    BYTE* pOut = pRow;
    BYTE* const pEnd = pRow + 3 * static_cast<DWORD>(wWidth); // the row's bytes: no write goes past them
    while (pOut < pEnd)
    {
        if (m_dwPacketLeft == 0)
        {
            BYTE bPacket = 0;
            if (ReadBuffered(&bPacket, 1) != 1)
                return -1;
            m_dwPacketLeft = (bPacket & 0x7F) + 1u;
            m_bPacketIsRun = (bPacket & 0x80) != 0;
            if (m_bPacketIsRun && !ReadPixel(m_abRunPixel))
                return -1;
        }
        // The part of the packet this row has room for; the rest is left
        // for the next row.
        const DWORD dwRoom = static_cast<DWORD>(pEnd - pOut) / 3;
        const DWORD dwCount = m_dwPacketLeft < dwRoom ? m_dwPacketLeft : dwRoom;
        if (m_bPacketIsRun)
        {
            // A run: its one value, dwCount times.
            for (DWORD i = 0; i < dwCount; i++)
            {
                pOut[3 * i] = m_abRunPixel[0];
                pOut[3 * i + 1] = m_abRunPixel[1];
                pOut[3 * i + 2] = m_abRunPixel[2];
            }
        }
        else
        {
            // Raw: dwCount pixel values.
            for (DWORD i = 0; i < dwCount; i++)
                if (!ReadPixel(pOut + 3 * i))
                    return -1;
        }
        pOut += 3 * dwCount;
        m_dwPacketLeft -= dwCount;
    }
    return static_cast<long>(pOut - pRow);
}

BOOL SECTarga::DecodeFromFile(CFile* pFile)
{
    if (pFile == nullptr)
        return FALSE;
    m_pCurrentFile = pFile;
    if (ReadTargaHeader() != 0)
        return FailDecode();
    if (m_header.wWidth == 0 || m_header.wHeight == 0 || !ChoosePixelKind() || !FileHoldsPixelData())
        return FailDecode();
    if (!PrepareBitmapHeader())
        return FailDecode();

    // Height × width rounded up to 4 × 3 bytes: room for the aligned rows.
    DWORD cbPixels = 0;
    if (!MultiplySize(m_dwPixelsHigh, m_dwAlignedWidth, &cbPixels) || !MultiplySize(cbPixels, 3, &cbPixels))
        return FailDecode();
    FreeImageBlock(m_pPixelBits);
    m_bRowsAligned = FALSE; // the rows are decoded packed
    m_pPixelBits = static_cast<BYTE*>(AllocImageBlock(cbPixels));
    if (m_pPixelBits == nullptr)
        return FailDecode();

    m_pCurrentFile->Seek(static_cast<LONG>(m_dwImageDataOffset), CFile::begin);
    if (!BeginBufferedIo(IO_BUFFER_BYTES, IO_READ))
        return FailDecode();
    if (m_header.bImageType >= TYPE_RLE_MAPPED)
    {
        // Each row is exactly width × 3 bytes, in file order. A packet left
        // over after the last row runs past the picture.
        const DWORD cbRow = m_dwPixelsWide * 3;
        m_dwPacketLeft = 0;
        for (DWORD y = 0; y < m_dwPixelsHigh; y++)
            if (DecodeRleRow(m_pPixelBits + y * cbRow, m_header.wWidth, static_cast<WORD>(m_dwBytesPerPixel)) !=
                static_cast<long>(cbRow))
                return FailDecode();
        if (m_dwPacketLeft != 0)
            return FailDecode();
    }
    else if (!DecodePlainRows())
        return FailDecode();

    if (!AlignRows())
        return FailDecode();
    EndBufferedIo();
    // Rows stored bottom row first are already in bitmap order.
    if ((m_header.bDescriptor & DESCRIPTOR_TOP_DOWN) && !ReverseRowOrder())
        return FailDecode();
    if ((m_header.bDescriptor & DESCRIPTOR_RIGHT_TO_LEFT) && !MirrorRows())
        return FailDecode();
    return TRUE;
}

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

#include "FieldReader.h"
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
const DWORD COLOR_CORRECTION_BYTES = sizeof(SECTarga::m_colorCorrection);
// A run-length packet: its top bit set for a run of one pixel value, clear
// for raw values; its low seven bits the pixels less one.
const BYTE PACKET_RUN = 0x80;
const BYTE PACKET_COUNT = 0x7F;
const DWORD MAX_PACKET_PIXELS = PACKET_COUNT + 1;

enum { TYPE_MAPPED = 1, TYPE_TRUE_COLOR = 2, TYPE_GREY = 3, TYPE_RLE_MAPPED = 9, TYPE_RLE_TRUE_COLOR = 10,
       TYPE_RLE_GREY = 11 };
const BYTE DESCRIPTOR_TOP_DOWN = 0x20;
const BYTE DESCRIPTOR_RIGHT_TO_LEFT = 0x10;

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
    SECTarga::ReleaseDecoderBlocks();
}

// Drops what an earlier read kept of the file besides the picture.
void SECTarga::ReleaseDecoderBlocks()
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

short SECTarga::ReadHeaderAndTrailer()
{
    ReleaseDecoderBlocks();
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
    FieldReader in(abHeader, HEADER_BYTES);
    m_header.bIdLength = in.Byte();
    m_header.bColorMapType = in.Byte();
    m_header.bImageType = in.Byte();
    m_header.wColorMapFirst = in.Word();
    m_header.wColorMapLength = in.Word();
    m_header.bColorMapEntrySize = in.Byte();
    m_header.wXOrigin = in.Word();
    m_header.wYOrigin = in.Word();
    m_header.wWidth = in.Word();
    m_header.wHeight = in.Word();
    m_header.bPixelDepth = in.Byte();
    m_header.bDescriptor = in.Byte();

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
    FieldReader in(abFooter, FOOTER_BYTES);
    m_dwExtensionOffset = in.Dword();
    m_dwDevDirOffset = in.Dword();
    in.Bytes(m_szSignature, SIGNATURE_BYTES); // as stored: the zero byte is part of the signature
    m_bNewFormat = std::memcmp(m_szSignature, SIGNATURE, SIGNATURE_BYTES) == 0;
    if (!m_bNewFormat)
        return 0;
    if (!CheckDeveloperDirectory())
        return TARGA_SHORT_READ;
    if (m_dwExtensionOffset == 0)
        return 0;
    if (!ReadExtensionArea())
        return TARGA_SHORT_READ;
    short nResult = ReadScanLineTable();
    if (nResult == 0)
        nResult = ReadStamp();
    if (nResult == 0 && !ReadColorCorrection())
        nResult = TARGA_SHORT_READ;
    return nResult;
}

// The developer directory: the tags' data are of no use here, but each must
// lie in the file. Nothing of the directory is kept.
BOOL SECTarga::CheckDeveloperDirectory()
{
    if (m_dwDevDirOffset == 0)
        return TRUE;
    BYTE abCount[2];
    if (!ReadAt(m_dwDevDirOffset, abCount, 2))
        return FALSE;
    const DWORD dwTags = FieldReader(abCount, 2).Word();
    if (dwTags == 0)
        return TRUE;
    const DWORD cbTags = dwTags * TAG_BYTES; // at most 655350
    BYTE* pTags = static_cast<BYTE*>(AllocImageBlock(cbTags));
    BOOL bInside = pTags != nullptr && ReadAt(m_dwDevDirOffset + 2, pTags, cbTags);
    FieldReader in(pTags, bInside ? cbTags : 0);
    for (DWORD i = 0; bInside && i < dwTags; i++)
    {
        in.Skip(2); // the tag number
        const DWORD dwDataOffset = in.Dword();
        const DWORD cbTagData = in.Dword();
        bInside = static_cast<ULONGLONG>(dwDataOffset) + cbTagData <= m_dwFileLength;
    }
    FreeImageBlock(pTags);
    return bInside;
}

BOOL SECTarga::ReadExtensionArea()
{
    BYTE abExtension[EXTENSION_BYTES];
    if (!ReadAt(m_dwExtensionOffset, abExtension, EXTENSION_BYTES))
        return FALSE;
    FieldReader in(abExtension, EXTENSION_BYTES);
    TGAEXTENSION& e = m_extension;
    e.wSize = in.Word();
    in.Text(e.szAuthorName);
    in.Text(e.szAuthorComments);
    in.Words(e.awDateTime);
    in.Text(e.szJobName);
    in.Words(e.awJobTime);
    in.Text(e.szSoftwareId);
    e.wSoftwareVersion = in.Word();
    e.bSoftwareLetter = in.Byte();
    e.dwKeyColor = in.Dword();
    in.Words(e.awAspectRatio);
    in.Words(e.awGamma);
    e.dwColorCorrectionOffset = in.Dword();
    e.dwStampOffset = in.Dword();
    e.dwScanLineOffset = in.Dword();
    e.bAttributesType = in.Byte();
    return TRUE;
}

// One file offset per row, when the extension area names the table.
short SECTarga::ReadScanLineTable()
{
    const DWORD dwHeight = m_header.wHeight;
    const DWORD dwScanLines = m_extension.dwScanLineOffset;
    if (dwScanLines == 0 || dwHeight == 0)
        return 0;
    const DWORD cbTable = dwHeight * 4; // at most 262140
    if (static_cast<ULONGLONG>(dwScanLines) + cbTable > m_dwFileLength)
        return TARGA_SHORT_READ;
    m_pScanLineTable = static_cast<DWORD*>(AllocImageBlock(cbTable));
    if (m_pScanLineTable == nullptr)
        return TARGA_NO_SCAN_LINE_TABLE;
    // The offsets are read in place: each from the four bytes it replaces.
    BYTE* pBytes = reinterpret_cast<BYTE*>(m_pScanLineTable);
    if (!ReadAt(dwScanLines, pBytes, cbTable))
        return TARGA_SHORT_READ;
    FieldReader in(pBytes, cbTable);
    for (DWORD i = 0; i < dwHeight; i++)
        m_pScanLineTable[i] = in.Dword();
    return 0;
}

// The postage stamp: its size, then its pixels as stored.
short SECTarga::ReadStamp()
{
    const DWORD dwStamp = m_extension.dwStampOffset;
    if (dwStamp == 0)
        return 0;
    BYTE abSize[2];
    if (!ReadAt(dwStamp, abSize, 2))
        return TARGA_SHORT_READ;
    FieldReader in(abSize, 2);
    m_bStampWidth = in.Byte();
    m_bStampHeight = in.Byte();
    // At most 255 × 255 × 32 bytes.
    const DWORD cbStamp = static_cast<DWORD>(m_bStampWidth) * m_bStampHeight * ((m_header.bPixelDepth + 7u) / 8);
    if (cbStamp == 0)
        return 0;
    if (static_cast<ULONGLONG>(dwStamp) + 2 + cbStamp > m_dwFileLength)
        return TARGA_SHORT_READ;
    m_pStampData = static_cast<BYTE*>(AllocImageBlock(cbStamp));
    if (m_pStampData == nullptr)
        return TARGA_NO_STAMP;
    return ReadAt(dwStamp + 2, m_pStampData, cbStamp) ? 0 : TARGA_SHORT_READ;
}

BOOL SECTarga::ReadColorCorrection()
{
    if (m_extension.dwColorCorrectionOffset == 0)
        return TRUE;
    BYTE abTable[COLOR_CORRECTION_BYTES];
    if (!ReadAt(m_extension.dwColorCorrectionOffset, abTable, COLOR_CORRECTION_BYTES))
        return FALSE;
    FieldReader in(abTable, COLOR_CORRECTION_BYTES);
    for (auto& awEntry : m_colorCorrection)
        in.Words(awEntry);
    return TRUE;
}

BOOL SECTarga::PrepareBitmapHeader()
{
    m_dwPixelsWide = m_header.wWidth;
    m_dwPixelsHigh = m_header.wHeight;
    m_nPixelDepth = 24;
    m_wTableEntries = 0;
    return AllocInfoHeader(0);
}

// A true-colour value of dwBytes bytes: 5-5-5, blue-green-red, or that and alpha.
SECTarga::PixelKind SECTarga::TrueColorKind(DWORD dwBytes)
{
    switch (dwBytes)
    {
    case 2: return PIXEL_555;
    case 3: return PIXEL_BGR;
    case 4: return PIXEL_BGRA;
    default: return PIXEL_NONE;
    }
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
        m_pixelKind = TrueColorKind(m_dwBytesPerPixel);
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
        m_entryKind = TrueColorKind(m_dwEntryBytes);
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
    PixelKind kind = m_pixelKind;
    if (kind == PIXEL_INDEX)
    {
        // The colour-map entry stands in for the pixel.
        const DWORD dwIndex =
            m_dwBytesPerPixel == 1 ? pStored[0] : pStored[0] | (static_cast<DWORD>(pStored[1]) << 8);
        const DWORD dwEntry = dwIndex - m_header.wColorMapFirst; // wraps for indices below the first
        if (dwEntry >= m_header.wColorMapLength)
            kind = PIXEL_NONE;
        else
        {
            pStored = m_pColorMap + dwEntry * m_dwEntryBytes;
            kind = m_entryKind;
        }
    }
    switch (kind)
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
    default: // an index outside the map
        pBgr[0] = pBgr[1] = pBgr[2] = 0;
        break;
    }
}

// One stored pixel through the buffered reader, converted; FALSE at the
// end of the data.
inline BOOL SECTarga::ReadPixel(BYTE* pBgr)
{
    BYTE abStored[4];
    if (ReadBuffered(abStored, m_dwBytesPerPixel) != m_dwBytesPerPixel)
        return FALSE;
    ConvertPixel(abStored, pBgr);
    return TRUE;
}

// dwCount stored pixels into dwCount × 3 bytes at pBgr; FALSE at the end of
// the data.
BOOL SECTarga::ReadPixels(BYTE* pBgr, DWORD dwCount)
{
    if (m_pixelKind == PIXEL_BGR) // stored as held: byte for byte
        return ReadBuffered(pBgr, dwCount * 3) == dwCount * 3;
    for (DWORD i = 0; i < dwCount; i++, pBgr += 3)
        if (!ReadPixel(pBgr))
            return FALSE;
    return TRUE;
}

// The rows in file order: plain, or run-length encoded with each row
// exactly width × 3 bytes. A packet left over after the last row runs past
// the picture.
BOOL SECTarga::DecodeRows()
{
    // Three bytes a pixel fit in the pixel block, so no product here overflows.
    const DWORD cbRow = m_dwPixelsWide * 3;
    const BOOL bRle = m_header.bImageType >= TYPE_RLE_MAPPED;
    m_dwPacketLeft = 0;
    for (DWORD y = 0; y < m_dwPixelsHigh; y++)
    {
        BYTE* pRow = m_pPixelBits + y * cbRow;
        const BOOL bRead = bRle ? DecodeRleRow(pRow, m_header.wWidth, static_cast<WORD>(m_dwBytesPerPixel)) ==
                                      static_cast<long>(cbRow)
                                : ReadPixels(pRow, m_dwPixelsWide);
        if (!bRead || CheckAbandonAfterRow())
            return FALSE;
    }
    return m_dwPacketLeft == 0;
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
            m_dwPacketLeft = (bPacket & PACKET_COUNT) + 1u;
            m_bPacketIsRun = (bPacket & PACKET_RUN) != 0;
            if (m_bPacketIsRun && !ReadPixel(m_abRunPixel))
                return -1;
        }
        // The part of the packet this row has room for; the rest is left
        // for the next row.
        const DWORD dwRoom = static_cast<DWORD>(pEnd - pOut) / 3;
        const DWORD dwCount = m_dwPacketLeft < dwRoom ? m_dwPacketLeft : dwRoom;
        if (!m_bPacketIsRun && !ReadPixels(pOut, dwCount))
            return -1;
        for (DWORD i = 0; m_bPacketIsRun && i < dwCount; i++)
            std::memcpy(pOut + 3 * i, m_abRunPixel, 3); // a run: its one value, dwCount times
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
    if (ReadHeaderAndTrailer() != 0)
        return FailDecode();
    if (m_header.wWidth == 0 || m_header.wHeight == 0 || !ChoosePixelKind() || !FileHoldsPixelData())
        return FailDecode();
    if (!PrepareBitmapHeader())
        return FailDecode();

    // Height × width rounded up to 4 × 3 bytes: room for the aligned rows.
    DWORD cbPixels = 0;
    if (!MultiplySize(m_dwPixelsHigh, AlignedRowBytes(8, m_dwPixelsWide), &cbPixels) ||
        !MultiplySize(cbPixels, 3, &cbPixels))
        return FailDecode();
    FreeImageBlock(m_pPixelBits);
    m_bRowsAligned = FALSE; // the rows are decoded packed
    m_pPixelBits = static_cast<BYTE*>(AllocImageBlock(cbPixels));
    if (m_pPixelBits == nullptr)
        return FailDecode();

    m_pCurrentFile->Seek(static_cast<LONG>(m_dwImageDataOffset), CFile::begin);
    if (!BeginBufferedIo(IO_BUFFER_BYTES, IO_READ) || !DecodeRows() || !AlignRows())
        return FailDecode();
    EndBufferedIo();
    // Rows stored bottom row first are already in bitmap order.
    if ((m_header.bDescriptor & DESCRIPTOR_TOP_DOWN) && !ReverseRowOrder())
        return FailDecode();
    if ((m_header.bDescriptor & DESCRIPTOR_RIGHT_TO_LEFT) && !MirrorRows())
        return FailDecode();
    return TRUE;
}

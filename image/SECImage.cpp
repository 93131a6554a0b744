#include "SECImage.h"

#include <cstring>
#include <memory>

#include "ImageMemory.h"
#include "SECDib.h"

SECImage::SECImage()
    : m_nPixelDepth(0), m_nScreenDepth(0), m_nScreenPlanes(0), m_bRowsAligned(FALSE), m_dwAlignedWidth(0),
      m_dwPixelsWide(0), m_dwPixelsHigh(0), m_wTableEntries(0), m_nScreenColors(0), m_pImagePalette(nullptr),
      m_pCurrentFile(nullptr), m_pPixelBits(nullptr), m_pInfoHeader(nullptr), m_pColorTable(nullptr),
      m_bHalftoneDraw(FALSE), m_dwIoSize(0), m_dwIoFill(0), m_dwIoPos(0), m_listFileObjects(10),
      m_pIoBuffer(nullptr)
{
    HDC hScreen = ::GetDC(nullptr);
    m_nScreenPlanes = ::GetDeviceCaps(hScreen, PLANES);
    m_nScreenDepth = ::GetDeviceCaps(hScreen, BITSPIXEL);
    ::ReleaseDC(nullptr, hScreen);

    switch (m_nScreenDepth)
    {
    case 1:
        m_nScreenColors = static_cast<short>(m_nScreenPlanes >= 1 && m_nScreenPlanes <= 14 ? 1 << m_nScreenPlanes : 0);
        break;
    case 2: m_nScreenColors = 4; break;
    case 4: m_nScreenColors = 16; break;
    case 8: m_nScreenColors = 256; break;
    default: // a true-colour screen: no palette
        m_nScreenColors = 0;
        m_nScreenDepth = 0;
        break;
    }
}

SECImage::~SECImage()
{
    FreePicture();
    ReleaseFileObjects();
}

// Frees every block and the palette the object owns; the size fields stay.
void SECImage::FreePicture()
{
    FreeImageBlock(m_pInfoHeader);
    m_pInfoHeader = nullptr;
    m_pColorTable = nullptr;
    FreeImageBlock(m_pPixelBits);
    m_pPixelBits = nullptr;
    delete m_pImagePalette;
    m_pImagePalette = nullptr;
    EndBufferedIo();
}

// The check of the load under way, how many rows ago it was asked, and its
// answer once it said yes.
static LOADABANDONPROC s_pfnAbandonCheck;
static DWORD s_dwRowsUnchecked;
static BOOL s_bAbandoned;
// Rows between two checks: a check asks the message queue, a row can be a
// few pixels.
static const DWORD ABANDON_CHECK_ROWS = 16;
// Bytes between two checks of a read of raw rows: smaller pieces make
// the read of a large bitmap measurably slower under Wine.
static const DWORD ABANDON_CHECK_BYTES = 1u << 22;

void SECImage::BeginAbandonCheck(LOADABANDONPROC pfnCheck)
{
    s_pfnAbandonCheck = pfnCheck;
    s_dwRowsUnchecked = 0;
    s_bAbandoned = FALSE;
}

BOOL SECImage::EndAbandonCheck()
{
    const BOOL bAbandoned = s_bAbandoned;
    BeginAbandonCheck(nullptr);
    return bAbandoned;
}

// Asks the check now, unless it has said yes already.
static BOOL CheckAbandonNow()
{
    s_dwRowsUnchecked = 0;
    if (!s_bAbandoned && s_pfnAbandonCheck != nullptr)
        s_bAbandoned = s_pfnAbandonCheck();
    return s_bAbandoned;
}

BOOL SECImage::CheckAbandonAfterRow()
{
    if (s_pfnAbandonCheck == nullptr || ++s_dwRowsUnchecked < ABANDON_CHECK_ROWS)
        return s_bAbandoned;
    return CheckAbandonNow();
}

BOOL SECImage::WasAbandoned()
{
    return s_bAbandoned;
}

DWORD SECImage::ReadFullyAbandonable(CFile* pFile, void* pDst, DWORD dwCount)
{
    BYTE* p = static_cast<BYTE*>(pDst);
    DWORD dwDone = 0;
    while (dwDone < dwCount && !CheckAbandonNow())
    {
        const DWORD dwPiece = dwCount - dwDone < ABANDON_CHECK_BYTES ? dwCount - dwDone : ABANDON_CHECK_BYTES;
        const DWORD dwRead = ReadFully(pFile, p + dwDone, dwPiece);
        dwDone += dwRead;
        if (dwRead < dwPiece)
            break;
    }
    return dwDone;
}

BOOL SECImage::FailDecode()
{
    ReleaseContents();
    ReleaseDecoderBlocks();
    return FALSE;
}

BOOL SECImage::BuildPalette()
{
    if (m_nPixelDepth == 24)
        return TRUE;
    // Deeper and shallower pictures alike lose a palette they had before.
    delete m_pImagePalette;
    m_pImagePalette = nullptr;

    const DWORD cbHeader = ImageBlockSize(m_pInfoHeader);
    if (cbHeader < INFO_HEADER_BYTES)
        return FALSE;
    const DWORD dwUsed = m_pInfoHeader->biClrUsed;
    DWORD dwTotal = dwUsed > m_wTableEntries ? dwUsed : m_wTableEntries;
    if (dwTotal > MAX_PALETTE_ENTRIES)
        dwTotal = MAX_PALETTE_ENTRIES;
    if (dwTotal == 0)
        return FALSE; // no colour table (a 16- or 32-bit picture)

    // The entries the picture names, as far as the header block holds them;
    // the rest of the palette stays black.
    DWORD dwRead = dwUsed != 0 ? dwUsed : m_wTableEntries;
    const DWORD dwHeld = (cbHeader - INFO_HEADER_BYTES) / sizeof(RGBQUAD);
    if (dwRead > dwTotal)
        dwRead = dwTotal;
    if (dwRead > dwHeld)
        dwRead = dwHeld;

    LOGPALETTE* pLogPalette =
        static_cast<LOGPALETTE*>(AllocImageBlock(dwTotal * sizeof(PALETTEENTRY) + sizeof(LOGPALETTE)));
    if (pLogPalette == nullptr)
        return FALSE;
    pLogPalette->palVersion = 0x300;
    pLogPalette->palNumEntries = static_cast<WORD>(dwTotal);
    const RGBQUAD* pTable =
        reinterpret_cast<const RGBQUAD*>(reinterpret_cast<const BYTE*>(m_pInfoHeader) + INFO_HEADER_BYTES);
    for (DWORD i = 0; i < dwRead; i++)
    {
        pLogPalette->palPalEntry[i].peRed = pTable[i].rgbRed;
        pLogPalette->palPalEntry[i].peGreen = pTable[i].rgbGreen;
        pLogPalette->palPalEntry[i].peBlue = pTable[i].rgbBlue;
        pLogPalette->palPalEntry[i].peFlags = 0;
    }

    CPalette* pPalette = new CPalette;
    const BOOL bAttached = pPalette->Attach(::CreatePalette(pLogPalette));
    FreeImageBlock(pLogPalette);
    if (!bAttached)
    {
        delete pPalette;
        return FALSE;
    }
    m_pImagePalette = pPalette;
    return TRUE;
}

// The object's own file object of an earlier path-based load is reopened;
// a file that a caller handed to LoadFromFile is never reopened.
BOOL SECImage::LoadFromPath(const char* pszPath)
{
    CFile* pFile = nullptr;
    for (POSITION pos = m_listFileObjects.GetHeadPosition(); pos != nullptr;)
        pFile = static_cast<CFile*>(m_listFileObjects.GetNext(pos));

    if (pFile != nullptr)
    {
        if (!pFile->Open(pszPath, CFile::modeRead, nullptr))
            return FALSE;
    }
    else
    {
        pFile = new CFile(pszPath, CFile::modeRead); // throws CFileException
        m_listFileObjects.AddTail(pFile);
    }

    BOOL bLoaded;
    try
    {
        bLoaded = LoadFromFile(pFile);
    }
    catch (...)
    {
        pFile->Close();
        throw;
    }
    pFile->Close();
    return bLoaded;
}

BOOL SECImage::LoadFromFile(CFile* pFile)
{
    m_pCurrentFile = pFile;

    // The held picture waits in a holder while the new one is decoded.
    std::unique_ptr<SECDib> pHolder;
    if (m_pPixelBits != nullptr && m_dwPixelsWide != 0 && m_dwPixelsHigh != 0 && m_pInfoHeader != nullptr)
    {
        pHolder.reset(new SECDib);
        pHolder->AdoptContents(*this);
    }

    BOOL bLoaded = FALSE;
    try
    {
        bLoaded = ReleaseContents() && DecodeFromFile(pFile) && CompleteLoad();
    }
    catch (...)
    {
        // A read error: the same as a failed decode, then the error goes on.
        TakeBackPicture(pHolder.get());
        throw;
    }
    if (!bLoaded)
        TakeBackPicture(pHolder.get());
    return bLoaded;
}

// After a failed load: what the decoder left is freed, and the picture held
// before, if any, comes back.
void SECImage::TakeBackPicture(SECDib* pHolder)
{
    ReleaseContents();
    if (pHolder != nullptr)
        AdoptContents(*pHolder);
}

BOOL SECImage::ReleaseContents()
{
    FreePicture();
    m_dwPixelsWide = 0;
    m_dwPixelsHigh = 0;
    m_dwAlignedWidth = 0;
    m_nPixelDepth = 0;
    m_wTableEntries = 0;
    m_bRowsAligned = FALSE;
    return TRUE;
}

BOOL SECImage::CompleteLoad()
{
    // The row services below need a picture; every decoder makes its
    // header block itself.
    if (m_pInfoHeader == nullptr || m_pPixelBits == nullptr || m_dwPixelsWide == 0 || m_dwPixelsHigh == 0)
        return FALSE;

    BuildPalette(); // a picture without a usable colour table has no palette
    if (!AlignRows())
        return FALSE;
    // Decided for each picture: halftone exactly when the depths differ.
    m_bHalftoneDraw = m_nScreenDepth != 0 && m_nScreenDepth != m_nPixelDepth;
    return TRUE;
}

void SECImage::ReleaseFileObjects()
{
    for (POSITION pos = m_listFileObjects.GetHeadPosition(); pos != nullptr;)
    {
        CFile* pFile = static_cast<CFile*>(m_listFileObjects.GetNext(pos));
        if (pFile == m_pCurrentFile)
            m_pCurrentFile = nullptr;
        delete pFile;
    }
    m_listFileObjects.RemoveAll();
}

BOOL SECImage::AdoptContents(SECImage& from)
{
    if (&from == this)
        return TRUE;
    FreePicture();

    m_pPixelBits = from.m_pPixelBits;
    m_pInfoHeader = from.m_pInfoHeader;
    m_pColorTable = m_pInfoHeader != nullptr
                        ? reinterpret_cast<RGBQUAD*>(reinterpret_cast<BYTE*>(m_pInfoHeader) + INFO_HEADER_BYTES)
                        : nullptr;
    m_pImagePalette = from.m_pImagePalette;
    m_dwPixelsWide = from.m_dwPixelsWide;
    m_dwPixelsHigh = from.m_dwPixelsHigh;
    m_dwAlignedWidth = from.m_dwAlignedWidth;
    m_nPixelDepth = from.m_nPixelDepth;
    m_nScreenPlanes = from.m_nScreenPlanes;
    m_wTableEntries = from.m_wTableEntries;
    m_nScreenColors = from.m_nScreenColors;
    m_bRowsAligned = from.m_bRowsAligned;
    m_bHalftoneDraw = from.m_bHalftoneDraw;
    m_dwIoSize = from.m_dwIoSize;
    m_dwIoFill = from.m_dwIoFill;
    m_dwIoPos = from.m_dwIoPos;
    m_pIoBuffer = from.m_pIoBuffer;

    // The other object keeps its sizes but owns nothing any more.
    from.m_pPixelBits = nullptr;
    from.m_pInfoHeader = nullptr;
    from.m_pColorTable = nullptr;
    from.m_pImagePalette = nullptr;
    from.m_pIoBuffer = nullptr;
    from.m_dwIoSize = 0;
    from.m_dwIoFill = 0;
    from.m_dwIoPos = 0;
    return TRUE;
}

int SECImage::DrawStretched(CDC* pDC, int xDst, int yDst, int wDst, int hDst, int xSrc, int ySrc, int wSrc,
                            int hSrc, const void* pBits, const BITMAPINFO* pInfo, UINT uUsage, DWORD dwRop)
{
    if (pBits == nullptr || pInfo == nullptr)
        return 0; // an object without a picture draws nothing
    HDC hDC = pDC != nullptr ? pDC->m_hDC : nullptr;
    if (!m_bHalftoneDraw)
        return ::StretchDIBits(hDC, xDst, yDst, wDst, hDst, xSrc, ySrc, wSrc, hSrc, pBits, pInfo, uUsage, dwRop);

    if (pDC == nullptr)
        return 0;
    CPalette halftone; // deleted when it goes, after it has been deselected
    if (!halftone.Attach(::CreateHalftonePalette(hDC)))
        return 0;
    HPALETTE hOldPalette = pDC->SelectPalette(halftone, FALSE);
    if (hOldPalette == nullptr)
        return 0;
    pDC->RealizePalette();

    int nOldMode = 0;
    if (pDC->m_hAttribDC != nullptr)
    {
        nOldMode = ::GetStretchBltMode(pDC->m_hAttribDC);
        pDC->SetStretchBltMode(HALFTONE);
    }
    const int nLines =
        ::StretchDIBits(hDC, xDst, yDst, wDst, hDst, xSrc, ySrc, wSrc, hSrc, pBits, pInfo, uUsage, dwRop);
    if (nOldMode != 0)
        pDC->SetStretchBltMode(nOldMode);
    pDC->SelectPalette(hOldPalette, FALSE);
    return nLines;
}

DWORD SECImage::PackedRowBytes(DWORD dwBitsPerPixel, DWORD dwWidth)
{
    const ULONGLONG bytes = (static_cast<ULONGLONG>(dwBitsPerPixel) * dwWidth + 7) / 8;
    return bytes > 0xFFFFFFFF ? 0 : static_cast<DWORD>(bytes);
}

DWORD SECImage::AlignedRowBytes(DWORD dwBitsPerPixel, DWORD dwWidth)
{
    const ULONGLONG bytes = (static_cast<ULONGLONG>(dwBitsPerPixel) * dwWidth + 31) / 32 * 4;
    return bytes > 0xFFFFFFFF ? 0 : static_cast<DWORD>(bytes);
}

// TRUE when the object has rows and its pixel block holds all of them at
// dwRowBytes each.
BOOL SECImage::RowsFitBlock(DWORD dwRowBytes) const
{
    DWORD cbRows = 0;
    return m_pPixelBits != nullptr && m_dwPixelsHigh != 0 && dwRowBytes != 0 &&
           MultiplySize(dwRowBytes, m_dwPixelsHigh, &cbRows) && cbRows <= ImageBlockSize(m_pPixelBits);
}

BOOL SECImage::AlignRows()
{
    m_dwAlignedWidth = AlignedRowBytes(8, m_dwPixelsWide);
    if (m_bRowsAligned)
        return TRUE;
    const DWORD dwDepth = static_cast<DWORD>(m_nPixelDepth);
    const size_t cbPacked = PackedRowBytes(dwDepth, m_dwPixelsWide);
    const size_t cbAligned = AlignedRowBytes(dwDepth, m_dwPixelsWide);
    if (cbPacked == 0 || cbAligned == 0)
        return FALSE;
    if (cbPacked == cbAligned)
        return TRUE; // nothing to move; the rows count as packed still
    if (!RowsFitBlock(static_cast<DWORD>(cbAligned)))
        return FALSE;

    // From the last row down, so that no row is overwritten before it moved.
    for (size_t n = m_dwPixelsHigh - 1; n >= 1; n--)
    {
        std::memmove(m_pPixelBits + n * cbAligned, m_pPixelBits + n * cbPacked, cbPacked);
        std::memset(m_pPixelBits + n * cbAligned + cbPacked, 0, cbAligned - cbPacked);
    }
    std::memset(m_pPixelBits + cbPacked, 0, cbAligned - cbPacked);
    m_bRowsAligned = TRUE;
    return TRUE;
}

BOOL SECImage::ReverseRowOrder()
{
    if (!m_bRowsAligned && !AlignRows())
        return FALSE;
    const size_t cbRow = AlignedRowBytes(static_cast<DWORD>(m_nPixelDepth), m_dwPixelsWide);
    if (!RowsFitBlock(static_cast<DWORD>(cbRow)))
        return FALSE;
    if (m_dwPixelsHigh == 1)
        return TRUE;

    BYTE* pTemp = static_cast<BYTE*>(AllocImageBlock(static_cast<DWORD>(cbRow)));
    if (pTemp == nullptr)
        return FALSE;
    for (size_t i = 0, j = m_dwPixelsHigh - 1; i < j; i++, j--)
    {
        std::memcpy(pTemp, m_pPixelBits + i * cbRow, cbRow);
        std::memcpy(m_pPixelBits + i * cbRow, m_pPixelBits + j * cbRow, cbRow);
        std::memcpy(m_pPixelBits + j * cbRow, pTemp, cbRow);
    }
    FreeImageBlock(pTemp);
    return TRUE;
}

BOOL SECImage::MirrorRows()
{
    if (!m_bRowsAligned && !AlignRows())
        return FALSE;
    const DWORD dwDepth = static_cast<DWORD>(m_nPixelDepth);
    const size_t cbRow = AlignedRowBytes(dwDepth, m_dwPixelsWide);
    if (!RowsFitBlock(static_cast<DWORD>(cbRow)))
        return FALSE;
    if (dwDepth == 1 || dwDepth == 4)
        return MirrorPackedRows(dwDepth, static_cast<DWORD>(cbRow));
    if (dwDepth == 0 || dwDepth % 8 != 0)
        return FALSE;

    const size_t nWidth = m_dwPixelsWide;
    const size_t k = dwDepth / 8;
    for (size_t r = 0; r < m_dwPixelsHigh; r++)
    {
        BYTE* pRow = m_pPixelBits + r * cbRow;
        for (size_t left = 0, right = nWidth - 1; left < right; left++, right--)
            for (size_t b = 0; b < k; b++)
            {
                const BYTE t = pRow[left * k + b];
                pRow[left * k + b] = pRow[right * k + b];
                pRow[right * k + b] = t;
            }
    }
    return TRUE;
}

// MirrorRows for pixels packed most significant bits first: pixel x of a
// row sits in byte x * depth / 8 at the shift below. Each row is rebuilt in
// a zeroed temporary row, so its spare low bits and padding end up 0.
BOOL SECImage::MirrorPackedRows(DWORD dwDepth, DWORD cbRow)
{
    BYTE* pTemp = static_cast<BYTE*>(AllocImageBlock(cbRow));
    if (pTemp == nullptr)
        return FALSE;
    const size_t nWidth = m_dwPixelsWide;
    const unsigned nPerByte = 8 / dwDepth;
    const BYTE mask = static_cast<BYTE>((1u << dwDepth) - 1);
    for (size_t r = 0; r < m_dwPixelsHigh; r++)
    {
        BYTE* pRow = m_pPixelBits + r * cbRow;
        std::memset(pTemp, 0, cbRow);
        for (size_t x = 0; x < nWidth; x++)
        {
            const size_t src = nWidth - 1 - x;
            const unsigned srcShift = 8 - dwDepth * (1 + src % nPerByte);
            const unsigned dstShift = 8 - dwDepth * (1 + x % nPerByte);
            const BYTE value = static_cast<BYTE>((pRow[src / nPerByte] >> srcShift) & mask);
            pTemp[x / nPerByte] = static_cast<BYTE>(pTemp[x / nPerByte] | (value << dstShift));
        }
        std::memcpy(pRow, pTemp, cbRow);
    }
    FreeImageBlock(pTemp);
    return TRUE;
}

WORD SECImage::ColorTableSize() const
{
    if (m_pInfoHeader == nullptr)
        return 0;
    switch (m_pInfoHeader->biBitCount)
    {
    case 1: return 2;
    case 4: return 16;
    case 8: return 256;
    default: return 0;
    }
}

void SECImage::SetPixelSize(DWORD dwWidth, DWORD dwHeight)
{
    m_dwPixelsWide = dwWidth;
    m_dwPixelsHigh = dwHeight;
    m_dwAlignedWidth = AlignedRowBytes(8, dwWidth);
    if (m_pInfoHeader == nullptr)
        return;
    m_pInfoHeader->biWidth = static_cast<LONG>(dwWidth);
    m_pInfoHeader->biHeight = static_cast<LONG>(dwHeight); // positive: bottom row first
}

BOOL SECImage::AllocInfoHeader(DWORD cbTable)
{
    FreeImageBlock(m_pInfoHeader);
    m_pColorTable = nullptr;
    DWORD cbHeader = 0;
    m_pInfoHeader = AddSize(INFO_HEADER_BYTES, cbTable, &cbHeader)
                        ? static_cast<BITMAPINFOHEADER*>(AllocImageBlock(cbHeader))
                        : nullptr;
    if (m_pInfoHeader == nullptr)
        return FALSE;
    m_pColorTable = reinterpret_cast<RGBQUAD*>(reinterpret_cast<BYTE*>(m_pInfoHeader) + INFO_HEADER_BYTES);
    m_pInfoHeader->biSize = INFO_HEADER_BYTES;
    SetPixelSize(m_dwPixelsWide, m_dwPixelsHigh);
    m_pInfoHeader->biPlanes = 1;
    m_pInfoHeader->biBitCount = static_cast<WORD>(m_nPixelDepth);
    m_pInfoHeader->biCompression = BI_RGB;
    return TRUE;
}

void SECImage::FillGreyRamp()
{
    for (DWORD i = 0; i < m_wTableEntries; i++)
    {
        m_pColorTable[i].rgbRed = m_pColorTable[i].rgbGreen = m_pColorTable[i].rgbBlue = static_cast<BYTE>(i);
        m_pColorTable[i].rgbReserved = 0;
    }
}

BOOL SECImage::BeginBufferedIo(DWORD dwSize, WORD wMode)
{
    EndBufferedIo();
    if (m_pCurrentFile == nullptr)
        return FALSE;
    m_pIoBuffer = static_cast<BYTE*>(AllocImageBlock(dwSize));
    if (m_pIoBuffer == nullptr)
        return FALSE;
    m_dwIoSize = dwSize;
    m_dwIoFill = 0;
    m_dwIoPos = 0;
    if (wMode == IO_READ)
        RefillReadBuffer();
    return TRUE;
}

DWORD SECImage::RefillReadBuffer()
{
    m_dwIoPos = 0;
    m_dwIoFill = 0;
    if (m_pIoBuffer == nullptr || m_pCurrentFile == nullptr)
        return 0;
    m_dwIoFill = m_pCurrentFile->Read(m_pIoBuffer, m_dwIoSize);
    if (m_dwIoFill > m_dwIoSize)
        m_dwIoFill = m_dwIoSize;
    return m_dwIoFill;
}

DWORD SECImage::ReadFully(CFile* pFile, void* pDst, DWORD dwCount)
{
    BYTE* p = static_cast<BYTE*>(pDst);
    DWORD dwDone = 0;
    while (dwDone < dwCount)
    {
        const UINT nRead = pFile->Read(p + dwDone, dwCount - dwDone);
        if (nRead == 0 || nRead > dwCount - dwDone)
            break;
        dwDone += nRead;
    }
    return dwDone;
}

// ReadBuffered's general case. The buffer is refilled as soon as its last
// byte has gone out; at the end of the file the refill finds nothing and the
// count comes back short.
DWORD SECImage::ReadBufferedFromFile(void* pDst, DWORD dwCount)
{
    if (m_pCurrentFile == nullptr)
        return 0;
    if (m_dwIoSize == 0 || m_pIoBuffer == nullptr)
        return m_pCurrentFile->Read(pDst, dwCount);

    BYTE* pOut = static_cast<BYTE*>(pDst);
    DWORD dwDone = 0;
    while (dwDone < dwCount)
    {
        if (m_dwIoPos >= m_dwIoFill && RefillReadBuffer() == 0)
            break;
        DWORD dwChunk = m_dwIoFill - m_dwIoPos;
        if (dwChunk > dwCount - dwDone)
            dwChunk = dwCount - dwDone;
        std::memcpy(pOut + dwDone, m_pIoBuffer + m_dwIoPos, dwChunk);
        m_dwIoPos += dwChunk;
        dwDone += dwChunk;
        if (m_dwIoPos >= m_dwIoFill)
            RefillReadBuffer();
    }
    return dwDone;
}

void SECImage::EndBufferedIo()
{
    FreeImageBlock(m_pIoBuffer);
    m_pIoBuffer = nullptr;
    m_dwIoSize = 0;
    m_dwIoFill = 0;
    m_dwIoPos = 0;
}

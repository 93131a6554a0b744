// The area-averaging shrink, in whole numbers only.
//
// Along each direction a source pixel i covers [P(i), P(i+1)) of the output
// in units of 1/65536 of an output pixel, P(i) = i * out * 65536 / in
// rounded; output pixel x covers [x * 65536, (x + 1) * 65536). As the
// output is no longer than the source, a source pixel is at most one output
// pixel long and touches at most two of them; the weights of one output
// pixel add up to exactly 65536. Each source row is first summed across
// (at most 255 * 65536, 24 bits, kept with 8 bits of fraction), then added
// into the output row it falls in with its weight down (at most
// 65280 * 65536, just under 32 bits). Rows are taken in the order they
// come (a picture's stored order, or a decoder's top row first): the box
// filter is the same read from either end. 16-bit and bit-field pixels are
// widened to 24 bits one row at a time on their way in, so that the only
// block of the source's width is that one row.
#include "Shrink.h"

#include <cstring>

#include "FieldReader.h"
#include "ImageMemory.h"
#include "SECDib.h"

// Where one source pixel's weight goes: wFirst to output pixel dwTarget,
// wNext to the one after it; bEnds when dwTarget ends inside or at the end
// of this source pixel.
struct ShrinkSpan
{
    DWORD dwTarget;
    DWORD wFirst;
    DWORD wNext;
    BOOL bEnds;
};

namespace
{
const DWORD ONE = 0x10000;           // a whole output pixel, in weight units
const DWORD MAX_SHRUNK_SIDE = 0xFFFF; // keeps out * ONE within 32 bits

// Returns how many source pixels carry weight: those up to the one that ends
// the last output pixel (the rest have none).
DWORD MapSpans(DWORD dwIn, DWORD dwOut, ShrinkSpan* pSpans)
{
    DWORD dwStart = 0, dwWeighted = dwIn;
    for (DWORD i = 0; i < dwIn; i++)
    {
        const DWORD dwEnd = static_cast<DWORD>(
            ((static_cast<unsigned long long>(i) + 1) * dwOut * ONE + dwIn / 2) / dwIn);
        ShrinkSpan& span = pSpans[i];
        // A source far more than 65536 times longer has pixels of no
        // weight; one at the very end belongs to the last output pixel.
        span.dwTarget = dwStart / ONE < dwOut ? dwStart / ONE : dwOut - 1;
        const DWORD dwBoundary = (span.dwTarget + 1) * ONE;
        span.wFirst = (dwEnd < dwBoundary ? dwEnd : dwBoundary) - dwStart;
        span.wNext = dwEnd > dwBoundary ? dwEnd - dwBoundary : 0;
        span.bEnds = dwStart < dwBoundary && dwEnd >= dwBoundary;
        if (span.bEnds && span.dwTarget == dwOut - 1 && dwWeighted == dwIn)
            dwWeighted = i + 1;
        dwStart = dwEnd;
    }
    return dwWeighted;
}

// Sums one source row across into pAcross (dwOut pixels of N channels).
// Each output pixel is gathered in registers and stored as it grows (the
// last store is the whole sum), so that nothing needs clearing first. Made
// for each pixel size, so that the channel loop unrolls: this is the loop
// over every source pixel.
template <DWORD N> void SumAcross(const BYTE* pIn, const ShrinkSpan* pColumns, DWORD dwIn, DWORD* pAcross)
{
    DWORD sum[N] = {};
    for (DWORD i = 0; i < dwIn; i++, pIn += N)
    {
        const ShrinkSpan& span = pColumns[i];
        DWORD* pTarget = pAcross + span.dwTarget * N;
        for (DWORD c = 0; c < N; c++)
        {
            const DWORD total = sum[c] + pIn[c] * span.wFirst;
            pTarget[c] = total;
            sum[c] = span.bEnds ? pIn[c] * span.wNext : total;
        }
    }
}

// The summed row loses all but 8 bits of its 16-bit fraction, so that an
// output row's total stays within 32 bits.
inline DWORD Rounded(DWORD dwAcross)
{
    return (dwAcross + 0x80) >> 8;
}

// Adds the summed row with weight w into the output row being gathered.
void AddDown(const DWORD* pAcross, DWORD w, DWORD cValues, DWORD* pDown)
{
    for (DWORD i = 0; i < cValues; i++)
        pDown[i] += w * Rounded(pAcross[i]);
}

// Completes the output row with wFirst of the summed row, rounded into
// bytes, and starts the next one with its wNext: one pass.
void EmitRow(const DWORD* pAcross, DWORD wFirst, DWORD wNext, DWORD cValues, DWORD* pDown, BYTE* pOut)
{
    for (DWORD i = 0; i < cValues; i++)
    {
        const DWORD dwValue = Rounded(pAcross[i]);
        pOut[i] = static_cast<BYTE>((pDown[i] + wFirst * dwValue + 0x800000) >> 24);
        pDown[i] = wNext * dwValue;
    }
}

// One colour channel of 16- or 32-bit pixels, read from its mask as GDI
// reads it: the mask's lowest run of set bits, of which at most the top 8
// count. Their value is widened to a byte by repeating its bits ((v << 3) |
// (v >> 2) for 5 bits), so that the largest value is 255; a zero mask gives
// 0.
struct MaskedChannel
{
    DWORD dwShift;
    DWORD dwMask; // after the shift
    BYTE value[256];
};

void MapChannel(DWORD dwMask, MaskedChannel& channel)
{
    int nShift = 0, nBits = 0;
    while (nShift < 32 && (dwMask >> nShift & 1) == 0)
        nShift++;
    while (nShift + nBits < 32 && (dwMask >> (nShift + nBits) & 1) != 0)
        nBits++;
    if (nBits > 8)
    {
        nShift += nBits - 8;
        nBits = 8;
    }
    channel.dwShift = nBits != 0 ? static_cast<DWORD>(nShift) : 0;
    channel.dwMask = (1u << nBits) - 1;
    for (DWORD v = 0; v <= channel.dwMask; v++)
    {
        DWORD dwWide = 0;
        for (int nAt = 8 - nBits; nBits != 0 && nAt > -nBits; nAt -= nBits)
            dwWide |= nAt >= 0 ? v << nAt : v >> -nAt;
        channel.value[v] = static_cast<BYTE>(dwWide);
    }
}

// Blue, green and red of a 16- or 32-bit picture: from the masks after its
// header for BI_BITFIELDS, 5 bits each for 16-bit BI_RGB.
void MapChannels(const SECImage& image, MaskedChannel (&channels)[3])
{
    DWORD masks[3] = { 0x7C00, 0x03E0, 0x001F }; // red, green, blue
    if (image.m_pInfoHeader->biCompression == BI_BITFIELDS)
    {
        FieldReader in(reinterpret_cast<const BYTE*>(image.m_pInfoHeader), ImageBlockSize(image.m_pInfoHeader));
        in.Seek(INFO_HEADER_BYTES);
        for (DWORD& dwMask : masks)
            dwMask = in.Dword();
    }
    for (DWORD i = 0; i < 3; i++)
        MapChannel(masks[2 - i], channels[i]);
}

// One row of cbPixel-byte pixels as blue, green and red bytes.
void WidenRow(const BYTE* pIn, DWORD dwWidth, DWORD cbPixel, const MaskedChannel (&channels)[3], BYTE* pOut)
{
    for (DWORD x = 0; x < dwWidth; x++, pIn += cbPixel, pOut += 3)
    {
        DWORD dwPixel = pIn[0] | static_cast<DWORD>(pIn[1]) << 8; // little-endian
        if (cbPixel == 4)
            dwPixel |= static_cast<DWORD>(pIn[2]) << 16 | static_cast<DWORD>(pIn[3]) << 24;
        for (DWORD c = 0; c < 3; c++)
            pOut[c] = channels[c].value[dwPixel >> channels[c].dwShift & channels[c].dwMask];
    }
}

// Whether a picture ShrinkPicture takes is widened to 24 bits first.
bool IsWidened(const SECImage& image)
{
    return image.m_nPixelDepth == 16 || image.m_pInfoHeader->biCompression == BI_BITFIELDS;
}

// Feeds every source row to the average, a widened one through pWideRow
// (null when the rows go in as they are).
void AverageRows(const SECImage& source, void* pWork, DWORD dwWidth, DWORD dwHeight, BYTE* pWideRow, BYTE* pOut,
                 DWORD cbOutRow)
{
    const DWORD dwInWidth = source.PixelWidth(), dwInHeight = source.PixelHeight();
    const DWORD cbPixel = static_cast<DWORD>(source.m_nPixelDepth) / 8;
    const size_t cbInRow = SECImage::AlignedRowBytes(cbPixel * 8, dwInWidth);
    MaskedChannel channels[3] = {};
    if (pWideRow != nullptr)
        MapChannels(source, channels);
    RowAverager averager;
    averager.Begin(pWork, dwInWidth, dwInHeight, dwWidth, dwHeight, pWideRow != nullptr ? 3 : cbPixel, pOut,
                   cbOutRow);
    for (DWORD y = 0; y < dwInHeight; y++)
    {
        const BYTE* pRow = source.m_pPixelBits + y * cbInRow;
        if (pWideRow != nullptr)
        {
            WidenRow(pRow, dwInWidth, cbPixel, channels, pWideRow);
            pRow = pWideRow;
        }
        averager.AddRow(pRow);
    }
}
} // namespace

DWORD RowAverager::WorkBytes(DWORD dwInWidth, DWORD dwInHeight, DWORD dwOutWidth, DWORD dwOutHeight, DWORD nChannels)
{
    if (dwOutWidth == 0 || dwOutHeight == 0 || dwOutWidth > dwInWidth || dwOutHeight > dwInHeight ||
        dwOutWidth > MAX_SHRUNK_SIDE || dwOutHeight > MAX_SHRUNK_SIDE || (nChannels != 3 && nChannels != 4))
        return 0;
    // The output sides are below 65536, so cValues cannot overflow; the
    // sums of the block sizes are checked.
    const DWORD cValues = dwOutWidth * nChannels;
    DWORD cbColumns = 0, cbRows = 0;
    if (!MultiplySize(dwInWidth, sizeof(ShrinkSpan), &cbColumns) ||
        !MultiplySize(dwInHeight, sizeof(ShrinkSpan), &cbRows) || cbColumns + cbRows < cbColumns)
        return 0;
    const DWORD cbRowSums = 2 * cValues * sizeof(DWORD);
    return cbColumns + cbRows + cbRowSums < cbRowSums ? 0 : cbColumns + cbRows + cbRowSums;
}

void RowAverager::Begin(void* pWork, DWORD dwInWidth, DWORD dwInHeight, DWORD dwOutWidth, DWORD dwOutHeight,
                        DWORD nChannels, BYTE* pOut, DWORD cbOutRow)
{
    m_dwInHeight = dwInHeight;
    m_nChannels = nChannels;
    m_cValues = dwOutWidth * nChannels;
    m_dwNextRow = 0;
    m_cbOutRow = cbOutRow;
    m_pColumns = static_cast<ShrinkSpan*>(pWork);
    m_pRows = m_pColumns + dwInWidth;
    m_pAcross = reinterpret_cast<DWORD*>(m_pRows + dwInHeight);
    m_pDown = m_pAcross + m_cValues;
    m_pOut = pOut;
    // Columns past the weighted ones are not summed: they would store their
    // sum of nothing over the last output pixel's.
    m_dwWeightedColumns = MapSpans(dwInWidth, dwOutWidth, m_pColumns);
    MapSpans(dwInHeight, dwOutHeight, m_pRows);
    std::memset(m_pDown, 0, m_cValues * sizeof(DWORD));
}

// Each source row goes into the output row it starts in and, when it
// reaches past that row's end, the rest of it into the next.
void RowAverager::AddRow(const BYTE* pIn)
{
    if (m_dwNextRow >= m_dwInHeight)
        return;
    const ShrinkSpan& span = m_pRows[m_dwNextRow++];
    if (m_nChannels == 3)
        SumAcross<3>(pIn, m_pColumns, m_dwWeightedColumns, m_pAcross);
    else
        SumAcross<4>(pIn, m_pColumns, m_dwWeightedColumns, m_pAcross);
    if (span.bEnds)
        EmitRow(m_pAcross, span.wFirst, span.wNext, m_cValues, m_pDown,
                m_pOut + static_cast<size_t>(span.dwTarget) * m_cbOutRow);
    else
        AddDown(m_pAcross, span.wFirst, m_cValues, m_pDown);
}

BOOL CanShrinkPicture(const SECImage& image)
{
    const BITMAPINFOHEADER* pHeader = image.m_pInfoHeader;
    const DWORD dwDepth = static_cast<DWORD>(image.m_nPixelDepth);
    if (pHeader == nullptr || pHeader->biBitCount != dwDepth)
        return FALSE;
    const bool bKnown = pHeader->biCompression == BI_RGB
                            ? dwDepth == 16 || dwDepth == 24 || dwDepth == 32
                            : pHeader->biCompression == BI_BITFIELDS && (dwDepth == 16 || dwDepth == 32) &&
                                  ImageBlockSize(pHeader) >= INFO_HEADER_BYTES + 3 * sizeof(DWORD);
    const DWORD cbRow = SECImage::AlignedRowBytes(dwDepth, image.PixelWidth());
    const BOOL bAligned = image.m_bRowsAligned || cbRow == SECImage::PackedRowBytes(dwDepth, image.PixelWidth());
    DWORD cbRows = 0;
    return bKnown && bAligned && cbRow != 0 && image.PixelHeight() != 0 && image.m_pPixelBits != nullptr &&
           MultiplySize(cbRow, image.PixelHeight(), &cbRows) && cbRows <= ImageBlockSize(image.m_pPixelBits);
}

BOOL ShrinkPictureInto(const SECImage& source, SECImage& target, DWORD dwWidth, DWORD dwHeight)
{
    if (!CanShrinkPicture(source))
        return FALSE;
    const DWORD dwInWidth = source.PixelWidth();
    const bool bWiden = IsWidened(source);
    const DWORD dwDepth = bWiden ? 24 : static_cast<DWORD>(source.m_nPixelDepth);
    const DWORD cbWork = RowAverager::WorkBytes(dwInWidth, source.PixelHeight(), dwWidth, dwHeight, dwDepth / 8);
    const DWORD cbWideRow = bWiden ? SECImage::AlignedRowBytes(24, dwInWidth) : 0;
    const DWORD cbOutRow = SECImage::AlignedRowBytes(dwDepth, dwWidth);
    DWORD cbOut = 0;
    if (cbWork == 0 || (bWiden && cbWideRow == 0) || !MultiplySize(cbOutRow, dwHeight, &cbOut))
        return FALSE;

    // The average is made in an object of its own: the target, which may be
    // the source, changes only once it is complete.
    SECDib average;
    average.m_nPixelDepth = static_cast<int>(dwDepth);
    average.SetPixelSize(dwWidth, dwHeight);
    average.m_pPixelBits = static_cast<BYTE*>(AllocImageBlock(cbOut));
    void* pWork = AllocImageBlock(cbWork);
    BYTE* pWideRow = bWiden ? static_cast<BYTE*>(AllocImageBlock(cbWideRow)) : nullptr;
    const bool bHave = average.AllocInfoHeader(0) && average.m_pPixelBits != nullptr && pWork != nullptr &&
                       (!bWiden || pWideRow != nullptr);
    if (bHave)
        AverageRows(source, pWork, dwWidth, dwHeight, pWideRow, average.m_pPixelBits, cbOutRow);
    FreeImageBlock(pWork);
    FreeImageBlock(pWideRow);
    if (!bHave)
        return FALSE;

    average.m_pInfoHeader->biSizeImage = cbOut;
    average.m_bRowsAligned = TRUE;
    average.m_bHalftoneDraw = source.m_bHalftoneDraw;
    average.m_nScreenPlanes = target.m_nScreenPlanes; // the target's screen stays
    average.m_nScreenColors = target.m_nScreenColors;
    target.AdoptContents(average);
    return TRUE;
}

BOOL ShrinkPicture(SECImage& image, DWORD dwWidth, DWORD dwHeight)
{
    return ShrinkPictureInto(image, image, dwWidth, dwHeight);
}

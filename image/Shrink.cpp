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
// 65280 * 65536, just under 32 bits). Rows are taken in the order they are
// stored: the box filter is the same read from either end.
#include "Shrink.h"

#include <cstring>

#include "ImageMemory.h"

namespace
{
const DWORD ONE = 0x10000;           // a whole output pixel, in weight units
const DWORD MAX_SHRUNK_SIDE = 0xFFFF; // keeps out * ONE within 32 bits

// Where one source pixel's weight goes: wFirst to output pixel dwTarget,
// wNext to the one after it; bEnds when dwTarget ends inside or at the end
// of this source pixel.
struct Span
{
    DWORD dwTarget;
    DWORD wFirst;
    DWORD wNext;
    BOOL bEnds;
};

void MapSpans(DWORD dwIn, DWORD dwOut, Span* pSpans)
{
    DWORD dwStart = 0;
    for (DWORD i = 0; i < dwIn; i++)
    {
        const DWORD dwEnd = static_cast<DWORD>(
            ((static_cast<unsigned long long>(i) + 1) * dwOut * ONE + dwIn / 2) / dwIn);
        Span& span = pSpans[i];
        // A source far more than 65536 times longer has pixels of no
        // weight; one at the very end belongs to the last output pixel.
        span.dwTarget = dwStart / ONE < dwOut ? dwStart / ONE : dwOut - 1;
        const DWORD dwBoundary = (span.dwTarget + 1) * ONE;
        span.wFirst = (dwEnd < dwBoundary ? dwEnd : dwBoundary) - dwStart;
        span.wNext = dwEnd > dwBoundary ? dwEnd - dwBoundary : 0;
        span.bEnds = dwStart < dwBoundary && dwEnd >= dwBoundary;
        dwStart = dwEnd;
    }
}

// The blocks of one shrink, freed together.
struct ShrinkBlocks
{
    Span* pColumns = nullptr;
    Span* pRows = nullptr;
    DWORD* pAcross = nullptr; // one source row summed across, 8 bits of fraction
    DWORD* pDown = nullptr;   // the output row being gathered
    ~ShrinkBlocks()
    {
        FreeImageBlock(pColumns);
        FreeImageBlock(pRows);
        FreeImageBlock(pAcross);
        FreeImageBlock(pDown);
    }
};

// Sums one source row across into pAcross (dwOut + 1 pixels of N channels,
// zeroed by the caller). Made for each pixel size, so that the channel loop
// unrolls: this is the loop over every source pixel.
template <DWORD N> void SumAcross(const BYTE* pIn, const Span* pColumns, DWORD dwIn, DWORD* pAcross)
{
    for (DWORD i = 0; i < dwIn; i++, pIn += N)
    {
        const Span& span = pColumns[i];
        DWORD* pFirst = pAcross + span.dwTarget * N;
        for (DWORD c = 0; c < N; c++)
            pFirst[c] += pIn[c] * span.wFirst;
        if (span.wNext != 0)
            for (DWORD c = 0; c < N; c++)
                pFirst[N + c] += pIn[c] * span.wNext;
    }
}

// Adds the summed row with weight w into pDown; the sums lose all but 8
// bits of their 16-bit fraction, so that the total stays within 32 bits.
void AddDown(const DWORD* pAcross, DWORD w, DWORD cValues, DWORD* pDown)
{
    for (DWORD i = 0; i < cValues; i++)
        pDown[i] += w * ((pAcross[i] + 0x80) >> 8);
}

// A gathered output row into bytes, rounded; the row starts again from 0.
void EmitRow(DWORD* pDown, DWORD cValues, BYTE* pOut)
{
    for (DWORD i = 0; i < cValues; i++)
        pOut[i] = static_cast<BYTE>((pDown[i] + 0x800000) >> 24);
    std::memset(pDown, 0, cValues * sizeof(DWORD));
}
} // namespace

BOOL CanShrinkPicture(const SECImage& image)
{
    const BITMAPINFOHEADER* pHeader = image.m_pInfoHeader;
    if (pHeader == nullptr || pHeader->biCompression != BI_RGB ||
        (image.m_nPixelDepth != 24 && image.m_nPixelDepth != 32) || pHeader->biBitCount != image.m_nPixelDepth)
        return FALSE;
    const DWORD dwDepth = static_cast<DWORD>(image.m_nPixelDepth);
    const DWORD cbRow = SECImage::AlignedRowBytes(dwDepth, image.PixelWidth());
    const BOOL bAligned = image.m_bRowsAligned || cbRow == SECImage::PackedRowBytes(dwDepth, image.PixelWidth());
    DWORD cbRows = 0;
    return bAligned && cbRow != 0 && image.PixelHeight() != 0 && image.m_pPixelBits != nullptr &&
           MultiplySize(cbRow, image.PixelHeight(), &cbRows) && cbRows <= ImageBlockSize(image.m_pPixelBits);
}

BOOL ShrinkPicture(SECImage& image, DWORD dwWidth, DWORD dwHeight)
{
    const DWORD dwInWidth = image.PixelWidth(), dwInHeight = image.PixelHeight();
    if (!CanShrinkPicture(image) || dwWidth == 0 || dwHeight == 0 || dwWidth > dwInWidth ||
        dwHeight > dwInHeight || dwWidth > MAX_SHRUNK_SIDE || dwHeight > MAX_SHRUNK_SIDE)
        return FALSE;
    const DWORD dwDepth = static_cast<DWORD>(image.m_nPixelDepth);
    const DWORD nChannels = dwDepth / 8;
    const DWORD cbInRow = SECImage::AlignedRowBytes(dwDepth, dwInWidth);
    const DWORD cbOutRow = SECImage::AlignedRowBytes(dwDepth, dwWidth);
    const DWORD cValues = dwWidth * nChannels; // no overflow: both are small
    DWORD cbColumns = 0, cbRows = 0, cbOut = 0;
    if (!MultiplySize(dwInWidth, sizeof(Span), &cbColumns) || !MultiplySize(dwInHeight, sizeof(Span), &cbRows) ||
        !MultiplySize(cbOutRow, dwHeight, &cbOut))
        return FALSE;

    ShrinkBlocks blocks;
    blocks.pColumns = static_cast<Span*>(AllocImageBlock(cbColumns));
    blocks.pRows = static_cast<Span*>(AllocImageBlock(cbRows));
    blocks.pAcross = static_cast<DWORD*>(AllocImageBlock((cValues + nChannels) * sizeof(DWORD)));
    blocks.pDown = static_cast<DWORD*>(AllocImageBlock(cValues * sizeof(DWORD)));
    BYTE* pOut = static_cast<BYTE*>(AllocImageBlock(cbOut));
    if (blocks.pColumns == nullptr || blocks.pRows == nullptr || blocks.pAcross == nullptr ||
        blocks.pDown == nullptr || pOut == nullptr)
    {
        FreeImageBlock(pOut);
        return FALSE;
    }
    MapSpans(dwInWidth, dwWidth, blocks.pColumns);
    MapSpans(dwInHeight, dwHeight, blocks.pRows);

    // Each source row goes into the output row it starts in and, when it
    // reaches past that row's end, the rest of it into the next.
    for (DWORD y = 0; y < dwInHeight; y++)
    {
        const Span& span = blocks.pRows[y];
        std::memset(blocks.pAcross, 0, (cValues + nChannels) * sizeof(DWORD));
        const BYTE* pIn = image.m_pPixelBits + static_cast<size_t>(y) * cbInRow;
        if (nChannels == 3)
            SumAcross<3>(pIn, blocks.pColumns, dwInWidth, blocks.pAcross);
        else
            SumAcross<4>(pIn, blocks.pColumns, dwInWidth, blocks.pAcross);
        AddDown(blocks.pAcross, span.wFirst, cValues, blocks.pDown);
        if (span.bEnds)
        {
            EmitRow(blocks.pDown, cValues, pOut + static_cast<size_t>(span.dwTarget) * cbOutRow);
            if (span.wNext != 0)
                AddDown(blocks.pAcross, span.wNext, cValues, blocks.pDown);
        }
    }

    FreeImageBlock(image.m_pPixelBits);
    image.m_pPixelBits = pOut;
    image.m_dwPixelsWide = dwWidth;
    image.m_dwPixelsHigh = dwHeight;
    image.m_dwAlignedWidth = SECImage::AlignedRowBytes(8, dwWidth);
    image.m_bRowsAligned = TRUE;
    image.m_pInfoHeader->biWidth = static_cast<LONG>(dwWidth);
    image.m_pInfoHeader->biHeight = static_cast<LONG>(dwHeight);
    image.m_pInfoHeader->biSizeImage = cbOut;
    return TRUE;
}

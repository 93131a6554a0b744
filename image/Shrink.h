// Shrinking a colour picture by area averaging: every pixel of the smaller
// picture is the mean of the part of the source it covers, each source
// pixel weighted by the share of it that falls inside (an exact box
// filter). A stretching draw samples instead and turns fine detail into
// aliasing and moire; doing it here also gives the same pixels on every
// Windows version and on Wine.
#pragma once

#include "SECImage.h"

// Where one source pixel's weight goes (Shrink.cpp).
struct ShrinkSpan;

// One shrink that takes its source one row at a time, in order, so that a
// decoder can average its rows as it delivers them. Its working memory is
// the caller's (WorkBytes of it), so that it needs no clean-up of its own.
class RowAverager
{
public:
    // Bytes of working memory for a shrink of a dwInWidth x dwInHeight
    // source of nChannels (3 or 4) bytes a pixel to dwOutWidth x
    // dwOutHeight; 0 when it cannot be shrunk to that size (each side at
    // most the source's, neither 0 nor above 65535).
    static DWORD WorkBytes(DWORD dwInWidth, DWORD dwInHeight, DWORD dwOutWidth, DWORD dwOutHeight, DWORD nChannels);

    // Starts the shrink into pOut, dwOutHeight rows of cbOutRow bytes in the
    // order the source rows come; pWork holds WorkBytes bytes.
    void Begin(void* pWork, DWORD dwInWidth, DWORD dwInHeight, DWORD dwOutWidth, DWORD dwOutHeight,
               DWORD nChannels, BYTE* pOut, DWORD cbOutRow);
    // Takes the next source row (dwInWidth pixels); past the last one, nothing.
    void AddRow(const BYTE* pIn);

private:
    DWORD m_dwWeightedColumns, m_dwInHeight, m_nChannels, m_cValues, m_dwNextRow, m_cbOutRow;
    ShrinkSpan* m_pColumns;
    ShrinkSpan* m_pRows;
    DWORD* m_pAcross; // one source row summed across, 16 bits of fraction
    DWORD* m_pDown;   // the output row being gathered
    BYTE* m_pOut;
};

// Whether ShrinkPicture takes the picture: 24- or 32-bit BI_RGB, 16-bit
// BI_RGB (5 bits a channel) or 16- or 32-bit BI_BITFIELDS with its masks in
// the header block; rows 4-byte aligned, all of them inside the pixel block.
BOOL CanShrinkPicture(const SECImage& image);

// Makes target the dwWidth x dwHeight average of source (each side at most
// the source's, neither 0 nor above 65535), with header and pixel blocks of
// its own: 24- or 32-bit BI_RGB as the source, 24-bit BI_RGB from 16-bit
// and bit-field pixels, which are widened a row at a time as they are
// averaged. target may be source itself. FALSE, with target unchanged, when
// the source cannot be shrunk to that size or the memory cannot be had.
BOOL ShrinkPictureInto(const SECImage& source, SECImage& target, DWORD dwWidth, DWORD dwHeight);

// Replaces the picture with its dwWidth x dwHeight average, as above.
BOOL ShrinkPicture(SECImage& image, DWORD dwWidth, DWORD dwHeight);

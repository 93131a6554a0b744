// SECJpeg: a JPEG file into the SECImage picture.
//
// One read: an error manager and a decompression object on the stack, the
// file source on the open file, the header, the picture's blocks sized from
// it, the decompression parameters, then one scan line at a time through a
// one-row buffer into the pixel block, top row first and packed (or
// averaged into it down to the size drawn, Shrink.cpp); the colour
// table from the decoder's colour map; the picture upright as its Exif data
// say (ExifOrientation.cpp); finally the rows are aligned and turned
// bottom-up in place. The host pieces (error manager, file source,
// memory layer) are in JpegHost.cpp.
#include "SECJpeg.h"

#include <cstring>

#include "ExifOrientation.h"
#include "ImageMemory.h"
#include "JpegHost.h"
#include "Shrink.h"

IMPLEMENT_SERIAL(SECJpeg, CObject, 1)

namespace
{
// The decoder delivers colour pixels as blue, green, red (JCS_EXT_BGR), and
// its colour map for that output has one row per output component in the
// same order: row 0 blue, row 1 green, row 2 red.
const int BGR_BLUE = 0, BGR_GREEN = 1, BGR_RED = 2;

// How the decoder's scan lines become picture rows.
enum RowKind
{
    ROW_BGR,          // colour, 3 bytes a pixel, copied as they come
    ROW_INDEXES,      // colour reduced to colour-table indexes, 1 byte a pixel, copied
    ROW_GRAY,         // gray levels, 1 byte a pixel, copied: the colour table is
                      // the gray ramp, so each level is its own index
    ROW_GRAY_AS_BGR,  // one gray sample a pixel, widened to blue = green = red
    ROW_CMYK,         // cyan, magenta, yellow, black as ink (0: none)
    ROW_INVERTED_CMYK // the same with every sample inverted (255: no ink), as
                      // Adobe applications write them, told by their marker
};

// The output components the decoder delivers for a kind of row.
int OutputComponents(RowKind kind)
{
    switch (kind)
    {
    case ROW_BGR: return 3;
    case ROW_CMYK:
    case ROW_INVERTED_CMYK: return 4;
    default: return 1;
    }
}

// a × b / 255, rounded: the share of one 8-bit amount in another.
inline BYTE Scale255(unsigned a, unsigned b)
{
    return static_cast<BYTE>((a * b + 127) / 255);
}

// One scan line of dwWidth pixels into one packed picture row.
void TransferRow(RowKind kind, const JSAMPLE* pIn, BYTE* pOut, DWORD dwWidth, DWORD cbRow)
{
    switch (kind)
    {
    case ROW_BGR:
    case ROW_INDEXES:
    case ROW_GRAY:
        std::memcpy(pOut, pIn, cbRow);
        break;
    case ROW_GRAY_AS_BGR:
        for (DWORD x = 0; x < dwWidth; x++, pOut += 3)
            pOut[0] = pOut[1] = pOut[2] = pIn[x];
        break;
    case ROW_CMYK:
        // What is left of each primary after its ink and the black ink.
        for (DWORD x = 0; x < dwWidth; x++, pIn += 4, pOut += 3)
        {
            const unsigned nWhite = 255u - pIn[3];
            pOut[0] = Scale255(255u - pIn[2], nWhite);
            pOut[1] = Scale255(255u - pIn[1], nWhite);
            pOut[2] = Scale255(255u - pIn[0], nWhite);
        }
        break;
    case ROW_INVERTED_CMYK:
        for (DWORD x = 0; x < dwWidth; x++, pIn += 4, pOut += 3)
        {
            pOut[0] = Scale255(pIn[2], pIn[3]);
            pOut[1] = Scale255(pIn[1], pIn[3]);
            pOut[2] = Scale255(pIn[0], pIn[3]);
        }
        break;
    }
}

// How the file's components become picture rows, colours reduced or not;
// false for two components, or five and more: nothing says what they mean.
bool ChooseRowKind(const jpeg_decompress_struct& cinfo, BOOL bReduce, RowKind* pKind)
{
    const J_COLOR_SPACE space = cinfo.jpeg_color_space;
    if (cinfo.num_components == 1 && space == JCS_GRAYSCALE)
        *pKind = bReduce ? ROW_GRAY : ROW_GRAY_AS_BGR;
    else if (cinfo.num_components == 3 && (space == JCS_YCbCr || space == JCS_RGB))
        *pKind = bReduce ? ROW_INDEXES : ROW_BGR;
    else if (cinfo.num_components == 4 && (space == JCS_CMYK || space == JCS_YCCK))
        *pKind = cinfo.saw_Adobe_marker ? ROW_INVERTED_CMYK : ROW_CMYK;
    else
        return false;
    return true;
}

// The decompression parameters of every read. Most are the library's
// defaults; they are set here so that a read does not depend on them.
void SetDecodeParameters(jpeg_decompress_struct& cinfo, RowKind kind)
{
    switch (kind)
    {
    case ROW_BGR:
    case ROW_INDEXES: cinfo.out_color_space = JCS_EXT_BGR; break;
    case ROW_GRAY:
    case ROW_GRAY_AS_BGR: cinfo.out_color_space = JCS_GRAYSCALE; break;
    case ROW_CMYK:
    case ROW_INVERTED_CMYK: cinfo.out_color_space = JCS_CMYK; break;
    }
    cinfo.scale_num = 1; // full size, unless ChooseScale picks a smaller one
    cinfo.scale_denom = 1;
    cinfo.output_gamma = 1.0;
    cinfo.buffered_image = FALSE;
    cinfo.raw_data_out = FALSE;
    cinfo.dct_method = JDCT_ISLOW;
    cinfo.do_fancy_upsampling = TRUE;
    cinfo.do_block_smoothing = TRUE;
    // Gray levels need no reduction: the library's one-pass quantiser would
    // move most of them to the level below (its 256 bins are not centred on
    // the levels) and dither the difference.
    cinfo.quantize_colors = kind == ROW_INDEXES;
    cinfo.desired_number_of_colors = MAX_PALETTE_ENTRIES;
    cinfo.two_pass_quantize = TRUE;
    cinfo.dither_mode = JDITHER_FS;
    cinfo.colormap = nullptr;
}
} // namespace

SECJpeg::SECJpeg()
    : m_dwBitsSize(0), m_bReduceColors(m_nScreenColors != 0), m_sizeFitBox{ 0, 0 }, m_pfnDrawnSize(nullptr)
{
}

SECJpeg::~SECJpeg()
{
}

// Colour and grayscale files become 8-bit pictures on a palette screen.
// CMYK and YCCK files stay 24-bit: the decoder cannot reduce their colours,
// only their ink planes.
BOOL SECJpeg::ReducesColors(const jpeg_decompress_struct& cinfo) const
{
    const BOOL bFourInks = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    return m_bReduceColors && m_nScreenColors != 0 && !bFourInks;
}

// The smallest scale M/8 whose output covers the picture shrunk with its
// proportions to fit inside the box (never enlarged): the limiting side
// exactly the box's, the other rounded down. The output sizes are asked of
// the decoder itself, so that they are the ones it will deliver. A picture
// turned a quarter after decoding shows its width as a height.
void SECJpeg::ChooseScale(jpeg_decompress_struct& cinfo, BOOL bQuarterTurn) const
{
    unsigned long long W = static_cast<DWORD>(bQuarterTurn ? m_sizeFitBox.cy : m_sizeFitBox.cx);
    unsigned long long H = static_cast<DWORD>(bQuarterTurn ? m_sizeFitBox.cx : m_sizeFitBox.cy);
    const unsigned long long iw = cinfo.image_width, ih = cinfo.image_height;
    if (m_sizeFitBox.cx <= 0 || m_sizeFitBox.cy <= 0 || iw == 0 || ih == 0 || (iw <= W && ih <= H))
        return;
    if (iw * H >= ih * W)
        H = ih * W / iw;
    else
        W = iw * H / ih;
    for (unsigned M = 1; M < 8; M++)
    {
        cinfo.scale_num = M;
        cinfo.scale_denom = 8;
        jpeg_calc_output_dimensions(&cinfo);
        if (cinfo.output_width >= W && cinfo.output_height >= H)
            return;
    }
    cinfo.scale_num = 1;
    cinfo.scale_denom = 1;
}

// The size the decoder's rows are averaged down to as they come: the size
// the picture is drawn at in the box, for a colour picture that a deep
// screen draws 1:1 and that is larger than that; else 0 x 0. In the stored
// orientation: a picture turned a quarter afterwards has it swapped.
SIZE SECJpeg::AveragedSize(const jpeg_decompress_struct& cinfo, BOOL bColor, BOOL bQuarterTurn) const
{
    const SIZE sizeNone = { 0, 0 };
    if (!bColor || m_pfnDrawnSize == nullptr || m_sizeFitBox.cx <= 0 || m_sizeFitBox.cy <= 0 || m_nScreenDepth != 0)
        return sizeNone;
    const SIZE sizeDrawn = bQuarterTurn ? m_pfnDrawnSize(m_sizeFitBox, cinfo.output_height, cinfo.output_width)
                                        : m_pfnDrawnSize(m_sizeFitBox, cinfo.output_width, cinfo.output_height);
    const SIZE size = { bQuarterTurn ? sizeDrawn.cy : sizeDrawn.cx, bQuarterTurn ? sizeDrawn.cx : sizeDrawn.cy };
    if (size.cx <= 0 || size.cy <= 0 ||
        (static_cast<DWORD>(size.cx) == cinfo.output_width && static_cast<DWORD>(size.cy) == cinfo.output_height) ||
        RowAverager::WorkBytes(cinfo.output_width, cinfo.output_height, static_cast<DWORD>(size.cx),
                               static_cast<DWORD>(size.cy), 3) == 0)
        return sizeNone;
    return size;
}

BOOL SECJpeg::AllocateBitmapFromHeader(const jpeg_decompress_struct& cinfo, const SIZE& sizeAveraged)
{
    // The size the decoder delivers at the scale chosen, or the size its
    // rows are averaged down to.
    m_dwPixelsWide = sizeAveraged.cx != 0 ? static_cast<DWORD>(sizeAveraged.cx) : cinfo.output_width;
    m_dwPixelsHigh = sizeAveraged.cy != 0 ? static_cast<DWORD>(sizeAveraged.cy) : cinfo.output_height;
    if (m_dwPixelsWide == 0 || m_dwPixelsHigh == 0 || m_dwPixelsWide > 0x7FFFFFFF || m_dwPixelsHigh > 0x7FFFFFFF)
        return FALSE;
    m_nPixelDepth = ReducesColors(cinfo) ? 8 : 24;
    m_wTableEntries = static_cast<WORD>(m_nPixelDepth == 8 ? MAX_PALETTE_ENTRIES : 0);
    if (!AllocInfoHeader(m_wTableEntries * sizeof(RGBQUAD)))
        return FALSE;

    // Sized for aligned rows: the packed rows are widened in place later.
    const DWORD cbRow = AlignedRowBytes(static_cast<DWORD>(m_nPixelDepth), m_dwPixelsWide);
    if (cbRow == 0 || !MultiplySize(cbRow, m_dwPixelsHigh, &m_dwBitsSize))
        return FALSE;
    m_pPixelBits = static_cast<BYTE*>(AllocImageBlock(m_dwBitsSize));
    return m_pPixelBits != nullptr;
}

BOOL SECJpeg::DecodeFromFile(CFile* pFile)
{
    ReleaseContents();
    m_dwBitsSize = 0;

    JpegErrorManager errorManager;
    if (ReadJpeg(pFile, errorManager) && ReverseRowOrder() && AlignRows())
        return TRUE;
    FailDecode(); // a failed read keeps nothing of what it had begun
    if (errorManager.bFileFailed)
        throw CFileException(errorManager.nFileCause, errorManager.lFileOsError, pFile->GetFilePath());
    return FALSE;
}

// The pixel block goes with the picture.
void SECJpeg::ReleaseDecoderBlocks()
{
    m_dwBitsSize = 0;
}

// The frame that a fatal decoder error jumps back to. It and the routines
// below, which run the decoder, own no object with a destructor.
BOOL SECJpeg::ReadJpeg(CFile* pFile, JpegErrorManager& errorManager)
{
    jpeg_decompress_struct cinfo;
    cinfo.err = InitJpegErrorManager(errorManager);
    if (setjmp(errorManager.jumpBack) != 0)
        return FALSE; // the error manager has destroyed the decompression object
    jpeg_create_decompress(&cinfo);
    InstallJpegFileSource(&cinfo, pFile);
    jpeg_save_markers(&cinfo, JPEG_APP0 + 1, 0xFFFF); // whole APP1 segments: the Exif data
    InstallJpegAbandonCheck(&cinfo);
    const BOOL bDecoded = DecodeJpeg(cinfo);
    jpeg_destroy_decompress(&cinfo);
    return bDecoded;
}

// Decodes into the picture blocks, top row first, with packed rows; a
// fatal error leaves by the error manager's jump instead.
BOOL SECJpeg::DecodeJpeg(jpeg_decompress_struct& cinfo)
{
    RowKind kind = ROW_BGR;
    if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK || !ChooseRowKind(cinfo, ReducesColors(cinfo), &kind))
        return FALSE;
    SetDecodeParameters(cinfo, kind);
    // The Exif segments were saved with the header; they stay until the decode finishes.
    const int nOrientation = JpegExifOrientation(cinfo);
    const BOOL bQuarterTurn = nOrientation >= FIRST_QUARTER_TURN;
    ChooseScale(cinfo, bQuarterTurn);
    jpeg_calc_output_dimensions(&cinfo);
    const JDIMENSION nOutWidth = cinfo.output_width, nOutHeight = cinfo.output_height;
    const SIZE sizeAveraged = AveragedSize(cinfo, kind == ROW_BGR, bQuarterTurn);
    if (!AllocateBitmapFromHeader(cinfo, sizeAveraged))
        return FALSE;

    // Multi-scan files and two-pass colour reduction consume the whole file
    // in here, or make their first pass over the picture.
    jpeg_start_decompress(&cinfo);

    const DWORD cbRow = PackedRowBytes(static_cast<DWORD>(m_nPixelDepth), m_dwPixelsWide);
    if (cinfo.output_width != nOutWidth || cinfo.output_height != nOutHeight ||
        cinfo.output_components != OutputComponents(kind) || cbRow == 0)
        return FALSE;
    const JDIMENSION nStride = cinfo.output_width * static_cast<JDIMENSION>(cinfo.output_components);
    JSAMPARRAY ppRow = (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE, nStride, 1);
    RowAverager averager;
    if (sizeAveraged.cx != 0 && !BeginAveraging(cinfo, cbRow, averager))
        return FALSE;

    // Each row is copied only while the pixel block has room for all of it.
    BYTE* pOut = m_pPixelBits;
    DWORD cbFree = m_dwBitsSize;
    while (cinfo.output_scanline < cinfo.output_height)
    {
        if (jpeg_read_scanlines(&cinfo, ppRow, 1) != 1)
            return FALSE;
        if (sizeAveraged.cx != 0)
        {
            averager.AddRow(ppRow[0]);
            continue;
        }
        if (cbRow > cbFree)
            return FALSE;
        TransferRow(kind, ppRow[0], pOut, m_dwPixelsWide, cbRow);
        pOut += cbRow;
        cbFree -= cbRow;
    }

    if (kind == ROW_INDEXES)
        StoreColorMap(cinfo);
    else if (kind == ROW_GRAY)
        FillGreyRamp();
    jpeg_finish_decompress(&cinfo);
    // Upright as the camera meant it; a picture whose turned copy cannot be had is shown as stored.
    OrientPackedPicture(*this, nOrientation, &m_dwBitsSize);
    return TRUE;
}

// Starts averaging the decoder's rows into the pixel block, packed rows of
// cbRow bytes top first, with working memory from the decoder's own pool
// (freed with the decompression object, also when an error jumps out).
BOOL SECJpeg::BeginAveraging(jpeg_decompress_struct& cinfo, DWORD cbRow, RowAverager& averager)
{
    DWORD cbRows = 0;
    const DWORD cbWork = RowAverager::WorkBytes(cinfo.output_width, cinfo.output_height, m_dwPixelsWide,
                                                m_dwPixelsHigh, 3);
    if (cbWork == 0 || !MultiplySize(cbRow, m_dwPixelsHigh, &cbRows) || cbRows > m_dwBitsSize)
        return FALSE;
    void* pWork = (*cinfo.mem->alloc_large)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE, cbWork);
    averager.Begin(pWork, cinfo.output_width, cinfo.output_height, m_dwPixelsWide, m_dwPixelsHigh, 3,
                   m_pPixelBits, cbRow);
    return TRUE;
}

// The colours the decoder chose; the entries past them stay zero.
void SECJpeg::StoreColorMap(const jpeg_decompress_struct& cinfo)
{
    if (cinfo.colormap == nullptr || cinfo.out_color_components != 3)
        return;
    int nColors = cinfo.actual_number_of_colors;
    if (nColors > m_wTableEntries)
        nColors = m_wTableEntries;
    for (int i = 0; i < nColors; i++)
    {
        RGBQUAD& entry = m_pColorTable[i];
        entry.rgbBlue = cinfo.colormap[BGR_BLUE][i];
        entry.rgbGreen = cinfo.colormap[BGR_GREEN][i];
        entry.rgbRed = cinfo.colormap[BGR_RED][i];
    }
}

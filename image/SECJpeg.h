// SECJpeg: JPEG/JFIF files, decoded by libjpeg (the release-6 interface of
// libjpeg-turbo): baseline, extended sequential, progressive and
// arithmetic-coded files of 8-bit precision with one, three or four
// components.
//
// What a read gives:
// - on a screen of more than 256 colours, a 24-bit picture (blue, green,
//   red in each pixel), grayscale files with blue = green = red;
// - on a palette screen, an 8-bit picture with a 256-entry colour table:
//   colour files reduced by the decoder's two-pass quantiser (colours chosen
//   from the whole picture, Floyd-Steinberg dithering), grayscale files with
//   their exact gray levels as indexes into the gray ramp (entry i is
//   (i, i, i));
// - CMYK and YCCK files (print workflows) converted to red, green and blue,
//   24-bit on every screen: a palette screen draws them through the
//   halftone palette;
// - turned and mirrored as the orientation of its Exif data says;
// - rows bottom-up and 4-byte aligned, as every SECImage holds them.
// A file of another kind (two components, 12-bit samples, no image) and a
// broken file whose decoding hits a fatal error are failed reads; a file cut
// short loads with what it holds. A failed read leaves the object empty.
//
// A picture that will be shown shrunk into a box (m_sizeFitBox, the
// window) is decoded at the smallest of the decoder's scales M/8 that still
// covers the size it is shrunk to: a huge photo then needs a small pixel
// block and a fraction of the decoding time. Given also the size it is
// drawn at (m_pfnDrawnSize), a colour picture for a deep screen is averaged
// down to that size as its rows decode, so that its pixel block is only
// the size drawn. Without a box, or for a picture that fits in it, the
// read is full size.
#pragma once

#include "SECImage.h"

struct jpeg_decompress_struct;
struct JpegErrorManager;
class RowAverager;

class SECJpeg : public SECImage
{
    DECLARE_SERIAL(SECJpeg)

public:
    SECJpeg();
    ~SECJpeg() override;

    // Reads the JPEG file from its current position.
    BOOL DecodeFromFile(CFile* pFile) override;

    // Sizes the picture as the decoder's output size in cinfo (computed by
    // jpeg_calc_output_dimensions at the scale chosen), or as sizeAveraged
    // when not 0 x 0, and allocates the header block (with its colour table)
    // and the pixel block for packed rows; FALSE when the picture is too
    // large or the memory cannot be had.
    BOOL AllocateBitmapFromHeader(const jpeg_decompress_struct& cinfo, const SIZE& sizeAveraged);

    DWORD m_dwBitsSize;   // bytes of the pixel block of the current read
    BOOL m_bReduceColors; // reduce colour files to a palette on a palette screen
    SIZE m_sizeFitBox;    // the box the picture is shown in; 0 x 0: none
    // The size a picture of the given size is drawn at in the box; when set,
    // colour rows are averaged down to it as they decode (Shrink.h).
    SIZE (*m_pfnDrawnSize)(const SIZE& sizeBox, DWORD dwWidth, DWORD dwHeight);

protected:
    void ReleaseDecoderBlocks() override;

private:
    BOOL ReducesColors(const jpeg_decompress_struct& cinfo) const;
    void ChooseScale(jpeg_decompress_struct& cinfo, BOOL bQuarterTurn) const;
    SIZE AveragedSize(const jpeg_decompress_struct& cinfo, BOOL bColor, BOOL bQuarterTurn) const;
    BOOL BeginAveraging(jpeg_decompress_struct& cinfo, DWORD cbRow, RowAverager& averager);
    BOOL ReadJpeg(CFile* pFile, JpegErrorManager& errorManager);
    BOOL DecodeJpeg(jpeg_decompress_struct& cinfo);
    void StoreColorMap(const jpeg_decompress_struct& cinfo);
};

// SECTarga: Truevision Targa (TGA) files, read into a 24-bit picture.
//
// The reader understands the whole TGA 2.0 layout: the 18-byte header, the
// image ID, the colour map, the pixel data (plain or run-length encoded, in
// any of the four row and column orders), and, in files that end with the
// "TRUEVISION-XFILE." footer, the developer directory and the extension
// area with the blocks it points to. Everything but the pixels is read and
// kept only; the pixels become blue-green-red triples:
//
// - true colour (types 2 and 10): 16-bit 5-5-5 (depth 15 or 16), 24-bit,
//   32-bit (the alpha byte is dropped);
// - grey (types 3 and 11): 8-bit, or 16-bit grey with alpha;
// - colour-mapped (types 1 and 9): 8- or 16-bit indices through a colour
//   map of 5-5-5, 24-bit or 32-bit entries (an index outside the map is
//   black).
//
// Files whose pixels cannot be converted (other image types, other depths, a
// colour-mapped picture without a usable map) are refused, and so are files
// whose parts or offsets do not lie inside the file.
#pragma once

#include "SECImage.h"

// The 18-byte file header, field by field.
struct TGAHEADER
{
    BYTE bIdLength;          // bytes of image ID after the header
    BYTE bColorMapType;      // nonzero: a colour map follows the ID
    BYTE bImageType;         // 1, 2, 3 plain; 9, 10, 11 run-length encoded
    WORD wColorMapFirst;     // the index of the first colour-map entry
    WORD wColorMapLength;    // colour-map entries
    BYTE bColorMapEntrySize; // bits per colour-map entry
    WORD wXOrigin;
    WORD wYOrigin;
    WORD wWidth;
    WORD wHeight;
    BYTE bPixelDepth; // bits per pixel
    BYTE bDescriptor; // bit 5: top row first; bit 4: rightmost pixel first
};

// The TGA 2.0 extension area, field by field (495 bytes in the file).
struct TGAEXTENSION
{
    WORD wSize;
    char szAuthorName[41];
    char szAuthorComments[324];
    WORD awDateTime[6]; // month, day, year, hour, minute, second
    char szJobName[41];
    WORD awJobTime[3]; // hours, minutes, seconds
    char szSoftwareId[41];
    WORD wSoftwareVersion;
    BYTE bSoftwareLetter;
    DWORD dwKeyColor;
    WORD awAspectRatio[2]; // numerator, denominator
    WORD awGamma[2];       // numerator, denominator
    DWORD dwColorCorrectionOffset;
    DWORD dwStampOffset;
    DWORD dwScanLineOffset;
    BYTE bAttributesType;
};

class SECTarga : public SECImage
{
    DECLARE_SERIAL(SECTarga)

public:
    SECTarga();
    ~SECTarga() override;

    // TRUE when the file gave a picture; a refused file leaves no block of
    // this read behind.
    BOOL DecodeFromFile(CFile* pFile) override;

    // Reads everything in front of and behind the pixel data from
    // m_pCurrentFile. 0 on success; TARGA_SHORT_READ when a part is missing
    // or does not lie inside the file (or the image ID cannot be allocated);
    // TARGA_NO_COLOR_MAP, TARGA_NO_SCAN_LINE_TABLE or TARGA_NO_STAMP when
    // that block cannot be allocated.
    short ReadHeaderAndTrailer();
    // The picture's size fields and its 24-bit header block, from m_header;
    // FALSE when the block cannot be allocated.
    BOOL PrepareBitmapHeader();
    // Decodes the next run-length encoded row of wWidth pixels into pRow as
    // blue-green-red triples (pRow holds wWidth × 3 bytes). A packet that
    // does not end with the row goes on in the next call's row. The bytes
    // written, or -1 when the data end.
    long DecodeRleRow(BYTE* pRow, WORD wWidth, WORD wBytesPerPixel);

    enum
    {
        TARGA_SHORT_READ = -1,
        TARGA_NO_COLOR_MAP = -2,
        TARGA_NO_SCAN_LINE_TABLE = -4,
        TARGA_NO_STAMP = -5,
    };

    // i × 255 / 31 rounded: a five-bit colour value widened to eight bits.
    static const BYTE s_abFiveBits[32];

    TGAHEADER m_header;
    BYTE* m_pImageId;  // owned block; null without an ID
    BYTE* m_pColorMap; // owned block: the colour-map entries as stored
    TGAEXTENSION m_extension;
    DWORD* m_pScanLineTable; // owned block: one file offset per row
    BYTE m_bStampWidth;
    BYTE m_bStampHeight;
    BYTE* m_pStampData; // owned block: the postage stamp's pixels as stored
    WORD m_colorCorrection[256][4]; // the extension's colour-correction table
    DWORD m_dwExtensionOffset;
    DWORD m_dwDevDirOffset;
    char m_szSignature[18];
    BOOL m_bNewFormat; // the file ends with the TGA 2.0 footer
    DWORD m_dwImageDataOffset;

protected:
    // The image ID, colour map, scan-line table and stamp of the last read.
    void ReleaseDecoderBlocks() override;

private:
    // How stored bytes become blue, green, red.
    enum PixelKind { PIXEL_NONE, PIXEL_555, PIXEL_BGR, PIXEL_BGRA, PIXEL_GREY, PIXEL_GREY_ALPHA, PIXEL_INDEX };

    BOOL ReadAt(DWORD dwOffset, void* pDst, DWORD cb);
    BOOL ReadHere(void* pDst, DWORD cb);
    short ReadTrailer();
    BOOL CheckDeveloperDirectory();
    BOOL ReadExtensionArea();
    short ReadScanLineTable();
    short ReadStamp();
    BOOL ReadColorCorrection();
    static PixelKind TrueColorKind(DWORD dwBytes);
    BOOL ChoosePixelKind();
    BOOL FileHoldsPixelData() const;
    BOOL DecodeRows();
    BOOL ReadPixel(BYTE* pBgr);
    BOOL ReadPixels(BYTE* pBgr, DWORD dwCount);
    void ConvertPixel(const BYTE* pStored, BYTE* pBgr) const;

    PixelKind m_pixelKind;    // of the pixels
    PixelKind m_entryKind;    // of the colour-map entries
    DWORD m_dwBytesPerPixel;  // stored bytes per pixel
    DWORD m_dwEntryBytes;     // stored bytes per colour-map entry
    DWORD m_dwFileLength;
    // The run-length packet being decoded: its pixels not yet written and,
    // for a run, its value as blue, green, red. Zero pixels left between
    // packets.
    DWORD m_dwPacketLeft;
    BOOL m_bPacketIsRun;
    BYTE m_abRunPixel[3];
};

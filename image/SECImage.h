// SECImage: the base of the image classes. An object holds one picture as a
// device-independent bitmap (a BITMAPINFOHEADER with its colour table in one
// block, the pixel rows in another, and a palette for pictures with a colour
// table) and draws it stretched into a device context. Each subclass reads
// one file format in DecodeFromFile; everything else is shared here.
//
// The picture after a successful load, whatever the format:
// - m_pInfoHeader: a BITMAPINFOHEADER of 40 bytes followed at byte 40 by the
//   colour table (or, for BI_BITFIELDS, the three colour masks);
// - m_pPixelBits: m_dwPixelsHigh rows, bottom row first (biHeight > 0), each
//   AlignedRowBytes bytes long, or for RLE4/RLE8 the compressed stream of
//   biSizeImage bytes that ends with an end-of-bitmap code;
// - m_nPixelDepth == biBitCount, m_dwPixelsWide == biWidth,
//   m_dwPixelsHigh == biHeight.
//
// Loading: LoadFromPath -> LoadFromFile -> ReleaseContents -> DecodeFromFile
// -> CompleteLoad. A failed load of an object that holds a picture leaves
// that picture in place.
#pragma once

#include <windows.h>

#include <cstring>

#include "File.h"
#include "Gdi.h"
#include "Object.h"
#include "PtrList.h"

// The header block: a 40-byte header, the colour table at byte 40.
const DWORD INFO_HEADER_BYTES = sizeof(BITMAPINFOHEADER);
// A colour index has at most 8 bits: no colour table or palette holds more.
const DWORD MAX_PALETTE_ENTRIES = 256;
// The read buffer of the decoders that read byte by byte.
const DWORD IO_BUFFER_BYTES = 60000;

struct BmpHeader;
class SECDib;

// Asked while a picture decodes: TRUE when the caller wants the load given up.
typedef BOOL (*LOADABANDONPROC)();

class SECImage : public CObject
{
public:
    SECImage();
    ~SECImage() override;

    // Builds m_pImagePalette from the colour table.
    virtual BOOL BuildPalette();
    // Loads the picture from the named file. A file that cannot be opened
    // raises CFileException (unless the object's file object is reused, then
    // the result is FALSE); read errors raise it too.
    virtual BOOL LoadFromPath(const char* pszPath);
    // Loads the picture from an open file; on failure the previous picture
    // stays.
    virtual BOOL LoadFromFile(CFile* pFile);
    // Empties the object; always TRUE.
    virtual BOOL ReleaseContents();
    // The step every format shares after a successful decode: palette, row
    // alignment, the halftone decision.
    virtual BOOL CompleteLoad();
    // The format reader: TRUE when the picture is complete.
    virtual BOOL DecodeFromFile(CFile* pFile) = 0;
    // Deletes the file objects of path-based loads.
    virtual void ReleaseFileObjects();

    // The end of every failed decode: frees the picture's blocks, the I/O
    // buffer and the decoder's own (ReleaseDecoderBlocks); always FALSE.
    BOOL FailDecode();

    // Giving up a long load. Between BeginAbandonCheck and EndAbandonCheck
    // the decoders ask pfnCheck every few rows; once it says yes, the load
    // that asked fails as a bad file does, and every load after it fails at
    // its first check. EndAbandonCheck: TRUE when the check said yes.
    static void BeginAbandonCheck(LOADABANDONPROC pfnCheck);
    static BOOL EndAbandonCheck();
    // For the decoders, once a row: TRUE when the load is to be given up
    // (the check is asked every 16 rows).
    static BOOL CheckAbandonAfterRow();
    // TRUE once the check has said yes; asks nothing.
    static BOOL WasAbandoned();
    // ReadFully in pieces of 4 MB, the check asked before each; the bytes
    // read.
    static DWORD ReadFullyAbandonable(CFile* pFile, void* pDst, DWORD dwCount);

    // Moves the picture out of another object, which keeps none of it.
    BOOL AdoptContents(SECImage& from);

    DWORD PixelWidth() const { return m_dwPixelsWide; }
    DWORD PixelHeight() const { return m_dwPixelsHigh; }
    // The picture's size, and its header's when it has one.
    void SetPixelSize(DWORD dwWidth, DWORD dwHeight);

    // StretchDIBits into the device context, through a halftone palette when
    // the screen's depth differs from the picture's. The StretchDIBits result,
    // or 0 when there is nothing to draw or the halftone palette cannot be
    // made or selected.
    int DrawStretched(CDC* pDC, int xDst, int yDst, int wDst, int hDst, int xSrc, int ySrc, int wSrc, int hSrc,
                      const void* pBits, const BITMAPINFO* pInfo, UINT uUsage, DWORD dwRop);

    // Bytes of a row of width pixels at bpp bits per pixel, unaligned and
    // raised to a multiple of 4; 0 when that does not fit in 32 bits.
    static DWORD PackedRowBytes(DWORD dwBitsPerPixel, DWORD dwWidth);
    static DWORD AlignedRowBytes(DWORD dwBitsPerPixel, DWORD dwWidth);

    // Row services for decoders. Each needs a picture of at least one row
    // whose pixel block holds height aligned rows; otherwise FALSE.
    BOOL AlignRows();       // packed rows to aligned rows, in place
    BOOL ReverseRowOrder(); // top-down to bottom-up and back
    BOOL MirrorRows();      // every row left to right

    // Colour-table entries of the header's depth: 2, 16, 256 or 0.
    WORD ColorTableSize() const;

    // A new header block for the object's size and depth, with cbTable bytes
    // for the colour table after the 40-byte header: biPlanes 1, BI_RGB,
    // every other field 0. FALSE when the block cannot be had.
    BOOL AllocInfoHeader(DWORD cbTable);
    // The first m_wTableEntries colour-table entries as the grey ramp:
    // entry i is (i, i, i).
    void FillGreyRamp();

    // A read buffer over m_pCurrentFile for decoders that read byte by byte.
    BOOL BeginBufferedIo(DWORD dwSize, WORD wMode);
    DWORD RefillReadBuffer();
    // Delivers up to dwCount bytes and returns how many it delivered. The
    // decoders' usual call, a few bytes that end before the buffer's last,
    // is served here without a call; everything else (refills, the end of
    // the file, unbuffered reading) by ReadBufferedFromFile.
    DWORD ReadBuffered(void* pDst, DWORD dwCount)
    {
        if (dwCount < m_dwIoFill - m_dwIoPos)
        {
            std::memcpy(pDst, m_pIoBuffer + m_dwIoPos, dwCount);
            m_dwIoPos += dwCount;
            return dwCount;
        }
        return ReadBufferedFromFile(pDst, dwCount);
    }
    DWORD ReadBufferedFromFile(void* pDst, DWORD dwCount);
    void EndBufferedIo();
    // Reads from the file until dwCount bytes have come or it ends; the
    // bytes read.
    static DWORD ReadFully(CFile* pFile, void* pDst, DWORD dwCount);

    // The BMP reader that SECDib::DecodeFromFile runs.
    BOOL ReadBmpFromFile(CFile* pFile);

    enum { IO_READ = 1 };

    int m_nPixelDepth;        // bits per pixel of the held picture; 0 when empty
    int m_nScreenDepth;       // the screen's bits per pixel when 8 or less, else 0
    int m_nScreenPlanes;      // the screen's colour planes
    BOOL m_bRowsAligned;      // pixel rows are 4-byte aligned
    DWORD m_dwAlignedWidth;   // the width raised to a multiple of 4
    DWORD m_dwPixelsWide;
    DWORD m_dwPixelsHigh;
    WORD m_wTableEntries;     // colour-table entries the picture uses
    short m_nScreenColors;    // colours of a palette screen, else 0
    CPalette* m_pImagePalette;     // owned; null without a colour table
    CFile* m_pCurrentFile;         // the file of the current or last load
    BYTE* m_pPixelBits;            // owned block
    BITMAPINFOHEADER* m_pInfoHeader; // owned block: header and colour table
    RGBQUAD* m_pColorTable;        // always 40 bytes into the header block
    BOOL m_bHalftoneDraw;          // draw through a halftone palette
    DWORD m_dwIoSize;              // size of the I/O buffer; 0: unbuffered
    DWORD m_dwIoFill;              // valid bytes in the I/O buffer
    DWORD m_dwIoPos;               // next byte of the I/O buffer
    CPtrList m_listFileObjects;    // file objects of path-based loads
    BYTE* m_pIoBuffer;             // owned block; null outside a decode

protected:
    // A decoder's own blocks besides the picture, freed by FailDecode.
    virtual void ReleaseDecoderBlocks() {}

private:
    void FreePicture();
    void TakeBackPicture(SECDib* pHolder);
    BOOL RowsFitBlock(DWORD dwRowBytes) const;
    BOOL MirrorPackedRows(DWORD dwDepth, DWORD cbRow);
    BOOL StoreBmpHeader(const BmpHeader& header);
    BOOL ReadBmpPixels(CFile* pFile, const BmpHeader& header);
};

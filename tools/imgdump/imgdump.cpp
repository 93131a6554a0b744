// imgdump: loads a picture file the way the saver loads its display image
// and writes what that image holds as a BMP file.
//
//   imgdump PICTURE OUT.bmp
//
// Prints one line, WIDTHxHEIGHT DEPTH-bit table=N palette=yes|no
// halftone=yes|no, where N is the number of colour-table entries the
// picture uses (0 for pictures without a colour table). The output is the
// 14-byte file header, the held header with its colour table (or colour
// masks) and the held pixel data, unchanged.
//
// Exit code: 0 when a picture is held, 1 when none (also when the file
// cannot be opened or read), 2 on wrong usage or when OUT.bmp cannot be
// written.
#include <cstdio>

#include "../../slideshow/DisplayImage.h"
#include "File.h"
#include "ImageMemory.h"

enum { EXIT_PICTURE = 0, EXIT_NO_PICTURE = 1, EXIT_USAGE = 2 };

static BOOL HoldsPicture(const SECImage& image)
{
    return image.m_pPixelBits != nullptr && image.m_pInfoHeader != nullptr && image.PixelWidth() != 0 &&
           image.PixelHeight() != 0;
}

static DWORD Smaller(DWORD a, DWORD b)
{
    return a < b ? a : b;
}

// The header with the colour table or masks GDI reads after it, as far as
// the header block holds them.
static DWORD HeaderBytes(const SECImage& image)
{
    const BITMAPINFOHEADER& header = *image.m_pInfoHeader;
    DWORD cbAfter = 0;
    if (header.biCompression == BI_BITFIELDS)
        cbAfter = 3 * sizeof(DWORD);
    else
    {
        const DWORD dwEntries = header.biClrUsed != 0 ? header.biClrUsed : image.ColorTableSize();
        cbAfter = Smaller(dwEntries, 256) * sizeof(RGBQUAD);
    }
    return Smaller(header.biSize + cbAfter, ImageBlockSize(image.m_pInfoHeader));
}

// The pixel data: the rows, or the compressed stream.
static DWORD PixelBytes(const SECImage& image)
{
    const BITMAPINFOHEADER& header = *image.m_pInfoHeader;
    DWORD cbPixels = header.biSizeImage;
    if (header.biCompression != BI_RLE8 && header.biCompression != BI_RLE4)
    {
        const DWORD cbRow = SECImage::AlignedRowBytes(header.biBitCount, image.PixelWidth());
        if (!MultiplySize(cbRow, image.PixelHeight(), &cbPixels))
            cbPixels = 0xFFFFFFFF;
    }
    return Smaller(cbPixels, ImageBlockSize(image.m_pPixelBits));
}

static BOOL WriteBmp(const SECImage& image, const char* pszPath)
{
    const DWORD cbHeader = HeaderBytes(image);
    const DWORD cbPixels = PixelBytes(image);
    BYTE fileHeader[14] = { 'B', 'M' };
    const DWORD dwOffBits = 14 + cbHeader;
    const DWORD dwSize = dwOffBits + cbPixels;
    for (int i = 0; i < 4; i++)
    {
        fileHeader[2 + i] = static_cast<BYTE>(dwSize >> (8 * i));
        fileHeader[10 + i] = static_cast<BYTE>(dwOffBits >> (8 * i));
    }
    try
    {
        CFile out(pszPath, CFile::modeCreate | CFile::modeWrite);
        out.Write(fileHeader, sizeof(fileHeader));
        out.Write(image.m_pInfoHeader, cbHeader);
        out.Write(image.m_pPixelBits, cbPixels);
        out.Close();
    }
    catch (const CFileException&)
    {
        return FALSE;
    }
    return TRUE;
}

int main(int argc, char** argv)
{
    if (argc != 3)
    {
        std::fprintf(stderr, "usage: imgdump PICTURE OUT.bmp\n");
        return EXIT_USAGE;
    }

    SECDib image;
    if (!LoadDisplayImage(image, argv[1]))
        std::fprintf(stderr, "imgdump: cannot read %s\n", argv[1]);
    if (!HoldsPicture(image))
    {
        std::fprintf(stderr, "imgdump: no picture in %s\n", argv[1]);
        return EXIT_NO_PICTURE;
    }

    std::printf("%lux%lu %d-bit table=%u palette=%s halftone=%s\n", static_cast<unsigned long>(image.PixelWidth()),
                static_cast<unsigned long>(image.PixelHeight()), image.m_nPixelDepth,
                static_cast<unsigned>(image.m_wTableEntries), image.m_pImagePalette != nullptr ? "yes" : "no",
                image.m_bHalftoneDraw ? "yes" : "no");
    std::fflush(stdout);
    if (!WriteBmp(image, argv[2]))
    {
        std::fprintf(stderr, "imgdump: cannot write %s\n", argv[2]);
        return EXIT_USAGE;
    }
    return EXIT_PICTURE;
}

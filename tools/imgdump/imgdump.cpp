// imgdump: loads a picture file the way the saver loads its display image
// and writes what that image holds as a BMP file.
//
//   imgdump [--fit WxH] PICTURE OUT.bmp
//   imgdump [--fit WxH] @LIST
//
// With --fit the picture is loaded as the slide show loads it for a window
// of W x H pixels: a JPEG file decoded at the scale that window needs, a
// colour picture larger than the window averaged down to the size it is
// drawn at.
// Prints one line, WIDTHxHEIGHT DEPTH-bit table=N palette=yes|no
// halftone=yes|no, where N is the number of colour-table entries the
// picture uses (0 for pictures without a colour table). The output is the
// 14-byte file header, the held header with its colour table (or colour
// masks) and the held pixel data, unchanged.
//
// Exit code: 0 when a picture is held, 1 when none (also when the file
// cannot be opened or read), 2 on wrong usage or when OUT.bmp cannot be
// written.
//
// With @LIST it dumps many pictures in one run (a program start costs more
// than most loads under Wine): each line of the file LIST (UTF-8) is
// PICTURE, a tab and OUT.bmp (and optionally a tab and WxH, the --fit of that
// picture), and for each it prints "CODE LINE", CODE being the exit code
// that picture alone would give and LINE the line above (empty without a
// picture). The run's own exit code is 0, or 2 when LIST cannot be read.
#include <cstdio>
#include <cstring>

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

// A window size WxH into *pBox; FALSE when the text is not one.
static BOOL ParseBox(const char* pszBox, SIZE* pBox)
{
    int nEnd = 0;
    return std::sscanf(pszBox, "%ldx%ld%n", &pBox->cx, &pBox->cy, &nEnd) == 2 && pszBox[nEnd] == '\0' &&
           pBox->cx > 0 && pBox->cy > 0;
}

// Loads one picture (for a window of *pBox, when given) and writes what it
// holds; the exit code for it, and its line in szLine (empty without a picture).
static int DumpPicture(const char* pszPicture, const char* pszOut, const SIZE* pBox, char (&szLine)[128])
{
    szLine[0] = '\0';
    SECDib image;
    if (!LoadDisplayImage(image, pszPicture, pBox))
        std::fprintf(stderr, "imgdump: cannot read %s\n", pszPicture);
    if (!HoldsPicture(image))
    {
        std::fprintf(stderr, "imgdump: no picture in %s\n", pszPicture);
        return EXIT_NO_PICTURE;
    }
    std::snprintf(szLine, sizeof(szLine), "%lux%lu %d-bit table=%u palette=%s halftone=%s",
                  static_cast<unsigned long>(image.PixelWidth()), static_cast<unsigned long>(image.PixelHeight()),
                  image.m_nPixelDepth, static_cast<unsigned>(image.m_wTableEntries),
                  image.m_pImagePalette != nullptr ? "yes" : "no", image.m_bHalftoneDraw ? "yes" : "no");
    if (!WriteBmp(image, pszOut))
    {
        std::fprintf(stderr, "imgdump: cannot write %s\n", pszOut);
        return EXIT_USAGE;
    }
    return EXIT_PICTURE;
}

// A path of the list as the file functions here take it. The list is UTF-8
// (a line that is not is taken in the system's code page, as it is): a path
// the code page lacks characters for becomes its marked path.
static CString ListedPath(const char* pszListed)
{
    WCHAR szWide[MAX_PATH];
    CString strPath(pszListed);
    if (::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, pszListed, -1, szWide, MAX_PATH) != 0 &&
        !AnsiFileName(szWide, strPath))
        strPath = MarkedPath(szWide);
    return strPath;
}

// Each line of the list: PICTURE, a tab, OUT.bmp. The result of each is
// printed as soon as it is known, so that a run that does not end shows
// which picture held it.
static int DumpList(const char* pszList, const SIZE* pBox)
{
    FILE* pList = std::fopen(pszList, "r");
    if (pList == nullptr)
    {
        std::fprintf(stderr, "imgdump: cannot read %s\n", pszList);
        return EXIT_USAGE;
    }
    char szEntry[2 * MAX_PATH + 2];
    while (std::fgets(szEntry, sizeof(szEntry), pList) != nullptr)
    {
        szEntry[std::strcspn(szEntry, "\r\n")] = '\0';
        char* pszTab = std::strchr(szEntry, '\t');
        if (pszTab == nullptr)
            continue;
        *pszTab = '\0';
        SIZE box;
        const SIZE* pEntryBox = pBox;
        char* pszBox = std::strchr(pszTab + 1, '\t');
        if (pszBox != nullptr)
        {
            *pszBox = '\0';
            pEntryBox = ParseBox(pszBox + 1, &box) ? &box : nullptr;
        }
        char szLine[128];
        const int nCode = DumpPicture(ListedPath(szEntry), ListedPath(pszTab + 1), pEntryBox, szLine);
        std::printf("%d %s\n", nCode, szLine);
        std::fflush(stdout);
    }
    std::fclose(pList);
    return EXIT_PICTURE;
}

static int Usage()
{
    std::fprintf(stderr, "usage: imgdump [--fit WxH] PICTURE OUT.bmp | imgdump [--fit WxH] @LIST\n");
    return EXIT_USAGE;
}

int main(int argc, char** argv)
{
    SIZE box;
    const SIZE* pBox = nullptr;
    if (argc >= 3 && std::strcmp(argv[1], "--fit") == 0)
    {
        if (!ParseBox(argv[2], &box))
            return Usage();
        pBox = &box;
        argv += 2;
        argc -= 2;
    }
    if (argc == 2 && argv[1][0] == '@')
        return DumpList(argv[1] + 1, pBox);
    if (argc != 3)
        return Usage();
    char szLine[128];
    const int nCode = DumpPicture(argv[1], argv[2], pBox, szLine);
    if (szLine[0] != '\0')
        std::printf("%s\n", szLine);
    return nCode;
}

// vistel_bench: how fast and how lean the saver loads each picture format,
// side by side with the readers a user would pick instead.
//
//   vistel_bench ROUNDS
//   vistel_bench ROUNDS WxH
//
// With WxH it makes the time-to-screen table instead, described at
// ScreenTable below.
//
// Runs in the folder that bench/run.sh fills: one picture stored in every
// format the saver reads, and the picture as PPM files for the checks. Each
// round times every file once with each of these readers, in an order that
// rotates every round, so that machine noise hits them all alike:
// - "file read": the file's bytes into a fresh block of the file's size
//   (one ReadFile call), the floor under any load;
// - "fresh pixel block": a fresh block of the size of the picture's pixels,
//   filled, the floor under any load of a file smaller than its pixels;
// - "byte reader", for the formats whose decoders take their file one byte
//   per call: every byte of the file through the library's buffered reader,
//   and nothing else;
// - "Vistel": LoadDisplayImage into an empty display image, as the slide
//   show loads a picture;
// - "stb_image": Debian's stb_image (stbi_load), for BMP, Targa and JPEG;
// - "libjpeg": a bare decode by the libjpeg-turbo build the saver links,
//   with the saver's parameters, through the library's stdio source into
//   one malloc'd buffer.
// Each time runs from the call until the picture is held; freeing it is not
// timed. Before the rounds each reader loads the file once more, untimed:
// that load warms the caches, gives the peak of the process's private bytes
// while it runs (sampled by a second thread) and the pixels, which are
// checked against the source picture (lossless formats) or against the bare
// decode (JPEG: ours exactly, stb_image within MIN_STB_PSNR). Prints one
// Markdown table of medians and the targets; the exit status is 1 when a
// load fails or pixels differ, 0 otherwise (a missed target is a finding,
// not an error).
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <stb_image.h>

#include "../slideshow/DisplayImage.h"
#include "../slideshow/SlideShowWnd.h"

namespace
{
enum Reader { FILE_READ, PIXEL_BLOCK, BYTE_READER, VISTEL, STB, LIBJPEG, TO_SCREEN, BEFORE, READERS };
const char* const READER_NAMES[READERS] = { "file read", "fresh pixel block", "byte reader", "Vistel",
                                            "stb_image", "libjpeg",           "to screen",   "before" };

// The window of the time-to-screen table.
SIZE g_sizeScreen = { 0, 0 };
HWND g_hWndScreen = nullptr;

// The read buffer of the Targa and PCX decoders.
const DWORD BYTE_READER_BUFFER = 60000;

// stb_image's JPEG decoder rounds differently from libjpeg's (its own IDCT,
// upsampling and colour conversion): it must stay this close to the bare
// decode. The bare decode must stay this close to the source picture.
const double MIN_STB_PSNR = 40.0;
const double MIN_JPEG_PSNR = 30.0;

struct Picture
{
    const char* pszFile;
    const char* pszLabel;
    const char* pszSource; // the picture as PPM, top row first
    DWORD dwDepth;         // bits per pixel of the picture the saver holds
    bool bJpeg;            // lossy: checked against the bare decode
    bool bByteByByte;      // the decoder takes the file one byte per call
    bool bStb;             // stb_image reads it
    double dTarget;        // Vistel at most this many times its yardstick
    bool bBeatStb;         // and never slower than stb_image
};

// Made by bench/run.sh: the same 4000 x 3000 picture in every format (the
// 8-bit PCX file holds it reduced to 256 colours).
const Picture PICTURES[] = {
    { "picture.bmp", "BMP, 24-bit", "picture.ppm", 24, false, false, true, 1.15, false },
    { "rle.tga", "Targa, run-length", "picture.ppm", 24, false, true, true, 1.25, true },
    { "plain.tga", "Targa, plain", "picture.ppm", 24, false, true, true, 1.25, true },
    { "pcx24.pcx", "PCX, 24-bit", "picture.ppm", 24, false, true, false, 1.5, false },
    { "pcx8.pcx", "PCX, 8-bit", "pcx8.ppm", 8, false, true, false, 1.5, false },
    { "baseline.jpg", "JPEG, baseline", "picture.ppm", 24, true, false, true, 1.10, false },
    { "progressive.jpg", "JPEG, progressive", "picture.ppm", 24, true, false, true, 1.10, false },
};

double Now()
{
    static LARGE_INTEGER frequency = {};
    if (frequency.QuadPart == 0)
        ::QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER counter;
    ::QueryPerformanceCounter(&counter);
    return double(counter.QuadPart) / double(frequency.QuadPart);
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 != 0 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Pixels as red, green, blue bytes, top row first.
struct Rgb
{
    DWORD dwWidth = 0, dwHeight = 0;
    std::vector<BYTE> bytes;
};

// The buffered reader alone: every byte of the file through ReadBuffered,
// one per call, as the Targa and PCX decoders take them.
class ByteReader : public SECImage
{
public:
    BOOL DecodeFromFile(CFile* pFile) override
    {
        m_pCurrentFile = pFile;
        if (!BeginBufferedIo(BYTE_READER_BUFFER, IO_READ))
            return FALSE;
        BYTE b = 0;
        while (ReadBuffered(&b, 1) == 1)
            m_dwSum += b;
        EndBufferedIo();
        return TRUE;
    }

    DWORD m_dwSum = 0;
};

// What one load produced, held until Release.
struct Held
{
    SECDib* pDib = nullptr; // Vistel
    BYTE* pBytes = nullptr; // the other readers' block
    DWORD dwWidth = 0, dwHeight = 0;
};

bool ReadFileBytes(const char* pszPath, Held& held)
{
    HANDLE hFile = ::CreateFileA(pszPath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile == INVALID_HANDLE_VALUE)
        return false;
    const DWORD cbFile = ::GetFileSize(hFile, nullptr);
    DWORD cbRead = 0;
    held.pBytes = static_cast<BYTE*>(std::malloc(cbFile));
    const bool bRead = held.pBytes != nullptr && ::ReadFile(hFile, held.pBytes, cbFile, &cbRead, nullptr) &&
                       cbRead == cbFile;
    ::CloseHandle(hFile);
    return bRead;
}

// The saver's decompression parameters on a deep screen for a colour file.
// The library's standard error manager ends the program on a fatal error,
// which a benchmark file does not have.
bool DecodeBare(const char* pszPath, Held& held)
{
    FILE* pFile = std::fopen(pszPath, "rb");
    if (pFile == nullptr)
        return false;
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_decompress(&cinfo);
    jpeg_stdio_src(&cinfo, pFile);
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_EXT_BGR;
    cinfo.dct_method = JDCT_ISLOW;
    cinfo.do_fancy_upsampling = TRUE;
    cinfo.do_block_smoothing = TRUE;
    cinfo.quantize_colors = FALSE;
    jpeg_start_decompress(&cinfo);
    const size_t cbRow = size_t(cinfo.output_width) * cinfo.output_components;
    held.pBytes = static_cast<BYTE*>(std::malloc(cbRow * cinfo.output_height));
    held.dwWidth = cinfo.output_width;
    held.dwHeight = cinfo.output_height;
    while (held.pBytes != nullptr && cinfo.output_scanline < cinfo.output_height)
    {
        JSAMPROW pRow = held.pBytes + cbRow * cinfo.output_scanline;
        jpeg_read_scanlines(&cinfo, &pRow, 1);
    }
    const bool bDecoded = held.pBytes != nullptr && cinfo.output_components == 3;
    if (held.pBytes != nullptr)
        jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    std::fclose(pFile);
    return bDecoded;
}

// Draws the picture as the slide show does (fitted into the window, a
// larger one stretched by GDI, dropping pixels) and waits until the X
// server has drawn it: a pixel read back.
bool DrawOnScreen(SECDib& dib)
{
    CDC dc;
    dc.Attach(::GetDC(g_hWndScreen));
    RECT rcClient = { 0, 0, g_sizeScreen.cx, g_sizeScreen.cy };
    dc.SetStretchBltMode(COLORONCOLOR);
    DrawFitted(&rcClient, &dc, &dib);
    const bool bShown = ::GetPixel(dc.m_hDC, g_sizeScreen.cx / 2, g_sizeScreen.cy / 2) != CLR_INVALID;
    ::ReleaseDC(g_hWndScreen, dc.Detach());
    return bShown;
}

bool Load(Reader reader, const char* pszPath, DWORD cbPixels, Held& held)
{
    switch (reader)
    {
    case FILE_READ:
        return ReadFileBytes(pszPath, held);
    case PIXEL_BLOCK:
        held.pBytes = static_cast<BYTE*>(std::malloc(cbPixels));
        if (held.pBytes != nullptr)
            std::memset(held.pBytes, 0x80, cbPixels);
        return held.pBytes != nullptr;
    case BYTE_READER:
    {
        CFile file;
        ByteReader bytes;
        return file.Open(pszPath, CFile::modeRead) && bytes.DecodeFromFile(&file) && bytes.m_dwSum != 1;
    }
    case VISTEL:
        held.pDib = new SECDib;
        return LoadDisplayImage(*held.pDib, pszPath) && held.pDib->m_pPixelBits != nullptr;
    case TO_SCREEN:
    {
        // A tick of the slide show: the load for the window, which gives
        // the picture at the size it is drawn at, and its 1:1 draw.
        held.pDib = new SECDib;
        if (!LoadDisplayImage(*held.pDib, pszPath, &g_sizeScreen) || held.pDib->m_pPixelBits == nullptr)
            return false;
        const RECT rcFit = FitPicture(RECT{ 0, 0, g_sizeScreen.cx, g_sizeScreen.cy }, held.pDib->PixelWidth(),
                                      held.pDib->PixelHeight());
        held.dwWidth = DWORD(rcFit.right - rcFit.left);
        held.dwHeight = DWORD(rcFit.bottom - rcFit.top);
        return held.pDib->PixelWidth() == held.dwWidth && held.pDib->PixelHeight() == held.dwHeight &&
               DrawOnScreen(*held.pDib);
    }
    case BEFORE:
        // A tick as the slide show made it before it knew the window: the
        // full-size load, stretched down by the draw.
        held.pDib = new SECDib;
        return LoadDisplayImage(*held.pDib, pszPath) && held.pDib->m_pPixelBits != nullptr &&
               DrawOnScreen(*held.pDib);
    case STB:
    {
        int nWidth = 0, nHeight = 0, nChannels = 0;
        held.pBytes = stbi_load(pszPath, &nWidth, &nHeight, &nChannels, 3);
        held.dwWidth = DWORD(nWidth);
        held.dwHeight = DWORD(nHeight);
        return held.pBytes != nullptr;
    }
    case LIBJPEG:
        return DecodeBare(pszPath, held);
    default:
        return false;
    }
}

void Release(Reader reader, Held& held)
{
    delete held.pDib;
    if (reader == STB)
        stbi_image_free(held.pBytes);
    else
        std::free(held.pBytes);
    held = Held();
}

// The held picture as Rgb; false when it is of a kind the checks do not know.
bool ToRgb(Reader reader, const Held& held, Rgb& rgb)
{
    if (reader == VISTEL)
    {
        const SECDib& dib = *held.pDib;
        const int nDepth = dib.m_nPixelDepth;
        if ((nDepth != 24 && nDepth != 8) || dib.m_pInfoHeader == nullptr || dib.m_pInfoHeader->biCompression != BI_RGB)
            return false;
        rgb.dwWidth = dib.PixelWidth();
        rgb.dwHeight = dib.PixelHeight();
        rgb.bytes.resize(size_t(rgb.dwWidth) * rgb.dwHeight * 3);
        const size_t cbRow = SECImage::AlignedRowBytes(DWORD(nDepth), rgb.dwWidth);
        for (DWORD y = 0; y < rgb.dwHeight; y++)
        {
            const BYTE* pRow = dib.m_pPixelBits + (rgb.dwHeight - 1 - y) * cbRow;
            BYTE* pOut = &rgb.bytes[size_t(y) * rgb.dwWidth * 3];
            for (DWORD x = 0; x < rgb.dwWidth; x++, pOut += 3)
            {
                if (nDepth == 24)
                {
                    pOut[0] = pRow[3 * x + 2];
                    pOut[1] = pRow[3 * x + 1];
                    pOut[2] = pRow[3 * x];
                }
                else
                {
                    const RGBQUAD& entry = dib.m_pColorTable[pRow[x]];
                    pOut[0] = entry.rgbRed;
                    pOut[1] = entry.rgbGreen;
                    pOut[2] = entry.rgbBlue;
                }
            }
        }
        return true;
    }
    if (reader != STB && reader != LIBJPEG)
        return false;
    rgb.dwWidth = held.dwWidth;
    rgb.dwHeight = held.dwHeight;
    rgb.bytes.assign(held.pBytes, held.pBytes + size_t(held.dwWidth) * held.dwHeight * 3);
    if (reader == LIBJPEG) // blue, green, red
        for (size_t i = 0; i < rgb.bytes.size(); i += 3)
            std::swap(rgb.bytes[i], rgb.bytes[i + 2]);
    return true;
}

// A binary PPM file of 8-bit samples.
bool ReadPpm(const char* pszPath, Rgb& rgb)
{
    FILE* pFile = std::fopen(pszPath, "rb");
    if (pFile == nullptr)
        return false;
    unsigned long ulWidth = 0, ulHeight = 0, ulMax = 0;
    const bool bHeader = std::fscanf(pFile, "P6 %lu %lu %lu", &ulWidth, &ulHeight, &ulMax) == 3 && ulMax == 255 &&
                         std::fgetc(pFile) != EOF && ulWidth * ulHeight != 0 && ulWidth * ulHeight < 100000000;
    if (bHeader)
    {
        rgb.dwWidth = ulWidth;
        rgb.dwHeight = ulHeight;
        rgb.bytes.resize(size_t(ulWidth) * ulHeight * 3);
    }
    const bool bRead = bHeader && std::fread(rgb.bytes.data(), 1, rgb.bytes.size(), pFile) == rgb.bytes.size();
    std::fclose(pFile);
    return bRead;
}

// The peak signal-to-noise ratio of b against a in decibels; infinity when
// they are equal, a negative value when their sizes differ.
double Psnr(const Rgb& a, const Rgb& b)
{
    if (a.dwWidth != b.dwWidth || a.dwHeight != b.dwHeight || a.bytes.size() != b.bytes.size())
        return -1;
    double dSquares = 0;
    for (size_t i = 0; i < a.bytes.size(); i++)
    {
        const double d = double(a.bytes[i]) - double(b.bytes[i]);
        dSquares += d * d;
    }
    if (dSquares == 0)
        return INFINITY;
    return 10 * std::log10(255.0 * 255.0 * double(a.bytes.size()) / dSquares);
}

// The process's private bytes (committed; under Wine its anonymous
// resident memory), sampled by a thread of its own while a load runs.
SIZE_T PrivateBytes()
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof(counters);
    return ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof(counters)) ? counters.PagefileUsage : 0;
}

struct Sampler
{
    std::atomic<bool> bStop { false };
    std::atomic<SIZE_T> cbPeak { 0 };
    HANDLE hStarted = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);

    ~Sampler() { ::CloseHandle(hStarted); }

    // The first sample is the baseline, taken once the thread itself
    // (its stack, its own blocks) is counted.
    static DWORD WINAPI Run(void* pParam)
    {
        Sampler& s = *static_cast<Sampler*>(pParam);
        s.cbPeak = PrivateBytes();
        ::SetEvent(s.hStarted);
        while (!s.bStop)
        {
            const SIZE_T cb = PrivateBytes();
            if (cb > s.cbPeak)
                s.cbPeak = cb;
        }
        return 0;
    }
};

struct Row
{
    Reader reader;
    std::vector<double> times;
    double dPeakBytes = 0;
    std::string strCheck;
    bool bRefused = false; // the file is not loaded by this reader: not timed
};

struct FileResult
{
    const Picture* pPicture;
    double dFileBytes;
    DWORD cbPixels;
    double dPixelBytes;
    std::vector<Row> rows;
    bool bWrongPixels = false;

    const Row* Find(Reader reader) const
    {
        for (const Row& row : rows)
            if (row.reader == reader)
                return &row;
        return nullptr;
    }
    double MedianOf(Reader reader) const { return Median(Find(reader)->times); }
};

// The untimed load of one reader: its peak memory above what the process
// held before, and its pixels into rgb.
bool MeasureOnce(Reader reader, const char* pszPath, DWORD cbPixels, Row& row, Rgb& rgb, bool bPixels = true)
{
    Sampler sampler;
    HANDLE hThread = ::CreateThread(nullptr, 0, Sampler::Run, &sampler, 0, nullptr);
    if (hThread == nullptr || sampler.hStarted == nullptr)
        return false;
    ::WaitForSingleObject(sampler.hStarted, INFINITE);
    const SIZE_T cbBefore = sampler.cbPeak;
    Held held;
    const bool bLoaded = Load(reader, pszPath, cbPixels, held);
    const SIZE_T cbAfter = PrivateBytes();
    sampler.bStop = true;
    ::WaitForSingleObject(hThread, INFINITE);
    ::CloseHandle(hThread);
    const SIZE_T cbPeak = std::max<SIZE_T>(sampler.cbPeak, cbAfter);
    row.dPeakBytes = cbPeak > cbBefore ? double(cbPeak - cbBefore) : 0;
    const bool bGood = bLoaded && (reader < VISTEL || !bPixels || ToRgb(reader, held, rgb));
    Release(reader, held);
    return bGood;
}

std::string CheckText(double dPsnr, const char* pszAgainst)
{
    char sz[64];
    if (std::isinf(dPsnr))
        std::snprintf(sz, sizeof(sz), "same as %s", pszAgainst);
    else
        std::snprintf(sz, sizeof(sz), "%.1f dB from %s", dPsnr, pszAgainst);
    return sz;
}

// The untimed load of each reader of the file: peak memory and pixel
// checks; false when a load failed.
bool CheckFile(const Picture& picture, FileResult& result)
{
    result.pPicture = &picture;
    std::vector<Reader> readers = { FILE_READ, PIXEL_BLOCK };
    if (picture.bByteByByte)
        readers.push_back(BYTE_READER);
    readers.push_back(VISTEL);
    if (picture.bStb)
        readers.push_back(STB);
    if (picture.bJpeg)
        readers.push_back(LIBJPEG);

    Rgb source;
    if (!ReadPpm(picture.pszSource, source))
    {
        std::fprintf(stderr, "vistel_bench: cannot read %s\n", picture.pszSource);
        return false;
    }
    const DWORD cbPixels = SECImage::AlignedRowBytes(picture.dwDepth, source.dwWidth) * source.dwHeight;
    result.cbPixels = cbPixels;
    result.dPixelBytes = cbPixels;
    std::vector<Rgb> pixels(READERS);
    for (Reader reader : readers)
    {
        Row row;
        row.reader = reader;
        if (!MeasureOnce(reader, picture.pszFile, cbPixels, row, pixels[reader]))
        {
            std::fprintf(stderr, "vistel_bench: %s cannot load %s\n", READER_NAMES[reader], picture.pszFile);
            return false;
        }
        result.rows.push_back(row);
    }
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExA(picture.pszFile, GetFileExInfoStandard, &data))
        return false;
    result.dFileBytes = double(data.nFileSizeLow);

    // Lossless files: every reader gives the source's pixels. JPEG: ours
    // gives the bare decode's, stb_image nearly so, and the bare decode is
    // close to the source.
    for (Row& row : result.rows)
    {
        if (row.reader < VISTEL)
            continue;
        double dPsnr, dMinimum = INFINITY;
        const char* pszAgainst = "source";
        if (!picture.bJpeg || row.reader == LIBJPEG)
        {
            dPsnr = Psnr(source, pixels[row.reader]);
            if (picture.bJpeg)
                dMinimum = MIN_JPEG_PSNR;
        }
        else
        {
            dPsnr = Psnr(pixels[LIBJPEG], pixels[row.reader]);
            pszAgainst = "libjpeg";
            if (row.reader == STB)
                dMinimum = MIN_STB_PSNR;
        }
        row.strCheck = CheckText(dPsnr, pszAgainst);
        if (dPsnr < dMinimum)
        {
            row.strCheck += " (WRONG)";
            result.bWrongPixels = true;
        }
    }
    return true;
}

// One timed load of the file by each of its readers, starting with reader
// nRound (modulo their number) and going on in turn; false when a load
// failed.
bool TimeRound(FileResult& result, int nRound)
{
    for (size_t i = 0; i < result.rows.size(); i++)
    {
        Row& row = result.rows[(nRound + i) % result.rows.size()];
        if (row.bRefused)
            continue;
        Held held;
        const double dStart = Now();
        const bool bLoaded = Load(row.reader, result.pPicture->pszFile, result.cbPixels, held);
        const double dTime = Now() - dStart;
        Release(row.reader, held);
        if (!bLoaded)
        {
            std::fprintf(stderr, "vistel_bench: %s cannot load %s\n", READER_NAMES[row.reader],
                         result.pPicture->pszFile);
            return false;
        }
        row.times.push_back(dTime);
    }
    return true;
}

void PrintTable(const std::vector<FileResult>& results)
{
    std::printf("| file | reader | median | x file read | peak memory | x pixel block | pixels |\n");
    std::printf("|---|---|---|---|---|---|---|\n");
    for (const FileResult& result : results)
    {
        const double dRead = result.MedianOf(FILE_READ);
        bool bFirst = true;
        for (const Row& row : result.rows)
        {
            char szFile[96] = "";
            if (bFirst)
                std::snprintf(szFile, sizeof(szFile), "%s (%.1f MB)", result.pPicture->pszLabel,
                              result.dFileBytes / 1e6);
            bFirst = false;
            const double dTime = Median(row.times);
            std::printf("| %s | %s | %.1f ms | %.2f | %.1f MB | %.2f | %s |\n", szFile, READER_NAMES[row.reader],
                        dTime * 1e3, dTime / dRead, row.dPeakBytes / 1e6, row.dPeakBytes / result.dPixelBytes,
                        row.strCheck.c_str());
        }
    }

    std::printf("\n| target | measured | met |\n|---|---|---|\n");
    for (const FileResult& result : results)
    {
        const Picture& picture = *result.pPicture;
        const Reader yardstick = picture.bJpeg ? LIBJPEG : FILE_READ;
        const double dRatio = result.MedianOf(VISTEL) / result.MedianOf(yardstick);
        bool bMet = dRatio <= picture.dTarget;
        std::printf("| %s: Vistel at most %.2f x %s", picture.pszLabel, picture.dTarget,
                    yardstick == LIBJPEG ? "the bare decode" : "the file read");
        char szMeasured[64];
        std::snprintf(szMeasured, sizeof(szMeasured), "%.2f", dRatio);
        if (picture.bBeatStb)
        {
            const double dStb = result.MedianOf(VISTEL) / result.MedianOf(STB);
            bMet = bMet && dStb <= 1.0;
            std::printf(", and at most stb_image");
            std::snprintf(szMeasured, sizeof(szMeasured), "%.2f; %.2f x stb_image", dRatio, dStb);
        }
        std::printf(" | %s | %s |\n", szMeasured, bMet ? "yes" : "**no**");
    }
}
// The time-to-screen table: JPEG files of 2 to 200 megapixels, baseline and
// progressive (made by bench/run.sh as screen-MP-KIND.jpg), and the 12 MP
// picture as a 16-bit bitmap, each brought to the screen as a tick of the
// slide show does (loaded for the window at the size drawn at, drawn 1:1)
// next to a bare full-size decode (the bitmap: its file read) and to a tick
// as the saver made it before it knew the window's size (a full-size load,
// stretched by the draw). Then the average a second, smaller monitor adds.
const double SCREEN_MEGAPIXELS[] = { 2, 12, 24, 50, 108, 200 };
const double MAX_SCREEN_RATIO_24MP = 0.35; // to screen, against the bare decode of 24 MP baseline
const double MAX_BASELINE_PEAK = 64e6;     // peak memory of bringing any baseline file to the screen
const SIZE SECOND_MONITOR = { 1280, 1024 };

// The window that the ticks draw into, over the X screen, shown.
bool CreateScreenWindow()
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = ::DefWindowProcA;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.hbrBackground = static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH));
    wc.lpszClassName = "VistelBench";
    ::RegisterClassA(&wc);
    g_hWndScreen = ::CreateWindowExA(WS_EX_TOPMOST, wc.lpszClassName, "", WS_POPUP | WS_VISIBLE, 0, 0,
                                     g_sizeScreen.cx, g_sizeScreen.cy, nullptr, nullptr, wc.hInstance, nullptr);
    if (g_hWndScreen == nullptr)
        return false;
    ::UpdateWindow(g_hWndScreen);
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        ::DispatchMessageA(&msg);
    return true;
}

// The time of the average that a second monitor of SECOND_MONITOR's size
// adds to a tick (ShrinkToDrawnSize from the picture as loaded for the
// window, as DrawPictureAreas makes it).
int SecondMonitorTime(int nRounds)
{
    SECDib loaded;
    if (!LoadDisplayImage(loaded, "screen-12-baseline.jpg", &g_sizeScreen))
        return 1;
    std::vector<double> times;
    DWORD dwWidth = 0, dwHeight = 0;
    for (int r = 0; r < nRounds; r++)
    {
        SECDib shrunk;
        const double dStart = Now();
        if (!ShrinkToDrawnSize(loaded, SECOND_MONITOR, shrunk))
            return 1;
        times.push_back(Now() - dStart);
        dwWidth = shrunk.PixelWidth(), dwHeight = shrunk.PixelHeight();
    }
    std::printf("\nA second monitor of %ld x %ld: the %lu x %lu picture averaged to %lu x %lu in %.1f ms (median)\n",
                SECOND_MONITOR.cx, SECOND_MONITOR.cy, loaded.PixelWidth(), loaded.PixelHeight(), dwWidth, dwHeight,
                Median(times) * 1e3);
    return 0;
}

int ScreenTable(int nRounds)
{
    if (!CreateScreenWindow())
    {
        std::fprintf(stderr, "vistel_bench: cannot make the window\n");
        return 1;
    }
    std::vector<std::string> files, labels;
    for (double dMegapixels : SCREEN_MEGAPIXELS)
        for (const char* pszKind : { "baseline", "progressive" })
        {
            char sz[64];
            std::snprintf(sz, sizeof(sz), "screen-%g-%s.jpg", dMegapixels, pszKind);
            files.push_back(sz);
            std::snprintf(sz, sizeof(sz), "%g MP, %s", dMegapixels, pszKind);
            labels.push_back(sz);
        }
    files.push_back("screen-12-565.bmp");
    labels.push_back("12 MP, 16-bit BMP");
    std::vector<Picture> pictures;
    for (size_t i = 0; i < files.size(); i++)
        pictures.push_back({ files[i].c_str(), labels[i].c_str(), nullptr, 24, files[i].back() == 'g', false, false,
                             0, false });

    std::vector<FileResult> results(pictures.size());
    for (size_t i = 0; i < pictures.size(); i++)
    {
        FileResult& result = results[i];
        result.pPicture = &pictures[i];
        result.cbPixels = 0;
        for (Reader reader : { TO_SCREEN, BEFORE, pictures[i].bJpeg ? LIBJPEG : FILE_READ })
        {
            Row row;
            row.reader = reader;
            Rgb rgb;
            row.bRefused = !MeasureOnce(reader, pictures[i].pszFile, 0, row, rgb, false);
            if (row.bRefused && reader != BEFORE)
            {
                std::fprintf(stderr, "vistel_bench: %s cannot load %s\n", READER_NAMES[reader], pictures[i].pszFile);
                return 1;
            }
            result.rows.push_back(row);
        }
        WIN32_FILE_ATTRIBUTE_DATA data;
        result.dFileBytes = ::GetFileAttributesExA(pictures[i].pszFile, GetFileExInfoStandard, &data)
                                ? double(data.nFileSizeLow) + double(data.nFileSizeHigh) * 4294967296.0
                                : 0;
    }
    for (int r = 0; r < nRounds; r++)
    {
        for (FileResult& result : results)
            if (!TimeRound(result, r))
                return 1;
        std::fprintf(stderr, "vistel_bench: round %d of %d done\n", r + 1, nRounds);
    }

    std::printf("Medians of %d rounds on a %ld x %ld window; peak memory: the most private bytes above the load's "
                "start.\n\n",
                nRounds, g_sizeScreen.cx, g_sizeScreen.cy);
    std::printf("| file | to screen | peak | before | peak | bare full decode | peak | "
                "to screen / bare | to screen / before |\n|---|---|---|---|---|---|---|---|---|\n");
    bool bMet = true;
    for (const FileResult& result : results)
    {
        const Row& screen = *result.Find(TO_SCREEN);
        const Row& today = *result.Find(BEFORE);
        const Row& bare = result.rows[2];
        const double dScreen = Median(screen.times), dBare = Median(bare.times);
        char szToday[64] = "refused", szTodayPeak[32] = "-", szVersusToday[32] = "-";
        if (!today.bRefused)
        {
            std::snprintf(szToday, sizeof(szToday), "%.0f ms", Median(today.times) * 1e3);
            std::snprintf(szTodayPeak, sizeof(szTodayPeak), "%.1f MB", today.dPeakBytes / 1e6);
            std::snprintf(szVersusToday, sizeof(szVersusToday), "%.2f", dScreen / Median(today.times));
            bMet = bMet && (dScreen < Median(today.times) || !result.pPicture->bJpeg);
        }
        const bool bBaseline = std::strstr(result.pPicture->pszFile, "baseline") != nullptr;
        if (bBaseline)
            bMet = bMet && screen.dPeakBytes <= MAX_BASELINE_PEAK;
        if (bBaseline && std::strncmp(result.pPicture->pszFile, "screen-24-", 10) == 0)
            bMet = bMet && dScreen / dBare <= MAX_SCREEN_RATIO_24MP;
        std::printf("| %s (%.1f MB) | %.0f ms | %.1f MB | %s | %s | %.0f ms | %.1f MB | %.2f | %s |\n",
                    result.pPicture->pszLabel, result.dFileBytes / 1e6, dScreen * 1e3, screen.dPeakBytes / 1e6,
                    szToday, szTodayPeak, dBare * 1e3, bare.dPeakBytes / 1e6, dScreen / dBare, szVersusToday);
    }
    std::printf("\nTargets (24 MP baseline to screen at most %.2f x the bare decode; every JPEG file to screen faster "
                "than before; every baseline file to screen within %.0f MB): %s\n",
                MAX_SCREEN_RATIO_24MP, MAX_BASELINE_PEAK / 1e6, bMet ? "met" : "**not met**");
    return SecondMonitorTime(nRounds);
}
} // namespace

int main(int argc, char** argv)
{
    if ((argc != 2 && argc != 3) || std::atoi(argv[1]) < 1 ||
        (argc == 3 && (std::sscanf(argv[2], "%ldx%ld", &g_sizeScreen.cx, &g_sizeScreen.cy) != 2 ||
                       g_sizeScreen.cx <= 0 || g_sizeScreen.cy <= 0)))
    {
        std::fprintf(stderr, "usage: vistel_bench ROUNDS [WxH] (in the folder of the benchmark's pictures)\n");
        return 2;
    }
    const int nRounds = std::atoi(argv[1]);
    {
        SECDib probe;
        if (probe.m_nScreenColors != 0)
        {
            std::fprintf(stderr, "vistel_bench: needs a screen of more than 256 colours\n");
            return 2;
        }
    }
    if (argc == 3)
        return ScreenTable(nRounds);
    std::vector<FileResult> results;
    bool bGood = true;
    for (const Picture& picture : PICTURES)
    {
        FileResult result;
        if (!CheckFile(picture, result))
            return 1;
        bGood = bGood && !result.bWrongPixels;
        results.push_back(result);
    }
    // Every round goes over every file, so that a spell of load on the
    // machine falls on a few rounds of each file, not on all of one.
    for (int r = 0; r < nRounds; r++)
    {
        for (FileResult& result : results)
            if (!TimeRound(result, r))
                return 1;
        std::fprintf(stderr, "vistel_bench: round %d of %d done\n", r + 1, nRounds);
    }
    std::printf("Medians of %d rounds; peak memory: the most private bytes above the load's start.\n\n", nRounds);
    PrintTable(results);
    return bGood ? 0 : 1;
}

// Decoding speed of Targa and PCX files: SECTarga and SECPcx as the slide
// show runs them (LoadFromPath: open, decode, CompleteLoad), and for Targa
// files stb_image's decoder on the same files in the same process as the
// yardstick.
//
//   tgapcx_bench REPEATS FILE...
//
// Prints, for each file and decoder, the best and the median time of
// REPEATS loads and the megapixels per second they give. For Targa files it
// also checks that both decoders see the same pixels.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <stb_image.h>

#include "SECPcx.h"
#include "SECTarga.h"

namespace
{
double Now()
{
    static LARGE_INTEGER frequency = {};
    if (frequency.QuadPart == 0)
        ::QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER counter;
    ::QueryPerformanceCounter(&counter);
    return double(counter.QuadPart) / double(frequency.QuadPart);
}

struct Timing
{
    double best, median;
};

template <typename Load> Timing Measure(int nRepeats, Load load)
{
    std::vector<double> times;
    for (int i = 0; i < nRepeats; i++)
    {
        const double start = Now();
        if (!load())
        {
            std::fprintf(stderr, "tgapcx_bench: a load failed\n");
            std::exit(1);
        }
        times.push_back(Now() - start);
    }
    std::sort(times.begin(), times.end());
    return { times.front(), times[times.size() / 2] };
}

void Report(const char* pszFile, const char* pszDecoder, DWORD dwWidth, DWORD dwHeight, const Timing& t)
{
    const double megapixels = double(dwWidth) * dwHeight / 1e6;
    std::printf("%-28s %5lux%-5lu %-9s best %7.1f ms  median %7.1f ms  %6.1f MP/s (median %6.1f)\n", pszFile,
                static_cast<unsigned long>(dwWidth), static_cast<unsigned long>(dwHeight), pszDecoder,
                t.best * 1e3, t.median * 1e3, megapixels / t.best, megapixels / t.median);
    std::fflush(stdout);
}

const char* BaseName(const char* pszPath)
{
    const char* pszName = pszPath;
    for (const char* p = pszPath; *p != '\0'; p++)
        if (*p == '\\' || *p == '/')
            pszName = p + 1;
    return pszName;
}

// TRUE when stb_image's top-down RGB rows show the held bottom-up BGR rows.
bool SamePixels(const SECImage& image, const unsigned char* pRgb)
{
    const DWORD dwWidth = image.PixelWidth(), dwHeight = image.PixelHeight();
    const DWORD cbRow = SECImage::AlignedRowBytes(24, dwWidth);
    for (DWORD y = 0; y < dwHeight; y++)
    {
        const BYTE* pHeld = image.m_pPixelBits + (dwHeight - 1 - y) * cbRow;
        const unsigned char* pTheirs = pRgb + size_t(y) * dwWidth * 3;
        for (DWORD x = 0; x < dwWidth; x++)
            if (pHeld[3 * x] != pTheirs[3 * x + 2] || pHeld[3 * x + 1] != pTheirs[3 * x + 1] ||
                pHeld[3 * x + 2] != pTheirs[3 * x])
                return false;
    }
    return true;
}

void BenchTarga(const char* pszPath, int nRepeats)
{
    SECTarga image;
    const Timing ours = Measure(nRepeats, [&] { return image.LoadFromPath(pszPath) != FALSE; });
    Report(BaseName(pszPath), "SECTarga", image.PixelWidth(), image.PixelHeight(), ours);

    int nWidth = 0, nHeight = 0, nChannels = 0;
    unsigned char* pRgb = nullptr;
    const Timing theirs = Measure(nRepeats, [&] {
        stbi_image_free(pRgb);
        pRgb = stbi_load(pszPath, &nWidth, &nHeight, &nChannels, 0);
        return pRgb != nullptr;
    });
    Report(BaseName(pszPath), "stb_image", DWORD(nWidth), DWORD(nHeight), theirs);
    const bool bSame = nChannels == 3 && DWORD(nWidth) == image.PixelWidth() &&
                       DWORD(nHeight) == image.PixelHeight() && SamePixels(image, pRgb);
    std::printf("%-28s pixels of both decoders agree: %s\n", BaseName(pszPath), bSame ? "yes" : "NO");
    stbi_image_free(pRgb);
}

void BenchPcx(const char* pszPath, int nRepeats)
{
    SECPcx image;
    const Timing ours = Measure(nRepeats, [&] { return image.LoadFromPath(pszPath) != FALSE; });
    Report(BaseName(pszPath), "SECPcx", image.PixelWidth(), image.PixelHeight(), ours);
}
} // namespace

int main(int argc, char** argv)
{
    if (argc < 3 || std::atoi(argv[1]) < 1)
    {
        std::fprintf(stderr, "usage: tgapcx_bench REPEATS FILE...\n");
        return 2;
    }
    const int nRepeats = std::atoi(argv[1]);
    for (int i = 2; i < argc; i++)
    {
        const std::string strPath = argv[i];
        const std::string strEnd = strPath.size() >= 4 ? strPath.substr(strPath.size() - 4) : "";
        if (strEnd == ".tga" || strEnd == ".TGA")
            BenchTarga(argv[i], nRepeats);
        else
            BenchPcx(argv[i], nRepeats);
    }
    return 0;
}

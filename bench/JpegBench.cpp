// jpeg_bench: what SECJpeg's whole load costs next to a bare decode.
//
//   jpeg_bench ROUNDS FILE.jpg...
//
// For each file, in one run and alternating round by round:
// - "load": SECJpeg::LoadFromPath on a fresh object (file objects, the
//   decode through our file source into the picture block, row reversal,
//   CompleteLoad);
// - "bare": the same library build with the same decompression parameters,
//   reading the file through the library's stdio source and its scan lines
//   straight into one malloc'd buffer, top row first, with nothing around it.
// Both decode through the memory layer linked into the program (ours, with
// its ceiling and spill file), so the two differ only by what SECImage and
// SECJpeg add. Prints the best and the median time of each and the ratio of
// the medians; the screen must be deep (more than 256 colours) for the
// loads to be 24-bit like the bare decodes.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>

#include "SECJpeg.h"

static double Now()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER counter;
    ::QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// The bare decode; the seconds it took, or a negative value when the file
// could not be read. The library's standard error manager ends the program
// on a fatal error, which a benchmark file does not have.
static double BareDecode(const char* pszPath, unsigned long* pChecksum)
{
    const double dStart = Now();
    FILE* pFile = std::fopen(pszPath, "rb");
    if (pFile == nullptr)
        return -1;
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_decompress(&cinfo);
    jpeg_stdio_src(&cinfo, pFile);
    jpeg_read_header(&cinfo, TRUE);
    // SECJpeg's parameters on a deep screen for a colour file.
    cinfo.out_color_space = JCS_EXT_BGR;
    cinfo.scale_num = 1;
    cinfo.scale_denom = 1;
    cinfo.output_gamma = 1.0;
    cinfo.buffered_image = FALSE;
    cinfo.raw_data_out = FALSE;
    cinfo.dct_method = JDCT_ISLOW;
    cinfo.do_fancy_upsampling = TRUE;
    cinfo.do_block_smoothing = TRUE;
    cinfo.quantize_colors = FALSE;
    jpeg_start_decompress(&cinfo);
    const size_t cbRow = static_cast<size_t>(cinfo.output_width) * cinfo.output_components;
    BYTE* pImage = static_cast<BYTE*>(std::malloc(cbRow * cinfo.output_height));
    while (cinfo.output_scanline < cinfo.output_height)
    {
        JSAMPROW pRow = pImage + cbRow * cinfo.output_scanline;
        jpeg_read_scanlines(&cinfo, &pRow, 1);
    }
    jpeg_finish_decompress(&cinfo);
    *pChecksum += pImage[cbRow * (cinfo.output_height / 2)];
    jpeg_destroy_decompress(&cinfo);
    std::fclose(pFile);
    std::free(pImage);
    return Now() - dStart;
}

static double Load(const char* pszPath, unsigned long* pChecksum)
{
    SECJpeg* pJpeg = new SECJpeg;
    const double dStart = Now();
    const BOOL bLoaded = pJpeg->LoadFromPath(pszPath);
    const double dSeconds = Now() - dStart;
    if (bLoaded)
        *pChecksum += pJpeg->m_pPixelBits[0];
    delete pJpeg;
    return bLoaded ? dSeconds : -1;
}

static double Median(std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    const size_t n = times.size();
    return n % 2 != 0 ? times[n / 2] : (times[n / 2 - 1] + times[n / 2]) / 2;
}

int main(int argc, char** argv)
{
    if (argc < 3 || std::atoi(argv[1]) < 1)
    {
        std::fprintf(stderr, "usage: jpeg_bench ROUNDS FILE.jpg...\n");
        return 2;
    }
    const int nRounds = std::atoi(argv[1]);
    {
        SECJpeg probe;
        if (probe.m_nScreenColors != 0)
        {
            std::fprintf(stderr, "jpeg_bench: needs a screen of more than 256 colours\n");
            return 2;
        }
    }
    unsigned long checksum = 0;
    for (int i = 2; i < argc; i++)
    {
        const char* pszPath = argv[i];
        // One of each first: the file in the system's cache, the code paged in.
        if (Load(pszPath, &checksum) < 0 || BareDecode(pszPath, &checksum) < 0)
        {
            std::fprintf(stderr, "jpeg_bench: cannot decode %s\n", pszPath);
            return 1;
        }
        std::vector<double> loads, bares;
        for (int r = 0; r < nRounds; r++)
        {
            if (r % 2 == 0)
            {
                loads.push_back(Load(pszPath, &checksum));
                bares.push_back(BareDecode(pszPath, &checksum));
            }
            else
            {
                bares.push_back(BareDecode(pszPath, &checksum));
                loads.push_back(Load(pszPath, &checksum));
            }
        }
        const double dLoad = Median(loads), dBare = Median(bares);
        std::printf("%s: rounds %d, load best %.1f ms median %.1f ms, bare best %.1f ms median %.1f ms, "
                    "ratio %.3f\n",
                    pszPath, nRounds, 1000 * *std::min_element(loads.begin(), loads.end()), 1000 * dLoad,
                    1000 * *std::min_element(bares.begin(), bares.end()), 1000 * dBare, dLoad / dBare);
    }
    std::printf("(checksum %lu)\n", checksum);
    return 0;
}

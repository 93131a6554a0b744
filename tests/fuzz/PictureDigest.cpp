// Prints what the slide show's display image holds for each file named (under the file's own name, so its
// extension picks the reader) loaded for a 24-bit screen, an 8-bit palette screen and a 64 x 48 window:
// "refused", or its size, depth, colour-table use and an FNV-1a hash of its header and pixel blocks.
// The readers built for another processor, or with other SIMD routines, must print the same.
#include <fstream>
#include <iterator>

#include "../../slideshow/DisplayImage.h"
#include "ImageMemory.h"

static uint32_t Hash(uint32_t hash, const void* pBlock)
{
    for (DWORD i = 0, cb = ImageBlockSize(pBlock); i < cb; i++)
        hash = (hash ^ static_cast<const BYTE*>(pBlock)[i]) * 16777619u;
    return hash;
}

static void PrintCase(const char* pszName, const char* pszCase, int nScreenDepth, const SIZE* pBox)
{
    shim::nScreenDepth = nScreenDepth;
    SECDib image;
    LoadDisplayImage(image, pszName, pBox);
    if (image.m_pPixelBits == nullptr || image.m_pInfoHeader == nullptr)
        return (void)std::printf("%s %s refused\n", pszName, pszCase);
    std::printf("%s %s %lux%lu %d-bit table=%u palette=%s halftone=%s %08x\n", pszName, pszCase,
                static_cast<unsigned long>(image.PixelWidth()), static_cast<unsigned long>(image.PixelHeight()),
                image.m_nPixelDepth, static_cast<unsigned>(image.m_wTableEntries),
                image.m_pImagePalette != nullptr ? "yes" : "no", image.m_bHalftoneDraw ? "yes" : "no",
                Hash(Hash(2166136261u, image.m_pInfoHeader), image.m_pPixelBits));
}

int main(int argc, char** argv)
{
    shim::cbMaxBlock = 4u << 20; // every picture of the table loads whole
    const SIZE box = { 64, 48 };
    for (int i = 1; i < argc; i++)
    {
        std::ifstream file(argv[i], std::ios::binary);
        if (!file)
            return std::fprintf(stderr, "PictureDigest: cannot read %s\n", argv[i]), 2;
        shim::files[argv[i]].assign(std::istreambuf_iterator<char>(file), {});
        PrintCase(argv[i], "screen24", 24, nullptr);
        PrintCase(argv[i], "screen8", 8, nullptr);
        PrintCase(argv[i], "window64x48", 24, &box);
        shim::files.erase(argv[i]);
    }
    return 0;
}

// SECJpeg and its host pieces: the memory layer and its spill file, the file
// source, the error manager's way back, the colour order on both kinds of
// screen, the four-ink files, and what a failed read leaves.
//
// Files made by ImageMagick at test time (make-fixtures.sh) are found in the
// folder that VISTEL_JPEG_FIXTURES names. Files that ImageMagick cannot
// write (plain CMYK, two components) are encoded here by the library's own
// compressor, with their content spelled out.
#define DOCTEST_CONFIG_IMPLEMENT_WITH_MAIN
#include <doctest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "ImageMemory.h"
#include "JpegHost.h"
#include "SECJpeg.h"
#include "../image/TestPictures.h"

extern "C" {
#include <jerror.h>
#include <jmemsys.h>
}

// ---- Helpers ---------------------------------------------------------------

// A fixture's Windows path (the Linux folder is drive Z:).
static std::string Fixture(const char* pszName)
{
    const char* pszFolder = std::getenv("VISTEL_JPEG_FIXTURES");
    REQUIRE_MESSAGE(pszFolder != nullptr, "VISTEL_JPEG_FIXTURES names no folder");
    std::string strPath = std::string("Z:") + pszFolder + "/" + pszName;
    for (char& c : strPath)
        if (c == '/')
            c = '\\';
    return strPath;
}

static Bytes ReadWholeFile(const std::string& strPath)
{
    CFile file(strPath.c_str(), CFile::modeRead);
    Bytes bytes(file.GetLength());
    if (!bytes.empty())
        file.Read(bytes.data(), static_cast<UINT>(bytes.size()));
    return bytes;
}

// Sets a variable in the program's environment (both the C library's copy,
// which the decoder reads, and the system's); an empty value removes it.
static void SetEnv(const char* pszName, const std::string& strValue)
{
    const std::string strSetting = std::string(pszName) + "=" + strValue;
    REQUIRE(_putenv(strSetting.c_str()) == 0);
}

// The pixel (blue, green, red) of a held 24-bit picture at x, y from the top.
static Rgb Pixel24(const SECImage& image, DWORD x, DWORD y)
{
    const DWORD cbRow = SECImage::AlignedRowBytes(24, image.m_dwPixelsWide);
    const BYTE* p = image.m_pPixelBits + (image.m_dwPixelsHigh - 1 - y) * cbRow + 3 * x;
    return Rgb{ p[2], p[1], p[0] };
}

// The colour-table entry of a held 8-bit picture's pixel at x, y from the top.
static Rgb Pixel8(const SECImage& image, DWORD x, DWORD y, BYTE* pIndex = nullptr)
{
    const DWORD cbRow = SECImage::AlignedRowBytes(8, image.m_dwPixelsWide);
    const BYTE index = image.m_pPixelBits[(image.m_dwPixelsHigh - 1 - y) * cbRow + x];
    if (pIndex != nullptr)
        *pIndex = index;
    const RGBQUAD& entry = image.m_pColorTable[index];
    return Rgb{ entry.rgbRed, entry.rgbGreen, entry.rgbBlue };
}

static bool Near(const Rgb& a, const Rgb& b, int nTolerance)
{
    return std::abs(a.r - b.r) <= nTolerance && std::abs(a.g - b.g) <= nTolerance &&
           std::abs(a.b - b.b) <= nTolerance;
}

static std::string Show(const Rgb& c)
{
    return "(" + std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b) + ")";
}

// Encodes a picture with the library's compressor: nComponents samples a
// pixel as sample(x, y, c) gives them, in the file colour space jpegSpace
// made from inSpace, with or without the Adobe marker, at quality 100 and
// full chroma.
template <class Sample>
static Bytes EncodeJpeg(int nWidth, int nHeight, int nComponents, J_COLOR_SPACE inSpace, J_COLOR_SPACE jpegSpace,
                        bool bAdobeMarker, Sample sample)
{
    jpeg_compress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* pOut = nullptr;
    unsigned long cbOut = 0;
    jpeg_mem_dest(&cinfo, &pOut, &cbOut);
    cinfo.image_width = static_cast<JDIMENSION>(nWidth);
    cinfo.image_height = static_cast<JDIMENSION>(nHeight);
    cinfo.input_components = nComponents;
    cinfo.in_color_space = inSpace;
    jpeg_set_defaults(&cinfo);
    jpeg_set_colorspace(&cinfo, jpegSpace);
    for (int c = 0; c < cinfo.num_components; c++)
        cinfo.comp_info[c].h_samp_factor = cinfo.comp_info[c].v_samp_factor = 1;
    jpeg_set_quality(&cinfo, 100, TRUE);
    cinfo.write_Adobe_marker = bAdobeMarker;
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<JSAMPLE> row(static_cast<size_t>(nWidth * nComponents));
    while (cinfo.next_scanline < cinfo.image_height)
    {
        const int y = static_cast<int>(cinfo.next_scanline);
        for (int x = 0; x < nWidth; x++)
            for (int c = 0; c < nComponents; c++)
                row[static_cast<size_t>(x * nComponents + c)] = static_cast<JSAMPLE>(sample(x, y, c));
        JSAMPROW pRow = row.data();
        jpeg_write_scanlines(&cinfo, &pRow, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    Bytes bytes(pOut, pOut + cbOut);
    std::free(pOut);
    return bytes;
}

// Four 8 x 8 patches side by side, each of one ink mix (cyan, magenta,
// yellow, black as amounts of ink, 255 = full), stored inverted when asked.
static const BYTE INK_PATCHES[4][4] = { { 255, 0, 0, 0 }, { 0, 255, 0, 0 }, { 0, 0, 255, 0 }, { 0, 0, 0, 128 } };
static const Rgb INK_COLOURS[4] = { { 0, 255, 255 }, { 255, 0, 255 }, { 255, 255, 0 }, { 127, 127, 127 } };

static Bytes InkFile(J_COLOR_SPACE jpegSpace, bool bAdobeInverted)
{
    return EncodeJpeg(32, 8, 4, JCS_CMYK, jpegSpace, bAdobeInverted, [&](int x, int, int c) {
        const BYTE ink = INK_PATCHES[x / 8][c];
        return bAdobeInverted ? 255 - ink : ink;
    });
}

// ---- The class --------------------------------------------------------------

TEST_CASE("SECJpeg is a serializable class of its own and starts empty")
{
    SECJpeg jpeg;
    const CRuntimeClass* pClass = jpeg.GetRuntimeClass();
    CHECK(std::string(pClass->m_lpszClassName) == "SECJpeg");
    CHECK(pClass->m_wSchema == 1);
    CHECK(pClass->m_pBaseClass == RUNTIME_CLASS(CObject));
    CObject* pMade = pClass->m_pfnCreateObject();
    CHECK(pMade->GetRuntimeClass() == RUNTIME_CLASS(SECJpeg));
    delete pMade;
    CHECK(jpeg.m_dwBitsSize == 0);
    CHECK(jpeg.m_pPixelBits == nullptr);
}

// ---- Memory layer -------------------------------------------------------------

// Creates a decompression object with our error manager and returns its
// ceiling.
static long CeilingWith(const char* pszJpegMem)
{
    SetEnv("JPEGMEM", pszJpegMem);
    JpegErrorManager err;
    jpeg_decompress_struct cinfo;
    cinfo.err = InitJpegErrorManager(err);
    jpeg_create_decompress(&cinfo);
    const long lCeiling = cinfo.mem->max_memory_to_use;
    jpeg_destroy_decompress(&cinfo);
    SetEnv("JPEGMEM", "");
    return lCeiling;
}

TEST_CASE("The memory ceiling is 1,000,000 bytes unless JPEGMEM says otherwise")
{
    CHECK(CeilingWith("") == 1000000);
    CHECK(CeilingWith("500") == 500000);
    CHECK(CeilingWith("4m") == 4000000);
    CHECK(CeilingWith("4M") == 4000000);
    CHECK(CeilingWith("much") == 1000000);
}

TEST_CASE("The memory layer: what is available under the ceiling, and where large blocks come from")
{
    JpegErrorManager err;
    jpeg_decompress_struct cinfo;
    cinfo.err = InitJpegErrorManager(err);
    jpeg_create_decompress(&cinfo);
    j_common_ptr pCommon = reinterpret_cast<j_common_ptr>(&cinfo);

    CHECK(jpeg_mem_available(pCommon, 10, 5000000, 300000) == 700000);
    CHECK(jpeg_mem_available(pCommon, 10, 5000000, 1000000) == 0);
    CHECK(jpeg_mem_available(pCommon, 10, 5000000, 3000000) == 0); // never a negative amount
    cinfo.mem->max_memory_to_use = 0;                                 // JPEGMEM=0: everything spills
    CHECK(jpeg_mem_available(pCommon, 10, 5000000, 0) == 0);

    // Large blocks are picture memory, zero-filled; nothing larger than a
    // picture block can be.
    BYTE* pLarge = static_cast<BYTE*>(jpeg_get_large(pCommon, 70000));
    REQUIRE(pLarge != nullptr);
    CHECK(ImageBlockSize(pLarge) >= 70000);
    CHECK(pLarge[0] == 0);
    CHECK(pLarge[69999] == 0);
    jpeg_free_large(pCommon, pLarge, 70000);
    CHECK(jpeg_get_large(pCommon, static_cast<size_t>(MAX_IMAGE_BLOCK) + 1) == nullptr);
    CHECK(jpeg_get_large(pCommon, 0) == nullptr);
    void* pSmall = jpeg_get_small(pCommon, 100);
    CHECK(pSmall != nullptr);
    jpeg_free_small(pCommon, pSmall, 100);
    jpeg_destroy_decompress(&cinfo);
}

// A scratch folder for spill files, made the temporary folder of the
// program (TMP and TEMP) while the object lives.
struct TempFolder
{
    std::string strPath;
    std::string strOldTmp, strOldTemp;

    explicit TempFolder(const char* pszName) : strPath(TempPath(pszName))
    {
        const char* pszTmp = std::getenv("TMP");
        const char* pszTemp = std::getenv("TEMP");
        strOldTmp = pszTmp != nullptr ? pszTmp : "";
        strOldTemp = pszTemp != nullptr ? pszTemp : "";
        ::CreateDirectoryA(strPath.c_str(), nullptr);
        Use(strPath);
    }
    ~TempFolder()
    {
        SetEnv("TMP", strOldTmp);
        SetEnv("TEMP", strOldTemp);
        for (const std::string& strName : Files())
            ::DeleteFileA((strPath + "\\" + strName).c_str());
        ::RemoveDirectoryA(strPath.c_str());
    }
    static void Use(const std::string& strFolder)
    {
        SetEnv("TMP", strFolder);
        SetEnv("TEMP", strFolder);
    }
    std::vector<std::string> Files() const
    {
        std::vector<std::string> names;
        WIN32_FIND_DATAA found;
        HANDLE hFind = ::FindFirstFileA((strPath + "\\*").c_str(), &found);
        if (hFind == INVALID_HANDLE_VALUE)
            return names;
        do
        {
            if (std::strcmp(found.cFileName, ".") != 0 && std::strcmp(found.cFileName, "..") != 0)
                names.push_back(found.cFileName);
        } while (::FindNextFileA(hFind, &found));
        ::FindClose(hFind);
        return names;
    }
};

// A progressive file whose second scan names a component the frame does not
// have: a fatal error while the decoder reads the scans into its (spilled)
// coefficient buffers.
static Bytes WithBrokenSecondScan(Bytes bytes)
{
    int nScans = 0;
    for (size_t i = 0; i + 5 < bytes.size(); i++)
        if (bytes[i] == 0xFF && bytes[i + 1] == 0xDA && ++nScans == 2)
        {
            bytes[i + 5] = 0x77; // FF DA, length (2 bytes), count, then the first component's id
            return bytes;
        }
    FAIL("no second scan");
    return bytes;
}

TEST_CASE("A progressive picture larger than the ceiling decodes through a spill file that is removed afterwards")
{
    SECJpeg inMemory;
    REQUIRE(inMemory.LoadFromPath(Fixture("progressive.jpg").c_str()));
    REQUIRE(inMemory.m_nPixelDepth == 24);
    const Bytes expected = PixelBytes(inMemory, inMemory.m_dwBitsSize);
    const std::string strBroken =
        WriteTempFile("vistel-broken-scan.jpg", WithBrokenSecondScan(ReadWholeFile(Fixture("progressive.jpg"))));

    TempFolder folder("vistel-spill");
    SetEnv("JPEGMEM", "50"); // 50,000 bytes: far less than the coefficients need
    SUBCASE("the spilled decode gives the same picture and leaves nothing behind")
    {
        SECJpeg spilled;
        CHECK(spilled.LoadFromPath(Fixture("progressive.jpg").c_str()));
        CHECK(PixelBytes(spilled, spilled.m_dwBitsSize) == expected);
        CHECK(folder.Files().empty());
    }
    SUBCASE("a fatal error after the spill began removes the spill file too")
    {
        SECJpeg broken;
        CHECK_FALSE(broken.LoadFromPath(strBroken.c_str()));
        CHECK(broken.m_pPixelBits == nullptr);
        CHECK(folder.Files().empty());
        // The same file without a ceiling gets as far as the broken scan too.
        SetEnv("JPEGMEM", "");
        CHECK_FALSE(broken.LoadFromPath(strBroken.c_str()));
    }
    SUBCASE("without a folder to spill into the read fails; what fits under the ceiling needs none")
    {
        TempFolder::Use(folder.strPath + "\\missing");
        SECJpeg nowhere;
        CHECK_FALSE(nowhere.LoadFromPath(Fixture("progressive.jpg").c_str()));
        CHECK(nowhere.m_pPixelBits == nullptr);
        // A baseline picture needs no whole-picture buffer.
        CHECK(nowhere.LoadFromPath(Fixture("photo.jpg").c_str()));
        // The default ceiling is short of this picture's 921,600 bytes of
        // coefficients too; 2,000,000 bytes hold them.
        SetEnv("JPEGMEM", "");
        CHECK_FALSE(nowhere.LoadFromPath(Fixture("progressive.jpg").c_str()));
        SetEnv("JPEGMEM", "2m");
        CHECK(nowhere.LoadFromPath(Fixture("progressive.jpg").c_str()));
        CHECK(PixelBytes(nowhere, nowhere.m_dwBitsSize) == expected);
    }
    SetEnv("JPEGMEM", "");
}

// ---- File source ---------------------------------------------------------------

// A decompression object with the file source on a file, for calling the
// source's operations one at a time.
struct SourceUnderTest
{
    JpegErrorManager err;
    jpeg_decompress_struct cinfo;
    CFile file;
    bool bDestroyed = false;

    explicit SourceUnderTest(const Bytes& content) : file(WriteTempFile("vistel-source.jpg", content).c_str(), 0)
    {
        cinfo.err = InitJpegErrorManager(err);
        jpeg_create_decompress(&cinfo);
        InstallJpegFileSource(&cinfo, &file);
        (*cinfo.src->init_source)(&cinfo);
    }
    ~SourceUnderTest()
    {
        if (!bDestroyed)
            jpeg_destroy_decompress(&cinfo);
    }
};

// Calls fill_input_buffer; the bytes it delivered, or -1 after a fatal
// error (the error manager has destroyed the object then). The jump comes
// back into this frame, which holds nothing with a destructor.
static long Fill(SourceUnderTest& source)
{
    if (setjmp(source.err.jumpBack) != 0)
    {
        source.bDestroyed = true;
        return -1;
    }
    (*source.cinfo.src->fill_input_buffer)(&source.cinfo);
    return static_cast<long>(source.cinfo.src->bytes_in_buffer);
}

static Bytes Pattern(size_t n)
{
    Bytes bytes(n);
    for (size_t i = 0; i < n; i++)
        bytes[i] = static_cast<BYTE>(i * 7 + i / 256);
    return bytes;
}

TEST_CASE("The file source reads 4096 bytes at a time and ends with a fake end-of-image marker")
{
    const Bytes content = Pattern(5000);
    SourceUnderTest source(content);
    CHECK(source.cinfo.src->bytes_in_buffer == 0); // the first use fills
    CHECK(Fill(source) == 4096);
    CHECK(source.cinfo.src->next_input_byte[0] == content[0]);
    CHECK(Fill(source) == 904);
    CHECK(source.cinfo.src->next_input_byte[903] == content[4999]);
    CHECK(source.err.pub.num_warnings == 0);
    CHECK(Fill(source) == 2);
    CHECK(source.cinfo.src->next_input_byte[0] == 0xFF);
    CHECK(source.cinfo.src->next_input_byte[1] == 0xD9);
    CHECK(source.err.pub.num_warnings == 1);
    CHECK(source.err.pub.msg_code == JWRN_JPEG_EOF);
}

TEST_CASE("An empty file is the fatal error \"Empty input file\"")
{
    SourceUnderTest source({});
    CHECK(Fill(source) == -1);
    CHECK(source.err.pub.msg_code == JERR_INPUT_EMPTY);
    char szMessage[JMSG_LENGTH_MAX];
    source.err.pub.format_message(reinterpret_cast<j_common_ptr>(&source.cinfo), szMessage);
    CHECK(std::string(szMessage) == "Empty input file");
    CHECK(source.cinfo.mem == nullptr); // released by the error manager
}

TEST_CASE("Skipping input crosses buffer refills and the end of the file")
{
    const Bytes content = Pattern(9000);
    SourceUnderTest source(content);
    REQUIRE(Fill(source) == 4096);
    (*source.cinfo.src->skip_input_data)(&source.cinfo, 5000);
    CHECK(source.cinfo.src->next_input_byte[0] == content[5000]);
    CHECK(source.cinfo.src->bytes_in_buffer == 8192 - 5000);
    (*source.cinfo.src->skip_input_data)(&source.cinfo, 0);
    (*source.cinfo.src->skip_input_data)(&source.cinfo, -3);
    CHECK(source.cinfo.src->next_input_byte[0] == content[5000]);
    // Past the end: the skip runs through fake markers and stops.
    (*source.cinfo.src->skip_input_data)(&source.cinfo, 7000);
    CHECK(source.cinfo.src->bytes_in_buffer <= 2);
    CHECK(source.err.pub.num_warnings > 0);
}

// ---- Reads that fail ---------------------------------------------------------------

TEST_CASE("A read error of the file reaches the caller as the file's exception, and nothing stays behind")
{
    const std::string strPath = WriteTempFile("vistel-write-only.jpg", ReadWholeFile(Fixture("photo.jpg")));
    CFile writeOnly(strPath.c_str(), CFile::modeWrite); // reading it fails
    SECJpeg jpeg;
    CHECK_THROWS_AS(jpeg.DecodeFromFile(&writeOnly), CFileException);
    CHECK(jpeg.m_pPixelBits == nullptr);
    CHECK(jpeg.m_pInfoHeader == nullptr);
    CHECK(jpeg.m_dwBitsSize == 0);
    // The object reads again afterwards.
    CHECK(jpeg.LoadFromPath(Fixture("photo.jpg").c_str()));
}

TEST_CASE("A failed read leaves no blocks; a failed load of a held picture keeps it")
{
    // Two components: a sample of gray and one of something unnamed.
    const std::string strTwo = WriteTempFile(
        "vistel-two.jpg", EncodeJpeg(16, 16, 2, JCS_UNKNOWN, JCS_UNKNOWN, false, [](int x, int y, int c) {
            return c == 0 ? x * 16 : y * 16;
        }));
    SECJpeg jpeg;
    CFile file(strTwo.c_str(), CFile::modeRead);
    CHECK_FALSE(jpeg.DecodeFromFile(&file));
    CHECK(jpeg.m_pPixelBits == nullptr);
    CHECK(jpeg.m_pInfoHeader == nullptr);
    CHECK(jpeg.m_pColorTable == nullptr);
    CHECK(jpeg.m_dwBitsSize == 0);
    CHECK(jpeg.m_dwPixelsWide == 0);

    REQUIRE(jpeg.LoadFromPath(Fixture("rgb.jpg").c_str()));
    const BYTE* pHeld = jpeg.m_pPixelBits;
    CHECK_FALSE(jpeg.LoadFromPath(strTwo.c_str()));
    CHECK(jpeg.m_pPixelBits == pHeld);
    CHECK(jpeg.m_dwPixelsWide == 48);
    // A file cut in the middle of its data is no failure: it loads with
    // what it holds.
    Bytes cut = ReadWholeFile(Fixture("photo.jpg"));
    cut.resize(cut.size() / 2);
    CHECK(jpeg.LoadFromPath(WriteTempFile("vistel-half.jpg", cut).c_str())); // cut short: still a picture
    CHECK(jpeg.m_dwPixelsWide == 640);
}

// ---- Colours on a deep screen ------------------------------------------------------

TEST_SUITE("deep screen")
{
    TEST_CASE("Red, green and blue areas come out as red, green and blue, stored blue first")
    {
        SECJpeg jpeg;
        REQUIRE(jpeg.m_nScreenColors == 0);
        CHECK_FALSE(jpeg.m_bReduceColors);
        REQUIRE(jpeg.LoadFromPath(Fixture("rgb.jpg").c_str()));
        CHECK(jpeg.m_nPixelDepth == 24);
        CHECK(jpeg.m_wTableEntries == 0);
        CHECK(jpeg.m_pImagePalette == nullptr);
        CHECK(jpeg.m_pInfoHeader->biBitCount == 24);
        CHECK(jpeg.m_pInfoHeader->biHeight == 32);
        // Quality 100 over whole blocks of one colour: within 2 of pure.
        const Rgb expected[3] = { { 255, 0, 0 }, { 0, 255, 0 }, { 0, 0, 255 } };
        for (int area = 0; area < 3; area++)
            for (DWORD y : { 0u, 15u, 31u })
            {
                const Rgb seen = Pixel24(jpeg, 16 * area + 8, y);
                CHECK_MESSAGE(Near(seen, expected[area], 2), "area ", area, " row ", y, " is ", Show(seen));
            }
    }

    TEST_CASE("Grayscale files give blue = green = red = the gray level")
    {
        SECJpeg jpeg;
        REQUIRE(jpeg.LoadFromPath(Fixture("gray.jpg").c_str()));
        CHECK(jpeg.m_nPixelDepth == 24);
        for (DWORD x : { 0u, 1u, 100u, 254u, 255u })
        {
            const Rgb seen = Pixel24(jpeg, x, 3);
            CHECK(seen.r == seen.g);
            CHECK(seen.g == seen.b);
            CHECK(std::abs(seen.r - static_cast<int>(x)) <= 1);
        }
    }

    TEST_CASE("CMYK and YCCK files show their ink colours, with and without Adobe's inversion")
    {
        struct Case
        {
            const char* pszName;
            J_COLOR_SPACE space;
            bool bAdobe;
        } cases[] = { { "cmyk-adobe.jpg", JCS_CMYK, true },
                      { "cmyk-plain.jpg", JCS_CMYK, false },
                      { "ycck-adobe.jpg", JCS_YCCK, true } };
        for (const Case& c : cases)
        {
            CAPTURE(c.pszName);
            SECJpeg jpeg;
            REQUIRE(jpeg.LoadFromPath(WriteTempFile(c.pszName, InkFile(c.space, c.bAdobe)).c_str()));
            CHECK(jpeg.m_nPixelDepth == 24);
            for (int patch = 0; patch < 4; patch++)
            {
                const Rgb seen = Pixel24(jpeg, 8 * patch + 4, 4);
                CHECK_MESSAGE(Near(seen, INK_COLOURS[patch], 3), "patch ", patch, " is ", Show(seen));
            }
        }
    }
}

// ---- Colours on a palette screen ----------------------------------------------------

TEST_SUITE("palette screen")
{
    TEST_CASE("Red, green and blue areas index table entries of red, green and blue")
    {
        SECJpeg jpeg;
        REQUIRE(jpeg.m_nScreenColors == 256);
        CHECK(jpeg.m_bReduceColors);
        REQUIRE(jpeg.LoadFromPath(Fixture("rgb.jpg").c_str()));
        CHECK(jpeg.m_nPixelDepth == 8);
        CHECK(jpeg.m_wTableEntries == 256);
        CHECK(jpeg.m_pImagePalette != nullptr);
        CHECK_FALSE(jpeg.m_bHalftoneDraw);
        // The two-pass quantiser counts colours with 5 bits of red and blue
        // and 6 of green, and a chosen colour is the mean of its box: a pure
        // colour comes back within 8 of itself.
        const Rgb expected[3] = { { 255, 0, 0 }, { 0, 255, 0 }, { 0, 0, 255 } };
        for (int area = 0; area < 3; area++)
        {
            BYTE index = 0;
            const Rgb seen = Pixel8(jpeg, 16 * area + 8, 16, &index);
            CHECK_MESSAGE(Near(seen, expected[area], 8), "area ", area, " is ", Show(seen));
            // The palette carries the table's colour in the same order.
            CHECK(PaletteEntries(jpeg)[index] == seen);
        }
        // Entries past the colours the decoder chose are all zero.
        const RGBQUAD* pTable = jpeg.m_pColorTable;
        int nUsed = 0;
        while (nUsed < 256 && (pTable[nUsed].rgbRed | pTable[nUsed].rgbGreen | pTable[nUsed].rgbBlue) != 0)
            nUsed++;
        CHECK(nUsed < 256);
        for (int i = nUsed; i < 256; i++)
            CHECK((pTable[i].rgbRed | pTable[i].rgbGreen | pTable[i].rgbBlue | pTable[i].rgbReserved) == 0);
    }

    TEST_CASE("Grayscale files index the 256 gray levels, entry i being (i, i, i)")
    {
        SECJpeg jpeg;
        REQUIRE(jpeg.LoadFromPath(Fixture("gray.jpg").c_str()));
        CHECK(jpeg.m_nPixelDepth == 8);
        for (int i = 0; i < 256; i++)
        {
            const RGBQUAD& entry = jpeg.m_pColorTable[i];
            CHECK_MESSAGE((entry.rgbRed == i && entry.rgbGreen == i && entry.rgbBlue == i && entry.rgbReserved == 0),
                          "entry ", i);
        }
        for (DWORD x : { 0u, 100u, 255u })
        {
            BYTE index = 0;
            Pixel8(jpeg, x, 3, &index);
            CHECK(std::abs(index - static_cast<int>(x)) <= 1);
        }
    }

    TEST_CASE("CMYK files stay 24-bit and are drawn through the halftone palette")
    {
        SECJpeg jpeg;
        REQUIRE(jpeg.LoadFromPath(WriteTempFile("vistel-ink.jpg", InkFile(JCS_YCCK, true)).c_str()));
        CHECK(jpeg.m_nPixelDepth == 24);
        CHECK(jpeg.m_wTableEntries == 0);
        CHECK(jpeg.m_pImagePalette == nullptr);
        CHECK(jpeg.m_bHalftoneDraw);
        CHECK(Near(Pixel24(jpeg, 12, 4), INK_COLOURS[1], 3));
    }
}

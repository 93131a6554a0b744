// SECJpeg's host pieces and what the real program cannot show: the memory
// layer and its spill file, the file source, the error manager's way back,
// four-ink files ImageMagick does not write, and what a failed read leaves.
// Files that ImageMagick and cjpeg write are compared with their own
// decoding, on both kinds of screen, by the end-to-end tests.
//
// The files here are encoded by the library's own compressor, with their
// content spelled out.
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

// Sets a variable in the program's environment (the C library's copy, which
// the decoder reads, and the system's); an empty value removes it.
static void SetEnv(const char* pszName, const std::string& strValue)
{
    const std::string strSetting = std::string(pszName) + "=" + strValue;
    REQUIRE(_putenv(strSetting.c_str()) == 0);
}

// Encodes a picture with the library's compressor: nComponents samples a
// pixel as sample(x, y, c) gives them, in the file colour space jpegSpace
// made from inSpace, with or without the Adobe marker, at quality 100;
// YCbCr files with the library's default chroma subsampling (2 x 2), others
// at full resolution.
template <class Sample>
static Bytes EncodeJpeg(int nWidth, int nHeight, int nComponents, J_COLOR_SPACE inSpace, J_COLOR_SPACE jpegSpace,
                        bool bAdobeMarker, bool bProgressive, Sample sample)
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
    if (jpegSpace != JCS_YCbCr)
        for (int c = 0; c < cinfo.num_components; c++)
            cinfo.comp_info[c].h_samp_factor = cinfo.comp_info[c].v_samp_factor = 1;
    jpeg_set_quality(&cinfo, 100, TRUE);
    cinfo.write_Adobe_marker = bAdobeMarker;
    if (bProgressive)
        jpeg_simple_progression(&cinfo);
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

// An 800 x 600 colour photograph stand-in, baseline or progressive. Its
// coefficient buffers (1,446,400 bytes) are more than the default ceiling
// holds.
static std::string Photo(bool bProgressive)
{
    return WriteTempFile(bProgressive ? "vistel-progressive.jpg" : "vistel-photo.jpg",
                         EncodeJpeg(800, 600, 3, JCS_RGB, JCS_YCbCr, false, bProgressive, [](int x, int y, int c) {
                             return (x * (c + 1) + y * (3 - c) + (x * y) / 97) & 0xFF;
                         }));
}

static Bytes ReadWholeFile(const std::string& strPath)
{
    CFile file(strPath.c_str(), CFile::modeRead);
    Bytes bytes(file.GetLength());
    file.Read(bytes.data(), static_cast<UINT>(bytes.size()));
    return bytes;
}

// ---- Memory layer -------------------------------------------------------------

TEST_CASE("The memory layer: a ceiling of 1,000,000 bytes, what is available under it, where large blocks come from")
{
    JpegErrorManager err;
    jpeg_decompress_struct cinfo;
    cinfo.err = InitJpegErrorManager(err);
    jpeg_create_decompress(&cinfo);
    j_common_ptr pCommon = reinterpret_cast<j_common_ptr>(&cinfo);
    CHECK(cinfo.mem->max_memory_to_use == 1000000); // without JPEGMEM

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
    CHECK((pLarge[0] == 0 && pLarge[69999] == 0));
    jpeg_free_large(pCommon, pLarge, 70000);
    CHECK(jpeg_get_large(pCommon, static_cast<size_t>(MAX_IMAGE_BLOCK) + 1) == nullptr);
    CHECK(jpeg_get_large(pCommon, 0) == nullptr);
    jpeg_destroy_decompress(&cinfo);
}

// A scratch folder for spill files, made the temporary folder of the
// program (TMP and TEMP) while the object lives.
struct TempFolder
{
    std::string strPath, strOldTmp, strOldTemp;

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
            if (std::strcmp(found.cFileName, ".") != 0 && std::strcmp(found.cFileName, "..") != 0)
                names.push_back(found.cFileName);
        while (::FindNextFileA(hFind, &found));
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
    const std::string strProgressive = Photo(true), strBaseline = Photo(false);
    SECJpeg inMemory;
    REQUIRE(inMemory.LoadFromPath(strProgressive.c_str()));
    REQUIRE(inMemory.m_nPixelDepth == 24);
    const Bytes expected = PixelBytes(inMemory, inMemory.m_dwBitsSize);
    const std::string strBroken =
        WriteTempFile("vistel-broken-scan.jpg", WithBrokenSecondScan(ReadWholeFile(strProgressive)));

    TempFolder folder("vistel-spill");
    SetEnv("JPEGMEM", "50"); // 50,000 bytes: far less than the coefficients need
    SUBCASE("the spilled decode gives the same picture and leaves nothing behind")
    {
        SECJpeg spilled;
        CHECK(spilled.LoadFromPath(strProgressive.c_str()));
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
        CHECK_FALSE(nowhere.LoadFromPath(strProgressive.c_str()));
        CHECK(nowhere.m_pPixelBits == nullptr);
        // A baseline picture needs no whole-picture buffer.
        CHECK(nowhere.LoadFromPath(strBaseline.c_str()));
        // The default ceiling is short of the progressive picture too;
        // 2,000,000 bytes hold it.
        SetEnv("JPEGMEM", "");
        CHECK_FALSE(nowhere.LoadFromPath(strProgressive.c_str()));
        SetEnv("JPEGMEM", "2m");
        CHECK(nowhere.LoadFromPath(strProgressive.c_str()));
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
    CHECK((source.cinfo.src->next_input_byte[0] == 0xFF && source.cinfo.src->next_input_byte[1] == 0xD9));
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
    const std::string strPhoto = Photo(false);
    const std::string strPath = WriteTempFile("vistel-write-only.jpg", ReadWholeFile(strPhoto));
    CFile writeOnly(strPath.c_str(), CFile::modeWrite); // reading it fails
    SECJpeg jpeg;
    CHECK_THROWS_AS(jpeg.DecodeFromFile(&writeOnly), CFileException);
    CHECK((jpeg.m_pPixelBits == nullptr && jpeg.m_pInfoHeader == nullptr && jpeg.m_dwBitsSize == 0));
    CHECK(jpeg.LoadFromPath(strPhoto.c_str())); // the object reads again afterwards
}

TEST_CASE("Two-component files are failed reads that leave no blocks; a held picture stays")
{
    // A sample of gray and one of something unnamed.
    const std::string strTwo = WriteTempFile(
        "vistel-two.jpg", EncodeJpeg(16, 16, 2, JCS_UNKNOWN, JCS_UNKNOWN, false, false, [](int x, int y, int c) {
            return c == 0 ? x * 16 : y * 16;
        }));
    SECJpeg jpeg;
    CFile file(strTwo.c_str(), CFile::modeRead);
    CHECK_FALSE(jpeg.DecodeFromFile(&file));
    CHECK((jpeg.m_pPixelBits == nullptr && jpeg.m_pInfoHeader == nullptr && jpeg.m_pColorTable == nullptr));
    CHECK((jpeg.m_dwBitsSize == 0 && jpeg.m_dwPixelsWide == 0));

    REQUIRE(jpeg.LoadFromPath(Photo(false).c_str()));
    const BYTE* pHeld = jpeg.m_pPixelBits;
    CHECK_FALSE(jpeg.LoadFromPath(strTwo.c_str()));
    CHECK(jpeg.m_pPixelBits == pHeld);
    CHECK(jpeg.m_dwPixelsWide == 800);
}

// ---- Four inks ------------------------------------------------------------------

TEST_CASE("CMYK and YCCK files show their ink colours, with and without Adobe's inversion")
{
    // Four 8 x 8 patches side by side, each of one ink mix (cyan, magenta,
    // yellow, black as amounts of ink, 255 = full), stored inverted with
    // Adobe's marker.
    static const BYTE INKS[4][4] = { { 255, 0, 0, 0 }, { 0, 255, 0, 0 }, { 0, 0, 255, 0 }, { 0, 0, 0, 128 } };
    static const Rgb COLOURS[4] = { { 0, 255, 255 }, { 255, 0, 255 }, { 255, 255, 0 }, { 127, 127, 127 } };
    const std::pair<J_COLOR_SPACE, bool> kinds[] = { { JCS_CMYK, true }, { JCS_CMYK, false }, { JCS_YCCK, true } };
    for (const auto& kind : kinds)
    {
        const int nSpace = kind.first;
        const bool bInverted = kind.second;
        CAPTURE(nSpace);
        CAPTURE(bInverted);
        const Bytes file = EncodeJpeg(32, 8, 4, JCS_CMYK, kind.first, bInverted, false, [&](int x, int, int c) {
            return bInverted ? 255 - INKS[x / 8][c] : INKS[x / 8][c];
        });
        SECJpeg jpeg;
        REQUIRE(jpeg.LoadFromPath(WriteTempFile("vistel-inks.jpg", file).c_str()));
        CHECK(jpeg.m_nPixelDepth == 24);
        const DWORD cbRow = SECImage::AlignedRowBytes(24, 32);
        for (int patch = 0; patch < 4; patch++)
        {
            // Row 4 from the top of 8, the middle of the patch; blue, green, red.
            const BYTE* p = jpeg.m_pPixelBits + 3 * cbRow + 3 * (8 * patch + 4);
            CAPTURE(patch);
            CHECK(std::abs(p[2] - COLOURS[patch].r) <= 3);
            CHECK(std::abs(p[1] - COLOURS[patch].g) <= 3);
            CHECK(std::abs(p[0] - COLOURS[patch].b) <= 3);
        }
    }
}

// The load sequence every format shares: the holder that keeps a picture
// through a failed load, the file objects of path loads, AdoptContents,
// CompleteLoad and BuildPalette.
#include <doctest.h>

#include <cstring>

#include "ImageMemory.h"
#include "TestPictures.h"

// An 8-bit picture, 3 x 2, with a four-colour table.
static Bytes SmallBmp(BYTE bFirstPixel = 1)
{
    BmpInfo info;
    info.width = 3;
    info.height = 2;
    info.bitCount = 8;
    info.clrUsed = 4;
    return BuildBmp(info, Table({ { 0, 0, 0 }, { 255, 0, 0 }, { 0, 255, 0 }, { 0, 0, 255 } }),
                    { bFirstPixel, 2, 3, 0, 3, 2, 1, 0 });
}

// Everything a picture consists of (its blocks, palette, fields, first
// pixels and header bytes), to compare before and after.
static std::vector<UINT_PTR> Snapshot(const SECImage& image)
{
    std::vector<UINT_PTR> all = {
        UINT_PTR(image.m_pPixelBits), UINT_PTR(image.m_pInfoHeader), UINT_PTR(image.m_pImagePalette),
        UINT_PTR(image.m_pImagePalette != nullptr ? image.m_pImagePalette->m_hObject : nullptr),
        image.m_dwPixelsWide, image.m_dwPixelsHigh, image.m_dwAlignedWidth, UINT_PTR(image.m_nPixelDepth),
        image.m_wTableEntries, UINT_PTR(image.m_bRowsAligned), UINT_PTR(image.m_bHalftoneDraw),
    };
    const Bytes bytes = PixelBytes(image, 8);
    const BYTE* pHeader = reinterpret_cast<const BYTE*>(image.m_pInfoHeader);
    all.insert(all.end(), bytes.begin(), bytes.end());
    all.insert(all.end(), pHeader, pHeader + 40 + 16);
    return all;
}

// A decoder for the tests: it leaves a block behind and then fails, throws
// the framework's file exception as a failed read does, or claims success
// with nothing or with packed rows and no header.
class ScriptedImage : public SECImage
{
public:
    enum Script { FAIL, THROW, SUCCEED_EMPTY, SUCCEED_PACKED_ROWS } m_script = FAIL;

    BOOL DecodeFromFile(CFile*) override
    {
        if (m_script == SUCCEED_EMPTY)
            return TRUE;
        m_pPixelBits = static_cast<BYTE*>(AllocImageBlock(8));
        if (m_script == THROW)
            throw CFileException(CFileException::hardIO, ERROR_READ_FAULT, "scripted");
        if (m_script == FAIL)
        {
            m_dwPixelsWide = 99;
            return FALSE;
        }
        // Two 8-bit rows of 3 pixels, packed, in a block sized for aligned rows.
        std::memcpy(m_pPixelBits, "\x01\x02\x03\x04\x05\x06", 6);
        m_dwPixelsWide = 3;
        m_dwPixelsHigh = 2;
        m_nPixelDepth = 8;
        return TRUE;
    }
};

TEST_CASE("A failed load of an object that holds a picture leaves it exactly as it was")
{
    SECDib image;
    REQUIRE(image.LoadFromPath(WriteTempFile("vistel-held.bmp", SmallBmp()).c_str()));
    REQUIRE(image.m_pImagePalette != nullptr);
    const std::vector<UINT_PTR> before = Snapshot(image);
    Bytes broken = SmallBmp();
    broken[28] = 3; // biBitCount 3
    // The first bytes of a JFIF file: what the slide show hands a SECDib
    // after a JPEG object has decoded the same path.
    const Bytes jpeg = { 0xFF, 0xD8, 0xFF, 0xE0, 0, 0x10, 'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0, 0xFF, 0xD9 };
    const std::pair<const char*, Bytes> files[] = { { "vistel-photo.jpg", jpeg }, { "vistel-broken.bmp", broken },
                                                    { "vistel-empty.bmp", {} } };
    for (const auto& file : files)
    {
        CAPTURE(file.first);
        CHECK_FALSE(image.LoadFromPath(WriteTempFile(file.first, file.second).c_str()));
        CHECK(Snapshot(image) == before);
    }
    CHECK(PaletteEntries(image)[1] == Rgb{ 255, 0, 0 });
}

TEST_CASE("A failed decode frees what it left; a decode that made no picture is a failed load")
{
    const std::string strPath = WriteTempFile("vistel-any.bin", SmallBmp());
    ScriptedImage image;
    CHECK_FALSE(image.LoadFromPath(strPath.c_str()));
    CHECK(image.m_pPixelBits == nullptr);
    CHECK(image.m_dwPixelsWide == 0);
    image.m_script = ScriptedImage::SUCCEED_EMPTY;
    CHECK_FALSE(image.LoadFromPath(strPath.c_str()));
    CHECK(image.m_pInfoHeader == nullptr);
}

TEST_CASE("A read error travels to the caller after the held picture is back, and the file is closed")
{
    const std::string strPath = WriteTempFile("vistel-throw.bmp", SmallBmp());
    SECDib loaded;
    REQUIRE(loaded.LoadFromPath(strPath.c_str()));
    ScriptedImage image;
    image.AdoptContents(loaded);
    const std::vector<UINT_PTR> before = Snapshot(image);
    image.m_script = ScriptedImage::THROW;
    CHECK_THROWS_AS(image.LoadFromPath(strPath.c_str()), CFileException);
    CHECK(Snapshot(image) == before);
    // Closed on the way out: the same object opens the next file.
    image.m_script = ScriptedImage::FAIL;
    CHECK_FALSE(image.LoadFromPath(strPath.c_str()));
    CHECK(image.m_listFileObjects.GetCount() == 1);
    CHECK(Snapshot(image) == before);
}

TEST_CASE("Path loads keep one file object and reuse it")
{
    const std::string strMissing = TempPath("vistel-no-such-picture.bmp");
    SECDib image;
    // A missing file on the first load raises CFileException and changes nothing.
    CHECK_THROWS_AS(image.LoadFromPath(strMissing.c_str()), CFileException);
    CHECK((image.m_listFileObjects.GetCount() == 0 && image.m_pCurrentFile == nullptr));

    REQUIRE(image.LoadFromPath(WriteTempFile("vistel-first.bmp", SmallBmp(1)).c_str()));
    CFile* pFile = image.m_pCurrentFile;
    const std::string strSecond = WriteTempFile("vistel-second.bmp", SmallBmp(2));
    REQUIRE(image.LoadFromPath(strSecond.c_str()));
    CHECK(image.m_pCurrentFile == pFile);
    CHECK(pFile->GetFilePath() == strSecond.c_str());
    CHECK(image.m_pPixelBits[0] == 2);
    // With a file object to reuse, a missing file is FALSE, and the picture stays.
    const std::vector<UINT_PTR> before = Snapshot(image);
    CHECK_FALSE(image.LoadFromPath(strMissing.c_str()));
    CHECK(Snapshot(image) == before);
    CHECK(image.m_listFileObjects.GetCount() == 1);
    // Released file objects are forgotten, and a new one is made.
    image.ReleaseFileObjects();
    CHECK(image.m_pCurrentFile == nullptr);
    REQUIRE(image.LoadFromPath(strSecond.c_str()));
    CHECK(image.m_listFileObjects.GetCount() == 1);
}

TEST_CASE("AdoptContents moves the picture; the source keeps its sizes and owns nothing")
{
    SECDib source;
    REQUIRE(source.LoadFromPath(WriteTempFile("vistel-adopt.bmp", SmallBmp()).c_str()));
    const std::vector<UINT_PTR> before = Snapshot(source);
    SECDib target;
    CHECK(target.AdoptContents(source));
    CHECK(Snapshot(target) == before);
    CHECK(target.m_pColorTable == reinterpret_cast<RGBQUAD*>(reinterpret_cast<BYTE*>(target.m_pInfoHeader) + 40));
    CHECK((source.m_pPixelBits == nullptr && source.m_pInfoHeader == nullptr && source.m_pColorTable == nullptr &&
           source.m_pImagePalette == nullptr));
    CHECK((source.PixelWidth() == 3 && source.PixelHeight() == 2));
    CHECK(target.AdoptContents(target)); // from itself: nothing changes
    CHECK(Snapshot(target) == before);
}

TEST_CASE("CompleteLoad makes a header for decoders that made none and aligns their rows")
{
    ScriptedImage image;
    image.m_script = ScriptedImage::SUCCEED_PACKED_ROWS;
    REQUIRE(image.LoadFromPath(WriteTempFile("vistel-packed.bin", { 0 }).c_str()));
    REQUIRE(image.m_pInfoHeader != nullptr);
    const BITMAPINFOHEADER& h = *image.m_pInfoHeader;
    CHECK((h.biSize == 40 && h.biWidth == 3 && h.biHeight == 2 && h.biBitCount == 8 && h.biSizeImage == 8));
    CHECK(h.biPlanes == image.m_nScreenPlanes);
    CHECK(PixelBytes(image, 8) == Bytes{ 1, 2, 3, 0, 4, 5, 6, 0 });
}

TEST_CASE("The halftone decision is made anew for each picture an object loads")
{
    BmpInfo deep; // a 24-bit 1 x 1 picture
    const std::string strDeep = WriteTempFile("vistel-deep.bmp", BuildBmp(deep, {}, { 1, 2, 3, 0 }));
    SECDib image;
    image.m_nScreenDepth = 8; // as on a 256-colour screen
    REQUIRE(image.LoadFromPath(strDeep.c_str()));
    CHECK(image.m_bHalftoneDraw);
    REQUIRE(image.LoadFromPath(WriteTempFile("vistel-small.bmp", SmallBmp()).c_str()));
    CHECK_FALSE(image.m_bHalftoneDraw);
}

TEST_CASE("BuildPalette reads no entry past the header block")
{
    SECDib image;
    image.m_nPixelDepth = 8;
    // Room for exactly four entries, and a header that claims 4,294,967,295.
    image.m_pInfoHeader = static_cast<BITMAPINFOHEADER*>(AllocImageBlock(40 + 4 * 4));
    REQUIRE(ImageBlockSize(image.m_pInfoHeader) < 40 + 5 * 4);
    image.m_pInfoHeader->biClrUsed = 0xFFFFFFFF;
    RGBQUAD* pTable = reinterpret_cast<RGBQUAD*>(reinterpret_cast<BYTE*>(image.m_pInfoHeader) + 40);
    for (BYTE i = 0; i < 4; i++)
        pTable[i] = { i, i, i, 0 };
    REQUIRE(image.BuildPalette());
    const std::vector<Rgb> entries = PaletteEntries(image);
    REQUIRE(entries.size() == 256);
    CHECK(entries[3] == Rgb{ 3, 3, 3 });
    CHECK(entries[4] == Rgb{ 0, 0, 0 });
    CHECK(entries[255] == Rgb{ 0, 0, 0 });

    // A 16-bit picture has no table and gets no palette object at all.
    image.m_nPixelDepth = 16;
    image.m_pInfoHeader->biClrUsed = 0;
    CHECK_FALSE(image.BuildPalette());
    CHECK(image.m_pImagePalette == nullptr);
}

// The load sequence every format shares: file objects, the holder that
// keeps a picture through a failed load, AdoptContents, CompleteLoad and
// BuildPalette.
#include <doctest.h>

#include <cstring>
#include <string>

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

// The first bytes of a JFIF file: what the slide show hands a SECDib after
// a JPEG object has decoded the same path.
static Bytes JpegStart()
{
    return { 0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0, 0xFF, 0xD9 };
}

// Everything a picture consists of, to compare before and after.
struct Snapshot
{
    explicit Snapshot(const SECImage& image)
        : pBits(image.m_pPixelBits), pHeader(image.m_pInfoHeader), pPalette(image.m_pImagePalette),
          hPalette(image.m_pImagePalette != nullptr ? image.m_pImagePalette->m_hObject : nullptr),
          dwWidth(image.m_dwPixelsWide), dwHeight(image.m_dwPixelsHigh), dwAligned(image.m_dwAlignedWidth),
          nDepth(image.m_nPixelDepth), wEntries(image.m_wTableEntries), bAligned(image.m_bRowsAligned),
          bHalftone(image.m_bHalftoneDraw), bits(PixelBytes(image, 8)),
          header(reinterpret_cast<const BYTE*>(image.m_pInfoHeader),
                 reinterpret_cast<const BYTE*>(image.m_pInfoHeader) + 40 + 16)
    {
    }
    bool operator==(const Snapshot& o) const
    {
        return pBits == o.pBits && pHeader == o.pHeader && pPalette == o.pPalette && hPalette == o.hPalette &&
               dwWidth == o.dwWidth && dwHeight == o.dwHeight && dwAligned == o.dwAligned && nDepth == o.nDepth &&
               wEntries == o.wEntries && bAligned == o.bAligned && bHalftone == o.bHalftone && bits == o.bits &&
               header == o.header;
    }
    const void* pBits;
    const void* pHeader;
    const void* pPalette;
    HGDIOBJ hPalette;
    DWORD dwWidth, dwHeight, dwAligned;
    int nDepth;
    WORD wEntries;
    BOOL bAligned, bHalftone;
    Bytes bits, header;
};

// A decoder for the tests: it leaves a block behind and then fails, throws
// the framework's file exception as a failed read does, or claims success
// with whatever it was told to produce.
class ScriptedImage : public SECImage
{
public:
    enum Script { FAIL, THROW, SUCCEED_EMPTY, SUCCEED_PACKED_ROWS } m_script = FAIL;
    int m_nDecodes = 0;

    BOOL DecodeFromFile(CFile*) override
    {
        m_nDecodes++;
        switch (m_script)
        {
        case FAIL:
            m_pPixelBits = static_cast<BYTE*>(AllocImageBlock(64));
            m_dwPixelsWide = 99;
            return FALSE;
        case THROW:
            m_pPixelBits = static_cast<BYTE*>(AllocImageBlock(64));
            throw CFileException(CFileException::hardIO, ERROR_READ_FAULT, "scripted");
        case SUCCEED_EMPTY:
            return TRUE;
        case SUCCEED_PACKED_ROWS:
            // Two 8-bit rows of 3 pixels, packed, in a block sized for
            // aligned rows, and no header.
            m_pPixelBits = static_cast<BYTE*>(AllocImageBlock(8));
            std::memcpy(m_pPixelBits, "\x01\x02\x03\x04\x05\x06", 6);
            m_dwPixelsWide = 3;
            m_dwPixelsHigh = 2;
            m_nPixelDepth = 8;
            return TRUE;
        }
        return FALSE;
    }
};

TEST_CASE("The classes: SECDib is a serializable class of its own, SECImage has none")
{
    SECDib dib;
    const CRuntimeClass* pClass = dib.GetRuntimeClass();
    CHECK(std::string(pClass->m_lpszClassName) == "SECDib");
    CHECK(pClass->m_wSchema == 1);
    CHECK(pClass->m_pBaseClass == RUNTIME_CLASS(CObject));
    CObject* pMade = pClass->m_pfnCreateObject();
    CHECK(pMade->GetRuntimeClass() == RUNTIME_CLASS(SECDib));
    delete pMade;
    ScriptedImage plain;
    CHECK(plain.GetRuntimeClass() == RUNTIME_CLASS(CObject));
    CHECK(plain.m_pPixelBits == nullptr);
    CHECK(plain.m_pCurrentFile == nullptr);
    CHECK(plain.m_listFileObjects.GetCount() == 0);
}

TEST_CASE("A failed load of an object that holds a picture leaves it exactly as it was")
{
    SECDib image;
    REQUIRE(image.LoadFromPath(WriteTempFile("vistel-held.bmp", SmallBmp()).c_str()));
    REQUIRE(image.m_pImagePalette != nullptr);
    const Snapshot before(image);

    SUBCASE("a JPEG file")
    {
        CHECK_FALSE(image.LoadFromPath(WriteTempFile("vistel-photo.jpg", JpegStart()).c_str()));
    }
    SUBCASE("a broken BMP file")
    {
        Bytes broken = SmallBmp();
        broken[28] = 3; // biBitCount 3
        CHECK_FALSE(image.LoadFromPath(WriteTempFile("vistel-broken.bmp", broken).c_str()));
    }
    SUBCASE("an empty file")
    {
        CHECK_FALSE(image.LoadFromPath(WriteTempFile("vistel-empty.bmp", {}).c_str()));
    }
    CHECK(Snapshot(image) == before);
    CHECK(PaletteEntries(image)[1] == Rgb{ 255, 0, 0 });
}

TEST_CASE("A failed decode frees what it left; an empty object stays empty")
{
    const std::string strPath = WriteTempFile("vistel-any.bin", SmallBmp());
    ScriptedImage image;
    CHECK_FALSE(image.LoadFromPath(strPath.c_str()));
    CHECK(image.m_nDecodes == 1);
    CHECK(image.m_pPixelBits == nullptr);
    CHECK(image.m_dwPixelsWide == 0);

    // A decoder that says TRUE but made no picture is a failed load too.
    image.m_script = ScriptedImage::SUCCEED_EMPTY;
    CHECK_FALSE(image.LoadFromPath(strPath.c_str()));
    CHECK(image.m_pInfoHeader == nullptr);
    CHECK(image.m_pPixelBits == nullptr);
}

TEST_CASE("A read error travels to the caller after the held picture is back")
{
    const std::string strPath = WriteTempFile("vistel-throw.bmp", SmallBmp());
    SECDib loaded;
    REQUIRE(loaded.LoadFromPath(strPath.c_str()));
    ScriptedImage image;
    image.AdoptContents(loaded);
    const Snapshot before(image);

    image.m_script = ScriptedImage::THROW;
    bool bThrown = false;
    try
    {
        image.LoadFromPath(strPath.c_str());
    }
    catch (const CFileException& e)
    {
        bThrown = true;
        CHECK(e.m_cause == CFileException::hardIO);
    }
    CHECK(bThrown);
    CHECK(Snapshot(image) == before);
    // The file was closed on the way out: the same object opens the next file.
    image.m_script = ScriptedImage::FAIL;
    CHECK_FALSE(image.LoadFromPath(strPath.c_str()));
    CHECK(image.m_listFileObjects.GetCount() == 1);
    CHECK(Snapshot(image) == before);
}

TEST_CASE("Path loads keep one file object and reuse it")
{
    const std::string strFirst = WriteTempFile("vistel-first.bmp", SmallBmp(1));
    const std::string strSecond = WriteTempFile("vistel-second.bmp", SmallBmp(2));
    const std::string strMissing = TempPath("vistel-no-such-picture.bmp");
    SECDib image;

    SUBCASE("a missing file on the first load raises CFileException and changes nothing")
    {
        CHECK_THROWS_AS(image.LoadFromPath(strMissing.c_str()), CFileException);
        CHECK(image.m_listFileObjects.GetCount() == 0);
        CHECK(image.m_pCurrentFile == nullptr);
        CHECK(image.m_pPixelBits == nullptr);
    }
    SUBCASE("the second load reuses the first file object")
    {
        REQUIRE(image.LoadFromPath(strFirst.c_str()));
        CFile* pFile = image.m_pCurrentFile;
        REQUIRE(pFile != nullptr);
        REQUIRE(image.LoadFromPath(strSecond.c_str()));
        CHECK(image.m_pCurrentFile == pFile);
        CHECK(image.m_listFileObjects.GetCount() == 1);
        CHECK(pFile->GetFilePath() == strSecond.c_str());
        CHECK(image.m_pPixelBits[0] == 2);

        // A second path that cannot be opened: FALSE, and the picture stays.
        const Snapshot before(image);
        CHECK_FALSE(image.LoadFromPath(strMissing.c_str()));
        CHECK(Snapshot(image) == before);
        CHECK(image.m_listFileObjects.GetCount() == 1);
    }
    SUBCASE("released file objects are forgotten, and a new one is made")
    {
        REQUIRE(image.LoadFromPath(strFirst.c_str()));
        image.ReleaseFileObjects();
        CHECK(image.m_listFileObjects.GetCount() == 0);
        CHECK(image.m_pCurrentFile == nullptr);
        REQUIRE(image.LoadFromPath(strSecond.c_str()));
        CHECK(image.m_listFileObjects.GetCount() == 1);
    }
    SUBCASE("a file the caller opened is read where it stands and never reopened")
    {
        CFile callers(strFirst.c_str(), CFile::modeRead);
        REQUIRE(image.LoadFromFile(&callers));
        CHECK(image.m_pCurrentFile == &callers);
        REQUIRE(image.LoadFromPath(strSecond.c_str()));
        CHECK(callers.GetFilePath() == strFirst.c_str());
        CHECK(image.m_listFileObjects.GetCount() == 1);
        CFile* pOwn = image.m_pCurrentFile;
        CHECK(pOwn != &callers);

        // The object's own file object stays the one it reopens.
        callers.Seek(0, CFile::begin);
        REQUIRE(image.LoadFromFile(&callers));
        REQUIRE(image.LoadFromPath(strFirst.c_str()));
        CHECK(image.m_pCurrentFile == pOwn);
        CHECK(image.m_listFileObjects.GetCount() == 1);
        CHECK(callers.GetFilePath() == strFirst.c_str());
    }
}

TEST_CASE("AdoptContents moves the picture; the source keeps its sizes and owns nothing")
{
    SECDib source;
    REQUIRE(source.LoadFromPath(WriteTempFile("vistel-adopt.bmp", SmallBmp()).c_str()));
    const Snapshot before(source);
    SECDib target;
    CHECK(target.AdoptContents(source));
    CHECK(Snapshot(target) == before);
    CHECK(target.m_pColorTable == reinterpret_cast<RGBQUAD*>(reinterpret_cast<BYTE*>(target.m_pInfoHeader) + 40));
    CHECK(source.m_pPixelBits == nullptr);
    CHECK(source.m_pInfoHeader == nullptr);
    CHECK(source.m_pColorTable == nullptr);
    CHECK(source.m_pImagePalette == nullptr);
    CHECK(source.PixelWidth() == 3);
    CHECK(source.PixelHeight() == 2);
    CHECK(target.m_pCurrentFile == nullptr);

    // Adopting from itself changes nothing.
    CHECK(target.AdoptContents(target));
    CHECK(Snapshot(target) == before);
}

TEST_CASE("CompleteLoad: a header for decoders that made none, aligned rows, the halftone decision")
{
    SUBCASE("a plain header and aligned rows")
    {
        ScriptedImage image;
        image.m_script = ScriptedImage::SUCCEED_PACKED_ROWS;
        REQUIRE(image.LoadFromPath(WriteTempFile("vistel-packed.bin", { 0 }).c_str()));
        REQUIRE(image.m_pInfoHeader != nullptr);
        CHECK(image.m_pInfoHeader->biSize == 40);
        CHECK(image.m_pInfoHeader->biWidth == 3);
        CHECK(image.m_pInfoHeader->biHeight == 2);
        CHECK(image.m_pInfoHeader->biBitCount == 8);
        CHECK(image.m_pInfoHeader->biPlanes == image.m_nScreenPlanes);
        CHECK(image.m_pInfoHeader->biSizeImage == 8);
        CHECK(image.m_bRowsAligned);
        CHECK(PixelBytes(image, 8) == Bytes{ 1, 2, 3, 0, 4, 5, 6, 0 });
    }
    SUBCASE("halftone exactly when a palette screen's depth differs from the picture's")
    {
        BmpInfo info;
        const Bytes deep = BuildBmp(info, {}, { 1, 2, 3, 0 });
        const std::string strDeep = WriteTempFile("vistel-deep.bmp", deep);
        const std::string strSmall = WriteTempFile("vistel-small.bmp", SmallBmp());
        SECDib image;
        image.m_nScreenDepth = 8; // as on a 256-colour screen
        REQUIRE(image.LoadFromPath(strDeep.c_str()));
        CHECK(image.m_bHalftoneDraw);
        // A later 8-bit picture in the same object is drawn with its own palette.
        REQUIRE(image.LoadFromPath(strSmall.c_str()));
        CHECK_FALSE(image.m_bHalftoneDraw);
        image.m_nScreenDepth = 0; // a true-colour screen
        REQUIRE(image.LoadFromPath(strDeep.c_str()));
        CHECK_FALSE(image.m_bHalftoneDraw);
    }
}

TEST_CASE("BuildPalette reads no entry past the header block")
{
    SECDib image;
    image.m_nPixelDepth = 8;
    image.m_wTableEntries = 0;
    // A header block with room for exactly four entries, whose header claims
    // four thousand million.
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

    SUBCASE("a 24-bit picture needs none")
    {
        image.m_nPixelDepth = 24;
        CHECK(image.BuildPalette());
    }
    SUBCASE("a 16-bit picture has no table and gets no palette object at all")
    {
        image.m_nPixelDepth = 16;
        image.m_pInfoHeader->biClrUsed = 0;
        CHECK_FALSE(image.BuildPalette());
        CHECK(image.m_pImagePalette == nullptr);
    }
}

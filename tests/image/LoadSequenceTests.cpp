// The load sequence every format shares: a failed load or a read error
// leaves the held picture as it was, and a read error reaches the caller.
#include <doctest.h>

#include <cstdlib>

#include "ImageMemory.h"
#include "SECJpeg.h"
#include "TestPictures.h"

// An 8-bit picture, 3 x 2, with a table of black, red, green and blue.
static const Bytes SMALL_BMP = BuildBmp(3, 2, 8, { 0, 0, 0, 0, 0, 0, 255, 0, 0, 255, 0, 0, 255, 0, 0, 0 },
                                        { 1, 2, 3, 0, 3, 2, 1, 0 });

// What a picture consists of, to compare before and after.
static std::vector<UINT_PTR> Snapshot(const SECImage& image)
{
    std::vector<UINT_PTR> all = { UINT_PTR(image.m_pPixelBits), UINT_PTR(image.m_pInfoHeader),
                                  UINT_PTR(image.m_pImagePalette), image.m_dwPixelsWide, image.m_dwPixelsHigh,
                                  UINT_PTR(image.m_nPixelDepth), image.m_wTableEntries };
    all.insert(all.end(), image.m_pPixelBits, image.m_pPixelBits + 8);
    return all;
}

// A decoder that leaves a block behind and then fails, or throws the
// framework's file exception as a failed read does.
struct ScriptedImage : public SECImage
{
    bool m_bThrow = false;

    BOOL DecodeFromFile(CFile*) override
    {
        m_pPixelBits = static_cast<BYTE*>(AllocImageBlock(8));
        m_dwPixelsWide = 99;
        if (m_bThrow)
            throw CFileException(CFileException::hardIO, ERROR_READ_FAULT, "scripted");
        return FALSE;
    }
};

// A SECDib holding SMALL_BMP, loaded from its file, and what it consisted of.
struct HeldPicture
{
    const std::string strPath = WriteTempFile("vistel-held.bmp", SMALL_BMP);
    SECDib loaded;
    std::vector<UINT_PTR> before;
    HeldPicture()
    {
        REQUIRE(loaded.LoadFromPath(strPath.c_str()));
        before = Snapshot(loaded);
    }
};

TEST_CASE_FIXTURE(HeldPicture, "A loaded picture's palette holds its colour table")
{
    REQUIRE(loaded.m_pImagePalette != nullptr);
    PALETTEENTRY entry; // the table's entry 1, red
    ::GetPaletteEntries(*loaded.m_pImagePalette, 1, 1, &entry);
    CHECK(RGB(entry.peRed, entry.peGreen, entry.peBlue) == RGB(255, 0, 0));
}

TEST_CASE_FIXTURE(HeldPicture, "A failed load leaves the held picture as it was")
{
    Bytes broken = SMALL_BMP;
    broken[28] = 3; // biBitCount 3
    CHECK_FALSE(loaded.LoadFromPath(WriteTempFile("vistel-broken.bmp", broken).c_str()));
    CHECK_FALSE(loaded.LoadFromPath(WriteTempFile("vistel-empty.bmp", {}).c_str()));
    CHECK(Snapshot(loaded) == before);
    ScriptedImage image; // a decoder that leaves a block behind
    image.AdoptContents(loaded);
    CHECK_FALSE(image.LoadFromPath(strPath.c_str()));
    CHECK(Snapshot(image) == before);
}

TEST_CASE_FIXTURE(HeldPicture, "A read error reaches the caller, leaves the held picture and closes the file")
{
    ScriptedImage image;
    image.AdoptContents(loaded);
    image.m_bThrow = true;
    CHECK_THROWS_AS(image.LoadFromPath(strPath.c_str()), CFileException);
    CHECK(Snapshot(image) == before);
    // The same object opens the file again.
    image.m_bThrow = false;
    CHECK_FALSE(image.LoadFromPath(strPath.c_str()));
    CHECK(image.m_listFileObjects.GetCount() == 1);
}

// SECJpeg's memory layer, which the real program cannot show (the spill file goes after a fatal error too).
TEST_CASE("A picture beyond the memory ceiling decodes through a spill file that is removed afterwards")
{
    // An 800 x 600 progressive picture (CMakeLists.txt makes it): its
    // coefficient buffers take 1,446,400 bytes, beyond the 1,000,000 allowed.
    CFile file("progressive.jpg", CFile::modeRead);
    Bytes broken(file.GetLength());
    file.Read(broken.data(), static_cast<UINT>(broken.size()));
    // The second scan names a component the frame lacks: a fatal error mid-spill.
    for (size_t i = 0, nScans = 0; i + 5 < broken.size() && nScans < 2; i++)
        if (broken[i] == 0xFF && broken[i + 1] == 0xDA && ++nScans == 2)
            broken[i + 5] = 0x77;
    const std::string strBroken = WriteTempFile("vistel-broken-scan.jpg", broken);

    const std::string strFolder = TempPath(("vistel-spill-" + std::to_string(::GetCurrentProcessId())).c_str());
    ::CreateDirectoryA(strFolder.c_str(), nullptr);
    const std::string strOldTmp = std::string("TMP=") + (std::getenv("TMP") != nullptr ? std::getenv("TMP") : "");
    REQUIRE(_putenv(("TMP=" + strFolder).c_str()) == 0);
    SECJpeg spilled;
    CHECK(spilled.LoadFromPath("progressive.jpg")); // the picture table shows spilled pixels are right
    CHECK_FALSE(spilled.LoadFromPath(strBroken.c_str()));
    CHECK(::RemoveDirectoryA(strFolder.c_str())); // empty: no spill file left
    // Without a folder to spill into the read fails: the default ceiling made it spill.
    CHECK_FALSE(spilled.LoadFromPath("progressive.jpg"));
    REQUIRE(_putenv(strOldTmp.c_str()) == 0);
}

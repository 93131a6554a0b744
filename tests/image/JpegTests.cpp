// SECJpeg's memory layer, which the real program cannot show: a picture
// beyond its ceiling decodes through a spill file, removed afterwards (after
// a fatal error too).
#include <doctest.h>

#include <cstdlib>

#include "SECJpeg.h"
#include "TestPictures.h"

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
    SECJpeg inMemory;
    REQUIRE(_putenv("JPEGMEM=2m") == 0);
    REQUIRE(inMemory.LoadFromPath("progressive.jpg"));
    REQUIRE(_putenv("JPEGMEM=") == 0);

    const std::string strFolder = TempPath(("vistel-spill-" + std::to_string(::GetCurrentProcessId())).c_str());
    ::CreateDirectoryA(strFolder.c_str(), nullptr);
    const std::string strOldTmp = std::string("TMP=") + (std::getenv("TMP") != nullptr ? std::getenv("TMP") : "");
    REQUIRE(_putenv(("TMP=" + strFolder).c_str()) == 0);
    SECJpeg spilled;
    CHECK(spilled.LoadFromPath("progressive.jpg"));
    CHECK(PixelBytes(spilled, spilled.m_dwBitsSize) == PixelBytes(inMemory, inMemory.m_dwBitsSize));
    CHECK_FALSE(spilled.LoadFromPath(strBroken.c_str()));
    CHECK(::RemoveDirectoryA(strFolder.c_str())); // empty: no spill file left
    // Without a folder to spill into the read fails: the default ceiling made it spill.
    CHECK_FALSE(spilled.LoadFromPath("progressive.jpg"));
    REQUIRE(_putenv(strOldTmp.c_str()) == 0);
}

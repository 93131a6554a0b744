// SECJpeg's memory layer, which the real program cannot show: its ceiling,
// and the spill file a picture beyond it decodes through, removed afterwards
// (after a fatal error too).
#define DOCTEST_CONFIG_IMPLEMENT_WITH_MAIN
#include <doctest.h>

#include <cstdlib>
#include <string>

#include "ImageMemory.h"
#include "JpegHost.h"
#include "SECJpeg.h"
#include "../image/TestPictures.h"

extern "C" {
#include <jmemsys.h>
}

static void SetEnv(const char* pszName, const std::string& strValue)
{
    REQUIRE(_putenv((std::string(pszName) + "=" + strValue).c_str()) == 0);
}

TEST_CASE("The memory layer: a ceiling of 1,000,000 bytes and what is available under it")
{
    JpegErrorManager err;
    jpeg_decompress_struct cinfo;
    cinfo.err = InitJpegErrorManager(err);
    jpeg_create_decompress(&cinfo);
    j_common_ptr pCommon = reinterpret_cast<j_common_ptr>(&cinfo);
    CHECK(cinfo.mem->max_memory_to_use == 1000000); // without JPEGMEM
    CHECK(jpeg_mem_available(pCommon, 10, 5000000, 300000) == 700000);
    CHECK(jpeg_mem_available(pCommon, 10, 5000000, 3000000) == 0); // never a negative amount
    CHECK(jpeg_get_large(pCommon, static_cast<size_t>(MAX_IMAGE_BLOCK) + 1) == nullptr);
    jpeg_destroy_decompress(&cinfo);
}

TEST_CASE("A picture beyond the ceiling decodes through a spill file that is removed afterwards")
{
    // An 800 x 600 progressive picture (CMakeLists.txt makes it): its
    // coefficient buffers take 1,446,400 bytes.
    CFile file("progressive.jpg", CFile::modeRead);
    Bytes broken(file.GetLength());
    file.Read(broken.data(), static_cast<UINT>(broken.size()));
    // The second scan names a component the frame lacks: a fatal error mid-spill.
    for (size_t i = 0, nScans = 0; i + 5 < broken.size() && nScans < 2; i++)
        if (broken[i] == 0xFF && broken[i + 1] == 0xDA && ++nScans == 2)
            broken[i + 5] = 0x77;
    const std::string strBroken = WriteTempFile("vistel-broken-scan.jpg", broken);
    SECJpeg inMemory;
    SetEnv("JPEGMEM", "2m");
    REQUIRE(inMemory.LoadFromPath("progressive.jpg"));

    const std::string strFolder = TempPath(("vistel-spill-" + std::to_string(::GetCurrentProcessId())).c_str());
    ::CreateDirectoryA(strFolder.c_str(), nullptr);
    const std::string strOldTmp = std::getenv("TMP") != nullptr ? std::getenv("TMP") : "";
    SetEnv("TMP", strFolder);
    SetEnv("JPEGMEM", "50"); // 50,000 bytes
    SECJpeg spilled;
    CHECK(spilled.LoadFromPath("progressive.jpg"));
    CHECK(PixelBytes(spilled, spilled.m_dwBitsSize) == PixelBytes(inMemory, inMemory.m_dwBitsSize));
    CHECK_FALSE(spilled.LoadFromPath(strBroken.c_str()));
    CHECK(::RemoveDirectoryA(strFolder.c_str())); // empty: no spill file left
    // Without a folder to spill into the read fails.
    CHECK_FALSE(spilled.LoadFromPath("progressive.jpg"));
    SetEnv("TMP", strOldTmp);
    SetEnv("JPEGMEM", "");
}

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

// An 800 x 600 progressive colour picture, encoded by the library: its
// coefficient buffers (1,446,400 bytes) are more than the default ceiling.
static Bytes Photo()
{
    jpeg_compress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* pOut = nullptr;
    unsigned long cbOut = 0;
    jpeg_mem_dest(&cinfo, &pOut, &cbOut);
    cinfo.image_width = 800;
    cinfo.image_height = 600;
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    JSAMPLE row[800 * 3];
    while (cinfo.next_scanline < 600)
    {
        for (unsigned i = 0; i < sizeof(row); i++)
            row[i] = static_cast<JSAMPLE>(i * (i % 3 + 1) + cinfo.next_scanline * (i / 97));
        JSAMPROW pRow = row;
        jpeg_write_scanlines(&cinfo, &pRow, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    Bytes bytes(pOut, pOut + cbOut);
    std::free(pOut);
    return bytes;
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
    const Bytes photo = Photo();
    const std::string strPhoto = WriteTempFile("vistel-progressive.jpg", photo);
    Bytes broken = photo; // the second scan names a component the frame lacks: a fatal error mid-spill
    for (size_t i = 0, nScans = 0; i + 5 < broken.size() && nScans < 2; i++)
        if (broken[i] == 0xFF && broken[i + 1] == 0xDA && ++nScans == 2)
            broken[i + 5] = 0x77;
    const std::string strBroken = WriteTempFile("vistel-broken-scan.jpg", broken);
    SECJpeg inMemory;
    SetEnv("JPEGMEM", "2m");
    REQUIRE(inMemory.LoadFromPath(strPhoto.c_str()));

    const std::string strFolder = TempPath(("vistel-spill-" + std::to_string(::GetCurrentProcessId())).c_str());
    const std::string strPattern = strFolder + "\\*.tmp";
    ::CreateDirectoryA(strFolder.c_str(), nullptr);
    const std::string strOldTmp = std::getenv("TMP") != nullptr ? std::getenv("TMP") : "";
    SetEnv("TMP", strFolder);
    SetEnv("JPEGMEM", "50"); // 50,000 bytes
    SECJpeg spilled;
    CHECK(spilled.LoadFromPath(strPhoto.c_str()));
    CHECK(PixelBytes(spilled, spilled.m_dwBitsSize) == PixelBytes(inMemory, inMemory.m_dwBitsSize));
    CHECK_FALSE(spilled.LoadFromPath(strBroken.c_str()));
    WIN32_FIND_DATAA found;
    HANDLE hFind = ::FindFirstFileA(strPattern.c_str(), &found);
    CHECK(hFind == INVALID_HANDLE_VALUE); // no spill file left
    if (hFind != INVALID_HANDLE_VALUE)
        ::FindClose(hFind);
    // Without a folder to spill into the read fails.
    SetEnv("TMP", strFolder + "\\missing");
    CHECK_FALSE(spilled.LoadFromPath(strPhoto.c_str()));
    SetEnv("TMP", strOldTmp);
    SetEnv("JPEGMEM", "");
    ::RemoveDirectoryA(strFolder.c_str());
}

// What every decoder builds on: row sizes and the size arithmetic that
// guards picture memory, the row services (alignment, row order,
// mirroring) and the buffered byte reader.
#define DOCTEST_CONFIG_IMPLEMENT_WITH_MAIN
#include <doctest.h>

#include "ImageMemory.h"
#include "TestPictures.h"

TEST_CASE("Row sizes round up to whole bytes and to 4 bytes, and never wrap")
{
    struct { DWORD bpp, width, packed, aligned; } rows[] = {
        { 1, 10, 2, 4 },    { 1, 33, 5, 8 },   { 4, 5, 3, 4 },   { 8, 37, 37, 40 },         { 8, 640, 640, 640 },
        { 16, 3, 6, 8 },    { 24, 7, 21, 24 }, { 32, 5, 20, 20 }, { 32, 0x40000000, 0, 0 }, { 24, 0x7FFFFFFF, 0, 0 },
    };
    for (const auto& r : rows)
    {
        CAPTURE(r.bpp);
        CAPTURE(r.width);
        CHECK(SECImage::PackedRowBytes(r.bpp, r.width) == r.packed);
        CHECK(SECImage::AlignedRowBytes(r.bpp, r.width) == r.aligned);
    }
}

TEST_CASE("Sizes beyond 32 bits are refused, and blocks are bounded and zero-filled")
{
    DWORD dw = 7;
    CHECK(MultiplySize(0x10000, 0xFFFF, &dw));
    CHECK(dw == 0xFFFF0000);
    CHECK_FALSE(MultiplySize(0x10000, 0x10000, &dw));
    CHECK_FALSE(AddSize(0xFFFFFFFF, 1, &dw));
    CHECK(dw == 0xFFFF0000); // untouched by a refusal
    CHECK(AddSize(0xFFFFFFFE, 1, &dw));
    CHECK(dw == 0xFFFFFFFF);
    CHECK(AllocImageBlock(0) == nullptr);
    CHECK(AllocImageBlock(MAX_IMAGE_BLOCK + 1) == nullptr);
    BYTE* p = static_cast<BYTE*>(AllocImageBlock(100));
    REQUIRE(p != nullptr);
    CHECK(ImageBlockSize(p) >= 100);
    CHECK((p[0] == 0 && p[99] == 0));
    FreeImageBlock(p);
}

// 1, 2, ... n.
static Bytes Seq(size_t n)
{
    Bytes bytes(n);
    for (size_t i = 0; i < n; i++)
        bytes[i] = static_cast<BYTE>(i + 1);
    return bytes;
}

TEST_CASE("The row services: rows given to an object, the service's result, the rows afterwards")
{
    typedef BOOL (SECImage::*Service)();
    const Service ALIGN = &SECImage::AlignRows, REVERSE = &SECImage::ReverseRowOrder, MIRROR = &SECImage::MirrorRows;
    struct Case
    {
        const char* what;
        Service service;
        int depth;
        DWORD width, height, block;
        BOOL aligned;
        Bytes rows;
        BOOL result, alignedAfter;
        Bytes after;
    };
    const Case cases[] = {
        { "align 8 bits, width 5: rows of 5 bytes become rows of 8", ALIGN, 8, 5, 3, 24, FALSE, Seq(15), TRUE, TRUE,
          { 1, 2, 3, 4, 5, 0, 0, 0, 6, 7, 8, 9, 10, 0, 0, 0, 11, 12, 13, 14, 15, 0, 0, 0 } },
        { "align into a block too small for aligned rows: refused untouched", ALIGN, 8, 5, 3, 20, FALSE, Seq(15),
          FALSE, FALSE, Seq(15) },
        { "reverse height 3: rows 0 and 2 swap, row 1 stays", REVERSE, 8, 4, 3, 12, TRUE,
          { 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3 }, TRUE, TRUE, { 3, 3, 3, 3, 2, 2, 2, 2, 1, 1, 1, 1 } },
        { "reverse in a block that does not hold the rows", REVERSE, 24, 5, 3, 20, TRUE, {}, FALSE, TRUE, {} },
        // Pixels 1100100111 and six spare bits set, which must not become pixels.
        { "mirror 1 bit, width 10", MIRROR, 1, 10, 1, 4, TRUE, { 0xC9, 0xFF, 0xAA, 0xAA }, TRUE, TRUE,
          { 0xE4, 0xC0, 0, 0 } },
        { "mirror 4 bits, odd width 5: the spare nibble zero", MIRROR, 4, 5, 2, 8, TRUE,
          { 0x12, 0x34, 0x5F, 0, 0xAB, 0xCD, 0xEF, 0 }, TRUE, TRUE, { 0x54, 0x32, 0x10, 0, 0xED, 0xCB, 0xA0, 0 } },
        { "mirror 8 bits, odd width: the middle pixel stays", MIRROR, 8, 3, 2, 8, TRUE, { 1, 2, 3, 0, 4, 5, 6, 0 },
          TRUE, TRUE, { 3, 2, 1, 0, 6, 5, 4, 0 } },
        { "mirror 32 bits", MIRROR, 32, 2, 1, 8, TRUE, { 1, 2, 3, 4, 5, 6, 7, 8 }, TRUE, TRUE,
          { 5, 6, 7, 8, 1, 2, 3, 4 } },
    };
    for (const Case& c : cases)
    {
        const std::string what = c.what;
        CAPTURE(what);
        SECDib image;
        GiveRows(image, c.depth, c.width, c.height, c.rows, c.block, c.aligned);
        CHECK((image.*c.service)() == c.result);
        CHECK(image.m_bRowsAligned == c.alignedAfter);
        CHECK(PixelBytes(image, c.after.size()) == c.after);
    }
}

TEST_CASE("The buffered reader delivers a file through a smaller buffer and comes back short at its end")
{
    Bytes content(23);
    for (size_t i = 0; i < content.size(); i++)
        content[i] = static_cast<BYTE>(i * 7 + 1);
    CFile file(WriteTempFile("vistel-buffered.bin", content).c_str(), CFile::modeRead);
    SECDib image;
    BYTE b = 0;
    CHECK_FALSE(image.BeginBufferedIo(4, SECImage::IO_READ)); // no current file
    CHECK(image.ReadBuffered(&b, 1) == 0);
    image.m_pCurrentFile = &file;
    CHECK(image.ReadBuffered(&b, 1) == 1); // without a buffer, straight from the file
    Bytes read = { b };

    REQUIRE(image.BeginBufferedIo(4, SECImage::IO_READ));
    for (int i = 0; i < 10; i++) // byte by byte across refills
    {
        REQUIRE(image.ReadBuffered(&b, 1) == 1);
        read.push_back(b);
    }
    Bytes rest(20, 0xEE);
    CHECK(image.ReadBuffered(rest.data(), 20) == 12);
    CHECK(rest[12] == 0xEE); // nothing written past what was delivered
    read.insert(read.end(), rest.begin(), rest.begin() + 12);
    CHECK(read == content);
    CHECK(image.ReadBuffered(&b, 1) == 0);

    image.ReleaseContents(); // releasing the picture ends buffered reading too
    CHECK(image.m_pIoBuffer == nullptr);
    CHECK(image.m_dwIoSize == 0);
    image.m_pCurrentFile = nullptr;
}

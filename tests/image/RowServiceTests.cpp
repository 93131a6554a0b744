// Row sizes and the row services decoders use: alignment, row order, mirroring.
#include <doctest.h>

#include "ImageMemory.h"
#include "TestPictures.h"

TEST_CASE("Row sizes: packed rows round up to bytes, aligned rows to 4 bytes")
{
    struct { DWORD bpp, width, packed, aligned; } rows[] = {
        { 1, 10, 2, 4 },   { 1, 32, 4, 4 },     { 1, 33, 5, 8 },   { 4, 5, 3, 4 },
        { 4, 8, 4, 4 },    { 8, 37, 37, 40 },   { 8, 640, 640, 640 }, { 16, 3, 6, 8 },
        { 24, 4, 12, 12 }, { 24, 7, 21, 24 },   { 32, 5, 20, 20 },
    };
    for (const auto& r : rows)
    {
        CAPTURE(r.bpp);
        CAPTURE(r.width);
        CHECK(SECImage::PackedRowBytes(r.bpp, r.width) == r.packed);
        CHECK(SECImage::AlignedRowBytes(r.bpp, r.width) == r.aligned);
    }
    // Rows that cannot be sized in 32 bits come back as 0, never wrapped.
    CHECK(SECImage::AlignedRowBytes(32, 0x40000000) == 0);
    CHECK(SECImage::PackedRowBytes(32, 0x40000000) == 0);
    CHECK(SECImage::AlignedRowBytes(24, 0x7FFFFFFF) == 0);
}

TEST_CASE("Size arithmetic refuses results beyond 32 bits")
{
    DWORD dw = 7;
    CHECK(MultiplySize(0x10000, 0xFFFF, &dw));
    CHECK(dw == 0xFFFF0000);
    dw = 7;
    CHECK_FALSE(MultiplySize(0x10000, 0x10000, &dw));
    CHECK(dw == 7);
    CHECK(AddSize(0xFFFFFFFE, 1, &dw));
    CHECK(dw == 0xFFFFFFFF);
    CHECK_FALSE(AddSize(0xFFFFFFFF, 1, &dw));
    CHECK(AllocImageBlock(0) == nullptr);
    CHECK(AllocImageBlock(MAX_IMAGE_BLOCK + 1) == nullptr);
    BYTE* p = static_cast<BYTE*>(AllocImageBlock(100));
    REQUIRE(p != nullptr);
    CHECK(ImageBlockSize(p) >= 100);
    CHECK(p[0] == 0);
    CHECK(p[99] == 0);
    FreeImageBlock(p);
}

TEST_CASE("AlignRows widens packed rows in place")
{
    SECDib image;
    SUBCASE("8 bits, width 5: rows of 5 bytes become rows of 8 with zero padding")
    {
        const Bytes packed = { 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15 };
        GiveRows(image, 8, 5, 3, packed, 3 * 8, FALSE);
        CHECK(image.AlignRows());
        CHECK(image.m_bRowsAligned);
        CHECK(image.m_dwAlignedWidth == 8);
        CHECK(PixelBytes(image, 24) == Bytes{ 1, 2, 3, 4, 5, 0, 0, 0, 6, 7, 8, 9, 10, 0, 0, 0,
                                               11, 12, 13, 14, 15, 0, 0, 0 });
    }
    SUBCASE("24 bits, width 3 and height 1: the one row only gains padding")
    {
        GiveRows(image, 24, 3, 1, { 1, 2, 3, 4, 5, 6, 7, 8, 9 }, 12, FALSE);
        CHECK(image.AlignRows());
        CHECK(PixelBytes(image, 12) == Bytes{ 1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0 });
    }
    SUBCASE("widths whose packed row is already aligned move nothing and stay unflagged")
    {
        const Bytes rows = { 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24 };
        GiveRows(image, 24, 4, 2, rows, 24, FALSE);
        CHECK(image.AlignRows());
        CHECK_FALSE(image.m_bRowsAligned);
        CHECK(PixelBytes(image, 24) == rows);

        Bytes wide(640 * 2, 9);
        GiveRows(image, 8, 640, 2, wide, 640 * 2, FALSE);
        CHECK(image.AlignRows());
        CHECK_FALSE(image.m_bRowsAligned);
    }
    SUBCASE("rows already aligned are left alone")
    {
        GiveRows(image, 8, 5, 2, { 1, 2, 3, 4, 5, 6, 7, 8, 9, 10 }, 16, TRUE);
        CHECK(image.AlignRows());
        CHECK(PixelBytes(image, 10) == Bytes{ 1, 2, 3, 4, 5, 6, 7, 8, 9, 10 });
    }
    SUBCASE("a pixel block too small for aligned rows is refused untouched")
    {
        GiveRows(image, 8, 5, 3, { 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15 }, 20, FALSE);
        // A global block may be a little larger than asked for; this one
        // must not reach the 24 bytes the aligned rows need.
        REQUIRE(ImageBlockSize(image.m_pPixelBits) < 24);
        CHECK_FALSE(image.AlignRows());
        CHECK_FALSE(image.m_bRowsAligned);
        CHECK(PixelBytes(image, 15) == Bytes{ 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15 });
    }
    SUBCASE("no rows: nothing to align")
    {
        GiveRows(image, 8, 5, 0, {}, 16, FALSE);
        CHECK_FALSE(image.AlignRows());
    }
}

TEST_CASE("ReverseRowOrder swaps rows from the outside in")
{
    SECDib image;
    SUBCASE("height 1 changes nothing")
    {
        GiveRows(image, 8, 4, 1, { 1, 2, 3, 4 }, 4, TRUE);
        CHECK(image.ReverseRowOrder());
        CHECK(PixelBytes(image, 4) == Bytes{ 1, 2, 3, 4 });
    }
    SUBCASE("height 3 swaps rows 0 and 2 and keeps row 1")
    {
        GiveRows(image, 8, 4, 3, { 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3 }, 12, TRUE);
        CHECK(image.ReverseRowOrder());
        CHECK(PixelBytes(image, 12) == Bytes{ 3, 3, 3, 3, 2, 2, 2, 2, 1, 1, 1, 1 });
    }
    SUBCASE("height 4 swaps both pairs")
    {
        GiveRows(image, 8, 4, 4, { 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4 }, 16, TRUE);
        CHECK(image.ReverseRowOrder());
        CHECK(PixelBytes(image, 16) == Bytes{ 4, 4, 4, 4, 3, 3, 3, 3, 2, 2, 2, 2, 1, 1, 1, 1 });
    }
    SUBCASE("packed rows are aligned first")
    {
        GiveRows(image, 8, 3, 2, { 1, 2, 3, 4, 5, 6 }, 8, FALSE);
        CHECK(image.ReverseRowOrder());
        CHECK(image.m_bRowsAligned);
        CHECK(PixelBytes(image, 8) == Bytes{ 4, 5, 6, 0, 1, 2, 3, 0 });
    }
    SUBCASE("a block that does not hold the rows is refused")
    {
        GiveRows(image, 24, 5, 3, {}, 20, TRUE); // 3 rows of 16 bytes need 48
        REQUIRE(ImageBlockSize(image.m_pPixelBits) < 48);
        CHECK_FALSE(image.ReverseRowOrder());
    }
}

TEST_CASE("MirrorRows reverses the pixels of every row")
{
    SECDib image;
    SUBCASE("1 bit, width 10: ten pixels reversed from bit 7 of the first byte, spare bits zero")
    {
        // Pixels 1100100111 then six spare bits set to 1, which must not
        // become pixels.
        GiveRows(image, 1, 10, 1, { 0xC9, 0xFF, 0xAA, 0xAA }, 4, TRUE);
        CHECK(image.MirrorRows());
        // Reversed: 1110010011, then zero bits; the padding bytes are cleared.
        CHECK(PixelBytes(image, 4) == Bytes{ 0xE4, 0xC0, 0, 0 });
    }
    SUBCASE("4 bits, odd width 5: nibbles reversed, the spare low nibble zero")
    {
        GiveRows(image, 4, 5, 2, { 0x12, 0x34, 0x5F, 0, 0xAB, 0xCD, 0xEF, 0 }, 8, TRUE);
        CHECK(image.MirrorRows());
        CHECK(PixelBytes(image, 8) == Bytes{ 0x54, 0x32, 0x10, 0, 0xED, 0xCB, 0xA0, 0 });
    }
    SUBCASE("4 bits, even width 4")
    {
        GiveRows(image, 4, 4, 1, { 0x12, 0x34, 0, 0 }, 4, TRUE);
        CHECK(image.MirrorRows());
        CHECK(PixelBytes(image, 4) == Bytes{ 0x43, 0x21, 0, 0 });
    }
    SUBCASE("8 bits, odd width: the middle pixel stays")
    {
        GiveRows(image, 8, 3, 2, { 1, 2, 3, 0, 4, 5, 6, 0 }, 8, TRUE);
        CHECK(image.MirrorRows());
        CHECK(PixelBytes(image, 8) == Bytes{ 3, 2, 1, 0, 6, 5, 4, 0 });
    }
    SUBCASE("24 bits: three-byte pixels keep their byte order")
    {
        GiveRows(image, 24, 3, 1, { 1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0 }, 12, TRUE);
        CHECK(image.MirrorRows());
        CHECK(PixelBytes(image, 12) == Bytes{ 7, 8, 9, 4, 5, 6, 1, 2, 3, 0, 0, 0 });
    }
    SUBCASE("32 bits, width 2")
    {
        GiveRows(image, 32, 2, 1, { 1, 2, 3, 4, 5, 6, 7, 8 }, 8, TRUE);
        CHECK(image.MirrorRows());
        CHECK(PixelBytes(image, 8) == Bytes{ 5, 6, 7, 8, 1, 2, 3, 4 });
    }
    SUBCASE("a depth that is not whole bytes, 1 or 4 bits is refused")
    {
        GiveRows(image, 2, 8, 1, { 0x1B, 0xE4, 0, 0 }, 4, TRUE);
        CHECK_FALSE(image.MirrorRows());
        CHECK(PixelBytes(image, 4) == Bytes{ 0x1B, 0xE4, 0, 0 });
    }
}

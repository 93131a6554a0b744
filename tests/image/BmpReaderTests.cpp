// The BMP reader: what a SECDib holds after loading files built here field
// by field, and which files it refuses.
#include <doctest.h>

#include <climits>

#include "ImageMemory.h"
#include "TestPictures.h"

static BOOL Load(SECDib& image, const Bytes& file)
{
    return image.LoadFromPath(WriteTempFile("vistel-reader.bmp", file).c_str());
}

static Bytes HeaderBlock(const SECImage& image, size_t cb)
{
    const BYTE* p = reinterpret_cast<const BYTE*>(image.m_pInfoHeader);
    return Bytes(p, p + cb);
}

// The 12 bytes after the 40-byte header: the colour masks of bit fields.
static Bytes MaskBytes(const SECImage& image)
{
    const Bytes block = HeaderBlock(image, 52);
    return Bytes(block.begin() + 40, block.end());
}

static void CheckEmpty(const SECDib& image)
{
    CHECK(image.m_pPixelBits == nullptr);
    CHECK(image.m_pInfoHeader == nullptr);
    CHECK(image.m_pColorTable == nullptr);
    CHECK(image.m_pImagePalette == nullptr);
    CHECK(image.PixelWidth() == 0);
    CHECK(image.PixelHeight() == 0);
    CHECK(image.m_nPixelDepth == 0);
}

// A grey ramp of n colour-table entries, entry i = (i, 2i, 3i) mod 256.
static std::vector<Rgb> Ramp(int n)
{
    std::vector<Rgb> colours;
    for (int i = 0; i < n; i++)
        colours.push_back({ static_cast<BYTE>(i), static_cast<BYTE>(2 * i), static_cast<BYTE>(3 * i) });
    return colours;
}

TEST_CASE("A 24-bit file with a 54-byte header area")
{
    BmpInfo info;
    info.width = 3;
    info.height = 2;
    // Bottom row first; each row of 9 bytes padded to 12 with bytes the
    // reader keeps as they are.
    const Bytes pixels = { 1, 2, 3, 4, 5, 6, 7, 8, 9, 0xA1, 0xA2, 0xA3, 10, 11, 12, 13, 14, 15, 16, 17, 18, 0, 0, 0 };
    SECDib image;
    REQUIRE(Load(image, BuildBmp(info, {}, pixels)));
    CHECK(image.PixelWidth() == 3);
    CHECK(image.PixelHeight() == 2);
    CHECK(image.m_nPixelDepth == 24);
    CHECK(image.m_wTableEntries == 0);
    CHECK(image.m_bRowsAligned);
    CHECK(image.m_dwAlignedWidth == 4);
    CHECK(image.m_pImagePalette == nullptr);
    CHECK_FALSE(image.m_bHalftoneDraw);
    CHECK(image.m_pInfoHeader->biSize == 40);
    CHECK(image.m_pInfoHeader->biWidth == 3);
    CHECK(image.m_pInfoHeader->biHeight == 2);
    CHECK(image.m_pInfoHeader->biBitCount == 24);
    CHECK(image.m_pInfoHeader->biXPelsPerMeter == 2835);
    CHECK(reinterpret_cast<BYTE*>(image.m_pColorTable) == reinterpret_cast<BYTE*>(image.m_pInfoHeader) + 40);
    // Room for 256 zero entries after the header.
    CHECK(ImageBlockSize(image.m_pInfoHeader) >= 40 + 1024);
    const Bytes block = HeaderBlock(image, 40 + 1024);
    CHECK(Bytes(block.begin() + 40, block.end()) == Bytes(1024, 0));
    CHECK(PixelBytes(image, 24) == pixels);
}

TEST_CASE("Palettes: as many entries as the depth, black where the table holds none")
{
    SECDib image;
    SUBCASE("8 bits, biClrUsed 16 and 16 entries: 256 palette entries, the last 240 black")
    {
        BmpInfo info;
        info.width = 2;
        info.height = 1;
        info.bitCount = 8;
        info.clrUsed = 16;
        REQUIRE(Load(image, BuildBmp(info, Table(Ramp(16)), { 7, 15, 0, 0 })));
        std::vector<Rgb> expected = Ramp(16);
        expected.resize(256, { 0, 0, 0 });
        CHECK(PaletteEntries(image) == expected);
    }
    SUBCASE("8 bits, biClrUsed 0 but only 16 entries stored: the other 240 read as black")
    {
        BmpInfo info;
        info.width = 2;
        info.height = 1;
        info.bitCount = 8;
        REQUIRE(Load(image, BuildBmp(info, Table(Ramp(16)), { 7, 15, 0, 0 })));
        CHECK(image.m_pInfoHeader->biClrUsed == 0);
        std::vector<Rgb> expected = Ramp(16);
        expected.resize(256, { 0, 0, 0 });
        CHECK(PaletteEntries(image) == expected);
        // GDI reads the same 256 entries from the header block.
        const RGBQUAD* pTable = image.m_pColorTable;
        CHECK(pTable[15].rgbRed == 15);
        CHECK(pTable[15].rgbBlue == 45);
        CHECK(pTable[16].rgbRed == 0);
        CHECK(pTable[255].rgbGreen == 0);
    }
    SUBCASE("a biClrUsed beyond what the depth can index is cut to it")
    {
        BmpInfo info;
        info.width = 1;
        info.height = 1;
        info.bitCount = 1;
        info.clrUsed = 1000;
        REQUIRE(Load(image, BuildBmp(info, Table({ { 1, 2, 3 }, { 4, 5, 6 } }), { 0x80, 0, 0, 0 })));
        CHECK(image.m_pInfoHeader->biClrUsed == 2);
        CHECK(PaletteEntries(image) == std::vector<Rgb>{ { 1, 2, 3 }, { 4, 5, 6 } });
    }
}

TEST_CASE("Larger headers are held as a 40-byte header with the table or the masks at byte 40")
{
    SECDib image;
    SUBCASE("V5 (124 bytes), 8 bits: the table after the 124 bytes moves to byte 40")
    {
        BmpInfo info;
        info.size = 124;
        info.width = 2;
        info.height = 1;
        info.bitCount = 8;
        info.clrUsed = 4;
        const std::vector<Rgb> colours = { { 10, 20, 30 }, { 40, 50, 60 }, { 70, 80, 90 }, { 100, 110, 120 } };
        REQUIRE(Load(image, BuildBmp(info, Table(colours), { 3, 1, 0, 0 })));
        CHECK(image.m_pInfoHeader->biSize == 40);
        CHECK(image.m_pInfoHeader->biClrUsed == 4);
        CHECK(image.m_pColorTable[3].rgbRed == 100);
        CHECK(image.m_pColorTable[3].rgbBlue == 120);
        std::vector<Rgb> expected = colours;
        expected.resize(256, { 0, 0, 0 });
        CHECK(PaletteEntries(image) == expected);
        CHECK(PixelBytes(image, 4) == Bytes{ 3, 1, 0, 0 });
    }
    SUBCASE("40 bytes, 32 bits with bit fields: the masks after the header")
    {
        BmpInfo info;
        info.width = 1;
        info.height = 1;
        info.bitCount = 32;
        info.compression = BI_BITFIELDS;
        ByteWriter masks;
        masks.u32(0x00FF0000).u32(0x0000FF00).u32(0x000000FF);
        REQUIRE(Load(image, BuildBmp(info, masks.data, { 1, 2, 3, 0 })));
        CHECK(MaskBytes(image) == masks.data);
        CHECK(PixelBytes(image, 4) == Bytes{ 1, 2, 3, 0 });
    }
}

TEST_CASE("Pixel data: found at bfOffBits, cut to the picture, padded when the file is short")
{
    BmpInfo info;
    info.width = 1;
    info.height = 3;
    info.bitCount = 8;
    info.clrUsed = 2;
    const Bytes table = Table({ { 0, 0, 0 }, { 255, 255, 255 } });
    SECDib image;
    SUBCASE("a gap between the table and the pixel data is skipped")
    {
        const Bytes pixels = { 1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0 };
        REQUIRE(Load(image, BuildBmp(info, table, pixels, 14 + 40 + 8 + 100)));
        CHECK(PixelBytes(image, 12) == pixels);
    }
    SUBCASE("bytes after the last row are not held")
    {
        Bytes pixels = { 1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0 };
        pixels.resize(200000, 0xEE);
        REQUIRE(Load(image, BuildBmp(info, table, pixels)));
        CHECK(ImageBlockSize(image.m_pPixelBits) < 1000);
        CHECK(PixelBytes(image, 12) == Bytes{ 1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0 });
    }
    SUBCASE("a file cut short keeps the rows it has; the missing ones are zero")
    {
        REQUIRE(Load(image, BuildBmp(info, table, { 1, 0, 0, 0, 2, 0 })));
        CHECK(image.PixelHeight() == 3);
        CHECK(ImageBlockSize(image.m_pPixelBits) >= 12);
        CHECK(PixelBytes(image, 12) == Bytes{ 1, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0 });
    }
}

TEST_CASE("RLE streams always end with an end-of-bitmap code inside the pixel block")
{
    BmpInfo info;
    info.width = 4;
    info.height = 2;
    info.bitCount = 8;
    info.compression = BI_RLE8;
    const Bytes table = Table(Ramp(256));
    SECDib image;
    SUBCASE("a complete stream is held as it is, biSizeImage its length")
    {
        // Row 0: four pixels of 5; end of line; row 1: literal 1 2 3 (padded),
        // one pixel of 9; end of bitmap.
        const Bytes stream = { 4, 5, 0, 0, 0, 3, 1, 2, 3, 0, 1, 9, 0, 1 };
        info.sizeImage = static_cast<DWORD>(stream.size());
        REQUIRE(Load(image, BuildBmp(info, table, stream)));
        CHECK(image.m_pInfoHeader->biCompression == BI_RLE8);
        CHECK(image.m_pInfoHeader->biSizeImage == stream.size());
        CHECK(PixelBytes(image, stream.size()) == stream);
        CHECK(image.m_bRowsAligned);
    }
    SUBCASE("a stream without its end code gets one; bytes after the end code are not counted")
    {
        const Bytes stream = { 4, 5, 0, 0, 4, 6 };
        REQUIRE(Load(image, BuildBmp(info, table, stream)));
        CHECK(image.m_pInfoHeader->biSizeImage == 8);
        CHECK(PixelBytes(image, 8) == Bytes{ 4, 5, 0, 0, 4, 6, 0, 1 });

        REQUIRE(Load(image, BuildBmp(info, table, { 4, 5, 0, 1, 0xEE, 0xEE, 0xEE })));
        CHECK(image.m_pInfoHeader->biSizeImage == 4);
    }
    SUBCASE("a literal run or move cut off by the end of the data is dropped")
    {
        // 0 5 announces five literal bytes (six with padding); only two follow.
        REQUIRE(Load(image, BuildBmp(info, table, { 2, 7, 0, 5, 1, 2 })));
        CHECK(image.m_pInfoHeader->biSizeImage == 4);
        CHECK(PixelBytes(image, 4) == Bytes{ 2, 7, 0, 1 });
        // 0 2 announces a move of two more bytes; one follows.
        REQUIRE(Load(image, BuildBmp(info, table, { 0, 2, 1 })));
        CHECK(image.m_pInfoHeader->biSizeImage == 2);
        CHECK(PixelBytes(image, 2) == Bytes{ 0, 1 });
    }
    SUBCASE("biSizeImage bounds the stream when the file holds more, not when it holds less")
    {
        info.sizeImage = 2;
        REQUIRE(Load(image, BuildBmp(info, table, { 4, 5, 4, 6, 0, 1 })));
        CHECK(image.m_pInfoHeader->biSizeImage == 4);
        CHECK(PixelBytes(image, 4) == Bytes{ 4, 5, 0, 1 });
        info.sizeImage = 1000000;
        REQUIRE(Load(image, BuildBmp(info, table, { 4, 5, 0, 1 })));
        CHECK(image.m_pInfoHeader->biSizeImage == 4);
    }
    SUBCASE("RLE4 literal runs are measured in nibbles")
    {
        info.bitCount = 4;
        info.compression = BI_RLE4;
        // 0 5: five nibbles in three bytes, padded to four; then the end.
        const Bytes stream = { 0, 5, 0x12, 0x34, 0x50, 0, 0, 1 };
        REQUIRE(Load(image, BuildBmp(info, Table(Ramp(16)), stream)));
        CHECK(image.m_pInfoHeader->biSizeImage == stream.size());
        // Cut inside the literal run: only the end code remains.
        REQUIRE(Load(image, BuildBmp(info, Table(Ramp(16)), { 0, 5, 0x12, 0x34, 0x50 })));
        CHECK(image.m_pInfoHeader->biSizeImage == 2);
    }
}

TEST_CASE("Files that are not pictures GDI can draw are failed loads")
{
    BmpInfo info; // a valid 1 x 1 24-bit picture unless changed below
    const Bytes pixel = { 1, 2, 3, 0 };
    // A refused file leaves the object empty.
    auto refuses = [](const Bytes& file) {
        SECDib image;
        if (Load(image, file))
            return false;
        CheckEmpty(image);
        return true;
    };
    REQUIRE_FALSE(refuses(BuildBmp(info, {}, pixel)));

    SUBCASE("files shorter than the file header, and a wrong signature")
    {
        const Bytes whole = BuildBmp(info, {}, pixel);
        for (size_t n = 0; n < 14; n++)
        {
            CAPTURE(n);
            CHECK(refuses(Bytes(whole.begin(), whole.begin() + static_cast<long>(n))));
        }
        Bytes wrong = whole;
        wrong[0] = 'M';
        wrong[1] = 'B';
        CHECK(refuses(wrong));
    }
    SUBCASE("bfOffBits beyond the file or inside the headers")
    {
        // The valid file is 58 bytes long, its pixel data at 54.
        for (DWORD offBits : { 14u, 20u, 25u, 53u, 59u, 1000u, 0x7FFFFFFFu, 0xFFFFFFFFu })
        {
            CAPTURE(offBits);
            Bytes file = BuildBmp(info, {}, pixel);
            REQUIRE(file.size() == 58);
            for (int i = 0; i < 4; i++)
                file[10 + i] = static_cast<BYTE>(offBits >> (8 * i));
            CHECK(refuses(file));
        }
        // Bit fields need 12 more bytes after a 40-byte header.
        info.bitCount = 32;
        info.compression = BI_BITFIELDS;
        CHECK(refuses(BuildBmp(info, {}, pixel)));
    }
    SUBCASE("header sizes that are no known header")
    {
        for (DWORD size : { 0u, 13u, 39u, 125u, 0x10000u, 0xFFFFFFFFu })
        {
            CAPTURE(size);
            Bytes file = BuildBmp(info, {}, pixel);
            file[14] = static_cast<BYTE>(size);
            file[15] = static_cast<BYTE>(size >> 8);
            file[16] = static_cast<BYTE>(size >> 16);
            file[17] = static_cast<BYTE>(size >> 24);
            CHECK(refuses(file));
        }
    }
    SUBCASE("zero, negative and extreme sizes")
    {
        for (LONG width : { 0L, -5L, LONG_MIN })
        {
            info.width = width;
            CHECK(refuses(BuildBmp(info, {}, pixel)));
        }
        info.width = 1;
        for (LONG height : { 0L, LONG_MIN })
        {
            info.height = height;
            CHECK(refuses(BuildBmp(info, {}, pixel)));
        }
        info.height = 1;
        info.bitCount = 32;
        info.width = 0x7FFFFFFF; // a row of 8 GB
        CHECK(refuses(BuildBmp(info, {}, pixel)));
        info.bitCount = 24;
        info.width = 0x10000;
        info.height = 0x10000; // 12 GB
        CHECK(refuses(BuildBmp(info, {}, pixel)));
        info.height = -0x10000;
        CHECK(refuses(BuildBmp(info, {}, pixel)));
        info.width = 10000;
        info.height = 10000; // 300 MB: fits 32 bits, more than any picture may take
        CHECK(refuses(BuildBmp(info, {}, pixel)));
        info.compression = BI_RGB;
        info.bitCount = 8;
        info.width = 20000;
        info.height = 20000;
        info.compression = BI_RLE8; // a tiny stream for a 400 MB picture
        CHECK(refuses(BuildBmp(info, Table(Ramp(256)), { 0, 1 })));
    }
    SUBCASE("depths and compressions GDI does not draw")
    {
        for (WORD bitCount : { 0, 2, 3, 7, 48, 64 })
        {
            info.bitCount = bitCount;
            CHECK(refuses(BuildBmp(info, {}, pixel)));
        }
        struct { WORD bitCount; DWORD compression; } refused[] = {
            { 24, 4 /* JPEG */ }, { 24, 5 /* PNG */ }, { 32, 6 /* alpha bit fields */ }, { 24, 99 },
            { 4, BI_RLE8 }, { 8, BI_RLE4 }, { 24, BI_RLE8 }, { 24, BI_BITFIELDS }, { 8, BI_BITFIELDS },
        };
        for (const auto& r : refused)
        {
            CAPTURE(r.bitCount);
            CAPTURE(r.compression);
            info.bitCount = r.bitCount;
            info.compression = r.compression;
            CHECK(refuses(BuildBmp(info, Table(Ramp(256)), Bytes(16, 0))));
        }
    }
    SUBCASE("a top-down RLE file")
    {
        info.bitCount = 8;
        info.compression = BI_RLE8;
        info.height = -1;
        CHECK(refuses(BuildBmp(info, Table(Ramp(256)), { 1, 1, 0, 1 })));
    }
}

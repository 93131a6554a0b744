// The PCX reader on files built here for the layouts and codes an encoder
// does not write (planar colour, empty runs, runs across planes and lines,
// padded lines, a window away from 0, data that end early), and hostile
// headers, which must be refused with nothing left behind. ImageMagick's
// files (1, 8 and 24 bits, odd widths) are compared with its own reading by
// the end-to-end tests.
#include <doctest.h>

#include <string>

#include "SECPcx.h"
#include "TestPictures.h"

namespace
{
// The header fields of a file; the defaults make an 8-bit picture of 4 x 2.
struct PcxHeader
{
    BYTE manufacturer = 10;
    BYTE version = 5;
    BYTE encoding = 1;
    BYTE bitsPerPixel = 8;
    WORD xMin = 0, yMin = 0, xMax = 3, yMax = 1;
    Bytes colorMap; // up to 48 bytes, the rest zero
    BYTE planes = 1;
    WORD bytesPerLine = 4;
};

Bytes BuildPcx(const PcxHeader& h, const Bytes& data, const Bytes& tail = {})
{
    ByteWriter w;
    w.u8(h.manufacturer).u8(h.version).u8(h.encoding).u8(h.bitsPerPixel);
    w.u16(h.xMin).u16(h.yMin).u16(h.xMax).u16(h.yMax).u16(72).u16(72);
    Bytes map = h.colorMap;
    map.resize(48);
    w.bytes(map).u8(0).u8(h.planes).u16(h.bytesPerLine).u16(1).u16(0).u16(0).zeros(54);
    w.bytes(data).bytes(tail);
    return w.data;
}

// Literal bytes as the format stores them: values of 0xC0 and more as runs of one.
Bytes Literal(const Bytes& values)
{
    ByteWriter w;
    for (BYTE v : values)
    {
        if ((v & 0xC0) == 0xC0)
            w.u8(0xC1);
        w.u8(v);
    }
    return w.data;
}

BOOL Load(SECPcx& image, const Bytes& file)
{
    return image.LoadFromPath(WriteTempFile("vistel-reader.pcx", file).c_str());
}

// Row y of the held picture, counted from the top, without its padding.
Bytes HeldRow(const SECImage& image, DWORD y)
{
    const DWORD cbRow = SECImage::AlignedRowBytes(image.m_nPixelDepth, image.PixelWidth());
    const BYTE* p = image.m_pPixelBits + (image.PixelHeight() - 1 - y) * cbRow;
    return Bytes(p, p + SECImage::PackedRowBytes(image.m_nPixelDepth, image.PixelWidth()));
}

Rgb Entry(const SECImage& image, int i)
{
    return { image.m_pColorTable[i].rgbRed, image.m_pColorTable[i].rgbGreen, image.m_pColorTable[i].rgbBlue };
}
} // namespace

TEST_CASE("A window away from 0 and lines padded far beyond it: the padding is dropped, the table follows 12")
{
    // 3 x 2 at x 10 to 12, with 200 bytes a line, the padding in runs.
    PcxHeader h;
    h.xMin = 10;
    h.xMax = 12;
    h.bytesPerLine = 200;
    ByteWriter data;
    for (int y = 0; y < 2; y++)
    {
        data.u8(BYTE(10 * y + 1)).u8(BYTE(10 * y + 2)).u8(BYTE(10 * y + 3));
        for (int rest = 197; rest > 0; rest -= rest > 63 ? 63 : rest)
            data.u8(BYTE(0xC0 | (rest > 63 ? 63 : rest))).u8(0xEE);
    }
    ByteWriter table; // entry i = (i, 255 - i, 7)
    table.u8(12);
    for (int i = 0; i < 256; i++)
        table.u8(BYTE(i)).u8(BYTE(255 - i)).u8(7);
    SECPcx image;
    REQUIRE(Load(image, BuildPcx(h, data.data, table.data)));
    CHECK((image.PixelWidth() == 3 && image.m_nPixelDepth == 8 && image.m_wTableEntries == 256));
    CHECK(HeldRow(image, 0) == Bytes{ 1, 2, 3 });
    CHECK(HeldRow(image, 1) == Bytes{ 11, 12, 13 });
    CHECK(Entry(image, 200) == Rgb{ 200, 55, 7 });
    CHECK(image.m_pIoBuffer == nullptr);
}

TEST_CASE("Runs: 0xC0 writes nothing, and a run goes on across planes and lines")
{
    // 4 x 2, 8-bit: a run of 6 covers line 0 and half of line 1.
    PcxHeader h;
    SECPcx image;
    REQUIRE(Load(image, BuildPcx(h, { 0xC0, 0x55, 0xC6, 9, 0xC0, 0x77, 1, 2 })));
    CHECK(HeldRow(image, 0) == Bytes{ 9, 9, 9, 9 });
    CHECK(HeldRow(image, 1) == Bytes{ 9, 9, 1, 2 });

    // 2 x 2 in three planes of 2 bytes: one run of 7 fills line 0 and its
    // next plane byte; the rest of the last run past the picture is dropped.
    h.xMax = 1;
    h.planes = 3;
    h.bytesPerLine = 2;
    REQUIRE(Load(image, BuildPcx(h, { 0xC7, 100, 1, 2, 3, 4, 0xFF, 50 })));
    CHECK(HeldRow(image, 0) == Bytes{ 100, 100, 100, 100, 100, 100 });
    CHECK(HeldRow(image, 1) == Bytes{ 4, 2, 100, 50, 3, 1 });
}

TEST_CASE("Image data that end early leave the missing rows zero and give the grey ramp")
{
    PcxHeader h;
    h.yMax = 3; // four lines, two of them stored
    SECPcx image;
    REQUIRE(Load(image, BuildPcx(h, Literal({ 1, 2, 3, 4, 5, 6, 7, 8 }))));
    CHECK(HeldRow(image, 1) == Bytes{ 5, 6, 7, 8 });
    CHECK(HeldRow(image, 2) == Bytes{ 0, 0, 0, 0 });
    CHECK(HeldRow(image, 3) == Bytes{ 0, 0, 0, 0 });
    CHECK(Entry(image, 77) == Rgb{ 77, 77, 77 });
}

TEST_CASE("Black and white without a table: set bits 255, clear bits 0, and a grey ramp")
{
    // 10 x 2, two bytes a line: the last six bits of each line lie beyond the width.
    PcxHeader h;
    h.bitsPerPixel = 1;
    h.xMax = 9;
    h.bytesPerLine = 2;
    SECPcx image;
    REQUIRE(Load(image, BuildPcx(h, Literal({ 0xA5, 0xFF, 0x01, 0x40 }))));
    CHECK((image.m_nPixelDepth == 8 && image.m_wTableEntries == 256 && image.m_pInfoHeader->biClrUsed == 256));
    CHECK(HeldRow(image, 0) == Bytes{ 255, 0, 255, 0, 0, 255, 0, 255, 255, 255 });
    CHECK(HeldRow(image, 1) == Bytes{ 0, 0, 0, 0, 0, 0, 0, 255, 0, 255 });
    CHECK(Entry(image, 0) == Rgb{ 0, 0, 0 });
    CHECK(Entry(image, 255) == Rgb{ 255, 255, 255 });
}

TEST_CASE("Planar colour: plane k gives bit k of the index, the colours come from the header")
{
    // 16 colours, 9 x 1 in four planes of two bytes.
    PcxHeader h;
    h.bitsPerPixel = 1;
    h.xMax = 8;
    h.yMax = 0;
    h.planes = 4;
    h.bytesPerLine = 2;
    for (int i = 0; i < 16; i++)
        h.colorMap.insert(h.colorMap.end(), { BYTE(i * 16), BYTE(i), BYTE(255 - i) });
    // Plane 0: 1010 1010 1; plane 1: 1100 1100 1; plane 2: 1111 0000 1; plane 3: 0000 0000 1.
    SECPcx image;
    REQUIRE(Load(image, BuildPcx(h, Literal({ 0xAA, 0x80, 0xCC, 0x80, 0xF0, 0x80, 0x00, 0x80 }))));
    CHECK((image.m_nPixelDepth == 8 && image.m_wTableEntries == 16 && image.m_pInfoHeader->biClrUsed == 16));
    CHECK(HeldRow(image, 0) == Bytes{ 7, 6, 5, 4, 3, 2, 1, 0, 15 });
    CHECK(Entry(image, 15) == Rgb{ 240, 15, 240 });
    CHECK(PaletteEntries(image).size() == 16);

    // Three planes: eight colours from the same map.
    h.planes = 3;
    REQUIRE(Load(image, BuildPcx(h, Literal({ 0xAA, 0x80, 0xCC, 0x80, 0xF0, 0x00 }))));
    CHECK(image.m_wTableEntries == 16);
    CHECK(HeldRow(image, 0) == Bytes{ 7, 6, 5, 4, 3, 2, 1, 0, 3 });
}

TEST_CASE("Headers that are not PCX, or not a layout that makes a picture, are refused")
{
    const Bytes data = Literal({ 1, 2, 3, 4, 5, 6, 7, 8 });
    SECPcx image;
    REQUIRE(Load(image, BuildPcx(PcxHeader(), data)));

    const std::pair<const char*, void (*)(PcxHeader&)> changes[] = {
        { "version 6", [](PcxHeader& h) { h.version = 6; } },
        { "manufacturer 11", [](PcxHeader& h) { h.manufacturer = 11; } },
        { "encoding 0", [](PcxHeader& h) { h.encoding = 0; } },
        { "4 bits per pixel", [](PcxHeader& h) { h.bitsPerPixel = 4; } },
        { "2 bits per pixel", [](PcxHeader& h) { h.bitsPerPixel = 2; } },
        { "no planes", [](PcxHeader& h) { h.planes = 0; } },
        { "two 8-bit planes", [](PcxHeader& h) { h.planes = 2; } },
        { "five 8-bit planes", [](PcxHeader& h) { h.planes = 5; } },
        { "nine 1-bit planes", [](PcxHeader& h) { h.bitsPerPixel = 1; h.planes = 9; } },
        { "Xmax below Xmin", [](PcxHeader& h) { h.xMin = 4; } },
        { "Ymax below Ymin", [](PcxHeader& h) { h.yMin = 0xFFFF; } },
        { "no bytes per line", [](PcxHeader& h) { h.bytesPerLine = 0; } },
        { "fewer bytes per line than the width", [](PcxHeader& h) { h.bytesPerLine = 3; } },
        { "fewer 1-bit bytes per line than the width",
          [](PcxHeader& h) { h.bitsPerPixel = 1; h.xMax = 8; h.bytesPerLine = 1; } },
        { "65536 x 65536 pixels", [](PcxHeader& h) { h.xMax = h.yMax = h.bytesPerLine = 0xFFFF; } },
        { "24-bit 65536 x 65536 pixels",
          [](PcxHeader& h) { h.xMax = h.yMax = h.bytesPerLine = 0xFFFF; h.planes = 3; } },
        { "more lines than the file can hold", [](PcxHeader& h) { h.yMax = 100; } },
        { "longer lines than the file can hold", [](PcxHeader& h) { h.bytesPerLine = 0xFFFF; } },
    };
    for (const auto& change : changes)
    {
        const std::string what = change.first;
        CAPTURE(what);
        PcxHeader h;
        change.second(h);
        CFile file(WriteTempFile("vistel-hostile.pcx", BuildPcx(h, data)).c_str(), CFile::modeRead);
        SECPcx refusing;
        refusing.m_pCurrentFile = &file;
        CHECK_FALSE(refusing.DecodeFromFile(&file));
        CHECK((refusing.m_pPixelBits == nullptr && refusing.m_pInfoHeader == nullptr &&
               refusing.m_pIoBuffer == nullptr));
        // Through the load sequence the previous picture stays.
        CHECK_FALSE(Load(image, BuildPcx(h, data)));
        CHECK(HeldRow(image, 1) == Bytes{ 5, 6, 7, 8 });
    }

    // Every cut of the header.
    const Bytes whole = BuildPcx(PcxHeader(), data);
    for (size_t length = 0; length < 128; length++)
    {
        CAPTURE(length);
        SECPcx cut;
        CHECK_FALSE(Load(cut, Bytes(whole.begin(), whole.begin() + length)));
        CHECK(cut.m_pPixelBits == nullptr);
    }
}

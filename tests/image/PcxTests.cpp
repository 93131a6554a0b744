// The PCX reader: files built here for the layouts and codes an encoder
// does not write (planar colour, empty runs, runs across lines, padded
// lines), and hostile headers, which must be refused quickly with nothing
// left behind.
#include <doctest.h>

#include <cstring>
#include <string>

#include "ImageMemory.h"
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

// The table after the image data: a byte 12 and 256 triples, entry i = (i, 255 - i, 7).
Bytes Table256()
{
    ByteWriter w;
    w.u8(12);
    for (int i = 0; i < 256; i++)
        w.u8(BYTE(i)).u8(BYTE(255 - i)).u8(7);
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

TEST_CASE("SECPcx is a serializable class of its own")
{
    SECPcx image;
    const CRuntimeClass* pClass = image.GetRuntimeClass();
    CHECK(std::string(pClass->m_lpszClassName) == "SECPcx");
    CHECK(pClass->m_wSchema == 1);
    CHECK(pClass->m_pBaseClass == RUNTIME_CLASS(CObject));
    CObject* pMade = pClass->m_pfnCreateObject();
    CHECK(pMade->IsKindOf(RUNTIME_CLASS(SECPcx)));
    delete pMade;
}

TEST_CASE("256 colours, width 101 and 102 bytes a line: each line's last byte is dropped, the table follows 12")
{
    PcxHeader h;
    h.xMin = 10; // the window need not start at 0
    h.xMax = 110;
    h.yMax = 2;
    h.bytesPerLine = 102;
    Bytes lines;
    for (int y = 0; y < 3; y++)
        for (int x = 0; x < 102; x++)
            lines.push_back(BYTE(x == 101 ? 0xEE : y * 50 + x));
    SECPcx image;
    REQUIRE(Load(image, BuildPcx(h, Literal(lines), Table256())));
    CHECK(image.PixelWidth() == 101);
    CHECK(image.PixelHeight() == 3);
    CHECK(image.m_nPixelDepth == 8);
    CHECK(image.m_wTableEntries == 256);
    CHECK(image.m_pInfoHeader->biBitCount == 8);
    CHECK(image.m_pInfoHeader->biClrUsed == 0);
    CHECK(SECImage::AlignedRowBytes(8, 101) == 104);
    for (DWORD y = 0; y < 3; y++)
        CHECK(HeldRow(image, y) == Bytes(lines.begin() + y * 102, lines.begin() + y * 102 + 101));
    CHECK(Entry(image, 0) == Rgb{ 0, 255, 7 });
    CHECK(Entry(image, 200) == Rgb{ 200, 55, 7 });
    REQUIRE(image.m_pImagePalette != nullptr);
    CHECK(PaletteEntries(image).size() == 256);
    CHECK(image.m_pIoBuffer == nullptr);
}

TEST_CASE("24 bits in three planes, width 101 and 102 bytes a line: no drift from row to row")
{
    PcxHeader h;
    h.xMax = 100;
    h.yMax = 1;
    h.planes = 3;
    h.bytesPerLine = 102;
    Bytes lines;
    for (int y = 0; y < 2; y++)
        for (int plane = 0; plane < 3; plane++)
            for (int x = 0; x < 102; x++)
                lines.push_back(BYTE(x == 101 ? 0xEE : (plane * 80 + x + y) & 0xFF));
    SECPcx image;
    REQUIRE(Load(image, BuildPcx(h, Literal(lines))));
    CHECK(image.m_nPixelDepth == 24);
    CHECK(image.m_wTableEntries == 0);
    CHECK(image.m_pImagePalette == nullptr);
    CHECK(SECImage::AlignedRowBytes(24, 101) == 304);
    for (DWORD y = 0; y < 2; y++)
    {
        const Bytes row = HeldRow(image, y);
        for (DWORD x : { 0u, 57u, 100u })
        {
            CAPTURE(x);
            CHECK(row[3 * x + 2] == BYTE(x + y));       // red
            CHECK(row[3 * x + 1] == BYTE(80 + x + y));  // green
            CHECK(row[3 * x] == BYTE(160 + x + y));     // blue
        }
    }
}

TEST_CASE("A fourth plane of 8 bits (alpha) is dropped")
{
    PcxHeader h;
    h.xMax = 1;
    h.yMax = 0;
    h.bytesPerLine = 2;
    h.planes = 4;
    SECPcx image;
    REQUIRE(Load(image, BuildPcx(h, Literal({ 1, 2, 3, 4, 5, 6, 0xFF, 0xFF }))));
    CHECK(image.m_nPixelDepth == 24);
    CHECK(HeldRow(image, 0) == Bytes{ 5, 3, 1, 6, 4, 2 });
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

TEST_CASE("Black and white: set bits 255, clear bits 0; a grey ramp, or the file's two colours")
{
    // 10 x 2, two bytes a line: the last six bits of each line lie beyond the width.
    PcxHeader h;
    h.bitsPerPixel = 1;
    h.xMax = 9;
    h.bytesPerLine = 2;
    const Bytes data = Literal({ 0xA5, 0xFF, 0x01, 0x40 });
    SECPcx image;
    REQUIRE(Load(image, BuildPcx(h, data)));
    CHECK(image.m_nPixelDepth == 8);
    CHECK(image.m_wTableEntries == 256);
    CHECK(image.m_pInfoHeader->biClrUsed == 256);
    CHECK(image.m_pInfoHeader->biClrImportant == 256);
    CHECK(HeldRow(image, 0) == Bytes{ 255, 0, 255, 0, 0, 255, 0, 255, 255, 255 });
    CHECK(HeldRow(image, 1) == Bytes{ 0, 0, 0, 0, 0, 0, 0, 255, 0, 255 });
    CHECK(Entry(image, 0) == Rgb{ 0, 0, 0 });
    CHECK(Entry(image, 255) == Rgb{ 255, 255, 255 });

    // With a table after the data its entries 0 and 1 are the two colours.
    ByteWriter table;
    table.u8(12).u8(0).u8(0).u8(128).u8(255).u8(255).u8(0).zeros(254 * 3);
    REQUIRE(Load(image, BuildPcx(h, data, table.data)));
    CHECK(Entry(image, 0) == Rgb{ 0, 0, 128 });
    CHECK(Entry(image, 255) == Rgb{ 255, 255, 0 });
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
    const Bytes data = Literal({ 0xAA, 0x80, 0xCC, 0x80, 0xF0, 0x80, 0x00, 0x80 });
    SECPcx image;
    REQUIRE(Load(image, BuildPcx(h, data)));
    CHECK(image.m_nPixelDepth == 8);
    CHECK(image.m_wTableEntries == 16);
    CHECK(image.m_pInfoHeader->biClrUsed == 16);
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
    PcxHeader good;
    const Bytes data = Literal({ 1, 2, 3, 4, 5, 6, 7, 8 });
    SECPcx image;
    REQUIRE(Load(image, BuildPcx(good, data)));

    struct Change
    {
        const char* what;
        void (*apply)(PcxHeader&);
    };
    const Change changes[] = {
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
        { "fewer 1-bit bytes per line than the width", [](PcxHeader& h) { h.bitsPerPixel = 1; h.xMax = 8; h.bytesPerLine = 1; } },
        { "65536 x 65536 pixels", [](PcxHeader& h) { h.xMax = h.yMax = 0xFFFF; h.bytesPerLine = 0xFFFF; } },
        { "24-bit 65536 x 65536 pixels", [](PcxHeader& h) { h.xMax = h.yMax = 0xFFFF; h.planes = 3; h.bytesPerLine = 0xFFFF; } },
        { "more lines than the file can hold", [](PcxHeader& h) { h.yMax = 100; } },
        { "longer lines than the file can hold", [](PcxHeader& h) { h.bytesPerLine = 0xFFFF; } },
    };
    for (const Change& change : changes)
    {
        const std::string what = change.what;
        CAPTURE(what);
        PcxHeader h;
        change.apply(h);
        CFile file(WriteTempFile("vistel-hostile.pcx", BuildPcx(h, data)).c_str(), CFile::modeRead);
        SECPcx refusing;
        refusing.m_pCurrentFile = &file;
        CHECK_FALSE(refusing.DecodeFromFile(&file));
        CHECK(refusing.m_pPixelBits == nullptr);
        CHECK(refusing.m_pInfoHeader == nullptr);
        CHECK(refusing.m_pIoBuffer == nullptr);
        // Through the load sequence the previous picture stays.
        CHECK_FALSE(Load(image, BuildPcx(h, data)));
        CHECK(image.PixelWidth() == 4);
        CHECK(HeldRow(image, 1) == Bytes{ 5, 6, 7, 8 });
    }

    // Every cut of the header.
    const Bytes whole = BuildPcx(good, data);
    for (size_t length = 0; length < 128; length++)
    {
        CAPTURE(length);
        SECPcx cut;
        CHECK_FALSE(Load(cut, Bytes(whole.begin(), whole.begin() + length)));
        CHECK(cut.m_pPixelBits == nullptr);
    }
}

TEST_CASE("Lines padded far beyond the width are read and their padding dropped")
{
    // 3 x 2 with 200 bytes a line, the padding in runs.
    PcxHeader h;
    h.xMax = 2;
    h.bytesPerLine = 200;
    ByteWriter data;
    for (int y = 0; y < 2; y++)
    {
        data.u8(BYTE(10 * y + 1)).u8(BYTE(10 * y + 2)).u8(BYTE(10 * y + 3));
        for (int rest = 197; rest > 0; rest -= rest > 63 ? 63 : rest)
            data.u8(BYTE(0xC0 | (rest > 63 ? 63 : rest))).u8(0xEE);
    }
    SECPcx image;
    REQUIRE(Load(image, BuildPcx(h, data.data)));
    CHECK(HeldRow(image, 0) == Bytes{ 1, 2, 3 });
    CHECK(HeldRow(image, 1) == Bytes{ 11, 12, 13 });
}

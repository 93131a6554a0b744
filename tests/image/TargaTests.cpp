// The Targa reader: files built here field by field for the cases an
// encoder does not write (every row order, 16-bit edge values, packets,
// the TGA 2.0 trailer), the conversions of grey and colour-mapped pixels,
// and hostile files, which must be refused quickly with nothing left behind.
#include <doctest.h>

#include <cstring>
#include <string>

#include "ImageMemory.h"
#include "SECTarga.h"
#include "TestPictures.h"

namespace
{
// The header fields of a file; the defaults make a plain 24-bit picture.
struct TgaHeader
{
    BYTE idLength = 0;
    BYTE mapType = 0;
    BYTE type = 2;
    WORD mapFirst = 0;
    WORD mapLength = 0;
    BYTE mapEntryBits = 0;
    WORD width = 1;
    WORD height = 1;
    BYTE depth = 24;
    BYTE descriptor = 0;
};

Bytes TgaHeaderBytes(const TgaHeader& h)
{
    ByteWriter w;
    w.u8(h.idLength).u8(h.mapType).u8(h.type).u16(h.mapFirst).u16(h.mapLength).u8(h.mapEntryBits);
    w.u16(0).u16(0).u16(h.width).u16(h.height).u8(h.depth).u8(h.descriptor);
    return w.data;
}

// Header, ID, colour map and pixel data of a file in the original format,
// with zero bytes after the data up to the 26 bytes a Targa file has at least
// (where a TGA 2.0 file has its footer).
Bytes BuildTga(const TgaHeader& h, const Bytes& pixels, const Bytes& id = {}, const Bytes& map = {})
{
    ByteWriter w;
    w.bytes(TgaHeaderBytes(h)).bytes(id).bytes(map).bytes(pixels);
    if (w.data.size() < 26)
        w.zeros(26 - w.data.size());
    return w.data;
}

// The 26-byte footer of a TGA 2.0 file.
Bytes Footer(DWORD dwExtension, DWORD dwDirectory)
{
    ByteWriter w;
    w.u32(dwExtension).u32(dwDirectory);
    const char* pszSignature = "TRUEVISION-XFILE.";
    w.data.insert(w.data.end(), pszSignature, pszSignature + 17);
    w.u8(0);
    return w.data;
}

// Blue, green, red.
struct Bgr
{
    BYTE b, g, r;
};

Bytes Pixels24(const std::vector<Bgr>& pixels)
{
    ByteWriter w;
    for (const Bgr& p : pixels)
        w.u8(p.b).u8(p.g).u8(p.r);
    return w.data;
}

// A 3 x 2 picture, top row first, left to right: what every order of it
// must decode to.
const std::vector<Bgr> TOP_ROW = { { 1, 2, 3 }, { 4, 5, 6 }, { 7, 8, 9 } };
const std::vector<Bgr> BOTTOM_ROW = { { 11, 12, 13 }, { 14, 15, 16 }, { 17, 18, 19 } };

// The bitmap rows of that picture: bottom row first, each padded to 12 bytes.
Bytes ExpectedRows3x2()
{
    Bytes rows = Pixels24(BOTTOM_ROW);
    rows.resize(12);
    Bytes top = Pixels24(TOP_ROW);
    top.resize(12);
    rows.insert(rows.end(), top.begin(), top.end());
    return rows;
}

std::vector<Bgr> Reversed(std::vector<Bgr> row)
{
    return std::vector<Bgr>(row.rbegin(), row.rend());
}

// A row of 24-bit pixels as raw packets (at most 128 pixels each).
Bytes RawPackets(const std::vector<Bgr>& row)
{
    ByteWriter w;
    for (size_t i = 0; i < row.size(); i += 128)
    {
        const size_t n = row.size() - i < 128 ? row.size() - i : 128;
        w.u8(static_cast<BYTE>(n - 1));
        w.bytes(Pixels24(std::vector<Bgr>(row.begin() + i, row.begin() + i + n)));
    }
    return w.data;
}

BOOL Load(SECTarga& image, const Bytes& file)
{
    return image.LoadFromPath(WriteTempFile("vistel-reader.tga", file).c_str());
}

Bytes HeldRows(const SECImage& image)
{
    return PixelBytes(image, SECImage::AlignedRowBytes(24, image.PixelWidth()) * image.PixelHeight());
}

// The pixel at (x, y) of the held picture, y counted from the top.
Bgr HeldPixel(const SECImage& image, DWORD x, DWORD y)
{
    const BYTE* p = image.m_pPixelBits + (image.PixelHeight() - 1 - y) * SECImage::AlignedRowBytes(24, image.PixelWidth()) +
                    3 * x;
    return { p[0], p[1], p[2] };
}

bool operator==(const Bgr& a, const Bgr& b)
{
    return a.b == b.b && a.g == b.g && a.r == b.r;
}

doctest::String toString(const Bgr& p)
{
    return ("(" + std::to_string(p.b) + "," + std::to_string(p.g) + "," + std::to_string(p.r) + ")").c_str();
}
} // namespace

TEST_CASE("SECTarga is a serializable class of its own")
{
    SECTarga image;
    const CRuntimeClass* pClass = image.GetRuntimeClass();
    CHECK(std::string(pClass->m_lpszClassName) == "SECTarga");
    CHECK(pClass->m_wSchema == 1);
    CHECK(pClass->m_pBaseClass == RUNTIME_CLASS(CObject));
    CObject* pMade = pClass->m_pfnCreateObject();
    CHECK(pMade->IsKindOf(RUNTIME_CLASS(SECTarga)));
    delete pMade;
}

TEST_CASE("A plain 24-bit file stored bottom-up gives its own bytes in aligned rows")
{
    TgaHeader h;
    h.width = 3;
    h.height = 2;
    Bytes pixels = Pixels24(BOTTOM_ROW);
    const Bytes top = Pixels24(TOP_ROW);
    pixels.insert(pixels.end(), top.begin(), top.end());
    SECTarga image;
    REQUIRE(Load(image, BuildTga(h, pixels)));
    CHECK(image.PixelWidth() == 3);
    CHECK(image.PixelHeight() == 2);
    CHECK(image.m_nPixelDepth == 24);
    CHECK(image.m_wTableEntries == 0);
    CHECK(image.m_pImagePalette == nullptr);
    CHECK(image.m_pInfoHeader->biSize == 40);
    CHECK(image.m_pInfoHeader->biBitCount == 24);
    CHECK(image.m_pInfoHeader->biPlanes == 1);
    CHECK(image.m_pInfoHeader->biHeight == 2);
    CHECK(image.m_pInfoHeader->biCompression == BI_RGB);
    CHECK(HeldRows(image) == ExpectedRows3x2());
    CHECK_FALSE(image.m_bNewFormat);
    CHECK(image.m_dwImageDataOffset == 18);
    CHECK(image.m_pIoBuffer == nullptr); // the reader's buffer is gone
}

TEST_CASE("All four row and column orders, plain and run-length encoded, give the same bitmap")
{
    struct Order
    {
        BYTE descriptor;
        const char* name;
        std::vector<std::vector<Bgr>> storedRows;
    };
    const Order orders[] = {
        { 0x00, "bottom-up, left to right", { BOTTOM_ROW, TOP_ROW } },
        { 0x20, "top-down, left to right", { TOP_ROW, BOTTOM_ROW } },
        { 0x10, "bottom-up, right to left", { Reversed(BOTTOM_ROW), Reversed(TOP_ROW) } },
        { 0x30, "top-down, right to left", { Reversed(TOP_ROW), Reversed(BOTTOM_ROW) } },
    };
    for (const Order& order : orders)
        for (BYTE type : { BYTE(2), BYTE(10) })
        {
            CAPTURE(order.name);
            CAPTURE(int(type));
            TgaHeader h;
            h.type = type;
            h.width = 3;
            h.height = 2;
            h.descriptor = order.descriptor | 0x08; // and eight attribute bits, which change nothing
            Bytes data;
            for (const auto& row : order.storedRows)
            {
                const Bytes stored = type == 2 ? Pixels24(row) : RawPackets(row);
                data.insert(data.end(), stored.begin(), stored.end());
            }
            SECTarga image;
            REQUIRE(Load(image, BuildTga(h, data)));
            CHECK(HeldRows(image) == ExpectedRows3x2());
        }
}

TEST_CASE("16-bit pixels: five bits each of blue, green and red, bit 15 unused")
{
    for (BYTE depth : { BYTE(16), BYTE(15) })
    {
        CAPTURE(int(depth));
        TgaHeader h;
        h.width = 5;
        h.depth = depth;
        ByteWriter data;
        data.u16(0x7FFF).u16(0x8000).u16(0x001F).u16(0x03E0).u16(0x7C00 | 0x8000 | (10 << 5) | 1);
        SECTarga image;
        REQUIRE(Load(image, BuildTga(h, data.data)));
        CHECK(image.m_nPixelDepth == 24);
        CHECK(HeldPixel(image, 0, 0) == Bgr{ 255, 255, 255 });
        CHECK(HeldPixel(image, 1, 0) == Bgr{ 0, 0, 0 });
        CHECK(HeldPixel(image, 2, 0) == Bgr{ 255, 0, 0 });
        CHECK(HeldPixel(image, 3, 0) == Bgr{ 0, 255, 0 });
        CHECK(HeldPixel(image, 4, 0) == Bgr{ 8, 82, 255 });
    }
}

TEST_CASE("Run-length packets: a run repeats one value, a raw packet carries its values")
{
    // One row of 7: a run packet 0x83 of four copies, a raw packet 0x02 of three.
    TgaHeader h;
    h.type = 10;
    h.width = 7;
    ByteWriter data;
    data.u8(0x83).bytes(Pixels24({ { 10, 20, 30 } }));
    data.u8(0x02).bytes(Pixels24({ { 1, 2, 3 }, { 4, 5, 6 }, { 7, 8, 9 } }));
    SECTarga image;
    REQUIRE(Load(image, BuildTga(h, data.data)));
    for (DWORD x = 0; x < 4; x++)
        CHECK(HeldPixel(image, x, 0) == Bgr{ 10, 20, 30 });
    CHECK(HeldPixel(image, 4, 0) == Bgr{ 1, 2, 3 });
    CHECK(HeldPixel(image, 6, 0) == Bgr{ 7, 8, 9 });

    SUBCASE("16-bit runs are converted once and repeated")
    {
        h.depth = 16;
        h.width = 3;
        ByteWriter data16;
        data16.u8(0x82).u16(0x001F);
        REQUIRE(Load(image, BuildTga(h, data16.data)));
        for (DWORD x = 0; x < 3; x++)
            CHECK(HeldPixel(image, x, 0) == Bgr{ 255, 0, 0 });
    }
}

TEST_CASE("A packet that runs past the end of its row fails the read")
{
    // Two rows of 2; one run of 4 would cover both.
    TgaHeader h;
    h.type = 10;
    h.width = 2;
    h.height = 2;
    ByteWriter data;
    data.u8(0x83).bytes(Pixels24({ { 1, 2, 3 } })).zeros(16);
    SECTarga image;
    CFile file(WriteTempFile("vistel-across.tga", BuildTga(h, data.data)).c_str(), CFile::modeRead);
    image.m_pCurrentFile = &file;
    CHECK_FALSE(image.DecodeFromFile(&file));
    CHECK(image.m_pPixelBits == nullptr);
    CHECK(image.m_pInfoHeader == nullptr);
    CHECK(image.m_pIoBuffer == nullptr);
}

TEST_CASE("Run-length rows longer than 32767 bytes decode")
{
    // 11000 pixels of 3 bytes in one row: 33000 bytes.
    TgaHeader h;
    h.type = 10;
    h.width = 11000;
    ByteWriter data;
    for (DWORD done = 0; done < 11000; done += 125)
        data.u8(0x80 | 124).bytes(Pixels24({ { BYTE(done / 125), 7, 9 } }));
    SECTarga image;
    REQUIRE(Load(image, BuildTga(h, data.data)));
    CHECK(HeldPixel(image, 0, 0) == Bgr{ 0, 7, 9 });
    CHECK(HeldPixel(image, 10999, 0) == Bgr{ 87, 7, 9 });
}

TEST_CASE("32-bit pixels lose their alpha, and their run-length rows stay inside the pixel block")
{
    TgaHeader h;
    h.depth = 32;
    h.width = 5;
    h.height = 3;
    ByteWriter plain, packed;
    for (int i = 0; i < 15; i++)
        plain.u8(BYTE(i)).u8(BYTE(100 + i)).u8(BYTE(200 + i)).u8(0x55);
    for (int y = 0; y < 3; y++)
        packed.u8(0x84).u8(BYTE(y)).u8(BYTE(100 + y)).u8(BYTE(200 + y)).u8(0xFF); // five copies a row
    SECTarga image;
    REQUIRE(Load(image, BuildTga(h, plain.data)));
    CHECK(HeldPixel(image, 0, 2) == Bgr{ 0, 100, 200 });
    CHECK(HeldPixel(image, 4, 0) == Bgr{ 14, 114, 214 });

    h.type = 10;
    REQUIRE(Load(image, BuildTga(h, packed.data)));
    // Three aligned rows of 16 bytes in a block of 3 x 8 x 3 bytes.
    CHECK(ImageBlockSize(image.m_pPixelBits) >= 48);
    for (DWORD x = 0; x < 5; x++)
    {
        CHECK(HeldPixel(image, x, 2) == Bgr{ 0, 100, 200 });
        CHECK(HeldPixel(image, x, 0) == Bgr{ 2, 102, 202 });
    }
}

TEST_CASE("Grey pictures (types 3 and 11) are shown grey")
{
    TgaHeader h;
    h.width = 3;
    for (BYTE type : { BYTE(3), BYTE(11) })
    {
        CAPTURE(int(type));
        h.type = type;
        h.depth = 8;
        const Bytes plain = { 0, 128, 255 };
        const Bytes packed = { 0x00, 0, 0x81, 200 };
        SECTarga image;
        REQUIRE(Load(image, BuildTga(h, type == 3 ? plain : packed)));
        CHECK(image.m_nPixelDepth == 24);
        CHECK(HeldPixel(image, 0, 0) == Bgr{ 0, 0, 0 });
        CHECK(HeldPixel(image, 1, 0) == (type == 3 ? Bgr{ 128, 128, 128 } : Bgr{ 200, 200, 200 }));
        CHECK(HeldPixel(image, 2, 0) == (type == 3 ? Bgr{ 255, 255, 255 } : Bgr{ 200, 200, 200 }));

        // Grey with alpha: the grey byte first.
        h.depth = 16;
        const Bytes plain16 = { 10, 0xFF, 20, 0, 30, 0x80 };
        const Bytes packed16 = { 0x82, 40, 0x7F };
        REQUIRE(Load(image, BuildTga(h, type == 3 ? plain16 : packed16)));
        CHECK(HeldPixel(image, 0, 0) == (type == 3 ? Bgr{ 10, 10, 10 } : Bgr{ 40, 40, 40 }));
        CHECK(HeldPixel(image, 2, 0) == (type == 3 ? Bgr{ 30, 30, 30 } : Bgr{ 40, 40, 40 }));
    }
}

TEST_CASE("Colour-mapped pictures (types 1 and 9) are shown through their colour map")
{
    // A map of three entries for indices 10 to 12, in each entry size.
    struct MapCase
    {
        BYTE entryBits;
        Bytes map;
    };
    const MapCase maps[] = {
        { 24, { 255, 0, 0, 0, 255, 0, 1, 2, 3 } },
        { 32, { 255, 0, 0, 9, 0, 255, 0, 9, 1, 2, 3, 9 } },
        { 16, { 0x1F, 0x00, 0xE0, 0x03, 0x00, 0x7C } }, // blue, green, red
        { 15, { 0x1F, 0x00, 0xE0, 0x03, 0x00, 0x7C } },
    };
    for (const MapCase& m : maps)
        for (BYTE type : { BYTE(1), BYTE(9) })
        {
            CAPTURE(int(m.entryBits));
            CAPTURE(int(type));
            TgaHeader h;
            h.type = type;
            h.mapType = 1;
            h.mapFirst = 10;
            h.mapLength = 3;
            h.mapEntryBits = m.entryBits;
            h.depth = 8;
            h.width = 5;
            h.idLength = 4;
            // Indices 10, 11, 12, then 9 and 13, which lie outside the map.
            const Bytes plain = { 10, 11, 12, 9, 13 };
            const Bytes packed = { 0x02, 10, 11, 12, 0x81, 13 };
            SECTarga image;
            REQUIRE(Load(image, BuildTga(h, type == 1 ? plain : packed, { 'I', 'D', '!', 0 }, m.map)));
            CHECK(std::memcmp(image.m_pImageId, "ID!", 4) == 0);
            CHECK(image.m_dwImageDataOffset == 18 + 4 + m.map.size());
            const Bgr third = m.entryBits == 24 || m.entryBits == 32 ? Bgr{ 1, 2, 3 } : Bgr{ 0, 0, 255 };
            CHECK(HeldPixel(image, 0, 0) == Bgr{ 255, 0, 0 });
            CHECK(HeldPixel(image, 1, 0) == Bgr{ 0, 255, 0 });
            CHECK(HeldPixel(image, 2, 0) == third);
            CHECK(HeldPixel(image, 3, 0) == Bgr{ 0, 0, 0 });
            CHECK(HeldPixel(image, 4, 0) == Bgr{ 0, 0, 0 });
        }

    SUBCASE("16-bit indices")
    {
        TgaHeader h;
        h.type = 1;
        h.mapType = 1;
        h.mapFirst = 300;
        h.mapLength = 2;
        h.mapEntryBits = 24;
        h.depth = 16;
        h.width = 2;
        ByteWriter data;
        data.u16(301).u16(300);
        SECTarga image;
        REQUIRE(Load(image, BuildTga(h, data.data, {}, { 1, 1, 1, 2, 2, 2 })));
        CHECK(HeldPixel(image, 0, 0) == Bgr{ 2, 2, 2 });
        CHECK(HeldPixel(image, 1, 0) == Bgr{ 1, 1, 1 });
    }
}

TEST_CASE("A true-colour file's ID and colour map are skipped to find its pixels")
{
    TgaHeader h;
    h.idLength = 3;
    h.mapType = 1;
    h.mapLength = 2;
    h.mapEntryBits = 32;
    h.width = 1;
    SECTarga image;
    REQUIRE(Load(image, BuildTga(h, Pixels24({ { 5, 6, 7 } }), { 1, 2, 3 }, Bytes(8, 0xEE))));
    CHECK(image.m_dwImageDataOffset == 18 + 3 + 8);
    CHECK(HeldPixel(image, 0, 0) == Bgr{ 5, 6, 7 });
    CHECK(image.m_pColorMap[7] == 0xEE); // kept as stored
}

namespace
{
// A TGA 2.0 file of a 2 x 2 colour-mapped picture with an image ID: pixel
// data, developer directory, extension area, scan-line table, postage
// stamp, colour-correction table and footer, at offsets given back.
struct NewFormatFile
{
    Bytes bytes;
    DWORD dwPictureEnd, dwDirectory, dwExtension, dwScanLines, dwStamp, dwCorrection;
};

NewFormatFile BuildNewFormat()
{
    NewFormatFile f;
    TgaHeader h;
    h.idLength = 3;
    h.type = 1;
    h.mapType = 1;
    h.mapLength = 4;
    h.mapEntryBits = 16;
    h.width = 2;
    h.height = 2;
    h.depth = 8;
    ByteWriter w;
    w.bytes(TgaHeaderBytes(h)).bytes({ 'a', 'b', 'c' }).u16(0x7FFF).u16(0x001F).u16(0x03E0).u16(0x7C00);
    w.bytes({ 0, 1, 2, 3 });
    f.dwPictureEnd = static_cast<DWORD>(w.data.size());
    w.bytes({ 'd', 'e', 'v' }); // the data of the one developer tag
    f.dwDirectory = static_cast<DWORD>(w.data.size());
    w.u16(1).u16(32768).u32(f.dwDirectory - 3).u32(3);
    f.dwScanLines = static_cast<DWORD>(w.data.size());
    w.u32(18).u32(22);
    f.dwStamp = static_cast<DWORD>(w.data.size());
    w.u8(1).u8(2).u8(3).u8(0); // 1 x 2 stamp of 8-bit pixels
    f.dwCorrection = static_cast<DWORD>(w.data.size());
    for (int i = 0; i < 256; i++)
        w.u16(WORD(i)).u16(WORD(i * 2)).u16(WORD(i * 3)).u16(0xFFFF);
    f.dwExtension = static_cast<DWORD>(w.data.size());
    const size_t at = w.data.size();
    w.u16(495);
    auto text = [&w](const char* psz, size_t cb) {
        Bytes field(cb, 0);
        std::memcpy(field.data(), psz, std::strlen(psz));
        w.bytes(field);
    };
    text("Ann Author", 41);
    text("A comment", 324);
    w.u16(12).u16(31).u16(1999).u16(23).u16(59).u16(58);
    text("The job", 41);
    w.u16(1).u16(2).u16(3);
    text("Painter", 41);
    w.u16(410).u8('b').u32(0xFF00FF00).u16(4).u16(3).u16(22).u16(10);
    w.u32(f.dwCorrection).u32(f.dwStamp).u32(f.dwScanLines).u8(3);
    REQUIRE(w.data.size() - at == 495);
    w.bytes(Footer(f.dwExtension, f.dwDirectory));
    f.bytes = w.data;
    return f;
}
} // namespace

TEST_CASE("A TGA 2.0 file: the extension area and its blocks are read and kept, the picture is the same")
{
    const NewFormatFile f = BuildNewFormat();
    SECTarga image;
    REQUIRE(Load(image, f.bytes));
    CHECK(image.m_bNewFormat);
    CHECK(std::string(image.m_szSignature) == "TRUEVISION-XFILE.");
    CHECK(image.m_dwDevDirOffset == f.dwDirectory);
    CHECK(image.m_dwExtensionOffset == f.dwExtension);
    // A field in each stretch of the area: one out of place shifts the rest.
    const TGAEXTENSION& e = image.m_extension;
    CHECK(e.wSize == 495);
    CHECK(std::string(e.szAuthorComments) == "A comment");
    CHECK(e.awDateTime[5] == 58);
    CHECK(std::string(e.szSoftwareId) == "Painter");
    CHECK(e.bSoftwareLetter == 'b');
    CHECK(e.awGamma[1] == 10);
    CHECK(e.bAttributesType == 3);
    REQUIRE(image.m_pScanLineTable != nullptr);
    CHECK(image.m_pScanLineTable[0] == 18);
    CHECK(image.m_pScanLineTable[1] == 22);
    CHECK(image.m_bStampWidth == 1);
    CHECK(image.m_bStampHeight == 2);
    REQUIRE(image.m_pStampData != nullptr);
    CHECK(image.m_pStampData[0] == 3);
    CHECK(image.m_pStampData[1] == 0);
    CHECK(std::memcmp(image.m_pImageId, "abc", 3) == 0);
    CHECK(image.m_colorCorrection[255][2] == 765);
    CHECK(image.m_colorCorrection[3][3] == 0xFFFF);
    // Bottom row first in the file: white, blue; then green, red on top.
    CHECK(HeldPixel(image, 0, 1) == Bgr{ 255, 255, 255 });
    CHECK(HeldPixel(image, 1, 1) == Bgr{ 255, 0, 0 });
    CHECK(HeldPixel(image, 0, 0) == Bgr{ 0, 255, 0 });
    CHECK(HeldPixel(image, 1, 0) == Bgr{ 0, 0, 255 });

    // A second read drops what the first kept.
    TgaHeader h;
    REQUIRE(Load(image, BuildTga(h, Pixels24({ { 1, 1, 1 } }))));
    CHECK_FALSE(image.m_bNewFormat);
    CHECK(image.m_pScanLineTable == nullptr);
    CHECK(image.m_pStampData == nullptr);
    CHECK(image.m_extension.wSize == 0);
}

namespace
{
// Decodes a file straight through DecodeFromFile and checks that it was
// refused in good time with nothing of the read left in the object.
void CheckRefused(const Bytes& file, const char* pszWhat)
{
    const std::string what = pszWhat;
    CAPTURE(what);
    CAPTURE(file.size());
    const std::string strPath = WriteTempFile("vistel-hostile.tga", file);
    CFile input(strPath.c_str(), CFile::modeRead);
    SECTarga image;
    image.m_pCurrentFile = &input;
    LARGE_INTEGER start, end, frequency;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&start);
    BOOL bDecoded = TRUE;
    try
    {
        bDecoded = image.DecodeFromFile(&input);
    }
    catch (const CFileException&)
    {
        FAIL("a file exception escaped");
    }
    ::QueryPerformanceCounter(&end);
    // Far more than any refusal takes: a loop that depends on a file's
    // claims instead of its length would show here.
    CHECK(double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart) < 1.0);
    CHECK_FALSE(bDecoded);
    CHECK(image.m_pPixelBits == nullptr);
    CHECK(image.m_pInfoHeader == nullptr);
    CHECK(image.m_pIoBuffer == nullptr);
    CHECK(image.m_pImageId == nullptr);
    CHECK(image.m_pColorMap == nullptr);
    CHECK(image.m_pScanLineTable == nullptr);
    CHECK(image.m_pStampData == nullptr);
}

Bytes Patched(Bytes bytes, size_t at, const Bytes& with)
{
    std::memcpy(bytes.data() + at, with.data(), with.size());
    return bytes;
}

Bytes LE32(DWORD v)
{
    return ByteWriter().u32(v).data;
}

// A 2 x 2 24-bit file changed by change, with 64 bytes of data after the
// header (and after the ID and the colour map the change asks for).
template <typename Change> Bytes Changed(Change change)
{
    TgaHeader h;
    h.width = 2;
    h.height = 2;
    change(h);
    Bytes id(h.idLength, 'i');
    Bytes map(h.mapType != 0 ? h.mapLength * ((h.mapEntryBits + 7u) / 8) : 0, 'm');
    if (map.size() > 1000)
        map.resize(1000); // longer than the rest of the file
    if (id.size() > 10)
        id.resize(10);
    return BuildTga(h, Bytes(64, 0), id, map);
}
} // namespace

TEST_CASE("Cuts of a TGA 2.0 file: short of the picture refused, otherwise an original-format file")
{
    const NewFormatFile f = BuildNewFormat();
    // Up to the end of the pixel data every cut is short of a header field,
    // the ID, the colour map or pixels. Past it the signature is gone, and
    // what remains is a file of the original format.
    for (size_t length = 0; length < f.dwPictureEnd; length++)
        CheckRefused(Bytes(f.bytes.begin(), f.bytes.begin() + length), "cut");
    for (size_t length = f.dwPictureEnd; length < f.bytes.size(); length += 37)
    {
        CAPTURE(length);
        SECTarga image;
        REQUIRE(Load(image, Bytes(f.bytes.begin(), f.bytes.begin() + length)));
        CHECK_FALSE(image.m_bNewFormat);
        CHECK(HeldPixel(image, 1, 0) == Bgr{ 0, 0, 255 });
    }
}

TEST_CASE("Hostile headers and trailers are refused")
{
    const NewFormatFile f = BuildNewFormat();
    const size_t footer = f.bytes.size() - 26;
    const size_t ext = f.dwExtension;
    TgaHeader h;
    h.width = 2;
    h.height = 2;
    const Bytes plain = BuildTga(h, Bytes(12, 0x40));
    const Bytes onePixel = BuildTga(TgaHeader(), Pixels24({ { 1, 2, 3 } }));

    struct Case
    {
        const char* what;
        Bytes file;
    };
    TgaHeader rle = h;
    rle.type = 10;

    // 65535 developer tags, the last of whose data lies beyond the end.
    ByteWriter tags;
    tags.u16(0xFFFF);
    for (int i = 0; i < 0xFFFF; i++)
        tags.u16(WORD(i)).u32(18).u32(i == 0xFFFE ? 0x7FFFFFFF : 4);
    Bytes manyTags = plain;
    const DWORD dwTags = static_cast<DWORD>(manyTags.size());
    manyTags.insert(manyTags.end(), tags.data.begin(), tags.data.end());
    const Bytes footerTags = Footer(0, dwTags);
    manyTags.insert(manyTags.end(), footerTags.begin(), footerTags.end());

    const Case cases[] = {
        { "a whole 1 x 1 picture shorter than a footer", Bytes(onePixel.begin(), onePixel.begin() + 21) },
        { "65535 x 65535 pixels", Changed([](TgaHeader& x) { x.width = x.height = 65535; }) },
        // 243 MB of pixels: more than the file holds.
        { "9000 x 9000 plain pixels in 64 bytes", Changed([](TgaHeader& x) { x.width = x.height = 9000; }) },
        { "9000 x 9000 encoded pixels in 64 bytes",
          Changed([](TgaHeader& x) { x.width = x.height = 9000; x.type = 10; }) },
        { "no width", Changed([](TgaHeader& x) { x.width = 0; }) },
        { "no height", Changed([](TgaHeader& x) { x.height = 0; }) },
        { "an ID longer than the file", Changed([](TgaHeader& x) { x.idLength = 255; }) },
        { "a colour map longer than the file",
          Changed([](TgaHeader& x) { x.mapType = 1; x.mapLength = 65535; x.mapEntryBits = 255; }) },
        { "image type 0: no pixels", Changed([](TgaHeader& x) { x.type = 0; }) },
        { "image type 32", Changed([](TgaHeader& x) { x.type = 32; }) },
        { "8-bit true colour", Changed([](TgaHeader& x) { x.depth = 8; }) },
        { "24-bit grey", Changed([](TgaHeader& x) { x.type = 3; }) },
        { "indices without a colour map", Changed([](TgaHeader& x) { x.type = 1; x.depth = 8; }) },
        { "a colour map of 8-bit entries",
          Changed([](TgaHeader& x) { x.type = 1; x.depth = 8; x.mapType = 1; x.mapLength = 2; x.mapEntryBits = 8; }) },
        { "24-bit indices",
          Changed([](TgaHeader& x) { x.type = 1; x.mapType = 1; x.mapLength = 2; x.mapEntryBits = 24; }) },
        { "255-bit pixels", Changed([](TgaHeader& x) { x.depth = 255; }) },
        { "plain pixels cut short", BuildTga(h, Bytes(11, 0)) },
        // Long enough for one packet a row, but the second row's run lacks its value.
        { "encoded pixels cut short", BuildTga(rle, { 0x01, 1, 2, 3, 4, 5, 6, 0x81, 1 }) },
        { "extension area past the end", Patched(f.bytes, footer, LE32(0xFFFFFFF0)) },
        { "extension area overlapping the end", Patched(f.bytes, footer, LE32(DWORD(f.bytes.size() - 400))) },
        { "developer directory past the end", Patched(f.bytes, footer + 4, LE32(0x80000000)) },
        { "developer tag data past the end", Patched(f.bytes, f.dwDirectory + 8, LE32(0xFFFFFFFF)) },
        { "developer tag count past the end", Patched(f.bytes, f.dwDirectory, { 0xFF, 0xFF }) },
        { "65535 developer tags, the last past the end", manyTags },
        { "scan-line table past the end", Patched(f.bytes, ext + 490, LE32(DWORD(f.bytes.size() - 4))) },
        { "postage stamp past the end", Patched(f.bytes, ext + 486, LE32(0xFFFFFFFF)) },
        { "postage stamp larger than the file", Patched(f.bytes, f.dwStamp, { 255, 255 }) },
        { "colour-correction table past the end", Patched(f.bytes, ext + 482, LE32(DWORD(f.bytes.size() - 100))) },
    };
    for (const Case& c : cases)
        CheckRefused(c.file, c.what);
}

TEST_CASE("A file without the footer signature loads from its header and data alone")
{
    // The last 26 bytes look like a footer with a wrong signature, whose
    // offsets would point outside the file: they are not followed.
    TgaHeader h;
    h.width = 10;
    h.height = 1;
    Bytes file = BuildTga(h, Bytes(30, 0x20));
    Bytes footer = Footer(0xFFFFFFFF, 0xFFFFFFFF);
    footer[25] = '!';
    file.insert(file.end(), footer.begin(), footer.end());
    SECTarga image;
    REQUIRE(Load(image, file));
    CHECK_FALSE(image.m_bNewFormat);
    CHECK(HeldPixel(image, 9, 0) == Bgr{ 0x20, 0x20, 0x20 });
}

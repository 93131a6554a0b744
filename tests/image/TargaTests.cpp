// The Targa reader on files built here field by field, for what ImageMagick
// does not write: 16-bit edge values, grey with alpha, colour maps of 15, 16
// and 32-bit entries, 16-bit indices, packets that run on across rows, the
// TGA 2.0 trailer; and hostile and cut files, which must be refused quickly
// with nothing left behind.
// ImageMagick's files (every row order, plain and run-length, 8 to 32 bits,
// grey and mapped) are compared with its own reading by the end-to-end tests.
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
    w.data.insert(w.data.end(), pszSignature, pszSignature + 18);
    return w.data;
}

// Blue, green, red.
struct Bgr
{
    BYTE b, g, r;
};

bool operator==(const Bgr& a, const Bgr& b)
{
    return a.b == b.b && a.g == b.g && a.r == b.r;
}

doctest::String toString(const Bgr& p)
{
    return ("(" + std::to_string(p.b) + "," + std::to_string(p.g) + "," + std::to_string(p.r) + ")").c_str();
}

BOOL Load(SECTarga& image, const Bytes& file)
{
    return image.LoadFromPath(WriteTempFile("vistel-reader.tga", file).c_str());
}

// The pixel at (x, y) of the held 24-bit picture, y counted from the top.
Bgr HeldPixel(const SECImage& image, DWORD x, DWORD y)
{
    const BYTE* p = image.m_pPixelBits +
                    (image.PixelHeight() - 1 - y) * SECImage::AlignedRowBytes(24, image.PixelWidth()) + 3 * x;
    return { p[0], p[1], p[2] };
}
} // namespace

TEST_CASE("Pixels of every kind become blue-green-red triples")
{
    struct Case
    {
        std::string what;
        TgaHeader h;
        Bytes data, id, map;
        std::vector<Bgr> pixels; // top row first, each row left to right
    };
    std::vector<Case> cases;
    auto add = [&cases](const std::string& what, BYTE type, BYTE depth, const Bytes& data, std::vector<Bgr> pixels,
                        WORD height = 1) {
        Case c{ what, TgaHeader(), data, {}, {}, pixels };
        c.h.type = type;
        c.h.depth = depth;
        c.h.width = static_cast<WORD>(pixels.size() / height);
        c.h.height = height;
        cases.push_back(c);
    };
    // Five bits each of blue, green and red (0x7FFF, 0x8000, 0x001F, ...); bit 15 unused.
    const Bytes sixteen = ByteWriter().u16(0x7FFF).u16(0x8000).u16(0x001F).u16(0x03E0).u16(0xFC00 | (10 << 5) | 1).data;
    const std::vector<Bgr> sixteenRow = { { 255, 255, 255 }, { 0, 0, 0 }, { 255, 0, 0 }, { 0, 255, 0 }, { 8, 82, 255 } };
    add("16-bit", 2, 16, sixteen, sixteenRow);
    add("15-bit", 2, 15, sixteen, sixteenRow);
    add("a 16-bit run", 10, 16, { 0x82, 0x1F, 0x00 }, { { 255, 0, 0 }, { 255, 0, 0 }, { 255, 0, 0 } });
    add("grey with alpha: the grey byte first", 3, 16, { 10, 0xFF, 20, 0, 30, 0x80 },
        { { 10, 10, 10 }, { 20, 20, 20 }, { 30, 30, 30 } });
    add("grey with alpha in a run", 11, 16, { 0x82, 40, 0x7F }, { { 40, 40, 40 }, { 40, 40, 40 }, { 40, 40, 40 } });
    // Colour maps of three entries for indices 10 to 12 (blue, green, and a
    // third colour), after a four-byte ID; indices 9 and 13 lie outside.
    const std::pair<BYTE, Bytes> maps[] = {
        { 32, { 255, 0, 0, 9, 0, 255, 0, 9, 1, 2, 3, 9 } },
        { 16, { 0x1F, 0x00, 0xE0, 0x03, 0x00, 0x7C } },
        { 15, { 0x1F, 0x00, 0xE0, 0x03, 0x00, 0x7C } },
    };
    for (const auto& map : maps)
        for (BYTE type : { BYTE(1), BYTE(9) })
        {
            const Bgr third = map.first == 32 ? Bgr{ 1, 2, 3 } : Bgr{ 0, 0, 255 };
            add(std::to_string(map.first) + "-bit map entries, type " + std::to_string(type), type, 8,
                type == 1 ? Bytes{ 10, 11, 12, 9, 13 } : Bytes{ 0x02, 10, 11, 12, 0x81, 13 },
                { { 255, 0, 0 }, { 0, 255, 0 }, third, { 0, 0, 0 }, { 0, 0, 0 } });
            Case& c = cases.back();
            c.h.mapType = 1;
            c.h.mapFirst = 10;
            c.h.mapLength = 3;
            c.h.mapEntryBits = map.first;
            c.h.idLength = 4;
            c.id = { 'I', 'D', '!', 0 };
            c.map = map.second;
        }
    add("16-bit indices", 1, 16, ByteWriter().u16(301).u16(300).data, { { 2, 2, 2 }, { 1, 1, 1 } });
    cases.back().h.mapType = 1;
    cases.back().h.mapFirst = 300;
    cases.back().h.mapLength = 2;
    cases.back().h.mapEntryBits = 24;
    cases.back().map = { 1, 1, 1, 2, 2, 2 };
    // True colour with an ID and a colour map, both skipped to find the pixels.
    add("true colour after an ID and a map", 2, 24, { 5, 6, 7 }, { { 5, 6, 7 } });
    cases.back().h.idLength = 3;
    cases.back().id = { 1, 2, 3 };
    cases.back().h.mapType = 1;
    cases.back().h.mapLength = 2;
    cases.back().h.mapEntryBits = 32;
    cases.back().map = Bytes(8, 0xEE);
    // Packets that run on from one row into the next, as most writers store
    // them (a run of three, then three raw values, over three rows of two),
    // and their plain twins. In file order the rows are x x, x p, q r.
    const Bgr x{ 1, 2, 3 }, p{ 4, 5, 6 }, q{ 7, 8, 9 }, r{ 10, 11, 12 };
    const Bytes plain = { 1, 2, 3, 1, 2, 3, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12 };
    const Bytes runOn = { 0x82, 1, 2, 3, 0x02, 4, 5, 6, 7, 8, 9, 10, 11, 12 };
    for (BYTE type : { BYTE(2), BYTE(10) })
    {
        const std::string kind = type == 2 ? "plain" : "packets across rows";
        add(kind + ", bottom row first", type, 24, type == 2 ? plain : runOn, { q, r, x, p, x, x }, 3);
        add(kind + ", top row first, right to left", type, 24, type == 2 ? plain : runOn, { x, x, p, x, r, q }, 3);
        cases.back().h.descriptor = 0x30;
    }

    for (const Case& c : cases)
    {
        CAPTURE(c.what);
        SECTarga image;
        REQUIRE(Load(image, BuildTga(c.h, c.data, c.id, c.map)));
        CHECK(image.m_nPixelDepth == 24);
        for (DWORD i = 0; i < c.pixels.size(); i++)
            CHECK(HeldPixel(image, i % c.h.width, i / c.h.width) == c.pixels[i]);
    }
}

namespace
{
// A TGA 2.0 file of a 2 x 2 colour-mapped picture with an image ID: pixel
// data, developer directory, scan-line table, postage stamp,
// colour-correction table, extension area and footer, at offsets given back.
struct NewFormatFile
{
    Bytes bytes;
    DWORD dwPictureEnd, dwDirectory, dwExtension, dwStamp;
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
    const DWORD dwScanLines = static_cast<DWORD>(w.data.size());
    w.u32(18).u32(22);
    f.dwStamp = static_cast<DWORD>(w.data.size());
    w.u8(1).u8(2).u8(3).u8(0); // 1 x 2 stamp of 8-bit pixels
    const DWORD dwCorrection = static_cast<DWORD>(w.data.size());
    for (int i = 0; i < 256; i++)
        w.u16(WORD(i)).u16(WORD(i * 2)).u16(WORD(i * 3)).u16(0xFFFF);
    f.dwExtension = static_cast<DWORD>(w.data.size());
    auto text = [&w](const char* psz, size_t cb) {
        Bytes field(cb, 0);
        std::memcpy(field.data(), psz, std::strlen(psz));
        w.bytes(field);
    };
    w.u16(495);
    text("Ann Author", 41);
    text("A comment", 324);
    w.u16(12).u16(31).u16(1999).u16(23).u16(59).u16(58);
    text("The job", 41);
    w.u16(1).u16(2).u16(3);
    text("Painter", 41);
    w.u16(410).u8('b').u32(0xFF00FF00).u16(4).u16(3).u16(22).u16(10);
    w.u32(dwCorrection).u32(f.dwStamp).u32(dwScanLines).u8(3);
    REQUIRE(w.data.size() - f.dwExtension == 495);
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
    CHECK((image.m_pScanLineTable[0] == 18 && image.m_pScanLineTable[1] == 22));
    CHECK((image.m_bStampWidth == 1 && image.m_bStampHeight == 2));
    REQUIRE(image.m_pStampData != nullptr);
    CHECK((image.m_pStampData[0] == 3 && image.m_pStampData[1] == 0));
    CHECK(std::memcmp(image.m_pImageId, "abc", 3) == 0);
    CHECK(image.m_colorCorrection[255][2] == 765);
    CHECK(image.m_colorCorrection[3][3] == 0xFFFF);
    // Bottom row first in the file: white, blue; then green, red on top.
    CHECK(HeldPixel(image, 0, 1) == Bgr{ 255, 255, 255 });
    CHECK(HeldPixel(image, 1, 1) == Bgr{ 255, 0, 0 });
    CHECK(HeldPixel(image, 0, 0) == Bgr{ 0, 255, 0 });
    CHECK(HeldPixel(image, 1, 0) == Bgr{ 0, 0, 255 });

    // A second read drops what the first kept.
    REQUIRE(Load(image, BuildTga(TgaHeader(), { 1, 1, 1 })));
    CHECK_FALSE(image.m_bNewFormat);
    CHECK(image.m_pScanLineTable == nullptr);
    CHECK(image.m_pStampData == nullptr);
    CHECK(image.m_extension.wSize == 0);
}

TEST_CASE("A file whose footer lacks the signature loads from its header and data alone")
{
    // The last 26 bytes look like a footer whose offsets point outside the
    // file: they are not followed.
    TgaHeader h;
    h.width = 10;
    Bytes file = BuildTga(h, Bytes(30, 0x20));
    Bytes footer = Footer(0xFFFFFFFF, 0xFFFFFFFF);
    footer[25] = '!';
    file.insert(file.end(), footer.begin(), footer.end());
    SECTarga image;
    REQUIRE(Load(image, file));
    CHECK_FALSE(image.m_bNewFormat);
    CHECK(HeldPixel(image, 9, 0) == Bgr{ 0x20, 0x20, 0x20 });
}

namespace
{
// Decodes a file straight through DecodeFromFile and checks that it was
// refused in good time with nothing of the read left in the object.
void CheckRefused(const Bytes& file, const std::string& what)
{
    CAPTURE(what);
    CAPTURE(file.size());
    CFile input(WriteTempFile("vistel-hostile.tga", file).c_str(), CFile::modeRead);
    SECTarga image;
    image.m_pCurrentFile = &input;
    const DWORD dwStart = ::GetTickCount();
    BOOL bDecoded = TRUE;
    try
    {
        bDecoded = image.DecodeFromFile(&input);
    }
    catch (const CFileException&)
    {
        FAIL("a file exception escaped");
    }
    // Far more than any refusal takes: a loop that follows a file's claims
    // instead of its length would show here.
    CHECK(::GetTickCount() - dwStart < 1000);
    CHECK_FALSE(bDecoded);
    CHECK((image.m_pPixelBits == nullptr && image.m_pInfoHeader == nullptr && image.m_pIoBuffer == nullptr));
    CHECK((image.m_pImageId == nullptr && image.m_pColorMap == nullptr));
    CHECK((image.m_pScanLineTable == nullptr && image.m_pStampData == nullptr));
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
// header (and after as much of the ID and colour map as it asks for, up to
// 10 and 1000 bytes).
template <typename Change> Bytes Changed(Change change)
{
    TgaHeader h;
    h.width = 2;
    h.height = 2;
    change(h);
    const size_t cbMap = h.mapType != 0 ? h.mapLength * ((h.mapEntryBits + 7u) / 8) : 0;
    return BuildTga(h, Bytes(64, 0), Bytes(h.idLength < 10 ? h.idLength : 10, 'i'),
                    Bytes(cbMap < 1000 ? cbMap : 1000, 'm'));
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

TEST_CASE("Hostile headers, packets and trailers are refused")
{
    const NewFormatFile f = BuildNewFormat();
    const size_t footer = f.bytes.size() - 26, ext = f.dwExtension;
    TgaHeader plain;
    plain.width = plain.height = 2;
    TgaHeader rle = plain;
    rle.type = 10;
    const Bytes onePixel = BuildTga(TgaHeader(), { 1, 2, 3 });

    // 65535 developer tags, the last of whose data lies beyond the end.
    ByteWriter manyTags;
    manyTags.bytes(Changed([](TgaHeader&) {})).u16(0xFFFF);
    const DWORD dwTags = static_cast<DWORD>(manyTags.data.size() - 2);
    for (int i = 0; i < 0xFFFF; i++)
        manyTags.u16(WORD(i)).u32(18).u32(i == 0xFFFE ? 0x7FFFFFFF : 4);
    manyTags.bytes(Footer(0, dwTags));

    const std::pair<const char*, Bytes> cases[] = {
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
        { "plain pixels cut short", BuildTga(plain, Bytes(11, 0)) },
        // Long enough for one packet a row, but the second row's run lacks its value.
        { "encoded pixels cut short", BuildTga(rle, { 0x01, 1, 2, 3, 4, 5, 6, 0x81, 1 }) },
        // Two rows of 2: after the first row, a run of 3 on from the second
        // row past the last one (with data to spare).
        { "a packet that runs past the last row",
          BuildTga(rle, ByteWriter().u8(0x01).zeros(6).u8(0x82).bytes({ 1, 2, 3 }).zeros(16).data) },
        { "extension area past the end", Patched(f.bytes, footer, LE32(0xFFFFFFF0)) },
        { "extension area overlapping the end", Patched(f.bytes, footer, LE32(DWORD(f.bytes.size() - 400))) },
        { "developer directory past the end", Patched(f.bytes, footer + 4, LE32(0x80000000)) },
        { "developer tag data past the end", Patched(f.bytes, f.dwDirectory + 8, LE32(0xFFFFFFFF)) },
        { "developer tag count past the end", Patched(f.bytes, f.dwDirectory, { 0xFF, 0xFF }) },
        { "65535 developer tags, the last past the end", manyTags.data },
        { "scan-line table past the end", Patched(f.bytes, ext + 490, LE32(DWORD(f.bytes.size() - 4))) },
        { "postage stamp past the end", Patched(f.bytes, ext + 486, LE32(0xFFFFFFFF)) },
        { "postage stamp larger than the file", Patched(f.bytes, f.dwStamp, { 255, 255 }) },
        { "colour-correction table past the end", Patched(f.bytes, ext + 482, LE32(DWORD(f.bytes.size() - 100))) },
    };
    for (const auto& c : cases)
        CheckRefused(c.second, c.first);
}

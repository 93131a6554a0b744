// What every decoder builds on: row sizes, the size arithmetic that guards
// picture memory, the buffered byte reader, the average that shrinks a
// picture and the halftone draw.
#define DOCTEST_CONFIG_IMPLEMENT_WITH_MAIN
#include <doctest.h>

#include <algorithm>
#include <vector>

#include "ImageMemory.h"
#include "Shrink.h"
#include "TestPictures.h"
#include "../helpers/TestWindow.h"

TEST_CASE("Row sizes round up to whole bytes and to 4 bytes, and never wrap")
{
    struct { DWORD bpp, width, packed, aligned; } rows[] = {
        { 1, 10, 2, 4 },    { 1, 33, 5, 8 },   { 4, 5, 3, 4 },   { 8, 37, 37, 40 },         { 8, 640, 640, 640 },
        { 16, 3, 6, 8 },    { 24, 7, 21, 24 }, { 32, 5, 20, 20 }, { 32, 0x40000000, 0, 0 }, { 24, 0x7FFFFFFF, 0, 0 },
    };
    for (const auto& r : rows)
    {
        CHECK(SECImage::PackedRowBytes(r.bpp, r.width) == r.packed);
        CHECK(SECImage::AlignedRowBytes(r.bpp, r.width) == r.aligned);
    }
}

TEST_CASE("The average of a picture of one colour is that colour at every ratio, the extreme ones too")
{
    // Against ImageMagick the average is checked in the picture table; here
    // are the sizes no picture file reaches, such as a source more than
    // 65536 times longer, whose last pixels carry no weight.
    struct { DWORD iw, ih, ow, oh; } sizes[] = {
        { 7, 5, 3, 2 }, { 1632, 4, 1440, 3 }, { 200000, 1, 1, 1 }, { 3, 200000, 1, 1 }, { 9, 2, 9, 1 },
    };
    const BYTE COLOR[3] = { 10, 200, 77 };
    for (const auto& s : sizes)
    {
        std::vector<BYTE> row(s.iw * 3), out(s.ow * s.oh * 3, 0);
        for (size_t i = 0; i < row.size(); i++)
            row[i] = COLOR[i % 3];
        std::vector<BYTE> work(RowAverager::WorkBytes(s.iw, s.ih, s.ow, s.oh, 3));
        REQUIRE(!work.empty());
        RowAverager averager;
        averager.Begin(work.data(), s.iw, s.ih, s.ow, s.oh, 3, out.data(), s.ow * 3);
        for (DWORD y = 0; y <= s.ih; y++) // one row too many: it is ignored
            averager.AddRow(row.data());
        size_t nWrong = 0;
        for (size_t i = 0; i < out.size(); i++)
            nWrong += out[i] != COLOR[i % 3];
        CHECK_MESSAGE(nWrong == 0, s.iw, "x", s.ih, " to ", s.ow, "x", s.oh);
    }
    CHECK(RowAverager::WorkBytes(4, 4, 5, 4, 3) == 0); // larger is no shrink
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
    CHECK(std::count(p, p + 100, 0) == 100);
    FreeImageBlock(p);
}

TEST_CASE("The buffered reader delivers a file through a smaller buffer and comes back short at its end")
{
    Bytes content(23);
    for (size_t i = 0; i < content.size(); i++)
        content[i] = static_cast<BYTE>(i * 7 + 1);
    CFile file(WriteTempFile("vistel-buffered.bin", content).c_str(), CFile::modeRead);
    SECDib image;
    BYTE b = 0;
    image.m_pCurrentFile = &file;
    CHECK(image.ReadBuffered(&b, 1) == 1); // without a buffer, straight from the file
    Bytes read = { b };

    REQUIRE(image.BeginBufferedIo(4, SECImage::IO_READ));
    for (int i = 0; i < 10 && image.ReadBuffered(&b, 1) == 1; i++) // byte by byte across refills
        read.push_back(b);
    Bytes rest(20, 0xEE);
    CHECK(image.ReadBuffered(rest.data(), 20) == 12);
    CHECK(rest[12] == 0xEE); // nothing written past what was delivered
    read.insert(read.end(), rest.begin(), rest.begin() + 12);
    CHECK(read == content);
    CHECK(image.ReadBuffered(&b, 1) == 0);

    image.ReleaseContents(); // releasing the picture ends buffered reading too
    CHECK(image.m_pIoBuffer == nullptr);
    image.m_pCurrentFile = nullptr;
}

// Run on an 8-bit X server, whose palette screen takes the halftone path.
TEST_CASE("A 24-bit picture is halftoned in its colours, and the context is restored")
{
    HWND hWnd = CreateTestWindow(0, 0, 64, 64);
    CDC dc;
    dc.Attach(::GetDC(hWnd));

    // 2 x 2: top row blue, white; bottom row red, green (stored bottom row first, blue-green-red).
    SECDib image;
    REQUIRE(image.LoadFromPath(WriteTempFile("vistel-draw.bmp", BuildBmp(2, 2, 24, {}, {
        0, 0, 255, 0, 255, 0, 0, 0, 255, 0, 0, 255, 255, 255, 0, 0 })).c_str()));
    REQUIRE(image.m_bHalftoneDraw);
    const HGDIOBJ hPaletteBefore = ::GetCurrentObject(dc.m_hDC, OBJ_PAL);
    const int nModeBefore = ::GetStretchBltMode(dc.m_hDC);
    // Wine 8 draws black when StretchDIBits really stretches in HALFTONE
    // mode on an 8-bit screen: the colours are read back at 1:1.
    CHECK(image.DrawStretched(&dc, 0, 0, 2, 2, 0, 0, 2, 2, image.m_pPixelBits,
                              reinterpret_cast<const BITMAPINFO*>(image.m_pInfoHeader), DIB_RGB_COLORS,
                              SRCCOPY) == 2);
    ::GdiFlush();
    const COLORREF expected[] = { RGB(0, 0, 255), RGB(255, 255, 255), RGB(255, 0, 0), RGB(0, 255, 0) };
    for (int i = 0; i < 4; i++)
        CHECK(::GetPixel(dc.m_hDC, i % 2, i / 2) == expected[i]);
    CHECK(::GetCurrentObject(dc.m_hDC, OBJ_PAL) == hPaletteBefore);
    CHECK(::GetStretchBltMode(dc.m_hDC) == nModeBefore);
    ::ReleaseDC(hWnd, dc.Detach());
}

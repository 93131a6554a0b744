// DrawStretched on a real screen: pictures drawn into a window of the test
// program and read back with GetPixel, and the GDI calls of the halftone
// path as an enhanced metafile records them.
//
// The "palette screen" suite runs on the test run's 8-bit X server, the
// rest on the 24-bit one (see CMakeLists.txt). Wine 8 draws black when
// StretchDIBits really stretches in HALFTONE mode on an 8-bit screen, so
// there the halftone path's pixels are checked at 1:1 only.
#include <doctest.h>

#include <vector>

#include "TestPictures.h"

namespace
{
// A 2 x 2 picture: top row blue, white; bottom row red, green. Every colour
// is one a palette screen's halftone palette holds exactly.
const COLORREF TOP_LEFT = RGB(0, 0, 255), TOP_RIGHT = RGB(255, 255, 255);
const COLORREF BOTTOM_LEFT = RGB(255, 0, 0), BOTTOM_RIGHT = RGB(0, 255, 0);

Bytes Picture24()
{
    BmpInfo info;
    info.width = 2;
    info.height = 2;
    // Bottom row first, blue-green-red byte order, rows padded to 8 bytes.
    return BuildBmp(info, {}, { 0, 0, 255, 0, 255, 0, 0, 0, 255, 0, 0, 255, 255, 255, 0, 0 });
}

Bytes Picture8()
{
    BmpInfo info;
    info.width = 2;
    info.height = 2;
    info.bitCount = 8;
    info.clrUsed = 4;
    const Bytes table = Table({ { 255, 0, 0 }, { 0, 255, 0 }, { 0, 0, 255 }, { 255, 255, 255 } });
    return BuildBmp(info, table, { 0, 1, 0, 0, 2, 3, 0, 0 });
}

// A visible, topmost pop-up window at the screen's top left with a device
// context for its client area.
class TestWindow
{
public:
    TestWindow()
    {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = ::GetModuleHandleA(nullptr);
        wc.hbrBackground = static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH));
        wc.lpszClassName = "VistelDrawTest";
        ::RegisterClassA(&wc);
        m_hWnd = ::CreateWindowExA(WS_EX_TOPMOST, "VistelDrawTest", "draw test", WS_POPUP | WS_VISIBLE, 0, 0, 96, 96,
                                   nullptr, nullptr, wc.hInstance, nullptr);
        ::UpdateWindow(m_hWnd);
        Pump();
        m_dc.Attach(::GetDC(m_hWnd));
    }
    ~TestWindow()
    {
        ::ReleaseDC(m_hWnd, m_dc.Detach());
        ::DestroyWindow(m_hWnd);
    }
    static void Pump()
    {
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            ::DispatchMessageA(&msg);
    }
    COLORREF Pixel(int x, int y)
    {
        ::GdiFlush();
        return ::GetPixel(m_dc.m_hDC, x, y);
    }
    HWND m_hWnd;
    CDC m_dc;
};

int Draw(SECImage& image, CDC* pDC, int x, int y, int w, int h)
{
    return image.DrawStretched(pDC, x, y, w, h, 0, 0, static_cast<int>(image.PixelWidth()),
                               static_cast<int>(image.PixelHeight()), image.m_pPixelBits,
                               reinterpret_cast<const BITMAPINFO*>(image.m_pInfoHeader), DIB_RGB_COLORS, SRCCOPY);
}

// The four quadrants of a drawn picture, sampled at their centres.
void CheckQuadrants(TestWindow& window, int x, int y, int scale)
{
    const int nFirst = scale / 2, nSecond = scale + scale / 2;
    CHECK(window.Pixel(x + nFirst, y + nFirst) == TOP_LEFT);
    CHECK(window.Pixel(x + nSecond, y + nFirst) == TOP_RIGHT);
    CHECK(window.Pixel(x + nFirst, y + nSecond) == BOTTOM_LEFT);
    CHECK(window.Pixel(x + nSecond, y + nSecond) == BOTTOM_RIGHT);
}

// Collects the type of each record (a stretch mode with its mode) except
// the header and the end.
int CALLBACK CollectRecord(HDC, HANDLETABLE*, const ENHMETARECORD* pRecord, int, LPARAM lParam)
{
    std::vector<DWORD>* pCalls = reinterpret_cast<std::vector<DWORD>*>(lParam);
    if (pRecord->iType == EMR_SETSTRETCHBLTMODE)
        pCalls->push_back(EMR_SETSTRETCHBLTMODE * 100 + pRecord->dParm[0]);
    else if (pRecord->iType != EMR_HEADER && pRecord->iType != EMR_EOF)
        pCalls->push_back(pRecord->iType);
    return 1;
}

// The metafile records DrawStretched makes, in order.
std::vector<DWORD> RecordedCalls(SECImage& image, int scale)
{
    HDC hMeta = ::CreateEnhMetaFileA(nullptr, nullptr, nullptr, nullptr);
    CDC dc;
    dc.Attach(hMeta);
    const int nModeBefore = ::GetStretchBltMode(hMeta);
    const int nLines = Draw(image, &dc, 0, 0, 2 * scale, 2 * scale);
    CHECK(nLines == 2);
    CHECK(::GetStretchBltMode(hMeta) == nModeBefore);
    HENHMETAFILE hEmf = ::CloseEnhMetaFile(dc.Detach());
    std::vector<DWORD> calls;
    ::EnumEnhMetaFile(nullptr, hEmf, CollectRecord, &calls, nullptr);
    ::DeleteEnhMetaFile(hEmf);
    return calls;
}

const DWORD HALFTONE_MODE = EMR_SETSTRETCHBLTMODE * 100 + HALFTONE;
const DWORD BLACK_ON_WHITE_MODE = EMR_SETSTRETCHBLTMODE * 100 + BLACKONWHITE;

BOOL LoadPicture(SECDib& image, const Bytes& file)
{
    return image.LoadFromPath(WriteTempFile("vistel-draw.bmp", file).c_str());
}
} // namespace

TEST_CASE("The halftone path selects and realises a halftone palette around a HALFTONE stretch")
{
    SECDib image;
    REQUIRE(LoadPicture(image, Picture24()));
    image.m_bHalftoneDraw = TRUE; // as a palette screen decides for a 24-bit picture
    const std::vector<DWORD> calls = RecordedCalls(image, 4);
    // Wine's metafiles do not record RealizePalette; the pixels drawn on the
    // palette screen show that the palette is realised.
    const std::vector<DWORD> expected = { EMR_CREATEPALETTE, EMR_SELECTPALETTE, HALFTONE_MODE,
                                          EMR_STRETCHDIBITS, BLACK_ON_WHITE_MODE, EMR_SELECTPALETTE,
                                          EMR_DELETEOBJECT };
    CHECK(calls == expected);

    image.m_bHalftoneDraw = FALSE;
    CHECK(RecordedCalls(image, 4) == std::vector<DWORD>{ EMR_STRETCHDIBITS });
}

TEST_CASE("Nothing to draw, or nowhere to draw it")
{
    SECDib image;
    CHECK(Draw(image, nullptr, 0, 0, 10, 10) == 0); // no picture, no context
    REQUIRE(LoadPicture(image, Picture24()));
    image.m_bHalftoneDraw = TRUE;
    CHECK(Draw(image, nullptr, 0, 0, 10, 10) == 0);
}

TEST_SUITE("true-colour screen")
{
    TEST_CASE("On a true-colour screen nothing is halftoned and pictures draw in their colours")
    {
        HDC hScreen = ::GetDC(nullptr);
        const int nBits = ::GetDeviceCaps(hScreen, BITSPIXEL);
        ::ReleaseDC(nullptr, hScreen);
        REQUIRE(nBits > 8);

        TestWindow window;
        SECDib deep, indexed;
        CHECK(deep.m_nScreenDepth == 0);
        CHECK(deep.m_nScreenColors == 0);
        REQUIRE(LoadPicture(deep, Picture24()));
        REQUIRE(LoadPicture(indexed, Picture8()));
        CHECK_FALSE(deep.m_bHalftoneDraw);
        CHECK_FALSE(indexed.m_bHalftoneDraw);

        const int nMode = ::GetStretchBltMode(window.m_dc.m_hDC);
        CHECK(Draw(deep, &window.m_dc, 0, 0, 2, 2) == 2);
        CheckQuadrants(window, 0, 0, 1);
        CHECK(Draw(deep, &window.m_dc, 10, 10, 16, 16) == 2);
        CheckQuadrants(window, 10, 10, 8);
        CHECK(Draw(indexed, &window.m_dc, 40, 40, 32, 32) == 2);
        CheckQuadrants(window, 40, 40, 16);
        CHECK(::GetStretchBltMode(window.m_dc.m_hDC) == nMode);
    }

    TEST_CASE("The halftone path draws the picture on a true-colour screen too")
    {
        TestWindow window;
        SECDib image;
        REQUIRE(LoadPicture(image, Picture24()));
        image.m_bHalftoneDraw = TRUE;
        CHECK(Draw(image, &window.m_dc, 0, 0, 2, 2) == 2);
        CheckQuadrants(window, 0, 0, 1);
    }
}

TEST_SUITE("palette screen")
{
    TEST_CASE("The screen is a 256-colour palette screen")
    {
        SECDib image;
        CHECK(image.m_nScreenDepth == 8);
        CHECK(image.m_nScreenColors == 256);
        CHECK(image.m_nScreenPlanes == 1);
    }

    TEST_CASE("A 24-bit picture is halftoned: right colours at 1:1, the context restored when stretched")
    {
        TestWindow window;
        SECDib image;
        REQUIRE(LoadPicture(image, Picture24()));
        REQUIRE(image.m_bHalftoneDraw);

        HDC hDC = window.m_dc.m_hDC;
        const HGDIOBJ hPaletteBefore = ::GetCurrentObject(hDC, OBJ_PAL);
        const int nModeBefore = ::GetStretchBltMode(hDC);
        CHECK(Draw(image, &window.m_dc, 0, 0, 2, 2) == 2);
        CheckQuadrants(window, 0, 0, 1);
        CHECK(Draw(image, &window.m_dc, 10, 10, 16, 16) == 2);
        CHECK(::GetCurrentObject(hDC, OBJ_PAL) == hPaletteBefore);
        CHECK(::GetStretchBltMode(hDC) == nModeBefore);
    }

    TEST_CASE("An 8-bit picture draws with its own palette and no halftoning, stretched or not")
    {
        TestWindow window;
        SECDib image;
        REQUIRE(LoadPicture(image, Picture8()));
        CHECK_FALSE(image.m_bHalftoneDraw);
        REQUIRE(image.m_pImagePalette != nullptr);

        // As the slide show draws: the picture's palette in the background.
        HDC hDC = window.m_dc.m_hDC;
        const int nModeBefore = ::GetStretchBltMode(hDC);
        HPALETTE hOld = window.m_dc.SelectPalette(*image.m_pImagePalette, TRUE);
        window.m_dc.RealizePalette();
        CHECK(Draw(image, &window.m_dc, 0, 0, 2, 2) == 2);
        CHECK(Draw(image, &window.m_dc, 10, 10, 32, 32) == 2);
        CHECK(::GetStretchBltMode(hDC) == nModeBefore);
        CheckQuadrants(window, 0, 0, 1);
        CheckQuadrants(window, 10, 10, 16);
        window.m_dc.SelectPalette(hOld, TRUE);
    }

    TEST_CASE("A 1-bit picture differs from the screen's depth and is halftoned")
    {
        BmpInfo info;
        info.width = 8;
        info.height = 1;
        info.bitCount = 1;
        SECDib image;
        REQUIRE(LoadPicture(image, BuildBmp(info, Table({ { 0, 0, 0 }, { 255, 255, 255 } }), { 0xF0, 0, 0, 0 })));
        CHECK(image.m_bHalftoneDraw);
        TestWindow window;
        CHECK(Draw(image, &window.m_dc, 0, 0, 8, 1) == 1);
        CHECK(window.Pixel(0, 0) == RGB(255, 255, 255));
        CHECK(window.Pixel(7, 0) == RGB(0, 0, 0));
    }
}

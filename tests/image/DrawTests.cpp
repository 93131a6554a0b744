// DrawStretched where the real program cannot show it: the halftone path on
// a palette screen (the "palette screen" suite runs on the test run's 8-bit
// X server, see CMakeLists.txt) leaves the device context as it found it,
// and nothing is drawn without a picture or a context. Pictures on both
// kinds of screen are read back from the real saver by the end-to-end
// tests.
#include <doctest.h>

#include "TestPictures.h"

namespace
{
// A 2 x 2 24-bit picture: top row blue, white; bottom row red, green, all
// colours a palette screen's halftone palette holds exactly.
Bytes Picture24()
{
    BmpInfo info;
    info.width = 2;
    info.height = 2;
    // Bottom row first, blue-green-red byte order, rows padded to 8 bytes.
    return BuildBmp(info, {}, { 0, 0, 255, 0, 255, 0, 0, 0, 255, 0, 0, 255, 255, 255, 0, 0 });
}

int Draw(SECImage& image, CDC* pDC, int x, int y, int w, int h)
{
    return image.DrawStretched(pDC, x, y, w, h, 0, 0, static_cast<int>(image.PixelWidth()),
                               static_cast<int>(image.PixelHeight()), image.m_pPixelBits,
                               reinterpret_cast<const BITMAPINFO*>(image.m_pInfoHeader), DIB_RGB_COLORS, SRCCOPY);
}
} // namespace

TEST_CASE("Nothing to draw, or nowhere to draw it")
{
    SECDib image;
    CHECK(Draw(image, nullptr, 0, 0, 10, 10) == 0);
    REQUIRE(image.LoadFromPath(WriteTempFile("vistel-draw.bmp", Picture24()).c_str()));
    image.m_bHalftoneDraw = TRUE;
    CHECK(Draw(image, nullptr, 0, 0, 10, 10) == 0);
}

TEST_SUITE("palette screen")
{
    TEST_CASE("A 24-bit picture is halftoned in its colours, and the context is restored")
    {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = ::GetModuleHandleA(nullptr);
        wc.hbrBackground = static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH));
        wc.lpszClassName = "VistelDrawTest";
        ::RegisterClassA(&wc);
        HWND hWnd = ::CreateWindowExA(WS_EX_TOPMOST, wc.lpszClassName, "draw test", WS_POPUP | WS_VISIBLE, 0, 0, 64,
                                      64, nullptr, nullptr, wc.hInstance, nullptr);
        ::UpdateWindow(hWnd);
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            ::DispatchMessageA(&msg);
        CDC dc;
        dc.Attach(::GetDC(hWnd));

        SECDib image;
        CHECK(image.m_nScreenColors == 256);
        REQUIRE(image.LoadFromPath(WriteTempFile("vistel-draw.bmp", Picture24()).c_str()));
        REQUIRE(image.m_bHalftoneDraw);
        const HGDIOBJ hPaletteBefore = ::GetCurrentObject(dc.m_hDC, OBJ_PAL);
        const int nModeBefore = ::GetStretchBltMode(dc.m_hDC);
        // Wine 8 draws black when StretchDIBits really stretches in HALFTONE
        // mode on an 8-bit screen: the colours are read back at 1:1.
        CHECK(Draw(image, &dc, 0, 0, 2, 2) == 2);
        ::GdiFlush();
        CHECK(::GetPixel(dc.m_hDC, 0, 0) == RGB(0, 0, 255));
        CHECK(::GetPixel(dc.m_hDC, 1, 0) == RGB(255, 255, 255));
        CHECK(::GetPixel(dc.m_hDC, 0, 1) == RGB(255, 0, 0));
        CHECK(::GetPixel(dc.m_hDC, 1, 1) == RGB(0, 255, 0));
        CHECK(Draw(image, &dc, 10, 10, 16, 16) == 2);
        CHECK(::GetCurrentObject(dc.m_hDC, OBJ_PAL) == hPaletteBefore);
        CHECK(::GetStretchBltMode(dc.m_hDC) == nModeBefore);
        ::ReleaseDC(hWnd, dc.Detach());
        ::DestroyWindow(hWnd);
    }
}

// The halftone path on a palette screen (the test runs on an 8-bit X
// server): the picture's colours, and the device context left as found.
#include <doctest.h>

#include "TestPictures.h"

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
    ::DestroyWindow(hWnd);
}

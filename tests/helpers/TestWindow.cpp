#include "TestWindow.h"

HWND CreateTestWindow(int x, int y, int cx, int cy)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.lpszClassName = "VistelTestWindow";
    ::RegisterClassA(&wc);
    HWND hWnd = ::CreateWindowExA(WS_EX_TOPMOST, wc.lpszClassName, "test", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN,
                                  x, y, cx, cy, nullptr, nullptr, wc.hInstance, nullptr);
    ::UpdateWindow(hWnd);
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        ::DispatchMessageA(&msg);
    return hWnd;
}

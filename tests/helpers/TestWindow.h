// A window for the unit tests to draw in or to host a preview.
#pragma once

#include <windows.h>

// A visible top-most pop-up window, with the messages of its showing handled.
HWND CreateTestWindow(int x, int y, int cx, int cy);

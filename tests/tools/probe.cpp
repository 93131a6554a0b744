// probe: looks at and pokes the windows of other programs, for the tests.
// One command per run; results go to standard output, one value per line.
//
//   probe wait CLASS TITLE MS [PARENT]  wait for a window (a child of PARENT
//                                    when given, else a top-level one)
//   probe find CLASS TITLE [PARENT]  print the window or 0 ("-" = any)
//   probe info HWND                  print key=value facts about a window
//   probe children HWND              print "hwnd class title" per child
//   probe windows                    print "hwnd class visible" per top-level
//                                    window
//   probe post HWND MSG WPARAM LPARAM
//   probe send HWND MSG WPARAM LPARAM  print the result
//   probe help HWND                  send WM_HELP with a help record; print
//                                    the result
//   probe settext HWND TEXT          SetWindowText (a WM_SETTEXT); print its result
//   probe text HWND                  print the text WM_GETTEXT gives (line
//                                    breaks as \n)
//   probe item HWND ID               print the dialog's control ID
//   probe cursor                     print the shown cursor and position
//   probe foreground                 print the foreground window
//   probe activate MS                show a window of our own in front
//   probe pixel X Y                  print the screen pixel as RRGGBB
//   probe running [0|1]              print (or set) the screen-saver-running
//                                    state
//   probe front HWND                 make a window the foreground window
//   probe register NAME              print the id of a registered message
//   probe run COMMANDLINE            start a program with exactly this
//                                    command line; exit with its exit code
//   probe host W H                   make a host window, print it, log what
//                                    it receives until it is closed
//   probe hold                       stay on the desktop until killed
//   probe invalidate HWND L T R B    invalidate (and erase) a part of a window;
//                                    return once it has been painted
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

static HWND ToHwnd(const char* psz)
{
    return reinterpret_cast<HWND>(static_cast<UINT_PTR>(std::strtoull(psz, nullptr, 0)));
}

static unsigned long long FromHwnd(HWND hWnd)
{
    return static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(hWnd));
}

static const char* AnyOr(const char* psz)
{
    return std::strcmp(psz, "-") == 0 ? nullptr : psz;
}

static int PrintInfo(HWND hWnd)
{
    if (!IsWindow(hWnd))
    {
        std::printf("exists=0\n");
        return 1;
    }
    RECT rcWindow, rcClient;
    GetWindowRect(hWnd, &rcWindow);
    GetClientRect(hWnd, &rcClient);
    char szText[512] = "", szClass[256] = "";
    GetWindowTextA(hWnd, szText, sizeof(szText));
    GetClassNameA(hWnd, szClass, sizeof(szClass));
    DWORD dwProcess = 0;
    GetWindowThreadProcessId(hWnd, &dwProcess);
    std::printf("exists=1\n");
    std::printf("class=%s\ntext=%s\n", szClass, szText);
    std::printf("rect=%ld %ld %ld %ld\n", rcWindow.left, rcWindow.top, rcWindow.right, rcWindow.bottom);
    std::printf("client=%ld %ld\n", rcClient.right, rcClient.bottom);
    std::printf("style=0x%08lx\nexstyle=0x%08lx\n", static_cast<unsigned long>(GetWindowLongA(hWnd, GWL_STYLE)),
                static_cast<unsigned long>(GetWindowLongA(hWnd, GWL_EXSTYLE)));
    const BOOL bChild = (GetWindowLongA(hWnd, GWL_STYLE) & WS_CHILD) != 0;
    std::printf("parent=%llu\n", FromHwnd(bChild ? GetParent(hWnd) : nullptr));
    std::printf("owner=%llu\n", FromHwnd(GetWindow(hWnd, GW_OWNER)));
    std::printf("visible=%d\nenabled=%d\n", IsWindowVisible(hWnd) ? 1 : 0, IsWindowEnabled(hWnd) ? 1 : 0);
    std::printf("foreground=%d\npid=%lu\n", GetForegroundWindow() == hWnd ? 1 : 0, dwProcess);
    // The focus and the mouse capture of the window's thread.
    GUITHREADINFO gui = {};
    gui.cbSize = sizeof(gui);
    GetGUIThreadInfo(GetWindowThreadProcessId(hWnd, nullptr), &gui);
    std::printf("focus=%llu\ncapture=%llu\n", FromHwnd(gui.hwndFocus), FromHwnd(gui.hwndCapture));
    return 0;
}

static BOOL CALLBACK PrintChild(HWND hWnd, LPARAM)
{
    char szText[512] = "", szClass[256] = "";
    GetWindowTextA(hWnd, szText, sizeof(szText));
    GetClassNameA(hWnd, szClass, sizeof(szClass));
    std::printf("%llu %s %s\n", FromHwnd(hWnd), szClass, szText);
    return TRUE;
}

static BOOL CALLBACK PrintTopLevel(HWND hWnd, LPARAM)
{
    char szClass[256] = "";
    GetClassNameA(hWnd, szClass, sizeof(szClass));
    std::printf("%llu %s %d\n", FromHwnd(hWnd), szClass, IsWindowVisible(hWnd) ? 1 : 0);
    return TRUE;
}

static LRESULT CALLBACK HostProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message)
    {
    case WM_HELP:
    case WM_CONTEXTMENU:
        std::printf("%s wparam=%llu lparam=%lld\n", message == WM_HELP ? "WM_HELP" : "WM_CONTEXTMENU",
                    static_cast<unsigned long long>(wParam), static_cast<long long>(lParam));
        std::fflush(stdout);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hWnd, message, wParam, lParam);
}

static int RunHost(int nWidth, int nHeight)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = HostProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = "VistelTestHost";
    RegisterClassA(&wc);
    HWND hWnd = CreateWindowExA(0, "VistelTestHost", "Host", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 20, 20, nWidth, nHeight,
                                nullptr, nullptr, wc.hInstance, nullptr);
    std::printf("%llu\n", FromHwnd(hWnd));
    std::fflush(stdout);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0)
    {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}

static int Activate(DWORD dwMilliseconds)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "VistelTestActivator";
    RegisterClassA(&wc);
    HWND hWnd = CreateWindowExA(WS_EX_TOPMOST, wc.lpszClassName, "Activator", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50,
                                nullptr, nullptr, wc.hInstance, nullptr);
    SetForegroundWindow(hWnd);
    const DWORD dwStart = GetTickCount();
    while (GetTickCount() - dwStart < dwMilliseconds)
    {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
        Sleep(10);
    }
    DestroyWindow(hWnd);
    return 0;
}

static int RunCommandLine(const char* pszCommandLine)
{
    static char szCommandLine[32768];
    lstrcpynA(szCommandLine, pszCommandLine, sizeof(szCommandLine));
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi;
    if (!CreateProcessA(nullptr, szCommandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return 254;
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD dwExitCode = 254;
    GetExitCodeProcess(pi.hProcess, &dwExitCode);
    return static_cast<int>(dwExitCode);
}

int main(int argc, char** argv)
{
    if (argc < 2)
        return 2;
    const char* pszCommand = argv[1];

    if (std::strcmp(pszCommand, "find") == 0 && (argc == 4 || argc == 5))
    {
        HWND hParent = argc == 5 ? ToHwnd(argv[4]) : nullptr;
        std::printf("%llu\n", FromHwnd(FindWindowExA(hParent, nullptr, AnyOr(argv[2]), AnyOr(argv[3]))));
        return 0;
    }
    // Wine ends its desktop process a second after the last program on the
    // desktop and starts it again with the next one; a test session holds it
    // so that no saver under test races that start.
    if (std::strcmp(pszCommand, "hold") == 0 && argc == 2)
    {
        GetDesktopWindow();
        Sleep(INFINITE);
        return 0;
    }
    if (std::strcmp(pszCommand, "wait") == 0 && (argc == 5 || argc == 6))
    {
        const DWORD dwStart = GetTickCount(), dwTimeout = std::strtoul(argv[4], nullptr, 0);
        HWND hParent = argc == 6 ? ToHwnd(argv[5]) : nullptr;
        for (;;)
        {
            HWND hWnd = FindWindowExA(hParent, nullptr, AnyOr(argv[2]), AnyOr(argv[3]));
            if (hWnd != nullptr)
            {
                std::printf("%llu\n", FromHwnd(hWnd));
                return 0;
            }
            if (GetTickCount() - dwStart > dwTimeout)
                return 1;
            Sleep(50);
        }
    }
    if (std::strcmp(pszCommand, "info") == 0 && argc == 3)
        return PrintInfo(ToHwnd(argv[2]));
    if (std::strcmp(pszCommand, "windows") == 0)
    {
        EnumWindows(PrintTopLevel, 0);
        return 0;
    }
    if (std::strcmp(pszCommand, "children") == 0 && argc == 3)
    {
        EnumChildWindows(ToHwnd(argv[2]), PrintChild, 0);
        return 0;
    }
    if ((std::strcmp(pszCommand, "post") == 0 || std::strcmp(pszCommand, "send") == 0) && argc == 6)
    {
        HWND hWnd = ToHwnd(argv[2]);
        const UINT message = static_cast<UINT>(std::strtoul(argv[3], nullptr, 0));
        const WPARAM wParam = static_cast<WPARAM>(std::strtoull(argv[4], nullptr, 0));
        const LPARAM lParam = static_cast<LPARAM>(std::strtoll(argv[5], nullptr, 0));
        if (pszCommand[0] == 'p')
            return PostMessageA(hWnd, message, wParam, lParam) ? 0 : 1;
        DWORD_PTR dwResult = 0;
        if (!SendMessageTimeoutA(hWnd, message, wParam, lParam, SMTO_NORMAL, 10000, &dwResult))
            return 1;
        std::printf("%lld\n", static_cast<long long>(dwResult));
        return 0;
    }
    if (std::strcmp(pszCommand, "help") == 0 && argc == 3)
    {
        HELPINFO info = {};
        info.cbSize = sizeof(info);
        info.iContextType = HELPINFO_WINDOW;
        DWORD_PTR dwResult = 0;
        if (!SendMessageTimeoutA(ToHwnd(argv[2]), WM_HELP, 0, reinterpret_cast<LPARAM>(&info), SMTO_NORMAL, 10000,
                                 &dwResult))
            return 1;
        std::printf("%lld\n", static_cast<long long>(dwResult));
        return 0;
    }
    if (std::strcmp(pszCommand, "settext") == 0 && argc == 4)
    {
        std::printf("%d\n", SetWindowTextA(ToHwnd(argv[2]), argv[3]) ? 1 : 0);
        return 0;
    }
    if (std::strcmp(pszCommand, "text") == 0 && argc == 3)
    {
        // Sent, not read from the window: controls of other processes keep
        // their text themselves.
        static char szText[8192];
        DWORD_PTR dwLength = 0;
        if (!SendMessageTimeoutA(ToHwnd(argv[2]), WM_GETTEXT, sizeof(szText), reinterpret_cast<LPARAM>(szText),
                                 SMTO_NORMAL, 10000, &dwLength))
            return 1;
        szText[dwLength < sizeof(szText) ? dwLength : sizeof(szText) - 1] = '\0';
        for (const char* psz = szText; *psz != '\0'; psz++)
        {
            if (*psz == '\n')
                std::fputs("\\n", stdout);
            else if (*psz != '\r')
                std::putchar(*psz);
        }
        std::putchar('\n');
        return 0;
    }
    if (std::strcmp(pszCommand, "item") == 0 && argc == 4)
    {
        std::printf("%llu\n", FromHwnd(GetDlgItem(ToHwnd(argv[2]), std::atoi(argv[3]))));
        return 0;
    }
    if (std::strcmp(pszCommand, "cursor") == 0)
    {
        CURSORINFO ci = {};
        ci.cbSize = sizeof(ci);
        GetCursorInfo(&ci);
        std::printf("cursor=%llu\nshowing=%d\npos=%ld %ld\n",
                    static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(ci.hCursor)),
                    (ci.flags & CURSOR_SHOWING) ? 1 : 0, ci.ptScreenPos.x, ci.ptScreenPos.y);
        return 0;
    }
    if (std::strcmp(pszCommand, "foreground") == 0)
    {
        std::printf("%llu\n", FromHwnd(GetForegroundWindow()));
        return 0;
    }
    if (std::strcmp(pszCommand, "activate") == 0 && argc == 3)
        return Activate(std::strtoul(argv[2], nullptr, 0));
    if (std::strcmp(pszCommand, "pixel") == 0 && argc == 4)
    {
        HDC hScreenDC = GetDC(nullptr);
        const COLORREF cr = GetPixel(hScreenDC, std::atoi(argv[2]), std::atoi(argv[3]));
        ReleaseDC(nullptr, hScreenDC);
        std::printf("%02X%02X%02X\n", GetRValue(cr), GetGValue(cr), GetBValue(cr));
        return 0;
    }
    if (std::strcmp(pszCommand, "running") == 0 && argc == 3)
    {
        BOOL bPrevious;
        return SystemParametersInfoA(SPI_SETSCREENSAVERRUNNING, std::atoi(argv[2]), &bPrevious, 0) ? 0 : 1;
    }
    if (std::strcmp(pszCommand, "running") == 0)
    {
        BOOL bRunning = FALSE;
        SystemParametersInfoA(SPI_GETSCREENSAVERRUNNING, 0, &bRunning, 0);
        std::printf("%d\n", bRunning ? 1 : 0);
        return 0;
    }
    if (std::strcmp(pszCommand, "front") == 0 && argc == 3)
        return SetForegroundWindow(ToHwnd(argv[2])) ? 0 : 1;
    if (std::strcmp(pszCommand, "register") == 0 && argc == 3)
    {
        std::printf("%u\n", RegisterWindowMessageA(argv[2]));
        return 0;
    }
    if (std::strcmp(pszCommand, "run") == 0 && argc == 3)
        return RunCommandLine(argv[2]);
    if (std::strcmp(pszCommand, "invalidate") == 0 && argc == 7)
    {
        HWND hWnd = ToHwnd(argv[2]);
        const RECT rc = { std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5]), std::atoi(argv[6]) };
        if (!InvalidateRect(hWnd, &rc, TRUE))
            return 1;
        // The update region empties when the paint begins; a message sent
        // then is answered only once the window's thread is back in its
        // message loop, that is once the paint has ended.
        const DWORD dwStart = GetTickCount();
        while (GetUpdateRect(hWnd, nullptr, FALSE))
        {
            if (GetTickCount() - dwStart > 10000)
                return 1;
            Sleep(10);
        }
        DWORD_PTR dwResult;
        return SendMessageTimeoutA(hWnd, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &dwResult) ? 0 : 1;
    }
    if (std::strcmp(pszCommand, "host") == 0 && argc == 4)
        return RunHost(std::atoi(argv[2]), std::atoi(argv[3]));
    return 2;
}

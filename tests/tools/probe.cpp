// probe: looks at and pokes the windows of other programs, for the tests.
// One command per run, from the table at the end; results go to standard
// output, one value per line. Exit code 0 on success, 1 when the command
// failed, 2 for an unknown command or a wrong number of arguments.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

static long long Number(const char* psz) { return std::strtoll(psz, nullptr, 0); }

static int Int(const char* psz) { return static_cast<int>(Number(psz)); }

static HWND Hwnd(const char* psz) { return reinterpret_cast<HWND>(static_cast<UINT_PTR>(Number(psz))); }

static unsigned long long Handle(const void* pHandle) { return reinterpret_cast<UINT_PTR>(pHandle); }

static int Print(unsigned long long value) { std::printf("%llu\n", value); return 0; }

static int PrintHandle(const void* pHandle) { return Print(Handle(pHandle)); }

static void GetNames(HWND hWnd, char (&szClass)[256], char (&szText)[512])
{
    szClass[0] = szText[0] = '\0';
    GetClassNameA(hWnd, szClass, sizeof(szClass));
    GetWindowTextA(hWnd, szText, sizeof(szText));
}

// Sent with a time limit: a hung window fails the command rather than the test run.
static bool SendTimed(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam, DWORD_PTR* pResult)
{
    return SendMessageTimeoutA(hWnd, message, wParam, lParam, SMTO_NORMAL, 10000, pResult) != 0;
}

static int SendAndPrint(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    DWORD_PTR dwResult = 0;
    if (!SendTimed(hWnd, message, wParam, lParam, &dwResult))
        return 1;
    std::printf("%lld\n", static_cast<long long>(dwResult));
    return 0;
}

static HWND MakeWindow(const char* pszClass, const char* pszTitle, WNDPROC pProc, HBRUSH hBackground, DWORD dwExStyle,
                       DWORD dwStyle, int x, int y, int nWidth, int nHeight)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = pProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hbrBackground = hBackground;
    wc.lpszClassName = pszClass;
    RegisterClassA(&wc);
    return CreateWindowExA(dwExStyle, pszClass, pszTitle, dwStyle | WS_POPUP | WS_VISIBLE, x, y, nWidth, nHeight,
                           nullptr, nullptr, wc.hInstance, nullptr);
}

// CLASS TITLE at argv[0..1] ("-" = any), PARENT at argv[nParent] when given.
static HWND FindFrom(int argc, char** argv, int nParent)
{
    const char* pszClass = std::strcmp(argv[0], "-") == 0 ? nullptr : argv[0];
    const char* pszTitle = std::strcmp(argv[1], "-") == 0 ? nullptr : argv[1];
    return FindWindowExA(argc > nParent ? Hwnd(argv[nParent]) : nullptr, nullptr, pszClass, pszTitle);
}

static int Wait(int argc, char** argv)
{
    const DWORD dwStart = GetTickCount(), dwTimeout = static_cast<DWORD>(Number(argv[2]));
    for (;;)
    {
        if (HWND hWnd = FindFrom(argc, argv, 3))
            return PrintHandle(hWnd);
        if (GetTickCount() - dwStart > dwTimeout)
            return 1;
        Sleep(50);
    }
}

static int Info(int, char** argv)
{
    HWND hWnd = Hwnd(argv[0]);
    if (!IsWindow(hWnd))
    {
        std::printf("exists=0\n");
        return 1;
    }
    RECT rcWindow, rcClient;
    GetWindowRect(hWnd, &rcWindow);
    GetClientRect(hWnd, &rcClient);
    char szClass[256], szText[512];
    GetNames(hWnd, szClass, szText);
    DWORD dwProcess = 0;
    const DWORD dwThread = GetWindowThreadProcessId(hWnd, &dwProcess);
    const LONG lStyle = GetWindowLongA(hWnd, GWL_STYLE);
    // The focus and the mouse capture of the window's thread.
    GUITHREADINFO gui = {};
    gui.cbSize = sizeof(gui);
    GetGUIThreadInfo(dwThread, &gui);
    std::printf("exists=1\nclass=%s\ntext=%s\n", szClass, szText);
    std::printf("rect=%ld %ld %ld %ld\n", rcWindow.left, rcWindow.top, rcWindow.right, rcWindow.bottom);
    std::printf("client=%ld %ld\n", rcClient.right, rcClient.bottom);
    std::printf("style=0x%08lx\nexstyle=0x%08lx\n", static_cast<unsigned long>(lStyle),
                static_cast<unsigned long>(GetWindowLongA(hWnd, GWL_EXSTYLE)));
    std::printf("parent=%llu\nowner=%llu\n", Handle((lStyle & WS_CHILD) ? GetParent(hWnd) : nullptr),
                Handle(GetWindow(hWnd, GW_OWNER)));
    std::printf("visible=%d\nenabled=%d\n", IsWindowVisible(hWnd) ? 1 : 0, IsWindowEnabled(hWnd) ? 1 : 0);
    std::printf("foreground=%d\npid=%lu\n", GetForegroundWindow() == hWnd ? 1 : 0, dwProcess);
    std::printf("focus=%llu\ncapture=%llu\n", Handle(gui.hwndFocus), Handle(gui.hwndCapture));
    return 0;
}

static BOOL CALLBACK PrintChild(HWND hWnd, LPARAM)
{
    char szClass[256], szText[512];
    GetNames(hWnd, szClass, szText);
    std::printf("%llu %s %s\n", Handle(hWnd), szClass, szText);
    return TRUE;
}

static BOOL CALLBACK PrintTopLevel(HWND hWnd, LPARAM)
{
    char szClass[256] = "";
    GetClassNameA(hWnd, szClass, sizeof(szClass));
    std::printf("%llu %s %d\n", Handle(hWnd), szClass, IsWindowVisible(hWnd) ? 1 : 0);
    return TRUE;
}

static int Help(int, char** argv)
{
    HELPINFO info = {};
    info.cbSize = sizeof(info);
    info.iContextType = HELPINFO_WINDOW;
    return SendAndPrint(Hwnd(argv[0]), WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
}

static int Text(int, char** argv)
{
    // Sent, not read from the window: controls of other processes keep
    // their text themselves.
    static char szText[8192];
    DWORD_PTR dwLength = 0;
    if (!SendTimed(Hwnd(argv[0]), WM_GETTEXT, sizeof(szText), reinterpret_cast<LPARAM>(szText), &dwLength))
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

static int Cursor(int, char**)
{
    CURSORINFO ci = {};
    ci.cbSize = sizeof(ci);
    GetCursorInfo(&ci);
    std::printf("cursor=%llu\nshowing=%d\npos=%ld %ld\n", Handle(ci.hCursor), (ci.flags & CURSOR_SHOWING) ? 1 : 0,
                ci.ptScreenPos.x, ci.ptScreenPos.y);
    return 0;
}

static int Activate(int, char** argv)
{
    HWND hWnd = MakeWindow("VistelTestActivator", "Activator", DefWindowProcA, nullptr, WS_EX_TOPMOST, 0, 0, 0, 50, 50);
    SetForegroundWindow(hWnd);
    const DWORD dwStart = GetTickCount(), dwMilliseconds = static_cast<DWORD>(Number(argv[0]));
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

static int Running(int argc, char** argv)
{
    BOOL bRunning = FALSE;
    if (argc == 1)
        return SystemParametersInfoA(SPI_SETSCREENSAVERRUNNING, Int(argv[0]), &bRunning, 0) ? 0 : 1;
    SystemParametersInfoA(SPI_GETSCREENSAVERRUNNING, 0, &bRunning, 0);
    std::printf("%d\n", bRunning ? 1 : 0);
    return 0;
}

static int Run(int, char** argv)
{
    static char szCommandLine[32768];
    lstrcpynA(szCommandLine, argv[0], sizeof(szCommandLine));
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

static int Invalidate(int, char** argv)
{
    HWND hWnd = Hwnd(argv[0]);
    const RECT rc = { Int(argv[1]), Int(argv[2]), Int(argv[3]), Int(argv[4]) };
    if (!InvalidateRect(hWnd, &rc, TRUE))
        return 1;
    // The update region empties when the paint begins; a message sent then
    // is answered only once the window's thread is back in its message
    // loop, that is once the paint has ended.
    const DWORD dwStart = GetTickCount();
    while (GetUpdateRect(hWnd, nullptr, FALSE))
    {
        if (GetTickCount() - dwStart > 10000)
            return 1;
        Sleep(10);
    }
    DWORD_PTR dwResult;
    return SendTimed(hWnd, WM_NULL, 0, 0, &dwResult) ? 0 : 1;
}

static LRESULT CALLBACK HostProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_HELP || message == WM_CONTEXTMENU)
    {
        std::printf("%s wparam=%llu lparam=%lld\n", message == WM_HELP ? "WM_HELP" : "WM_CONTEXTMENU",
                    static_cast<unsigned long long>(wParam), static_cast<long long>(lParam));
        std::fflush(stdout);
        return 0;
    }
    if (message == WM_DESTROY)
        PostQuitMessage(0);
    return DefWindowProcA(hWnd, message, wParam, lParam);
}

static int Host(int, char** argv)
{
    PrintHandle(MakeWindow("VistelTestHost", "Host", HostProc, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)), 0,
                           WS_CLIPCHILDREN, 20, 20, Int(argv[0]), Int(argv[1])));
    std::fflush(stdout);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0)
    {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}

// The commands that are one call each.
static int Find(int argc, char** argv) { return PrintHandle(FindFrom(argc, argv, 2)); }

static int Children(int, char** argv) { EnumChildWindows(Hwnd(argv[0]), PrintChild, 0); return 0; }

static int Windows(int, char**) { EnumWindows(PrintTopLevel, 0); return 0; }

static int Post(int, char** argv)
{
    return PostMessageA(Hwnd(argv[0]), Int(argv[1]), Number(argv[2]), Number(argv[3])) ? 0 : 1;
}

static int Send(int, char** argv)
{
    return SendAndPrint(Hwnd(argv[0]), Int(argv[1]), Number(argv[2]), Number(argv[3]));
}

static int SetText(int, char** argv) { return Print(SetWindowTextA(Hwnd(argv[0]), argv[1]) ? 1 : 0); }

static int Item(int, char** argv) { return PrintHandle(GetDlgItem(Hwnd(argv[0]), Int(argv[1]))); }

static int Foreground(int, char**) { return PrintHandle(GetForegroundWindow()); }

static int Front(int, char** argv) { return SetForegroundWindow(Hwnd(argv[0])) ? 0 : 1; }

static int Register(int, char** argv) { return Print(RegisterWindowMessageA(argv[0])); }

// Wine ends its desktop process a second after the last program on the
// desktop and starts it again with the next one; a test session holds it so
// that no saver under test races that start.
static int Hold(int, char**) { GetDesktopWindow(); Sleep(INFINITE); return 0; }

struct Command
{
    const char* pszName;
    int nMinArgs, nMaxArgs;
    int (*pRun)(int argc, char** argv);
};

// "-" for a CLASS or TITLE matches any; a window is named by its handle in decimal.
static const Command s_commands[] = {
    { "find", 2, 3, Find },             // CLASS TITLE [PARENT]: the window (a child of PARENT when given) or 0
    { "wait", 3, 4, Wait },             // CLASS TITLE MS [PARENT]: as find, once the window exists
    { "info", 1, 1, Info },             // HWND: key=value facts about a window
    { "children", 1, 1, Children },     // HWND: "hwnd class title" per child
    { "windows", 0, 0, Windows },       // "hwnd class visible" per top-level window
    { "post", 4, 4, Post },             // HWND MSG WPARAM LPARAM
    { "send", 4, 4, Send },             // HWND MSG WPARAM LPARAM: the result
    { "help", 1, 1, Help },             // HWND: sends WM_HELP with a help record; the result
    { "settext", 2, 2, SetText },       // HWND TEXT: SetWindowText's result (a WM_SETTEXT)
    { "text", 1, 1, Text },             // HWND: the text WM_GETTEXT gives (line breaks as \n)
    { "item", 2, 2, Item },             // HWND ID: the dialog's control
    { "cursor", 0, 0, Cursor },         // the shown cursor and its position
    { "foreground", 0, 0, Foreground }, // the foreground window
    { "front", 1, 1, Front },           // HWND: makes it the foreground window
    { "activate", 1, 1, Activate },     // MS: shows a window of our own in front for MS
    { "running", 0, 1, Running },       // [0|1]: the screen-saver-running state (or sets it)
    { "register", 1, 1, Register },     // NAME: the id of a registered message
    { "run", 1, 1, Run },               // COMMANDLINE: runs it as is; exits with its exit code
    { "invalidate", 5, 5, Invalidate }, // HWND L T R B: invalidates (and erases); returns once painted
    { "host", 2, 2, Host },             // W H: a host window; prints it, logs what it receives until closed
    { "hold", 0, 0, Hold },             // stays on the desktop until killed
};

int main(int argc, char** argv)
{
    const int nArgs = argc - 2;
    for (const Command& command : s_commands)
        if (argc >= 2 && std::strcmp(argv[1], command.pszName) == 0 && nArgs >= command.nMinArgs &&
            nArgs <= command.nMaxArgs)
            return command.pRun(nArgs, argv + 2);
    return 2;
}

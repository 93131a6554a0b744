// probe: looks at and pokes the windows of other programs, for the tests.
// One command per run, from the table at the end; results go to standard
// output, one value per line. Exit code 0 on success, 1 when the command
// failed, 2 for an unknown command or a wrong number of arguments.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

static long long Number(const char* psz) { return std::strtoll(psz, nullptr, 0); }

static HWND Hwnd(const char* psz) { return reinterpret_cast<HWND>(static_cast<UINT_PTR>(Number(psz))); }

static unsigned long long Handle(const void* p) { return reinterpret_cast<UINT_PTR>(p); }

static int Print(unsigned long long value) { std::printf("%llu\n", value); return 0; }

// Sent with a time limit: a hung window fails the command rather than the test run.
static int SendAndPrint(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    DWORD_PTR dwResult = 0;
    if (!SendMessageTimeoutA(hWnd, message, wParam, lParam, SMTO_NORMAL, 10000, &dwResult))
        return 1;
    std::printf("%lld\n", static_cast<long long>(dwResult));
    return 0;
}

static HWND MakeWindow(const char* pszClass, WNDPROC pProc, DWORD dwExStyle, DWORD dwStyle, int x, int nWidth,
                       int nHeight)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = pProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = pszClass;
    RegisterClassA(&wc);
    return CreateWindowExA(dwExStyle, pszClass, pszClass, dwStyle | WS_POPUP | WS_VISIBLE, x, x, nWidth, nHeight,
                           nullptr, nullptr, wc.hInstance, nullptr);
}

static void PumpFor(DWORD dwMilliseconds)
{
    for (const DWORD dwStart = GetTickCount(); GetTickCount() - dwStart < dwMilliseconds; Sleep(10))
    {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
    }
}

static int Wait(int argc, char** argv)
{
    const char* pszClass = std::strcmp(argv[0], "-") == 0 ? nullptr : argv[0];
    const char* pszTitle = std::strcmp(argv[1], "-") == 0 ? nullptr : argv[1];
    for (const DWORD dwStart = GetTickCount(); GetTickCount() - dwStart <= Number(argv[2]) + 50; Sleep(50))
        if (HWND hWnd = FindWindowExA(argc > 3 ? Hwnd(argv[3]) : nullptr, nullptr, pszClass, pszTitle))
            return Print(Handle(hWnd));
    return 1;
}

static int Info(int, char** argv)
{
    HWND hWnd = Hwnd(argv[0]);
    std::printf("exists=%d\n", IsWindow(hWnd) ? 1 : 0);
    if (!IsWindow(hWnd))
        return 1;
    RECT rc, rcClient;
    GetWindowRect(hWnd, &rc);
    GetClientRect(hWnd, &rcClient);
    char szClass[256] = "", szText[512] = "";
    GetClassNameA(hWnd, szClass, sizeof(szClass));
    GetWindowTextA(hWnd, szText, sizeof(szText));
    const LONG lStyle = GetWindowLongA(hWnd, GWL_STYLE);
    std::printf("class=%s\ntext=%s\nrect=%ld %ld %ld %ld\nclient=%ld %ld\n", szClass, szText, rc.left, rc.top,
                rc.right, rc.bottom, rcClient.right, rcClient.bottom);
    std::printf("style=0x%08lx\nexstyle=0x%08lx\n", static_cast<unsigned long>(lStyle),
                static_cast<unsigned long>(GetWindowLongA(hWnd, GWL_EXSTYLE)));
    std::printf("parent=%llu\nowner=%llu\n", Handle((lStyle & WS_CHILD) ? GetParent(hWnd) : nullptr),
                Handle(GetWindow(hWnd, GW_OWNER)));
    std::printf("enabled=%d\nforeground=%d\n", IsWindowEnabled(hWnd) ? 1 : 0, GetForegroundWindow() == hWnd ? 1 : 0);
    return 0;
}

static BOOL CALLBACK PrintTopLevel(HWND hWnd, LPARAM)
{
    char szClass[256] = "";
    GetClassNameA(hWnd, szClass, sizeof(szClass));
    std::printf("%llu %s %d\n", Handle(hWnd), szClass, IsWindowVisible(hWnd) ? 1 : 0);
    return TRUE;
}

static int Text(int, char** argv)
{
    // Sent, not read: controls of other processes keep their text themselves.
    static char szText[8192];
    DWORD_PTR dwLength = 0;
    if (!SendMessageTimeoutA(Hwnd(argv[0]), WM_GETTEXT, sizeof(szText), reinterpret_cast<LPARAM>(szText),
                             SMTO_NORMAL, 10000, &dwLength))
        return 1;
    szText[dwLength < sizeof(szText) ? dwLength : sizeof(szText) - 1] = '\0';
    for (const char* psz = szText; *psz != '\0'; psz++)
        if (*psz == '\n')
            std::fputs("\\n", stdout);
        else if (*psz != '\r')
            std::putchar(*psz);
    std::putchar('\n');
    return 0;
}

static int Cursor(int, char**)
{
    CURSORINFO ci = {};
    ci.cbSize = sizeof(ci);
    GetCursorInfo(&ci);
    return Print(Handle(ci.hCursor));
}

static int Running(int argc, char** argv)
{
    BOOL bRunning = FALSE;
    if (argc == 1)
        return SystemParametersInfoA(SPI_SETSCREENSAVERRUNNING, Number(argv[0]) != 0, &bRunning, 0) ? 0 : 1;
    SystemParametersInfoA(SPI_GETSCREENSAVERRUNNING, 0, &bRunning, 0);
    return Print(bRunning ? 1 : 0);
}

static int Run(int, char** argv)
{
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi;
    if (!CreateProcessA(nullptr, argv[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return 254;
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD dwExitCode = 254;
    GetExitCodeProcess(pi.hProcess, &dwExitCode);
    return static_cast<int>(dwExitCode);
}

static int Invalidate(int, char** argv)
{
    HWND hWnd = Hwnd(argv[0]);
    const RECT rc = { static_cast<LONG>(Number(argv[1])), static_cast<LONG>(Number(argv[2])),
                      static_cast<LONG>(Number(argv[3])), static_cast<LONG>(Number(argv[4])) };
    if (!InvalidateRect(hWnd, &rc, TRUE))
        return 1;
    // The update region empties when the paint begins; a message sent then
    // is answered once the window's thread is back in its loop: painted.
    for (const DWORD dwStart = GetTickCount(); GetUpdateRect(hWnd, nullptr, FALSE); Sleep(10))
        if (GetTickCount() - dwStart > 10000)
            return 1;
    DWORD_PTR dwResult;
    return SendMessageTimeoutA(hWnd, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &dwResult) ? 0 : 1;
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
    Print(Handle(MakeWindow("VistelTestHost", HostProc, 0, WS_CLIPCHILDREN, 20, static_cast<int>(Number(argv[0])),
                            static_cast<int>(Number(argv[1])))));
    std::fflush(stdout);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0)
        DispatchMessageA(&msg);
    return 0;
}

static int Activate(int, char** argv)
{
    HWND hWnd = MakeWindow("VistelTestActivator", DefWindowProcA, WS_EX_TOPMOST, 0, 0, 50, 50);
    SetForegroundWindow(hWnd);
    PumpFor(static_cast<DWORD>(Number(argv[0])));
    DestroyWindow(hWnd);
    return 0;
}

static int Help(int, char** argv)
{
    HELPINFO help = {};
    help.cbSize = sizeof(help);
    help.iContextType = HELPINFO_WINDOW;
    return SendAndPrint(Hwnd(argv[0]), WM_HELP, 0, reinterpret_cast<LPARAM>(&help));
}

static int Windows(int, char**) { return EnumWindows(PrintTopLevel, 0) ? 0 : 1; }

static int Post(int, char** argv)
{
    return PostMessageA(Hwnd(argv[0]), static_cast<UINT>(Number(argv[1])), Number(argv[2]), Number(argv[3])) ? 0 : 1;
}

static int Send(int, char** argv)
{
    return SendAndPrint(Hwnd(argv[0]), static_cast<UINT>(Number(argv[1])), Number(argv[2]), Number(argv[3]));
}

static int SetText(int, char** argv) { return Print(SetWindowTextA(Hwnd(argv[0]), argv[1]) ? 1 : 0); }

static int Item(int, char** argv) { return Print(Handle(GetDlgItem(Hwnd(argv[0]), static_cast<int>(Number(argv[1]))))); }

static int Foreground(int, char**) { return Print(Handle(GetForegroundWindow())); }

static int Front(int, char** argv) { return SetForegroundWindow(Hwnd(argv[0])) ? 0 : 1; }

static int Register(int, char** argv) { return Print(RegisterWindowMessageA(argv[0])); }

// Wine ends its desktop process a second after the last program on it; a
// test session holds it so that no saver under test races its restart.
static int Hold(int, char**) { GetDesktopWindow(); Sleep(INFINITE); return 0; }

struct Command
{
    const char* pszName;
    int nMinArgs, nMaxArgs;
    int (*pRun)(int argc, char** argv);
};

// A window is named by its handle in decimal.
static const Command s_commands[] = {
    { "wait", 3, 4, Wait },             // CLASS TITLE MS [PARENT] ("-" any): the window once it exists
    { "info", 1, 1, Info },             // HWND: key=value facts about a window
    { "windows", 0, 0, Windows },       // "hwnd class visible" per top-level window
    { "post", 4, 4, Post },             // HWND MSG WPARAM LPARAM
    { "send", 4, 4, Send },             // HWND MSG WPARAM LPARAM: the result
    { "help", 1, 1, Help },             // HWND: sends WM_HELP with a help record; the result
    { "settext", 2, 2, SetText },       // HWND TEXT: SetWindowText's result
    { "text", 1, 1, Text },             // HWND: the text WM_GETTEXT gives (line breaks as \n)
    { "item", 2, 2, Item },             // HWND ID: the dialog's control
    { "cursor", 0, 0, Cursor },         // the shown cursor
    { "foreground", 0, 0, Foreground }, // the foreground window
    { "front", 1, 1, Front },           // HWND: makes it the foreground window
    { "activate", 1, 1, Activate },     // MS: shows a window of our own in front for MS
    { "running", 0, 1, Running },       // [0|1]: the screen-saver-running state (or sets it)
    { "register", 1, 1, Register },     // NAME: the id of a registered message
    { "run", 1, 1, Run },               // COMMANDLINE: runs it as is; exits with its exit code
    { "invalidate", 5, 5, Invalidate }, // HWND L T R B: invalidates (and erases); returns once painted
    { "host", 2, 2, Host },             // W H: a host window; prints it, logs help requests until closed
    { "hold", 0, 0, Hold },             // stays on the desktop until killed
};

int main(int argc, char** argv)
{
    for (const Command& command : s_commands)
        if (argc >= 2 && std::strcmp(argv[1], command.pszName) == 0 && argc - 2 >= command.nMinArgs &&
            argc - 2 <= command.nMaxArgs)
            return command.pRun(argc - 2, argv + 2);
    return 2;
}

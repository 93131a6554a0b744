// probe: looks at and pokes other programs' windows, one command below a run (exit 1: failed, 2: misused).
// With VISTEL_RECORD set it stands in for a web browser or mail program instead: it appends its command
// line to that file.
#include <windows.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

static long long Number(const char* psz) { return std::strtoll(psz, nullptr, 0); }

static HWND Hwnd(const char* psz) { return reinterpret_cast<HWND>(static_cast<UINT_PTR>(Number(psz))); }

// A message by number or, registered, by name.
static UINT Message(const char* psz) { return std::isdigit(*psz) ? UINT(Number(psz)) : RegisterWindowMessageA(psz); }

static unsigned long long Handle(const void* p) { return reinterpret_cast<UINT_PTR>(p); }

static int Print(unsigned long long value) { std::printf("%llu\n", value); return 0; }

// Sent with a time limit: a hung window fails the command rather than the test run.
static int Send(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam, bool bPrint = true)
{
    DWORD_PTR dwResult = 0;
    if (!SendMessageTimeoutA(hWnd, message, wParam, lParam, SMTO_NORMAL, 10000, &dwResult))
        return 1;
    if (bPrint)
        std::printf("%lld\n", static_cast<long long>(dwResult));
    return 0;
}

static int Wait(int argc, char** argv)
{
    const char* pszClass = std::strcmp(argv[0], "-") == 0 ? nullptr : argv[0];
    const char* pszTitle = std::strcmp(argv[1], "-") == 0 ? nullptr : argv[1];
    HWND hParent = argc > 3 ? Hwnd(argv[3]) : nullptr;
    for (const DWORD dwStart = GetTickCount(); GetTickCount() - dwStart <= Number(argv[2]) + 50; Sleep(50))
        for (HWND hWnd = nullptr; (hWnd = FindWindowExA(hParent, hWnd, pszClass, pszTitle)) != nullptr;)
            if (IsWindowVisible(hWnd))
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
    char szClass[256] = "";
    GetClassNameA(hWnd, szClass, sizeof(szClass));
    const unsigned long ulStyle = static_cast<unsigned long>(GetWindowLongA(hWnd, GWL_STYLE));
    std::printf("class=%s\nrect=%ld %ld %ld %ld\nclient=%ld %ld\nstyle=0x%08lx\nexstyle=0x%08lx\n", szClass, rc.left,
                rc.top, rc.right, rc.bottom, rcClient.right, rcClient.bottom, ulStyle,
                static_cast<unsigned long>(GetWindowLongA(hWnd, GWL_EXSTYLE)));
    std::printf("parent=%llu\nowner=%llu\nenabled=%d\nforeground=%d\n",
                Handle((ulStyle & WS_CHILD) ? GetParent(hWnd) : nullptr), Handle(GetWindow(hWnd, GW_OWNER)),
                IsWindowEnabled(hWnd) ? 1 : 0, GetForegroundWindow() == hWnd ? 1 : 0);
    return 0;
}

// A window, its top-level window and the X window Wine made for that; for a reader its class, process, title.
static void Describe(const char* pszName, HWND hWnd)
{
    char szClass[64] = "", szTitle[128] = "";
    DWORD dwProcess = 0;
    if (IsWindow(hWnd) && GetClassNameA(hWnd, szClass, sizeof(szClass)) && GetWindowThreadProcessId(hWnd, &dwProcess))
        GetWindowTextA(hWnd, szTitle, sizeof(szTitle));
    const HWND hTop = GetAncestor(hWnd, GA_ROOT);
    std::printf("%s=%llu %llu %llu %s pid=%lu \"%s\"\n", pszName, Handle(hWnd), Handle(hTop),
                Handle(GetPropA(hTop, "__wine_x11_whole_window")), szClass, dwProcess, szTitle);
}

// Where input goes (the foreground window, its thread's focus), the window asked about, every shown window.
static int Focus(int, char** argv)
{
    GUITHREADINFO gti = { sizeof(GUITHREADINFO), 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, {} };
    const HWND hForeground = GetForegroundWindow();
    GetGUIThreadInfo(GetWindowThreadProcessId(hForeground, nullptr), &gti);
    Describe("foreground", hForeground);
    Describe("focus", gti.hwndFocus);
    Describe("target", Hwnd(argv[0]));
    for (HWND hWnd = GetTopWindow(nullptr); hWnd != nullptr; hWnd = GetWindow(hWnd, GW_HWNDNEXT))
        if (IsWindowVisible(hWnd))
            Describe("shown", hWnd);
    return 0;
}

static int Text(int, char** argv)
{
    // Sent, not read: controls of other processes keep their text themselves.
    static char szText[8192];
    if (Send(Hwnd(argv[0]), WM_GETTEXT, sizeof(szText) - 1, reinterpret_cast<LPARAM>(szText), false) != 0)
        return 1;
    return std::puts(szText) >= 0 ? 0 : 1;
}

static int Run(int, char** argv)
{
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi;
    DWORD dwExitCode = 254;
    if (CreateProcessA(nullptr, argv[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi) &&
        WaitForSingleObject(pi.hProcess, INFINITE) == WAIT_OBJECT_0)
        GetExitCodeProcess(pi.hProcess, &dwExitCode);
    return static_cast<int>(dwExitCode);
}

// Logs the context-menu requests it receives; gives a child (a preview) the focus, as keys must reach it.
static LRESULT CALLBACK HostProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CONTEXTMENU)
    {
        std::printf("WM_CONTEXTMENU wparam=%llu lparam=%lld\n", static_cast<unsigned long long>(wParam),
                    static_cast<long long>(lParam));
        std::fflush(stdout);
        return 0;
    }
    if (message == WM_PARENTNOTIFY && LOWORD(wParam) == WM_CREATE)
        SetFocus(reinterpret_cast<HWND>(lParam));
    if (message == WM_DESTROY)
        PostQuitMessage(0);
    return DefWindowProcA(hWnd, message, wParam, lParam);
}

static int Host(int, char** argv)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = HostProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = "VistelTestHost";
    RegisterClassA(&wc);
    Print(Handle(CreateWindowA(wc.lpszClassName, wc.lpszClassName, WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 20, 20,
                               static_cast<int>(Number(argv[0])), static_cast<int>(Number(argv[1])), nullptr, nullptr,
                               wc.hInstance, nullptr)));
    std::fflush(stdout);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0)
        DispatchMessageA(&msg);
    return 0;
}

static int Running(int argc, char** argv)
{
    BOOL bRunning = FALSE;
    if (argc == 1)
        return SystemParametersInfoA(SPI_SETSCREENSAVERRUNNING, Number(argv[0]) != 0, &bRunning, 0) ? 0 : 1;
    SystemParametersInfoA(SPI_GETSCREENSAVERRUNNING, 0, &bRunning, 0);
    return Print(bRunning ? 1 : 0);
}

static const struct { const char* pszName; int nMinArgs, nMaxArgs; int (*pRun)(int, char**); } s_commands[] = {
    // A window is named by its handle in decimal.
    { "wait", 3, 4, Wait },             // CLASS TITLE MS [PARENT] ("-" any): the window once shown
    { "info", 1, 1, Info },             // HWND: key=value facts about a window
    { "text", 1, 1, Text },             // HWND: the text WM_GETTEXT gives
    { "focus", 1, 1, Focus },           // HWND: where input goes (NAME=HWND TOP XWINDOW ...), and that window
    { "run", 1, 1, Run },               // COMMANDLINE: runs it as is; exits with its exit code
    { "invalidate", 5, 5, [](int, char** argv) {  // HWND L T R B: invalidates (and erases)
          const RECT rc = { LONG(Number(argv[1])), LONG(Number(argv[2])), LONG(Number(argv[3])),
                            LONG(Number(argv[4])) };
          return InvalidateRect(Hwnd(argv[0]), &rc, TRUE) ? 0 : 1; } },
    { "host", 2, 2, Host },             // W H: a host window; prints it, logs context menus until closed
    { "running", 0, 1, Running },       // [0|1]: the screen-saver-running state (or sets it)
    { "post", 4, 4, [](int, char** argv) {  // HWND MSG WPARAM LPARAM (MSG a number or a registered name)
          return PostMessageA(Hwnd(argv[0]), Message(argv[1]), Number(argv[2]), Number(argv[3])) ? 0 : 1; } },
    { "send", 4, 4, [](int, char** argv) {  // HWND MSG WPARAM LPARAM: the result
          return Send(Hwnd(argv[0]), Message(argv[1]), Number(argv[2]), Number(argv[3])); } },
    { "help", 1, 1, [](int, char** argv) {  // HWND: sends WM_HELP with a help record; the result
          HELPINFO help = { sizeof(HELPINFO), HELPINFO_WINDOW, 0, nullptr, 0, { 0, 0 } };
          return Send(Hwnd(argv[0]), WM_HELP, 0, reinterpret_cast<LPARAM>(&help)); } },
    { "settext", 2, 2, [](int, char** argv) { return Print(SetWindowTextA(Hwnd(argv[0]), argv[1]) ? 1 : 0); } },
    { "item", 2, 2, [](int, char** argv) {  // HWND ID: the dialog's control
          return Print(Handle(GetDlgItem(Hwnd(argv[0]), static_cast<int>(Number(argv[1]))))); } },
    { "cursor", 0, 0, [](int, char**) {     // the shown cursor
          CURSORINFO ci = { sizeof(CURSORINFO), 0, nullptr, { 0, 0 } };
          return GetCursorInfo(&ci) ? Print(Handle(ci.hCursor)) : 1; } },
    { "v6", 1, 1, [](int, char** argv) {    // HWND: 1 when its class is common controls 6's, not the plain one
          char szClass[256] = "";
          WNDCLASSEXA wc = {};
          wc.cbSize = sizeof(wc);
          GetClassNameA(Hwnd(argv[0]), szClass, sizeof(szClass));
          return Print(GetClassWord(Hwnd(argv[0]), GCW_ATOM) != GetClassInfoExA(nullptr, szClass, &wc)); } },
    { "dpi", 1, 1, [](int, char** argv) {   // FILE: its manifest's dpiAwareness and dpiAware, as the system reads them
          WCHAR szPath[MAX_PATH];
          ACTCTXW actctx = {};
          actctx.cbSize = sizeof(actctx);
          actctx.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
          actctx.lpSource = szPath;
          actctx.lpResourceName = MAKEINTRESOURCEW(1);
          MultiByteToWideChar(CP_ACP, 0, argv[0], -1, szPath, MAX_PATH);
          typedef BOOL(WINAPI * QUERYPROC)(DWORD, HANDLE, PCWSTR, PCWSTR, PWSTR, SIZE_T, SIZE_T*);
          const QUERYPROC pfnQuery = reinterpret_cast<QUERYPROC>(reinterpret_cast<void (*)()>(
              GetProcAddress(GetModuleHandleA("kernel32.dll"), "QueryActCtxSettingsW"))); // Windows 7 and later
          const HANDLE hActCtx = CreateActCtxW(&actctx);
          if (pfnQuery == nullptr || hActCtx == INVALID_HANDLE_VALUE)
              return 1;
          static const LPCWSTR SETTINGS[][2] = {
              { L"http://schemas.microsoft.com/SMI/2016/WindowsSettings", L"dpiAwareness" },
              { L"http://schemas.microsoft.com/SMI/2005/WindowsSettings", L"dpiAware" } };
          for (const auto& setting : SETTINGS)
          {
              WCHAR szValue[128] = L"-";
              pfnQuery(0, hActCtx, setting[0], setting[1], szValue, 128, nullptr);
              std::printf("%ls\n", szValue);
          }
          ReleaseActCtx(hActCtx);
          return 0; } },
    { "front", 1, 1, [](int, char** argv) { return SetForegroundWindow(Hwnd(argv[0])) ? 0 : 1; } },
    // Stays until killed: Wine ends its desktop a second after the last program, a restart savers must not race.
    { "hold", 0, 0, [](int, char**) { GetDesktopWindow(); Sleep(INFINITE); return 0; } },
};

int main(int argc, char** argv)
{
    if (const char* pszRecord = std::getenv("VISTEL_RECORD"))
    {
        if (FILE* pFile = std::fopen(pszRecord, "ab"))
            return (std::fprintf(pFile, "%s\n", GetCommandLineA()) < 0) | (std::fclose(pFile) != 0);
        return 1;
    }
    for (const auto& command : s_commands)
        if (argc >= 2 && std::strcmp(argv[1], command.pszName) == 0 && argc - 2 >= command.nMinArgs &&
            argc - 2 <= command.nMaxArgs)
            return command.pRun(argc - 2, argv + 2);
    return 2;
}

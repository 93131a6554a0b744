// Stand-ins for the Windows 95/98 PASSWORD.CPL and (MPR_STUB) MPR.DLL, logging each call to VISTEL_STUB_LOG.
// VISTEL_STUB_CONTROL says how to answer a check: "accept" or "refuse", "hold=MS" (keep the "dialog" open),
// "close" (post WM_CLOSE to the saver as the dialog opens and just before it answers). With
// VISTEL_MONITOR_LOG, PASSWORD.CPL appends "SECONDS paints= gdi= windows= workingset= private=" each second.
#include <windows.h>
#include <psapi.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

static void StubLog(const char* pszFormat, ...)
{
    const char* pszPath = std::getenv("VISTEL_STUB_LOG");
    FILE* pFile = pszPath != nullptr ? std::fopen(pszPath, "a") : nullptr;
    if (pFile == nullptr)
        return;
    va_list args;
    va_start(args, pszFormat);
    std::vfprintf(pFile, pszFormat, args);
    va_end(args);
    std::fputc('\n', pFile);
    std::fclose(pFile);
}

static unsigned long long Handle(const void* p) { return reinterpret_cast<UINT_PTR>(p); }

#ifdef MPR_STUB
extern "C" __declspec(dllexport) DWORD WINAPI PwdChangePasswordA(LPCSTR pszProvider, HWND hOwner, DWORD dwFlags,
                                                                 LPVOID pReserved)
{
    StubLog("change provider=%s owner=%llu flags=%lu reserved=%llu", pszProvider != nullptr ? pszProvider : "(null)",
            Handle(hOwner), static_cast<unsigned long>(dwFlags), Handle(pReserved));
    return 0;
}
#else
static int IsSaverRunning()
{
    BOOL bRunning = FALSE;
    return SystemParametersInfoA(SPI_GETSCREENSAVERRUNNING, 0, &bRunning, 0) && bRunning ? 1 : 0;
}

static HINSTANCE s_hInstance;
static DWORD s_dwSaverThread;
static volatile LONG s_nPaints;

static LRESULT CALLBACK CountPaints(int nCode, WPARAM wParam, LPARAM lParam)
{
    if (nCode >= 0 && wParam == PM_REMOVE && reinterpret_cast<const MSG*>(lParam)->message == WM_PAINT)
        InterlockedIncrement(&s_nPaints);
    return CallNextHookEx(nullptr, nCode, wParam, lParam);
}

static BOOL CALLBACK CountChild(HWND, LPARAM lParam) { return ++*reinterpret_cast<int*>(lParam) > 0; }

// The saver's thread's windows and their children.
static BOOL CALLBACK CountWindow(HWND hWnd, LPARAM lParam)
{
    EnumChildWindows(hWnd, CountChild, lParam);
    return CountChild(hWnd, lParam);
}

static DWORD WINAPI Monitor(LPVOID pvLog)
{
    Sleep(200); // the saver's thread takes its first message soon after loading us
    SetWindowsHookExA(WH_GETMESSAGE, CountPaints, s_hInstance, s_dwSaverThread);
    for (const DWORD dwStart = GetTickCount();; Sleep(1000))
    {
        // GDI objects: every handle index that has a type (GetGuiResources is not everywhere).
        int nObjects = 0, nWindows = 0;
        for (UINT_PTR uIndex = 1; uIndex < 0x10000; uIndex++)
            nObjects += GetObjectType(reinterpret_cast<HGDIOBJ>(uIndex)) != 0;
        EnumThreadWindows(s_dwSaverThread, CountWindow, reinterpret_cast<LPARAM>(&nWindows));
        PROCESS_MEMORY_COUNTERS counters = {};
        GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
        if (FILE* pFile = std::fopen(static_cast<const char*>(pvLog), "a"))
        {
            std::fprintf(pFile, "%lu paints=%ld gdi=%d windows=%d workingset=%llu private=%llu\n",
                         (GetTickCount() - dwStart) / 1000, s_nPaints, nObjects, nWindows,
                         static_cast<unsigned long long>(counters.WorkingSetSize),
                         static_cast<unsigned long long>(counters.PagefileUsage));
            std::fclose(pFile);
        }
    }
}

BOOL APIENTRY DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID)
{
    if (dwReason == DLL_PROCESS_ATTACH)
    {
        StubLog("load running=%d", IsSaverRunning());
        s_hInstance = hInstance;
        s_dwSaverThread = GetCurrentThreadId();
        if (char* pszLog = std::getenv("VISTEL_MONITOR_LOG"))
            CloseHandle(CreateThread(nullptr, 0, Monitor, pszLog, 0, nullptr));
    }
    else if (dwReason == DLL_PROCESS_DETACH)
        StubLog("unload running=%d", IsSaverRunning());
    return TRUE;
}

extern "C" __declspec(dllexport) BOOL WINAPI VerifyScreenSavePwd(HWND hWnd)
{
    StubLog("verify hwnd=%llu running=%d", Handle(hWnd), IsSaverRunning());
    char szControl[256] = "";
    const char* pszControl = std::getenv("VISTEL_STUB_CONTROL");
    if (FILE* pFile = pszControl != nullptr ? std::fopen(pszControl, "r") : nullptr)
    {
        szControl[std::fread(szControl, 1, sizeof(szControl) - 1, pFile)] = '\0';
        std::fclose(pFile);
    }
    const char* pszHold = std::strstr(szControl, "hold=");
    const DWORD dwHold = pszHold != nullptr ? std::strtoul(pszHold + 5, nullptr, 10) : 0;
    const bool bClose = std::strstr(szControl, "close") != nullptr;
    const bool bAccept = pszControl == nullptr || std::strstr(szControl, "accept") != nullptr;
    if (bClose) // the "dialog" below is a modal loop that keeps the saver's messages flowing
        PostMessageA(hWnd, WM_CLOSE, 0, 0);
    for (const DWORD dwStart = GetTickCount(); GetTickCount() - dwStart < dwHold; Sleep(5))
    {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
    }
    if (bClose)
        PostMessageA(hWnd, WM_CLOSE, 0, 0);
    StubLog("answer %s", bAccept ? "accept" : "refuse");
    return bAccept;
}
#endif

// Stands in for the Windows 95/98 password control-panel module
// ("PASSWORD.CPL") and its "VerifyScreenSavePwd". The saver loads it when it
// starts as Windows 98 with password protection on.
//
// With VISTEL_MONITOR_LOG set it also watches the saver from inside (the
// soak): it counts the paints of the saver's thread and writes, once a
// second, a line to that file:
//
//   SECONDS paints=N gdi=N windows=N workingset=BYTES private=BYTES
//
// GDI objects are counted by asking the type of every handle index (the
// system's own count, GetGuiResources, is not available everywhere);
// windows are the process's windows and their children.
#include <windows.h>
#include <psapi.h>

#include "StubControl.h"

static HINSTANCE s_hInstance;
static DWORD s_dwSaverThread;
static volatile LONG s_nPaints;

static LRESULT CALLBACK CountPaints(int nCode, WPARAM wParam, LPARAM lParam)
{
    if (nCode >= 0 && wParam == PM_REMOVE && reinterpret_cast<const MSG*>(lParam)->message == WM_PAINT)
        InterlockedIncrement(&s_nPaints);
    return CallNextHookEx(nullptr, nCode, wParam, lParam);
}

static int CountGdiObjects()
{
    int nObjects = 0;
    for (UINT_PTR uIndex = 1; uIndex < 0x10000; uIndex++)
        if (GetObjectType(reinterpret_cast<HGDIOBJ>(uIndex)) != 0)
            nObjects++;
    return nObjects;
}

static BOOL CALLBACK CountChild(HWND, LPARAM lParam)
{
    ++*reinterpret_cast<int*>(lParam);
    return TRUE;
}

static BOOL CALLBACK CountOwnWindow(HWND hWnd, LPARAM lParam)
{
    DWORD dwProcess = 0;
    GetWindowThreadProcessId(hWnd, &dwProcess);
    if (dwProcess == GetCurrentProcessId())
    {
        ++*reinterpret_cast<int*>(lParam);
        EnumChildWindows(hWnd, CountChild, lParam);
    }
    return TRUE;
}

static DWORD WINAPI Monitor(LPVOID pvLog)
{
    const char* pszLog = static_cast<const char*>(pvLog);
    // The saver's thread takes its first message soon after loading us.
    Sleep(200);
    SetWindowsHookExA(WH_GETMESSAGE, CountPaints, s_hInstance, s_dwSaverThread);
    const DWORD dwStart = GetTickCount();
    for (;;)
    {
        int nWindows = 0;
        EnumWindows(CountOwnWindow, reinterpret_cast<LPARAM>(&nWindows));
        PROCESS_MEMORY_COUNTERS counters = {};
        counters.cb = sizeof(counters);
        GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
        FILE* pFile = std::fopen(pszLog, "a");
        if (pFile != nullptr)
        {
            std::fprintf(pFile, "%lu paints=%ld gdi=%d windows=%d workingset=%llu private=%llu\n",
                         (GetTickCount() - dwStart) / 1000, s_nPaints, CountGdiObjects(), nWindows,
                         static_cast<unsigned long long>(counters.WorkingSetSize),
                         static_cast<unsigned long long>(counters.PagefileUsage));
            std::fclose(pFile);
        }
        Sleep(1000);
    }
}

BOOL APIENTRY DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID)
{
    if (dwReason == DLL_PROCESS_ATTACH)
    {
        StubLog("load running=%d", IsSaverRunning() ? 1 : 0);
        s_hInstance = hInstance;
        s_dwSaverThread = GetCurrentThreadId();
        char* pszLog = std::getenv("VISTEL_MONITOR_LOG");
        HANDLE hThread = pszLog != nullptr ? CreateThread(nullptr, 0, Monitor, pszLog, 0, nullptr) : nullptr;
        if (hThread != nullptr)
            CloseHandle(hThread);
    }
    else if (dwReason == DLL_PROCESS_DETACH)
        StubLog("unload running=%d", IsSaverRunning() ? 1 : 0);
    return TRUE;
}

extern "C" __declspec(dllexport) BOOL WINAPI VerifyScreenSavePwd(HWND hWnd)
{
    const StubControl control = ReadStubControl();
    StubLog("verify hwnd=%llu running=%d", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(hWnd)),
            IsSaverRunning() ? 1 : 0);

    // The "dialog": a modal loop that keeps the saver's messages flowing.
    if (control.bClose)
        PostMessageA(hWnd, WM_CLOSE, 0, 0);
    for (const DWORD dwStart = GetTickCount(); GetTickCount() - dwStart < control.dwHoldMs; Sleep(5))
    {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
    }
    if (control.bClose)
        PostMessageA(hWnd, WM_CLOSE, 0, 0);

    StubLog("answer %s", control.bAccept ? "accept" : "refuse");
    return control.bAccept;
}

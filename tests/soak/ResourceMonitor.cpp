// Stands in for the Windows 95/98 password module ("PASSWORD.CPL") in the
// soak test. The saver loads it when it starts (as Windows 98 with password
// protection on); from inside the saver it counts the paints of the saver's
// thread and writes, once a second, a line to the file VISTEL_MONITOR_LOG:
//
//   SECONDS paints=N gdi=N windows=N workingset=BYTES private=BYTES
//
// GDI objects are counted by asking the type of every handle index (the
// system's own count, GetGuiResources, is not available everywhere);
// windows are the process's windows and their children. Any password is
// accepted.
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>

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

static DWORD WINAPI Sample(LPVOID)
{
    const char* pszLog = std::getenv("VISTEL_MONITOR_LOG");
    if (pszLog == nullptr)
        return 0;
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
        s_hInstance = hInstance;
        s_dwSaverThread = GetCurrentThreadId();
        HANDLE hThread = CreateThread(nullptr, 0, Sample, nullptr, 0, nullptr);
        if (hThread != nullptr)
            CloseHandle(hThread);
    }
    return TRUE;
}

extern "C" __declspec(dllexport) BOOL WINAPI VerifyScreenSavePwd(HWND)
{
    return TRUE;
}

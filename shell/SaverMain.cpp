// The program's entry: reads the command line, tells the Windows family
// apart and runs one mode; the mode's result is the exit code.
#include "Shell.h"

#include <commctrl.h>

#include "ToolTipCtrl.h"

#include "../res/resource.h"

HINSTANCE g_hSaverInstance;
BOOL g_bWin9x;

// Exit code when the program ends through its exception guard.
static const int EXIT_CRASHED = -1;

static LPTOP_LEVEL_EXCEPTION_FILTER s_pfnPreviousFilter;

// The guard around a mode: the system decides what an unhandled exception
// means; when it lets the program handle it, the system is told that no
// screen saver runs any more and the process ends.
static LONG HandleSaverException(EXCEPTION_POINTERS* pInfo)
{
    // The system's filter calls the installed one: take ours out first.
    ::SetUnhandledExceptionFilter(s_pfnPreviousFilter);
    const LONG lVerdict = ::UnhandledExceptionFilter(pInfo);
    if (lVerdict == EXCEPTION_EXECUTE_HANDLER)
    {
        SetSaverRunning(FALSE);
        ::ExitProcess(static_cast<UINT>(EXIT_CRASHED));
    }
    return lVerdict;
}

static LONG WINAPI SaverExceptionFilter(EXCEPTION_POINTERS* pInfo)
{
    return HandleSaverException(pInfo);
}

// A processor fault such as a bad pointer or a division by zero.
static BOOL IsFault(DWORD dwCode)
{
    switch (dwCode)
    {
    case EXCEPTION_ACCESS_VIOLATION:
    case EXCEPTION_ARRAY_BOUNDS_EXCEEDED:
    case EXCEPTION_DATATYPE_MISALIGNMENT:
    case EXCEPTION_ILLEGAL_INSTRUCTION:
    case EXCEPTION_IN_PAGE_ERROR:
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
    case EXCEPTION_PRIV_INSTRUCTION:
    case EXCEPTION_STACK_OVERFLOW:
        return TRUE;
    default:
        return FALSE;
    }
}

static BOOL IsInModule(PVOID pAddress, HMODULE hModule)
{
    MEMORY_BASIC_INFORMATION info;
    return hModule != nullptr && ::VirtualQuery(pAddress, &info, sizeof(info)) == sizeof(info) &&
           info.AllocationBase == hModule;
}

// Window procedures run as callbacks of the system, which on 64-bit
// Windows and under Wine swallows an exception instead of passing it out
// to the guard around the loop. A fault in the program's own code (or in
// the C run-time it calls) is therefore taken to the guard at once.
static LONG CALLBACK SaverFaultHandler(EXCEPTION_POINTERS* pInfo)
{
    const PEXCEPTION_RECORD pRecord = pInfo->ExceptionRecord;
    if (!IsFault(pRecord->ExceptionCode))
        return EXCEPTION_CONTINUE_SEARCH;
    if (!IsInModule(pRecord->ExceptionAddress, g_hSaverInstance) &&
        !IsInModule(pRecord->ExceptionAddress, ::GetModuleHandleA("msvcrt.dll")))
        return EXCEPTION_CONTINUE_SEARCH;
    return HandleSaverException(pInfo);
}

// Vectored handlers exist from Windows XP on; before it the top-level
// filter alone guards the program, as those systems pass window-procedure
// faults out to it.
typedef PVOID(WINAPI* PFNADDVECTOREDEXCEPTIONHANDLER)(ULONG, PVECTORED_EXCEPTION_HANDLER);
typedef ULONG(WINAPI* PFNREMOVEVECTOREDEXCEPTIONHANDLER)(PVOID);

static PVOID AddFaultHandler()
{
    const HMODULE hKernel = ::GetModuleHandleA("kernel32.dll");
    const PFNADDVECTOREDEXCEPTIONHANDLER pfnAdd =
        GetProcAddressAs<PFNADDVECTOREDEXCEPTIONHANDLER>(hKernel, "AddVectoredExceptionHandler");
    return pfnAdd != nullptr ? pfnAdd(TRUE, SaverFaultHandler) : nullptr;
}

static void RemoveFaultHandler(PVOID hFaultHandler)
{
    const HMODULE hKernel = ::GetModuleHandleA("kernel32.dll");
    const PFNREMOVEVECTOREDEXCEPTIONHANDLER pfnRemove =
        GetProcAddressAs<PFNREMOVEVECTOREDEXCEPTIONHANDLER>(hKernel, "RemoveVectoredExceptionHandler");
    if (hFaultHandler != nullptr && pfnRemove != nullptr)
        pfnRemove(hFaultHandler);
}

HWND ParseWindowHandle(LPCSTR psz)
{
    UINT32 uValue = 0; // wraps modulo 2^32, as window handles are 32-bit values
    for (; *psz >= '0' && *psz <= '9'; psz++)
        uValue = uValue * 10 + static_cast<UINT32>(*psz - '0');
    return reinterpret_cast<HWND>(static_cast<UINT_PTR>(uValue));
}

static LPCSTR SkipBlanks(LPCSTR psz)
{
    while (*psz == ' ')
        psz++;
    return psz;
}

// hWnd when it names a window, otherwise the foreground window.
static HWND OwnerOrForeground(HWND hWnd)
{
    if (hWnd == nullptr || !::IsWindow(hWnd))
        return ::GetForegroundWindow();
    return hWnd;
}

int RunConfigDialog(HWND hOwner)
{
    // The dialog's spin control is a common control.
    AfxInitCommonControls(ICC_UPDOWN_CLASS);
    return static_cast<int>(::DialogBoxParamA(g_hSaverInstance, MAKEINTRESOURCEA(IDD_SETTINGS), hOwner,
                                              SaverDialogProc, 0));
}

static int DispatchMode(LPCSTR psz)
{
    while (*psz == ' ' || *psz == '-' || *psz == '/')
        psz++;
    switch (static_cast<signed char>(*psz))
    {
    case '\0':
        return RunConfigDialog(nullptr);
    case 'S':
    case 's':
        return RunSaverWindow(nullptr);
    case 'P':
    case 'p':
    case 'L':
    case 'l':
    {
        HWND hParent = ParseWindowHandle(SkipBlanks(psz + 1));
        if (hParent == nullptr || !::IsWindow(hParent))
            return -1;
        return RunSaverWindow(hParent);
    }
    case 'C':
    case 'c':
    {
        HWND hOwner = psz[1] == ':' ? ParseWindowHandle(psz + 2) : nullptr;
        return RunConfigDialog(OwnerOrForeground(hOwner));
    }
    case 'A':
    case 'a':
        if (!g_bWin9x)
            return -1;
        ChangeSaverPassword(OwnerOrForeground(ParseWindowHandle(SkipBlanks(psz + 1))));
        return 0;
    default:
        return -1;
    }
}

int RunSaverCommand(HINSTANCE hInstance, LPSTR pszArgs)
{
    g_hSaverInstance = hInstance;
    g_bWin9x = IsWindows9x();
    if (g_bWin9x)
        KeepSimdToSavedRegisters();

    s_pfnPreviousFilter = ::SetUnhandledExceptionFilter(SaverExceptionFilter);
    PVOID hFaultHandler = AddFaultHandler();
    const int nResult = DispatchMode(pszArgs);
    RemoveFaultHandler(hFaultHandler);
    ::SetUnhandledExceptionFilter(s_pfnPreviousFilter);
    return nResult;
}

void SaverMain()
{
    LPSTR psz = ::GetCommandLineA();

    // Skip the program name, quoted or not.
    if (*psz == '"')
    {
        do
            psz = ::CharNextA(psz);
        while (*psz != '\0' && *psz != '"');
        if (*psz == '"')
            psz = ::CharNextA(psz);
    }
    else
    {
        while (static_cast<unsigned char>(*psz) > ' ')
            psz = ::CharNextA(psz);
    }
    while (*psz != '\0' && static_cast<unsigned char>(*psz) <= ' ')
        psz = ::CharNextA(psz);

    ::ExitProcess(static_cast<UINT>(RunSaverCommand(::GetModuleHandleA(nullptr), psz)));
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    SaverMain();
}

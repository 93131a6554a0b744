// The screen-saver password on the Windows 95/98 family: the check before
// the saver closes and the password change, both through the system's own
// services loaded at run time.
#include "Shell.h"

VERIFYPWDPROC g_pfnVerifyPassword;

static HMODULE s_hPasswordLib;

// No verification has ended yet.
static const DWORD NO_TICK = 0xFFFFFFFF;
static DWORD s_dwLastVerifyTick = NO_TICK;

// No verification starts sooner than this after the last one ended.
static const DWORD VERIFY_SPACING_MS = 200;

typedef DWORD (WINAPI* PWDCHANGEPASSWORDPROC)(LPCSTR pszProvider, HWND hOwner, DWORD dwFlags, LPVOID pReserved);

// TRUE when the user's desktop settings ask for a password.
static BOOL IsPasswordProtected(HKEY hDesktop)
{
    // A little-endian number of up to 4 bytes, whatever its registry type;
    // a longer value fails the query and means no protection.
    BYTE value[4] = {};
    DWORD cbValue = sizeof(value);
    if (::RegQueryValueExA(hDesktop, "ScreenSaveUsePassword", nullptr, nullptr, value, &cbValue) != ERROR_SUCCESS)
        return FALSE;
    return (value[0] | value[1] | value[2] | value[3]) != 0;
}

void LoadPasswordLibrary()
{
    if (!g_bWin9x)
        return;
    if (s_hPasswordLib != nullptr)
        FreePasswordLibrary();

    HKEY hDesktop;
    if (::RegOpenKeyA(HKEY_CURRENT_USER, "Control Panel\\Desktop", &hDesktop) != ERROR_SUCCESS)
        return;
    if (IsPasswordProtected(hDesktop))
    {
        s_hPasswordLib = ::LoadLibraryA("PASSWORD.CPL");
        if (s_hPasswordLib != nullptr)
        {
            g_pfnVerifyPassword = GetProcAddressAs<VERIFYPWDPROC>(s_hPasswordLib, "VerifyScreenSavePwd");
            if (g_pfnVerifyPassword != nullptr)
                SetSaverRunning(TRUE);
            else
                FreePasswordLibrary();
        }
    }
    ::RegCloseKey(hDesktop);
}

void FreePasswordLibrary()
{
    if (!g_bWin9x || s_hPasswordLib == nullptr)
        return;
    ::FreeLibrary(s_hPasswordLib);
    s_hPasswordLib = nullptr;
    if (g_pfnVerifyPassword != nullptr)
    {
        g_pfnVerifyPassword = nullptr;
        SetSaverRunning(FALSE);
    }
}

void SetSaverRunning(BOOL bRunning)
{
    if (!g_bWin9x)
        return;
    BOOL bPrevious;
    ::SystemParametersInfoA(SPI_SETSCREENSAVERRUNNING, bRunning, &bPrevious, 0);
}

BOOL VerifySaverPassword(HWND hWnd)
{
    // A close request while the password dialog is open opens no second one.
    if (g_bVerifying || g_bClosing)
        return FALSE;
    if (g_pfnVerifyPassword == nullptr)
    {
        g_bClosing = TRUE;
        return TRUE;
    }
    // Unsigned arithmetic: a wrap of the tick counter does no harm.
    if (s_dwLastVerifyTick != NO_TICK && ::GetTickCount() - s_dwLastVerifyTick < VERIFY_SPACING_MS)
        return g_bClosing;

    g_bVerifying = TRUE;
    MSG msg;
    // The tick already due must not change the picture as the dialog opens; twice, for one due meanwhile.
    ::PeekMessageA(&msg, hWnd, WM_TIMER, WM_TIMER, PM_REMOVE | PM_NOYIELD);
    ::PeekMessageA(&msg, hWnd, WM_TIMER, WM_TIMER, PM_REMOVE | PM_NOYIELD);
    g_bClosing = ::SendMessageA(hWnd, WM_VERIFYPASSWORD, 0, 0) != 0;
    g_bVerifying = FALSE;
    if (!g_bClosing)
        ::SetCursor(nullptr);
    s_dwLastVerifyTick = ::GetTickCount();
    return g_bClosing;
}

void ChangeSaverPassword(HWND hOwner)
{
    HMODULE hMpr = ::LoadLibraryA("MPR.DLL");
    if (hMpr == nullptr)
        return;
    PWDCHANGEPASSWORDPROC pfnChange = GetProcAddressAs<PWDCHANGEPASSWORDPROC>(hMpr, "PwdChangePasswordA");
    if (pfnChange != nullptr)
        pfnChange("SCRSAVE", hOwner, 0, nullptr);
    ::FreeLibrary(hMpr);
}

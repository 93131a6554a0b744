// Stands in for the Windows 95/98 password control-panel module
// ("PASSWORD.CPL") and its "VerifyScreenSavePwd".
#include "StubControl.h"

BOOL APIENTRY DllMain(HINSTANCE, DWORD dwReason, LPVOID)
{
    if (dwReason == DLL_PROCESS_ATTACH)
        StubLog("load running=%d", IsSaverRunning() ? 1 : 0);
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
    const DWORD dwStart = GetTickCount();
    while (GetTickCount() - dwStart < control.dwHoldMs)
    {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        Sleep(5);
    }
    if (control.bClose)
        PostMessageA(hWnd, WM_CLOSE, 0, 0);

    StubLog("answer %s", control.bAccept ? "accept" : "refuse");
    return control.bAccept;
}

// Stands in for the multiple-provider router ("MPR.DLL") and its
// "PwdChangePasswordA".
#include "StubControl.h"

extern "C" __declspec(dllexport) DWORD WINAPI PwdChangePasswordA(LPCSTR pszProvider, HWND hOwner, DWORD dwFlags,
                                                                 LPVOID pReserved)
{
    StubLog("change provider=%s owner=%llu flags=%lu reserved=%llu", pszProvider != nullptr ? pszProvider : "(null)",
            static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(hOwner)), static_cast<unsigned long>(dwFlags),
            static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(pReserved)));
    return 0;
}

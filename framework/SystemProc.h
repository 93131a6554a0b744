// Exports looked up at run time: those of libraries loaded on demand, and
// functions that only newer Windows versions have. The shipped program must
// load on Windows 95, whose loader refuses a program with any import it
// lacks, so callers of a newer function keep a fallback for null.
#pragma once

#include <windows.h>

// Windows 95, 98 and Me, whose functions refuse some of the flags and
// parameters that later versions take.
inline BOOL IsWindows9x()
{
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    return ::GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
}

template <class PFN>
PFN GetProcAddressAs(HMODULE hModule, LPCSTR pszName)
{
    if (hModule == nullptr)
        return nullptr;
    // Through a plain function pointer type: GCC warns on a direct cast
    // between function types of different signatures.
    return reinterpret_cast<PFN>(reinterpret_cast<void (*)()>(::GetProcAddress(hModule, pszName)));
}

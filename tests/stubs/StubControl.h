// What the stand-ins for the system's password services share: a log of
// every call and a control file that says how to answer the next one.
//
// VISTEL_STUB_LOG      file that each call appends one line to
// VISTEL_STUB_CONTROL  file read at each call: "accept" or "refuse", then
//                      optional words "hold=MS" (keep the "dialog" open for
//                      MS milliseconds, dispatching messages meanwhile) and
//                      "close" (post WM_CLOSE to the saver while the dialog
//                      is open and again just before answering); unset, every
//                      password is accepted
#pragma once

#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

static inline void StubLog(const char* pszFormat, ...)
{
    const char* pszPath = std::getenv("VISTEL_STUB_LOG");
    if (pszPath == nullptr)
        return;
    FILE* pFile = std::fopen(pszPath, "a");
    if (pFile == nullptr)
        return;
    va_list args;
    va_start(args, pszFormat);
    std::vfprintf(pFile, pszFormat, args);
    va_end(args);
    std::fputc('\n', pFile);
    std::fclose(pFile);
}

struct StubControl
{
    BOOL bAccept = FALSE;
    DWORD dwHoldMs = 0;
    BOOL bClose = FALSE;
};

static inline StubControl ReadStubControl()
{
    StubControl control;
    const char* pszPath = std::getenv("VISTEL_STUB_CONTROL");
    control.bAccept = pszPath == nullptr;
    FILE* pFile = pszPath != nullptr ? std::fopen(pszPath, "r") : nullptr;
    if (pFile == nullptr)
        return control;
    char szWord[64];
    while (std::fscanf(pFile, "%63s", szWord) == 1)
    {
        if (std::strcmp(szWord, "accept") == 0)
            control.bAccept = TRUE;
        else if (std::strncmp(szWord, "hold=", 5) == 0)
            control.dwHoldMs = static_cast<DWORD>(std::strtoul(szWord + 5, nullptr, 10));
        else if (std::strcmp(szWord, "close") == 0)
            control.bClose = TRUE;
    }
    std::fclose(pFile);
    return control;
}

static inline BOOL IsSaverRunning()
{
    BOOL bRunning = FALSE;
    SystemParametersInfoA(SPI_GETSCREENSAVERRUNNING, 0, &bRunning, 0);
    return bRunning;
}

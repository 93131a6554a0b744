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

struct StubControl
{
    BOOL bAccept = TRUE;
    DWORD dwHoldMs = 0;
    BOOL bClose = FALSE;
};

static inline StubControl ReadStubControl()
{
    StubControl control;
    const char* pszPath = std::getenv("VISTEL_STUB_CONTROL");
    FILE* pFile = pszPath != nullptr ? std::fopen(pszPath, "r") : nullptr;
    if (pFile == nullptr)
        return control;
    char szWords[256] = "";
    szWords[std::fread(szWords, 1, sizeof(szWords) - 1, pFile)] = '\0';
    std::fclose(pFile);
    const char* pszHold = std::strstr(szWords, "hold=");
    control.bAccept = std::strstr(szWords, "accept") != nullptr;
    control.dwHoldMs = pszHold != nullptr ? static_cast<DWORD>(std::strtoul(pszHold + 5, nullptr, 10)) : 0;
    control.bClose = std::strstr(szWords, "close") != nullptr;
    return control;
}

static inline BOOL IsSaverRunning()
{
    BOOL bRunning = FALSE;
    SystemParametersInfoA(SPI_GETSCREENSAVERRUNNING, 0, &bRunning, 0);
    return bRunning;
}

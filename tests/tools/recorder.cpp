// recorder: stands in for a web browser or mail program. Appends the
// command line it was started with, as one line, to the file named by the
// environment variable VISTEL_RECORD, and ends.
#include <windows.h>

#include <cstdio>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    char szFile[MAX_PATH];
    const DWORD cch = GetEnvironmentVariableA("VISTEL_RECORD", szFile, sizeof(szFile));
    if (cch == 0 || cch >= sizeof(szFile))
        return 1;
    FILE* pFile = std::fopen(szFile, "ab");
    if (pFile == nullptr)
        return 1;
    std::fprintf(pFile, "%s\n", GetCommandLineA());
    std::fclose(pFile);
    return 0;
}

// recorder: stands in for a web browser or mail program. Appends its command line, as one line, to
// the file named by the environment variable VISTEL_RECORD, and ends.
#include <windows.h>

#include <cstdio>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    char szFile[MAX_PATH];
    const DWORD cch = GetEnvironmentVariableA("VISTEL_RECORD", szFile, sizeof(szFile));
    FILE* pFile = cch > 0 && cch < sizeof(szFile) ? std::fopen(szFile, "ab") : nullptr;
    if (pFile == nullptr)
        return 1;
    std::fprintf(pFile, "%s\n", GetCommandLineA());
    std::fclose(pFile);
    return 0;
}

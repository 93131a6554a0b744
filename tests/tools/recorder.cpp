// recorder: stands in for a web browser or mail program: appends its command line to the file VISTEL_RECORD.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    const char* pszFile = std::getenv("VISTEL_RECORD");
    FILE* pFile = pszFile != nullptr ? std::fopen(pszFile, "ab") : nullptr;
    if (pFile == nullptr)
        return 1;
    std::fprintf(pFile, "%s\n", GetCommandLineA());
    std::fclose(pFile);
    return 0;
}

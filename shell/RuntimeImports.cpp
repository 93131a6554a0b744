// Stand-ins for the four KERNEL32 functions that the compiler's own run-time
// code (thread-safe statics and exception tables in libgcc, a random-number
// and a locale helper of the C library) imports although Windows 95 and 98
// lack them or have them only as failing stubs. The loader of those systems
// refuses a program with a missing import, so the program defines the import
// slots itself: the linker then takes these instead of KERNEL32's. Each does
// what the real function does, through what every 32-bit Windows has.
#include <windows.h>

static const int MAX_NAME = MAX_PATH;

// A wide module or object name in the ANSI code page; FALSE when it does
// not fit or cannot be converted.
static BOOL NarrowName(LPCWSTR pszWide, char (&szName)[MAX_NAME])
{
    return ::WideCharToMultiByte(CP_ACP, 0, pszWide, -1, szName, MAX_NAME, nullptr, nullptr) != 0;
}

static HANDLE WINAPI CreateSemaphoreAnsi(LPSECURITY_ATTRIBUTES pAttributes, LONG lInitial, LONG lMaximum,
                                         LPCWSTR pszName)
{
    char szName[MAX_NAME];
    if (pszName != nullptr && !NarrowName(pszName, szName))
        return nullptr;
    return ::CreateSemaphoreA(pAttributes, lInitial, lMaximum, pszName != nullptr ? szName : nullptr);
}

static HMODULE WINAPI GetModuleHandleAnsi(LPCWSTR pszModule)
{
    char szModule[MAX_NAME];
    if (pszModule != nullptr && !NarrowName(pszModule, szModule))
        return nullptr;
    return ::GetModuleHandleA(pszModule != nullptr ? szModule : nullptr);
}

static HMODULE WINAPI LoadLibraryAnsi(LPCWSTR pszModule)
{
    char szModule[MAX_NAME];
    if (pszModule == nullptr || !NarrowName(pszModule, szModule))
    {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return ::LoadLibraryA(szModule);
}

// Whether a byte starts a two-byte character in the given code page, from
// the code page's lead-byte ranges.
static BOOL WINAPI IsLeadByteOfCodePage(UINT uCodePage, BYTE byte)
{
    CPINFO info;
    if (!::GetCPInfo(uCodePage, &info))
        return FALSE;
    for (int i = 0; i + 1 < MAX_LEADBYTES && info.LeadByte[i] != 0; i += 2)
    {
        if (byte >= info.LeadByte[i] && byte <= info.LeadByte[i + 1])
            return TRUE;
    }
    return FALSE;
}

// The import slots, under the names the linker gives them: decorated with
// the argument bytes on x86, plain on x64.
#if defined(__i386__)
#define IMPORT_SLOT(name, bytes) "__imp__" #name "@" #bytes
#else
#define IMPORT_SLOT(name, bytes) "__imp_" #name
#endif

extern "C" {
extern const void* const g_pImpCreateSemaphoreW __asm__(IMPORT_SLOT(CreateSemaphoreW, 16));
extern const void* const g_pImpGetModuleHandleW __asm__(IMPORT_SLOT(GetModuleHandleW, 4));
extern const void* const g_pImpLoadLibraryW __asm__(IMPORT_SLOT(LoadLibraryW, 4));
extern const void* const g_pImpIsDBCSLeadByteEx __asm__(IMPORT_SLOT(IsDBCSLeadByteEx, 8));

const void* const g_pImpCreateSemaphoreW = reinterpret_cast<const void*>(&CreateSemaphoreAnsi);
const void* const g_pImpGetModuleHandleW = reinterpret_cast<const void*>(&GetModuleHandleAnsi);
const void* const g_pImpLoadLibraryW = reinterpret_cast<const void*>(&LoadLibraryAnsi);
const void* const g_pImpIsDBCSLeadByteEx = reinterpret_cast<const void*>(&IsLeadByteOfCodePage);
}

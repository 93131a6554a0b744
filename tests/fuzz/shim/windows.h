// The Win32 calls of the image library for its sanitized Linux build: handles
// are heap records, so that a leak or a double delete shows.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

typedef int BOOL; typedef unsigned char BYTE; typedef unsigned short WORD; typedef unsigned int UINT;
typedef uint32_t DWORD, COLORREF; typedef int32_t LONG; typedef int64_t LONGLONG; typedef uint64_t ULONGLONG;
typedef size_t SIZE_T; typedef intptr_t INT_PTR; typedef const char* LPCSTR; typedef char* LPSTR;
typedef void *HANDLE, *HGLOBAL, *HDC, *HGDIOBJ, *HPALETTE, *HBRUSH, *HFONT;
struct RECT { LONG left, top, right, bottom; };
struct SIZE { LONG cx, cy; };
struct RGBQUAD { BYTE rgbBlue, rgbGreen, rgbRed, rgbReserved; };
struct BITMAPINFOHEADER { DWORD biSize; LONG biWidth, biHeight; WORD biPlanes, biBitCount;
                          DWORD biCompression, biSizeImage; LONG biXPelsPerMeter, biYPelsPerMeter;
                          DWORD biClrUsed, biClrImportant; };
struct BITMAPINFO { BITMAPINFOHEADER bmiHeader; RGBQUAD bmiColors[1]; };
struct PALETTEENTRY { BYTE peRed, peGreen, peBlue, peFlags; };
struct LOGPALETTE { WORD palVersion, palNumEntries; PALETTEENTRY palPalEntry[1]; };
struct LOGFONTA;

#define TRUE 1
#define FALSE 0
#define INVALID_HANDLE_VALUE ((HANDLE)(intptr_t)-1)
constexpr DWORD BI_RGB = 0, BI_RLE8 = 1, BI_RLE4 = 2, BI_BITFIELDS = 3, DIB_RGB_COLORS = 0, SRCCOPY = 0x00CC0020;
constexpr int HALFTONE = 4, PLANES = 14, BITSPIXEL = 12, MAX_PATH = 260;
constexpr UINT GMEM_MOVEABLE = 2, GMEM_ZEROINIT = 0x40;
constexpr DWORD GENERIC_READ = 0x80000000u, GENERIC_WRITE = 0x40000000u, FILE_SHARE_READ = 1, FILE_SHARE_DELETE = 4,
                CREATE_ALWAYS = 2, OPEN_EXISTING = 3, FILE_ATTRIBUTE_NORMAL = 0x80, FILE_CURRENT = 1;
constexpr DWORD ERROR_SUCCESS = 0, NO_ERROR = 0, ERROR_FILE_NOT_FOUND = 2, ERROR_PATH_NOT_FOUND = 3,
                ERROR_ACCESS_DENIED = 5, ERROR_SEEK = 25, ERROR_SHARING_VIOLATION = 32, ERROR_LOCK_VIOLATION = 33,
                ERROR_HANDLE_DISK_FULL = 39, ERROR_DISK_FULL = 112, ERROR_INVALID_NAME = 123, ERROR_NEGATIVE_SEEK = 131;

namespace shim
{
inline DWORD dwLastError;
inline int nScreenDepth = 24, nStretchMode = 1;
inline BYTE screen, defaultPalette;
inline HPALETTE hSelectedPalette = &defaultPalette;
inline volatile unsigned uTouched;
// Reads every byte, as GDI would: the address sanitizer checks each read.
inline void Touch(const void* p, size_t cb)
{
    for (size_t i = 0; i < cb; i++)
        uTouched += static_cast<const BYTE*>(p)[i];
}
template <class T> T Fail(DWORD dwError, T result) { dwLastError = dwError; return result; }
// A block's size sits in the 16 bytes before it. Larger blocks fail as on a
// machine short of memory: a header that claims a huge picture costs no time
// (and the decoder's spill file stays small). A program that loads whole
// photos raises the limit.
inline size_t cbMaxBlock = 256u << 10;
constexpr size_t HEADER = 16;
// Files live in memory: a reader may read on at its end many thousand times,
// which as system calls would cost most of the time.
inline std::map<std::string, std::string> files;
struct File { std::string* pData; size_t nPosition; };
inline File& Of(HANDLE h) { return *static_cast<File*>(h); }
} // namespace shim

inline DWORD GetLastError() { return shim::dwLastError; }
inline void SetLastError(DWORD dwError) { shim::dwLastError = dwError; }

inline HGLOBAL GlobalAlloc(UINT, size_t cb)
{
    size_t* p = cb <= shim::cbMaxBlock ? static_cast<size_t*>(std::calloc(1, shim::HEADER + cb)) : nullptr;
    return p != nullptr ? (*p = cb, p) : nullptr;
}
inline void* GlobalLock(HGLOBAL h) { return h != nullptr ? static_cast<BYTE*>(h) + shim::HEADER : nullptr; }
inline BOOL GlobalUnlock(HGLOBAL) { return FALSE; }
inline HGLOBAL GlobalFree(HGLOBAL h) { std::free(h); return nullptr; }
inline HGLOBAL GlobalHandle(const void* p) { return p != nullptr ? (BYTE*)p - shim::HEADER : nullptr; }
inline size_t GlobalSize(HGLOBAL h) { return h != nullptr ? *static_cast<size_t*>(h) : 0; }

inline HANDLE CreateFileA(LPCSTR pszName, DWORD, DWORD, void*, DWORD dwCreation, DWORD, HANDLE)
{
    if (dwCreation == CREATE_ALWAYS)
        shim::files[pszName].clear();
    const auto it = shim::files.find(pszName);
    if (it == shim::files.end())
        return shim::Fail(ERROR_FILE_NOT_FOUND, INVALID_HANDLE_VALUE);
    return new shim::File{ &it->second, 0 };
}
inline BOOL ReadFile(HANDLE h, void* pBuffer, DWORD cb, DWORD* pcbDone, void*)
{
    shim::File& file = shim::Of(h);
    const std::string& data = *file.pData;
    *pcbDone = file.nPosition < data.size() ? DWORD(data.copy(static_cast<char*>(pBuffer), cb, file.nPosition)) : 0;
    file.nPosition += *pcbDone;
    return TRUE;
}
inline BOOL WriteFile(HANDLE h, const void* pBuffer, DWORD cb, DWORD* pcbDone, void*)
{
    shim::File& file = shim::Of(h);
    file.pData->resize(std::max(file.pData->size(), file.nPosition + cb));
    file.pData->replace(file.nPosition, cb, static_cast<const char*>(pBuffer), cb);
    file.nPosition += cb;
    *pcbDone = cb;
    return TRUE;
}
// The framework always passes the high-order half.
inline DWORD SetFilePointer(HANDLE h, LONG lDistance, LONG* plHigh, DWORD dwMethod)
{
    shim::File& file = shim::Of(h);
    const size_t nBase = dwMethod == 1 ? file.nPosition : dwMethod == 2 ? file.pData->size() : 0;
    const long long llTarget = (long long)nBase + (long long)(ULONGLONG(DWORD(*plHigh)) << 32 | DWORD(lDistance));
    if (llTarget < 0)
        return shim::Fail(ERROR_NEGATIVE_SEEK, 0xFFFFFFFFu);
    file.nPosition = size_t(llTarget);
    *plHigh = LONG(llTarget >> 32);
    return DWORD(llTarget);
}
inline DWORD GetFileSize(HANDLE h, DWORD* pdwHigh)
{
    const ULONGLONG ullSize = shim::Of(h).pData->size();
    *pdwHigh = DWORD(ullSize >> 32);
    return DWORD(ullSize);
}
inline BOOL FlushFileBuffers(HANDLE) { return TRUE; }
inline BOOL CloseHandle(HANDLE h) { delete &shim::Of(h); return TRUE; }
inline BOOL DeleteFileA(LPCSTR pszName)
{
    return shim::files.erase(pszName) > 0 || shim::Fail(ERROR_FILE_NOT_FOUND, FALSE);
}
inline DWORD GetTempPathA(DWORD, LPSTR pszBuffer) { return DWORD(std::strlen(std::strcpy(pszBuffer, "/tmp/"))); }
inline UINT GetTempFileNameA(LPCSTR pszPath, LPCSTR pszPrefix, UINT, LPSTR pszTempFile)
{
    static unsigned uNext;
    return UINT(std::snprintf(pszTempFile, MAX_PATH, "%s%s%u.tmp", pszPath, pszPrefix, ++uNext) > 0);
}

// No wide file functions: a marked path fails to open, as on Windows 95.
typedef void* HMODULE; typedef wchar_t WCHAR; typedef const WCHAR* LPCWSTR; typedef void* LPSECURITY_ATTRIBUTES;
#define WINAPI
constexpr UINT CP_ACP = 0, CP_UTF8 = 65001;
inline HMODULE GetModuleHandleA(LPCSTR) { return nullptr; }
inline void (*GetProcAddress(HMODULE, LPCSTR))() { return nullptr; }
inline int MultiByteToWideChar(UINT, DWORD, LPCSTR, int, WCHAR*, int) { return 0; }
inline int WideCharToMultiByte(UINT, DWORD, LPCWSTR, int, LPSTR, int, LPCSTR, BOOL*) { return 0; }
struct OSVERSIONINFOA { DWORD dwOSVersionInfoSize, dwMajorVersion, dwMinorVersion, dwBuildNumber, dwPlatformId; };
constexpr DWORD VER_PLATFORM_WIN32_WINDOWS = 1;
inline BOOL GetVersionExA(OSVERSIONINFOA*) { return FALSE; }

inline HDC GetDC(HANDLE) { return &shim::screen; }
inline int ReleaseDC(HANDLE, HDC) { return 1; }
inline int GetDeviceCaps(HDC, int nIndex) { return nIndex == BITSPIXEL ? shim::nScreenDepth : 1; }
inline HPALETTE CreatePalette(const LOGPALETTE* pLog)
{
    shim::Touch(pLog->palPalEntry, sizeof(PALETTEENTRY) * pLog->palNumEntries);
    return pLog->palNumEntries != 0 ? new char : nullptr;
}
inline HPALETTE CreateHalftonePalette(HDC) { return new char; }
inline BOOL DeleteObject(HGDIOBJ hObject) { delete static_cast<char*>(hObject); return TRUE; }
inline HPALETTE SelectPalette(HDC, HPALETTE h, BOOL) { std::swap(h, shim::hSelectedPalette); return h; }
inline UINT RealizePalette(HDC) { return 0; }
inline int GetStretchBltMode(HDC) { return shim::nStretchMode; }
inline int SetStretchBltMode(HDC, int nMode) { std::swap(nMode, shim::nStretchMode); return nMode; }
inline int StretchDIBits(HDC, int, int, int, int, int, int, int, int, const void* pBits, const BITMAPINFO* pInfo,
                         UINT, DWORD)
{
    if (pBits == nullptr || pInfo == nullptr)
        return 0;
    const BITMAPINFOHEADER& h = pInfo->bmiHeader;
    shim::Touch(&h, std::min<size_t>(h.biSize, sizeof(h)));
    if (h.biSize != sizeof(h) || h.biWidth <= 0 || h.biHeight == 0)
        return 0;
    size_t cColors = h.biCompression == BI_BITFIELDS ? 3 : h.biClrUsed;
    if (cColors == 0 && h.biBitCount <= 8)
        cColors = size_t(1) << h.biBitCount;
    shim::Touch(pInfo->bmiColors, std::min<size_t>(cColors, 256) * sizeof(RGBQUAD));
    const long long llRows = h.biHeight < 0 ? -(long long)h.biHeight : h.biHeight;
    const long long llRowBytes = ((long long)h.biWidth * h.biBitCount + 31) / 32 * 4;
    const bool bRle = h.biCompression == BI_RLE8 || h.biCompression == BI_RLE4;
    shim::Touch(pBits, bRle ? h.biSizeImage : size_t(llRowBytes * llRows));
    return int(llRows);
}
// For the framework's other wrappers: nothing on this build draws with them.
inline HGDIOBJ SelectObject(HDC, HGDIOBJ) { return nullptr; }
inline int FillRect(HDC, const RECT*, HBRUSH) { return 1; }
inline int SetBkMode(HDC, int) { return 1; }
inline COLORREF SetTextColor(HDC, COLORREF) { return 0; }
HBRUSH CreateSolidBrush(COLORREF);
HFONT CreateFontIndirectA(const LOGFONTA*);

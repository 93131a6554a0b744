// The part of the Win32 interface that the image library, the framework
// classes it builds on and the display-image routine call, for a Linux build
// of them under the sanitizers and the fuzzer. Test-only: never shipped.
//
// Memory blocks come from the C heap (zero-filled, at most 256 KB each);
// files are POSIX files, or in-memory files registered with
// ShimSetMemoryFile; the screen answers the depth set with
// ShimSetScreenDepth; palettes are small heap records; StretchDIBits reads
// every byte that GDI would read, and draws nothing.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

typedef int BOOL;
typedef unsigned char BYTE;
typedef unsigned short WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef uint64_t ULONGLONG;
typedef int64_t LONGLONG;
typedef size_t SIZE_T;
typedef unsigned int UINT;
typedef const char* LPCSTR;
typedef char* LPSTR;
typedef intptr_t INT_PTR;
typedef DWORD COLORREF;
typedef void *HANDLE, *HGLOBAL, *HDC, *HGDIOBJ, *HPALETTE, *HBRUSH, *HFONT;

#define TRUE 1
#define FALSE 0
#define INVALID_HANDLE_VALUE ((HANDLE)(intptr_t)-1)

struct RECT { LONG left, top, right, bottom; };
struct RGBQUAD { BYTE rgbBlue, rgbGreen, rgbRed, rgbReserved; };
struct BITMAPINFOHEADER
{
    DWORD biSize;
    LONG biWidth, biHeight;
    WORD biPlanes, biBitCount;
    DWORD biCompression, biSizeImage;
    LONG biXPelsPerMeter, biYPelsPerMeter;
    DWORD biClrUsed, biClrImportant;
};
struct BITMAPINFO { BITMAPINFOHEADER bmiHeader; RGBQUAD bmiColors[1]; };
struct PALETTEENTRY { BYTE peRed, peGreen, peBlue, peFlags; };
struct LOGPALETTE { WORD palVersion, palNumEntries; PALETTEENTRY palPalEntry[1]; };
struct LOGFONTA;

constexpr DWORD BI_RGB = 0, BI_RLE8 = 1, BI_RLE4 = 2, BI_BITFIELDS = 3, DIB_RGB_COLORS = 0, SRCCOPY = 0x00CC0020;
constexpr int HALFTONE = 4, PLANES = 14, BITSPIXEL = 12, ETO_OPAQUE = 2, MAX_PATH = 260;
constexpr UINT GMEM_MOVEABLE = 0x0002, GMEM_ZEROINIT = 0x0040;
constexpr DWORD GENERIC_READ = 0x80000000u, GENERIC_WRITE = 0x40000000u, FILE_SHARE_READ = 1, FILE_SHARE_DELETE = 4;
constexpr DWORD CREATE_ALWAYS = 2, OPEN_EXISTING = 3, FILE_ATTRIBUTE_NORMAL = 0x80, FILE_CURRENT = 1;
constexpr DWORD ERROR_SUCCESS = 0, NO_ERROR = 0, ERROR_FILE_NOT_FOUND = 2, ERROR_PATH_NOT_FOUND = 3,
                ERROR_ACCESS_DENIED = 5, ERROR_INVALID_HANDLE = 6, ERROR_SEEK = 25, ERROR_SHARING_VIOLATION = 32,
                ERROR_LOCK_VIOLATION = 33, ERROR_HANDLE_DISK_FULL = 39, ERROR_DISK_FULL = 112,
                ERROR_INVALID_NAME = 123, ERROR_NEGATIVE_SEEK = 131;

// The shim's own state.
namespace shim
{
inline thread_local DWORD dwLastError;
// Records the error for GetLastError and gives the failure result.
template <class T = BOOL>
T Fail(DWORD dwError, T result = FALSE)
{
    dwLastError = dwError;
    return result;
}

// A memory block's size sits in the 16 bytes in front of it (which keep it
// 16-byte aligned). Larger blocks than MAX_BLOCK fail as on a machine short
// of memory: a fuzzed header that claims a huge picture costs no time, and
// the failure paths get exercised. A quarter megabyte still holds a picture
// of 290 x 290 true-colour pixels; decoding larger ones only costs time per
// input, through the same code. (fuzz.sh lowers the JPEG decoder's ceiling
// below it with JPEGMEM, so that the decoder's spill file stays reachable.)
constexpr size_t MAX_BLOCK = 256u << 10, BLOCK_HEADER = 16;

// An open file: a POSIX file, or bytes registered under a name.
struct File
{
    int fd;             // -1 for a memory file
    const BYTE* pData;  // a memory file's bytes
    size_t cbData;
    long long llPosition;
};
inline std::map<std::string, File> memoryFiles;
inline long long SizeOf(const File& file)
{
    struct stat status;
    return file.fd < 0 ? static_cast<long long>(file.cbData) : ::fstat(file.fd, &status) == 0 ? status.st_size : -1;
}

inline int nScreenDepth = 24, nStretchMode = 1;
inline BYTE screenDC, defaultPalette;
inline HPALETTE hSelectedPalette = &defaultPalette;
// Every GDI object is a small heap record, so that a leak or a double
// delete shows up under the address sanitizer.
struct GdiObject {};
inline volatile unsigned uTouched; // keeps the checking reads
inline void Touch(const void* p, size_t cb)
{
    unsigned uSum = 0;
    for (size_t i = 0; i < cb; i++)
        uSum += static_cast<const BYTE*>(p)[i];
    uTouched += uSum;
}
} // namespace shim

inline DWORD GetLastError() { return shim::dwLastError; }
inline void SetLastError(DWORD dwError) { shim::dwLastError = dwError; }

// ---- Memory -------------------------------------------------------------

inline HGLOBAL GlobalAlloc(UINT, size_t cb)
{
    size_t* p = cb <= shim::MAX_BLOCK ? static_cast<size_t*>(std::calloc(1, shim::BLOCK_HEADER + cb)) : nullptr;
    if (p != nullptr)
        *p = cb;
    return p;
}
inline void* GlobalLock(HGLOBAL hMem) { return hMem != nullptr ? static_cast<BYTE*>(hMem) + shim::BLOCK_HEADER : hMem; }
inline BOOL GlobalUnlock(HGLOBAL) { return FALSE; } // no lock count is kept
inline HGLOBAL GlobalFree(HGLOBAL hMem) { std::free(hMem); return nullptr; }
inline HGLOBAL GlobalHandle(const void* pMem)
{
    return pMem != nullptr ? const_cast<BYTE*>(static_cast<const BYTE*>(pMem)) - shim::BLOCK_HEADER : nullptr;
}
inline size_t GlobalSize(HGLOBAL hMem) { return hMem != nullptr ? *static_cast<size_t*>(hMem) : 0; }

// ---- Files ---------------------------------------------------------------

// Makes pszName open as a read-only file holding the given bytes (not
// copied; they must outlive every open of the name).
inline void ShimSetMemoryFile(LPCSTR pszName, const BYTE* pData, size_t cbData)
{
    shim::memoryFiles[pszName] = shim::File{ -1, pData, cbData, 0 };
}

inline HANDLE CreateFileA(LPCSTR pszName, DWORD dwAccess, DWORD, void*, DWORD dwCreation, DWORD, HANDLE)
{
    auto it = shim::memoryFiles.find(pszName);
    if (it != shim::memoryFiles.end())
        return (dwAccess & GENERIC_WRITE) ? shim::Fail(ERROR_ACCESS_DENIED, INVALID_HANDLE_VALUE)
                                          : new shim::File(it->second);
    int flags = (dwAccess & GENERIC_WRITE) ? ((dwAccess & GENERIC_READ) ? O_RDWR : O_WRONLY) : O_RDONLY;
    if (dwCreation == CREATE_ALWAYS)
        flags |= O_CREAT | O_TRUNC;
    const int fd = ::open(pszName, flags, 0600);
    if (fd < 0)
        return shim::Fail(errno == ENOENT ? ERROR_FILE_NOT_FOUND : ERROR_ACCESS_DENIED, INVALID_HANDLE_VALUE);
    return new shim::File{ fd, nullptr, 0, 0 };
}

inline BOOL ReadFile(HANDLE hFile, void* pBuffer, DWORD cbToRead, DWORD* pcbRead, void*)
{
    shim::File& file = *static_cast<shim::File*>(hFile);
    *pcbRead = 0;
    ssize_t cb = 0;
    if (file.fd >= 0)
        cb = ::pread(file.fd, pBuffer, cbToRead, file.llPosition);
    else if (file.llPosition < static_cast<long long>(file.cbData))
    {
        cb = static_cast<ssize_t>(std::min<size_t>(cbToRead, file.cbData - static_cast<size_t>(file.llPosition)));
        std::memcpy(pBuffer, file.pData + file.llPosition, static_cast<size_t>(cb));
    }
    if (cb < 0)
        return shim::Fail(ERROR_ACCESS_DENIED);
    file.llPosition += cb;
    *pcbRead = static_cast<DWORD>(cb);
    return TRUE;
}

inline BOOL WriteFile(HANDLE hFile, const void* pBuffer, DWORD cbToWrite, DWORD* pcbWritten, void*)
{
    shim::File& file = *static_cast<shim::File*>(hFile);
    *pcbWritten = 0;
    if (file.fd < 0)
        return shim::Fail(ERROR_ACCESS_DENIED);
    const ssize_t cb = ::pwrite(file.fd, pBuffer, cbToWrite, file.llPosition);
    if (cb < 0)
        return shim::Fail(ERROR_DISK_FULL);
    file.llPosition += cb;
    *pcbWritten = static_cast<DWORD>(cb);
    return TRUE;
}

// Failures answer all bits set with the error set; a success sets no error.
// The framework always passes the high-order halves.
inline DWORD SetFilePointer(HANDLE hFile, LONG lDistance, LONG* plDistanceHigh, DWORD dwMethod)
{
    shim::File& file = *static_cast<shim::File*>(hFile);
    const long long llBase = dwMethod == 1 ? file.llPosition : dwMethod == 2 ? shim::SizeOf(file) : 0;
    const unsigned long long ullDistance = static_cast<unsigned long long>(*plDistanceHigh) << 32 | DWORD(lDistance);
    const long long llTarget = llBase + static_cast<long long>(ullDistance);
    if (llTarget < 0)
        return shim::Fail(ERROR_NEGATIVE_SEEK, 0xFFFFFFFFu);
    file.llPosition = llTarget;
    *plDistanceHigh = static_cast<LONG>(llTarget >> 32);
    return static_cast<DWORD>(llTarget);
}

inline DWORD GetFileSize(HANDLE hFile, DWORD* pdwSizeHigh)
{
    const long long llSize = shim::SizeOf(*static_cast<shim::File*>(hFile));
    if (llSize < 0)
        return shim::Fail(ERROR_INVALID_HANDLE, 0xFFFFFFFFu);
    *pdwSizeHigh = static_cast<DWORD>(static_cast<unsigned long long>(llSize) >> 32);
    return static_cast<DWORD>(llSize);
}

inline BOOL FlushFileBuffers(HANDLE) { return TRUE; }

inline BOOL CloseHandle(HANDLE hObject)
{
    shim::File* pFile = static_cast<shim::File*>(hObject);
    if (pFile->fd >= 0)
        ::close(pFile->fd);
    delete pFile;
    return TRUE;
}

inline BOOL DeleteFileA(LPCSTR pszName) { return ::unlink(pszName) == 0 ? TRUE : shim::Fail(ERROR_FILE_NOT_FOUND); }

inline DWORD GetTempPathA(DWORD cchBuffer, LPSTR pszBuffer)
{
    const char* pszDir = std::getenv("TMPDIR");
    const std::string strDir = std::string(pszDir != nullptr ? pszDir : "/tmp") + "/";
    if (strDir.size() + 1 > cchBuffer)
        return static_cast<DWORD>(strDir.size() + 1);
    std::memcpy(pszBuffer, strDir.c_str(), strDir.size() + 1);
    return static_cast<DWORD>(strDir.size());
}

inline UINT GetTempFileNameA(LPCSTR pszPath, LPCSTR pszPrefix, UINT, LPSTR pszTempFile)
{
    std::string strTemplate = std::string(pszPath) + std::string(pszPrefix).substr(0, 3) + "XXXXXX";
    if (strTemplate.size() + 1 > MAX_PATH)
        return shim::Fail(ERROR_INVALID_NAME, 0u);
    const int fd = ::mkstemp(&strTemplate[0]);
    if (fd < 0)
        return shim::Fail(ERROR_ACCESS_DENIED, 0u);
    ::close(fd);
    std::memcpy(pszTempFile, strTemplate.c_str(), strTemplate.size() + 1);
    return 1;
}

// ---- The screen and GDI --------------------------------------------------

inline void ShimSetScreenDepth(int nBitsPerPixel) { shim::nScreenDepth = nBitsPerPixel; }
inline HDC GetDC(HANDLE) { return &shim::screenDC; }
inline int ReleaseDC(HANDLE, HDC) { return 1; }
inline int GetDeviceCaps(HDC, int nIndex) { return nIndex == BITSPIXEL ? shim::nScreenDepth : 1; }

inline HPALETTE CreatePalette(const LOGPALETTE* pLogPalette)
{
    if (pLogPalette->palNumEntries == 0)
        return shim::Fail(ERROR_INVALID_HANDLE, HPALETTE(nullptr));
    shim::Touch(pLogPalette->palPalEntry, sizeof(PALETTEENTRY) * pLogPalette->palNumEntries);
    return new shim::GdiObject;
}
inline HPALETTE CreateHalftonePalette(HDC) { return new shim::GdiObject; }
inline BOOL DeleteObject(HGDIOBJ hObject) { delete static_cast<shim::GdiObject*>(hObject); return TRUE; }

inline HPALETTE SelectPalette(HDC, HPALETTE hPalette, BOOL)
{
    HPALETTE hPrevious = shim::hSelectedPalette;
    shim::hSelectedPalette = hPalette;
    return hPrevious;
}
inline UINT RealizePalette(HDC) { return 0; }
inline int GetStretchBltMode(HDC) { return shim::nStretchMode; }
inline int SetStretchBltMode(HDC, int nMode)
{
    const int nPrevious = shim::nStretchMode;
    shim::nStretchMode = nMode;
    return nPrevious;
}

// Reads the header, the colour table and the pixel data as GDI reads them
// for a picture of this header.
inline int StretchDIBits(HDC, int, int, int, int, int, int, int, int, const void* pBits, const BITMAPINFO* pInfo,
                         UINT, DWORD)
{
    if (pBits == nullptr || pInfo == nullptr)
        return 0;
    const BITMAPINFOHEADER& header = pInfo->bmiHeader;
    shim::Touch(&header, header.biSize < sizeof(header) ? header.biSize : sizeof(header));
    if (header.biSize != sizeof(BITMAPINFOHEADER) || header.biWidth <= 0 || header.biHeight == 0)
        return 0;

    size_t cEntries = header.biClrUsed;
    if (header.biCompression == BI_BITFIELDS)
        cEntries = 3;
    else if (cEntries == 0 && header.biBitCount <= 8)
        cEntries = size_t(1) << header.biBitCount;
    shim::Touch(pInfo->bmiColors, (cEntries > 256 ? 256 : cEntries) * sizeof(RGBQUAD));

    const long long llHeight = header.biHeight < 0 ? -static_cast<long long>(header.biHeight) : header.biHeight;
    const long long llRow = ((static_cast<long long>(header.biWidth) * header.biBitCount + 31) / 32) * 4;
    const bool bRle = header.biCompression == BI_RLE8 || header.biCompression == BI_RLE4;
    shim::Touch(pBits, bRle ? header.biSizeImage : static_cast<size_t>(llRow * llHeight));
    return header.biHeight < 0 ? -header.biHeight : header.biHeight;
}

// The framework's other GDI wrappers: nothing on this build draws with them.
inline HGDIOBJ SelectObject(HDC, HGDIOBJ) { return nullptr; }
inline int SetBkMode(HDC, int) { return 1; }
inline COLORREF SetBkColor(HDC, COLORREF) { return 0; }
inline COLORREF SetTextColor(HDC, COLORREF) { return 0; }
inline BOOL ExtTextOutA(HDC, int, int, UINT, const RECT*, LPCSTR, UINT, const int*) { return TRUE; }
HBRUSH CreateSolidBrush(COLORREF); // declared only: nothing here calls them
HFONT CreateFontIndirectA(const LOGFONTA*);

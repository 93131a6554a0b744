// The Win32 calls of the framework's file and GDI classes and of the image
// library, over the C library and POSIX, for the sanitizer and fuzzer build.
#include <windows.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

static thread_local DWORD s_dwLastError;

DWORD GetLastError()
{
    return s_dwLastError;
}

void SetLastError(DWORD dwError)
{
    s_dwLastError = dwError;
}

// Records the error for GetLastError and gives the failure result.
template <class T>
static T Fail(DWORD dwError, T result)
{
    s_dwLastError = dwError;
    return result;
}

static BOOL Fail(DWORD dwError)
{
    return Fail(dwError, FALSE);
}

// ---- Memory blocks: the size sits in front of the block ------------------

struct BlockHeader
{
    size_t cb;
    size_t reserved; // keeps the block 16-byte aligned
};

// Larger blocks fail as on a machine short of memory: a fuzzed header that
// claims a huge picture costs no time, and the failure paths get exercised.
// A quarter megabyte still holds a picture of 290 x 290 true-colour pixels;
// decoding larger ones only costs time per input, through the same code.
// (fuzz.sh lowers the JPEG decoder's ceiling below it with JPEGMEM, so that
// the decoder's spill file stays reachable.)
static const size_t MAX_BLOCK = 256u << 10;

HGLOBAL GlobalAlloc(UINT, size_t cb)
{
    if (cb > MAX_BLOCK)
        return nullptr;
    void* p = std::calloc(1, sizeof(BlockHeader) + cb);
    if (p == nullptr)
        return nullptr;
    static_cast<BlockHeader*>(p)->cb = cb;
    return p;
}

void* GlobalLock(HGLOBAL hMem)
{
    return hMem != nullptr ? static_cast<BlockHeader*>(hMem) + 1 : nullptr;
}

BOOL GlobalUnlock(HGLOBAL)
{
    return FALSE; // no lock count is kept
}

HGLOBAL GlobalFree(HGLOBAL hMem)
{
    std::free(hMem);
    return nullptr;
}

HGLOBAL GlobalHandle(const void* pMem)
{
    return pMem != nullptr ? const_cast<BlockHeader*>(static_cast<const BlockHeader*>(pMem) - 1) : nullptr;
}

size_t GlobalSize(HGLOBAL hMem)
{
    return hMem != nullptr ? static_cast<BlockHeader*>(hMem)->cb : 0;
}

// ---- Files: POSIX files, or bytes registered under a name ----------------

struct MemoryFile
{
    const BYTE* pData;
    size_t cbData;
};

static std::map<std::string, MemoryFile>& MemoryFiles()
{
    static std::map<std::string, MemoryFile> files;
    return files;
}

void ShimSetMemoryFile(LPCSTR pszName, const BYTE* pData, size_t cbData)
{
    MemoryFiles()[pszName] = MemoryFile{ pData, cbData };
}

struct OpenFile
{
    int fd;              // -1 for a memory file
    MemoryFile memory;
    long long llPosition; // memory files only
};

static OpenFile* AsFile(HANDLE hFile)
{
    return static_cast<OpenFile*>(hFile);
}

HANDLE CreateFileA(LPCSTR pszName, DWORD dwAccess, DWORD, void*, DWORD dwCreation, DWORD, HANDLE)
{
    auto it = MemoryFiles().find(pszName);
    if (it != MemoryFiles().end())
    {
        if (dwAccess & GENERIC_WRITE)
            return Fail(ERROR_ACCESS_DENIED, INVALID_HANDLE_VALUE);
        return new OpenFile{ -1, it->second, 0 };
    }
    int flags = (dwAccess & GENERIC_WRITE) ? ((dwAccess & GENERIC_READ) ? O_RDWR : O_WRONLY) : O_RDONLY;
    if (dwCreation == CREATE_ALWAYS)
        flags |= O_CREAT | O_TRUNC;
    const int fd = ::open(pszName, flags, 0600);
    if (fd < 0)
        return Fail(errno == ENOENT ? ERROR_FILE_NOT_FOUND : ERROR_ACCESS_DENIED, INVALID_HANDLE_VALUE);
    return new OpenFile{ fd, MemoryFile{ nullptr, 0 }, 0 };
}

BOOL ReadFile(HANDLE hFile, void* pBuffer, DWORD cbToRead, DWORD* pcbRead, void*)
{
    OpenFile* pFile = AsFile(hFile);
    *pcbRead = 0;
    if (pFile->fd < 0)
    {
        const size_t cbData = pFile->memory.cbData;
        if (pFile->llPosition >= static_cast<long long>(cbData))
            return TRUE;
        size_t cb = cbData - static_cast<size_t>(pFile->llPosition);
        if (cb > cbToRead)
            cb = cbToRead;
        std::memcpy(pBuffer, pFile->memory.pData + pFile->llPosition, cb);
        pFile->llPosition += static_cast<long long>(cb);
        *pcbRead = static_cast<DWORD>(cb);
        return TRUE;
    }
    const ssize_t cb = ::read(pFile->fd, pBuffer, cbToRead);
    if (cb < 0)
        return Fail(ERROR_ACCESS_DENIED);
    *pcbRead = static_cast<DWORD>(cb);
    return TRUE;
}

BOOL WriteFile(HANDLE hFile, const void* pBuffer, DWORD cbToWrite, DWORD* pcbWritten, void*)
{
    OpenFile* pFile = AsFile(hFile);
    *pcbWritten = 0;
    if (pFile->fd < 0)
        return Fail(ERROR_ACCESS_DENIED);
    const ssize_t cb = ::write(pFile->fd, pBuffer, cbToWrite);
    if (cb < 0)
        return Fail(ERROR_DISK_FULL);
    *pcbWritten = static_cast<DWORD>(cb);
    return TRUE;
}

static long long FileSize(const OpenFile* pFile)
{
    if (pFile->fd < 0)
        return static_cast<long long>(pFile->memory.cbData);
    struct stat status;
    return ::fstat(pFile->fd, &status) == 0 ? status.st_size : -1;
}

// Failures answer all bits set with the error set; a success sets no error.
DWORD SetFilePointer(HANDLE hFile, LONG lDistance, LONG* plDistanceHigh, DWORD dwMethod)
{
    OpenFile* pFile = AsFile(hFile);
    long long llBase = 0;
    if (dwMethod == 1)
        llBase = pFile->fd < 0 ? pFile->llPosition : ::lseek(pFile->fd, 0, SEEK_CUR);
    else if (dwMethod == 2)
        llBase = FileSize(pFile);
    const long long llDistance = plDistanceHigh != nullptr
                                     ? static_cast<long long>((static_cast<unsigned long long>(*plDistanceHigh) << 32) |
                                                              static_cast<DWORD>(lDistance))
                                     : lDistance;
    const long long llTarget = llBase + llDistance;
    if (llTarget < 0)
        return Fail(ERROR_NEGATIVE_SEEK, 0xFFFFFFFFu);
    if (pFile->fd < 0)
        pFile->llPosition = llTarget;
    else if (::lseek(pFile->fd, llTarget, SEEK_SET) < 0)
        return Fail(ERROR_SEEK, 0xFFFFFFFFu);
    if (plDistanceHigh != nullptr)
        *plDistanceHigh = static_cast<LONG>(llTarget >> 32);
    return static_cast<DWORD>(llTarget);
}

DWORD GetFileSize(HANDLE hFile, DWORD* pdwSizeHigh)
{
    const long long llSize = FileSize(AsFile(hFile));
    if (llSize < 0)
        return Fail(ERROR_INVALID_HANDLE, 0xFFFFFFFFu);
    if (pdwSizeHigh != nullptr)
        *pdwSizeHigh = static_cast<DWORD>(static_cast<unsigned long long>(llSize) >> 32);
    return static_cast<DWORD>(llSize);
}

BOOL FlushFileBuffers(HANDLE)
{
    return TRUE;
}

BOOL CloseHandle(HANDLE hObject)
{
    OpenFile* pFile = AsFile(hObject);
    if (pFile->fd >= 0)
        ::close(pFile->fd);
    delete pFile;
    return TRUE;
}

BOOL DeleteFileA(LPCSTR pszName)
{
    return ::unlink(pszName) == 0 ? TRUE : Fail(ERROR_FILE_NOT_FOUND);
}

DWORD GetTempPathA(DWORD cchBuffer, LPSTR pszBuffer)
{
    const char* pszDir = std::getenv("TMPDIR");
    const std::string strDir = std::string(pszDir != nullptr ? pszDir : "/tmp") + "/";
    if (strDir.size() + 1 > cchBuffer)
        return static_cast<DWORD>(strDir.size() + 1);
    std::memcpy(pszBuffer, strDir.c_str(), strDir.size() + 1);
    return static_cast<DWORD>(strDir.size());
}

UINT GetTempFileNameA(LPCSTR pszPath, LPCSTR pszPrefix, UINT, LPSTR pszTempFile)
{
    std::string strTemplate = std::string(pszPath) + std::string(pszPrefix).substr(0, 3) + "XXXXXX";
    if (strTemplate.size() + 1 > MAX_PATH)
        return Fail(ERROR_INVALID_NAME, 0u);
    const int fd = ::mkstemp(&strTemplate[0]);
    if (fd < 0)
        return Fail(ERROR_ACCESS_DENIED, 0u);
    ::close(fd);
    std::memcpy(pszTempFile, strTemplate.c_str(), strTemplate.size() + 1);
    return 1;
}

// ---- The screen and GDI --------------------------------------------------

static int s_nScreenDepth = 24;

void ShimSetScreenDepth(int nBitsPerPixel)
{
    s_nScreenDepth = nBitsPerPixel;
}

static BYTE s_screenDC;

HDC GetDC(HWND)
{
    return &s_screenDC;
}

int ReleaseDC(HWND, HDC)
{
    return 1;
}

int GetDeviceCaps(HDC, int nIndex)
{
    return nIndex == BITSPIXEL ? s_nScreenDepth : 1;
}

// Every GDI object is a small heap record, so that a leak or a double
// delete shows up under the address sanitizer.
struct GdiObject
{
    int nKind;
};

static volatile unsigned s_uTouched; // keeps the checking reads

static void Touch(const void* p, size_t cb)
{
    const BYTE* pb = static_cast<const BYTE*>(p);
    unsigned uSum = 0;
    for (size_t i = 0; i < cb; i++)
        uSum += pb[i];
    s_uTouched += uSum;
}

HPALETTE CreatePalette(const LOGPALETTE* pLogPalette)
{
    if (pLogPalette->palNumEntries == 0)
        return Fail(ERROR_INVALID_HANDLE, static_cast<HPALETTE>(nullptr));
    Touch(pLogPalette->palPalEntry, sizeof(PALETTEENTRY) * pLogPalette->palNumEntries);
    return new GdiObject{ 1 };
}

HPALETTE CreateHalftonePalette(HDC)
{
    return new GdiObject{ 1 };
}

BOOL DeleteObject(HGDIOBJ hObject)
{
    delete static_cast<GdiObject*>(hObject);
    return TRUE;
}

static BYTE s_defaultPalette;
static HPALETTE s_hSelectedPalette = &s_defaultPalette;

HPALETTE SelectPalette(HDC, HPALETTE hPalette, BOOL)
{
    HPALETTE hPrevious = s_hSelectedPalette;
    s_hSelectedPalette = hPalette;
    return hPrevious;
}

UINT RealizePalette(HDC)
{
    return 0;
}

static int s_nStretchMode = 1;

int GetStretchBltMode(HDC)
{
    return s_nStretchMode;
}

int SetStretchBltMode(HDC, int nMode)
{
    const int nPrevious = s_nStretchMode;
    s_nStretchMode = nMode;
    return nPrevious;
}

// Reads the header, the colour table and the pixel data as GDI reads them
// for a picture of this header.
int StretchDIBits(HDC, int, int, int, int, int, int, int, int, const void* pBits, const BITMAPINFO* pInfo, UINT,
                  DWORD)
{
    if (pBits == nullptr || pInfo == nullptr)
        return 0;
    const BITMAPINFOHEADER& header = pInfo->bmiHeader;
    Touch(&header, header.biSize < sizeof(header) ? header.biSize : sizeof(header));
    if (header.biSize != sizeof(BITMAPINFOHEADER) || header.biWidth <= 0 || header.biHeight == 0)
        return 0;

    size_t cEntries = header.biClrUsed;
    if (header.biCompression == BI_BITFIELDS)
        cEntries = 3;
    else if (cEntries == 0 && header.biBitCount <= 8)
        cEntries = size_t(1) << header.biBitCount;
    if (cEntries > 256)
        cEntries = 256;
    Touch(pInfo->bmiColors, cEntries * sizeof(RGBQUAD));

    if (header.biCompression == BI_RLE8 || header.biCompression == BI_RLE4)
        Touch(pBits, header.biSizeImage);
    else
    {
        const long long llHeight = header.biHeight < 0 ? -static_cast<long long>(header.biHeight) : header.biHeight;
        const long long llRow = ((static_cast<long long>(header.biWidth) * header.biBitCount + 31) / 32) * 4;
        Touch(pBits, static_cast<size_t>(llRow * llHeight));
    }
    return header.biHeight < 0 ? -header.biHeight : header.biHeight;
}

HBRUSH CreateSolidBrush(COLORREF)
{
    return new GdiObject{ 2 };
}

HFONT CreateFontIndirectA(const LOGFONTA*)
{
    return new GdiObject{ 3 };
}

HGDIOBJ SelectObject(HDC, HGDIOBJ)
{
    return nullptr;
}

int SetBkMode(HDC, int)
{
    return 1;
}

COLORREF SetBkColor(HDC, COLORREF)
{
    return 0;
}

COLORREF SetTextColor(HDC, COLORREF)
{
    return 0;
}

BOOL ExtTextOutA(HDC, int, int, UINT, const RECT*, LPCSTR, UINT, const int*)
{
    return TRUE;
}

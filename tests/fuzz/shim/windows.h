// The part of the Win32 interface that the framework's file and GDI
// classes and the image library use, for a Linux build of them that runs
// under the sanitizers and the fuzzer. Test-only: never shipped.
//
// Memory blocks come from the C heap (zero-filled, at most 256 KB each); files are POSIX files,
// or in-memory files registered with ShimSetMemoryFile; the screen answers
// the depth set with ShimSetScreenDepth; palettes are small heap records;
// StretchDIBits reads every byte that GDI would read, and draws nothing.
#pragma once

#include <cstddef>
#include <cstdint>

typedef int BOOL;
typedef unsigned char BYTE;
typedef unsigned short WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef uint64_t ULONGLONG;
typedef int64_t LONGLONG;
typedef size_t SIZE_T;
typedef unsigned int UINT;
typedef char CHAR;
typedef const char* LPCSTR;
typedef char* LPSTR;
typedef void* LPVOID;
typedef const void* LPCVOID;
typedef intptr_t INT_PTR;
typedef uintptr_t UINT_PTR;
typedef DWORD COLORREF;
typedef DWORD* LPDWORD;
typedef void* HANDLE;
typedef HANDLE HGLOBAL;
typedef HANDLE HDC;
typedef HANDLE HGDIOBJ;
typedef HGDIOBJ HPALETTE;
typedef HGDIOBJ HBRUSH;
typedef HGDIOBJ HFONT;
typedef HANDLE HWND;

#define TRUE 1
#define FALSE 0
#define WINAPI

struct RECT { LONG left, top, right, bottom; };

#pragma pack(push, 1)
struct RGBQUAD { BYTE rgbBlue, rgbGreen, rgbRed, rgbReserved; };
struct RGBTRIPLE { BYTE rgbtBlue, rgbtGreen, rgbtRed; };
struct BITMAPINFOHEADER
{
    DWORD biSize;
    LONG biWidth;
    LONG biHeight;
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
};
struct BITMAPCOREHEADER { DWORD bcSize; WORD bcWidth, bcHeight, bcPlanes, bcBitCount; };
struct BITMAPINFO { BITMAPINFOHEADER bmiHeader; RGBQUAD bmiColors[1]; };
#pragma pack(pop)
struct PALETTEENTRY { BYTE peRed, peGreen, peBlue, peFlags; };
struct LOGPALETTE { WORD palVersion; WORD palNumEntries; PALETTEENTRY palPalEntry[1]; };
struct LOGFONTA { LONG lfHeight; BYTE lfUnderline; CHAR lfFaceName[32]; };

#define RGB(r, g, b) ((COLORREF)(((BYTE)(r) | ((WORD)((BYTE)(g)) << 8)) | (((DWORD)(BYTE)(b)) << 16)))
#define BI_RGB 0
#define BI_RLE8 1
#define BI_RLE4 2
#define BI_BITFIELDS 3
#define DIB_RGB_COLORS 0
#define SRCCOPY 0x00CC0020
#define HALFTONE 4
#define COLORONCOLOR 3
#define PLANES 14
#define BITSPIXEL 12
#define ETO_OPAQUE 2
#define GMEM_MOVEABLE 0x0002
#define GMEM_ZEROINIT 0x0040
#define MAX_PATH 260

#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u
#define FILE_SHARE_READ 1
#define FILE_SHARE_WRITE 2
#define FILE_SHARE_DELETE 4
#define CREATE_ALWAYS 2
#define OPEN_EXISTING 3
#define FILE_ATTRIBUTE_NORMAL 0x80
#define INVALID_HANDLE_VALUE ((HANDLE)(intptr_t)-1)
#define FILE_BEGIN 0
#define FILE_CURRENT 1
#define FILE_END 2

#define ERROR_SUCCESS 0
#define NO_ERROR 0
#define ERROR_FILE_NOT_FOUND 2
#define ERROR_PATH_NOT_FOUND 3
#define ERROR_ACCESS_DENIED 5
#define ERROR_INVALID_HANDLE 6
#define ERROR_INVALID_NAME 123
#define ERROR_SHARING_VIOLATION 32
#define ERROR_LOCK_VIOLATION 33
#define ERROR_HANDLE_DISK_FULL 39
#define ERROR_NEGATIVE_SEEK 131
#define ERROR_SEEK 25
#define ERROR_DISK_FULL 112

// Memory
HGLOBAL GlobalAlloc(UINT uFlags, size_t cb);
void* GlobalLock(HGLOBAL hMem);
BOOL GlobalUnlock(HGLOBAL hMem);
HGLOBAL GlobalFree(HGLOBAL hMem);
HGLOBAL GlobalHandle(const void* pMem);
size_t GlobalSize(HGLOBAL hMem);

// Files
HANDLE CreateFileA(LPCSTR pszName, DWORD dwAccess, DWORD dwShare, void* pSecurity, DWORD dwCreation, DWORD dwFlags,
                   HANDLE hTemplate);
BOOL ReadFile(HANDLE hFile, void* pBuffer, DWORD cbToRead, DWORD* pcbRead, void* pOverlapped);
BOOL WriteFile(HANDLE hFile, const void* pBuffer, DWORD cbToWrite, DWORD* pcbWritten, void* pOverlapped);
DWORD SetFilePointer(HANDLE hFile, LONG lDistance, LONG* plDistanceHigh, DWORD dwMethod);
DWORD GetFileSize(HANDLE hFile, DWORD* pdwSizeHigh);
BOOL FlushFileBuffers(HANDLE hFile);
BOOL CloseHandle(HANDLE hObject);
BOOL DeleteFileA(LPCSTR pszName);
DWORD GetLastError();
void SetLastError(DWORD dwError);
DWORD GetTempPathA(DWORD cchBuffer, LPSTR pszBuffer);
UINT GetTempFileNameA(LPCSTR pszPath, LPCSTR pszPrefix, UINT uUnique, LPSTR pszTempFile);

// Screen and GDI
HDC GetDC(HWND hWnd);
int ReleaseDC(HWND hWnd, HDC hDC);
int GetDeviceCaps(HDC hDC, int nIndex);
HPALETTE CreatePalette(const LOGPALETTE* pLogPalette);
HPALETTE CreateHalftonePalette(HDC hDC);
BOOL DeleteObject(HGDIOBJ hObject);
HPALETTE SelectPalette(HDC hDC, HPALETTE hPalette, BOOL bForceBackground);
UINT RealizePalette(HDC hDC);
int GetStretchBltMode(HDC hDC);
int SetStretchBltMode(HDC hDC, int nMode);
int StretchDIBits(HDC hDC, int xDst, int yDst, int wDst, int hDst, int xSrc, int ySrc, int wSrc, int hSrc,
                  const void* pBits, const BITMAPINFO* pInfo, UINT uUsage, DWORD dwRop);
HBRUSH CreateSolidBrush(COLORREF crColor);
HFONT CreateFontIndirectA(const LOGFONTA* pLogFont);
HGDIOBJ SelectObject(HDC hDC, HGDIOBJ hObject);
int SetBkMode(HDC hDC, int nMode);
COLORREF SetBkColor(HDC hDC, COLORREF crColor);
COLORREF SetTextColor(HDC hDC, COLORREF crColor);
BOOL ExtTextOutA(HDC hDC, int x, int y, UINT uOptions, const RECT* pRect, LPCSTR psz, UINT cch, const int* pDx);

// Test controls
void ShimSetScreenDepth(int nBitsPerPixel);
// Makes pszName open as a read-only file holding the given bytes (not
// copied; they must outlive every open of the name).
void ShimSetMemoryFile(LPCSTR pszName, const BYTE* pData, size_t cbData);

#include "SlideShowWnd.h"

#include <shlobj.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <cwchar>

#include "../image/SECDib.h"
#include "DisplayImage.h"
#include "File.h"
#include "SystemProc.h"

static const char INI_FILE[] = "Vistel.ini"; // in the Windows directory
static const char INI_SECTION[] = "Vistel";
static const char USER_INI_FOLDER[] = "Vistel"; // in the user's application data

static const int DEFAULT_SPEED = 8;
static const int DEFAULT_RANDOM = 0;
static const COLORREF DEFAULT_BACK_COLOR = 0x804000;
static const char DEFAULT_IMAGE_PATH[] = "C:\\";

BEGIN_MESSAGE_MAP(CSlideShowWnd, CScreenSaverWnd)
    ON_WM_TIMER()
END_MESSAGE_MAP()

CSlideShowWnd::CSlideShowWnd()
    : m_nSpeed(DEFAULT_SPEED), m_bRandom(0), m_crBackColor(0), m_strImagePath("C:\\images\\"), m_nSequence(0),
      m_dwSaveError(ERROR_SUCCESS)
{
    std::srand(static_cast<unsigned>(std::time(nullptr)));
}

CSlideShowWnd::~CSlideShowWnd()
{
}

// ---- Settings ------------------------------------------------------------

void CSlideShowWnd::SetSpeed(int nSpeed)
{
    m_nSpeed = nSpeed;
    StartSaver();
}

void CSlideShowWnd::SetRandom(int bRandom)
{
    m_bRandom = bRandom;
    StartSaver();
}

void CSlideShowWnd::SetBackColor(COLORREF crBackColor)
{
    m_crBackColor = crBackColor;
    StartSaver();
}

void CSlideShowWnd::SetImagePath(LPCSTR pszImagePath)
{
    m_strImagePath = pszImagePath;
    StartSaver();
}

// The settings file is Vistel.ini in the Windows directory. Where the user
// may not write there (a 64-bit program on Windows Vista and later is not
// redirected to a copy of its own), the settings go to the user's copy in the
// application data folder, which from then on is read in its place.

// The user's copy, or an empty name when the system names no application
// data folder.
static CString UserSettingsFile(BOOL bCreateFolder)
{
    // The lookup is missing from the shell of Windows 95 without the desktop
    // update; the APPDATA variable of Windows 2000 and later stands in.
    typedef BOOL(WINAPI * GETSPECIALFOLDERPATHPROC)(HWND, LPSTR, int, BOOL);
    static const HMODULE s_hShell = ::LoadLibraryA("shell32.dll");
    const GETSPECIALFOLDERPATHPROC pfnGetFolder =
        GetProcAddressAs<GETSPECIALFOLDERPATHPROC>(s_hShell, "SHGetSpecialFolderPathA");
    char szAppData[MAX_PATH] = "";
    if (pfnGetFolder == nullptr || !pfnGetFolder(nullptr, szAppData, CSIDL_APPDATA, bCreateFolder))
    {
        const DWORD cch = ::GetEnvironmentVariableA("APPDATA", szAppData, sizeof(szAppData));
        if (cch == 0 || cch >= sizeof(szAppData))
            return CString();
    }
    CString strFile(szAppData);
    strFile += '\\';
    strFile += USER_INI_FOLDER;
    if (bCreateFolder)
        ::CreateDirectoryA(strFile, nullptr); // there already, most times
    strFile += '\\';
    strFile += INI_FILE;
    return strFile;
}

static BOOL IsFile(LPCSTR pszPath)
{
    const DWORD dwAttributes = ::GetFileAttributesA(pszPath);
    return dwAttributes != INVALID_FILE_ATTRIBUTES && (dwAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

void CSlideShowWnd::LoadSettings()
{
    CString strFile = UserSettingsFile(FALSE);
    if (strFile.IsEmpty() || !IsFile(strFile))
        strFile = INI_FILE;

    SetSpeed(static_cast<int>(::GetPrivateProfileIntA(INI_SECTION, "Speed", DEFAULT_SPEED, strFile)));
    SetRandom(static_cast<int>(::GetPrivateProfileIntA(INI_SECTION, "RandomImage", DEFAULT_RANDOM, strFile)));
    SetBackColor(::GetPrivateProfileIntA(INI_SECTION, "BackColor", DEFAULT_BACK_COLOR, strFile));

    // The dialog saves folders of up to MAX_PATH - 1 characters (the
    // browser's longest, and the limit of its field) and, saved again
    // unchanged, such a folder with the backslash added below.
    char szImagePath[MAX_PATH + 1];
    ::GetPrivateProfileStringA(INI_SECTION, "ImagePath", DEFAULT_IMAGE_PATH, szImagePath, sizeof(szImagePath),
                               strFile);
    m_strImagePath = szImagePath;
    const int nLength = m_strImagePath.GetLength();
    if (nLength == 0 || m_strImagePath.GetAt(nLength - 1) != '\\')
        m_strImagePath += '\\';
}

// Writes the four keys to one file; the system's error code when one of them
// did not reach it.
static DWORD WriteSettingsFile(const CSlideShowWnd& settings, LPCSTR pszFile)
{
    CString strSpeed, strRandom, strBackColor;
    strSpeed.Format("%d", settings.GetSpeed());
    strRandom.Format("%d", settings.GetRandom());
    strBackColor.Format("%d", static_cast<int>(settings.GetBackColor()));
    const LPCSTR keys[][2] = {
        { "Speed", strSpeed }, { "ImagePath", settings.GetImagePath() }, { "RandomImage", strRandom },
        { "BackColor", strBackColor },
    };
    for (const auto& key : keys)
    {
        if (!::WritePrivateProfileStringA(INI_SECTION, key[0], key[1], pszFile))
        {
            const DWORD dwError = ::GetLastError();
            return dwError != ERROR_SUCCESS ? dwError : ERROR_WRITE_FAULT;
        }
    }
    return ERROR_SUCCESS;
}

void CSlideShowWnd::SaveSettings()
{
    // The user's copy is written when the Windows directory refuses the
    // settings, and whenever it exists, since it is the one that is read.
    m_dwSaveError = WriteSettingsFile(*this, INI_FILE);
    const CString strUserFile = UserSettingsFile(m_dwSaveError != ERROR_SUCCESS);
    if (m_dwSaveError == ERROR_SUCCESS && (strUserFile.IsEmpty() || !IsFile(strUserFile)))
        return;
    if (strUserFile.IsEmpty())
    {
        char szWindows[MAX_PATH] = "";
        ::GetWindowsDirectoryA(szWindows, MAX_PATH);
        m_strSaveFile = CString(szWindows) + "\\" + INI_FILE;
        return;
    }
    m_strSaveFile = strUserFile;
    m_dwSaveError = WriteSettingsFile(*this, strUserFile);
}

// ---- The picture list ----------------------------------------------------

void CSlideShowWnd::ListPictures()
{
    m_images.RemoveAll(false);
    for (const PictureExtension& extension : PICTURE_EXTENSIONS)
        ScanFolder(m_strImagePath, CString("*.") + extension.pszExtension);
}


// Whether a file name ends in the extension of a "*.ext" pattern, in any
// letter case. The folder search also matches a pattern against the short
// alias of a long name (photo.jpeg is PHOTO~1.JPE to "*.jpe", photo.jpgx is
// PHOTO~1.JPG to "*.jpg"), which would list a file twice, or list a file
// that no pattern names.
template <class CHAR>
static bool HasPatternExtension(const CHAR* pszName, LPCSTR pszPattern)
{
    const CHAR* pszOwn = nullptr;
    for (const CHAR* p = pszName; *p != 0; p++)
    {
        if (*p == '.')
            pszOwn = p;
    }
    const char* pszWanted = std::strrchr(pszPattern, '.');
    if (pszOwn == nullptr || pszWanted == nullptr)
        return false;
    // Letter case is folded in ASCII only: the patterns are ASCII.
    const auto fold = [](unsigned c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; };
    for (; *pszOwn != 0 && *pszWanted != 0; pszOwn++, pszWanted++)
    {
        if (fold(static_cast<unsigned>(*pszOwn)) != fold(static_cast<unsigned char>(*pszWanted)))
            return false;
    }
    return *pszOwn == 0 && *pszWanted == 0;
}

static void AddPicture(CCollection& images, LPCSTR pszFolder, LPCSTR pszName)
{
    CString* pPath = new CString(pszFolder);
    *pPath += pszName;
    images.Add(pPath);
}

// A name the code page cannot hold is listed by its marked path: the wide
// folder and name, left out when no path can name them (too long a path).
static void AddWidePicture(CCollection& images, LPCWSTR pszFolder, LPCWSTR pszName)
{
    WCHAR szPath[MAX_PATH];
    const size_t cchFolder = std::wcslen(pszFolder), cchName = std::wcslen(pszName);
    if (cchFolder + cchName >= MAX_PATH)
        return;
    std::wmemcpy(szPath, pszFolder, cchFolder);
    std::wmemcpy(szPath + cchFolder, pszName, cchName + 1);
    const CString strPath = MarkedPath(szPath);
    if (!strPath.IsEmpty())
        images.Add(new CString(strPath));
}

// Lists with the wide search, which sees each name as it is: a name in the
// system's code page is listed as ANSI text, any other by its marked path.
// FALSE where the system has no wide search (Windows 95, 98 and Me export
// it as a stub that always fails).
static BOOL ScanFolderWide(CCollection& images, LPCSTR pszFolder, LPCSTR pszSpec, LPCSTR pszPattern)
{
    typedef HANDLE(WINAPI * FINDFIRSTFILEWPROC)(LPCWSTR, LPWIN32_FIND_DATAW);
    typedef BOOL(WINAPI * FINDNEXTFILEWPROC)(HANDLE, LPWIN32_FIND_DATAW);
    static const HMODULE s_hKernel = ::GetModuleHandleA("kernel32.dll");
    static const FINDFIRSTFILEWPROC s_pfnFindFirst = GetProcAddressAs<FINDFIRSTFILEWPROC>(s_hKernel, "FindFirstFileW");
    static const FINDNEXTFILEWPROC s_pfnFindNext = GetProcAddressAs<FINDNEXTFILEWPROC>(s_hKernel, "FindNextFileW");
    WCHAR szFolder[MAX_PATH], szSpec[MAX_PATH];
    if (s_pfnFindFirst == nullptr || s_pfnFindNext == nullptr ||
        ::MultiByteToWideChar(CP_ACP, 0, pszFolder, -1, szFolder, MAX_PATH) == 0 ||
        ::MultiByteToWideChar(CP_ACP, 0, pszSpec, -1, szSpec, MAX_PATH) == 0)
        return FALSE;
    WIN32_FIND_DATAW entry;
    const HANDLE hSearch = s_pfnFindFirst(szSpec, &entry);
    if (hSearch == INVALID_HANDLE_VALUE)
        return ::GetLastError() != ERROR_CALL_NOT_IMPLEMENTED;
    do
    {
        CString strName;
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || !HasPatternExtension(entry.cFileName, pszPattern))
            continue;
        if (AnsiFileName(entry.cFileName, strName))
            AddPicture(images, pszFolder, strName);
        else
            AddWidePicture(images, szFolder, entry.cFileName);
    } while (s_pfnFindNext(hSearch, &entry));
    ::FindClose(hSearch);
    return TRUE;
}

void CSlideShowWnd::ScanFolder(LPCSTR pszFolder, LPCSTR pszPattern)
{
    // A folder too long for the search path lists nothing.
    char szSpec[MAX_PATH];
    const size_t cchFolder = std::strlen(pszFolder), cchPattern = std::strlen(pszPattern);
    if (cchFolder + cchPattern >= sizeof(szSpec))
        return;
    std::memcpy(szSpec, pszFolder, cchFolder);
    std::memcpy(szSpec + cchFolder, pszPattern, cchPattern + 1);
    if (ScanFolderWide(m_images, pszFolder, szSpec, pszPattern))
        return;

    // The ANSI search shows a character outside the code page as a question
    // mark, which no file name holds: such a file opens by its short alias.
    WIN32_FIND_DATAA entry;
    const HANDLE hSearch = ::FindFirstFileA(szSpec, &entry);
    if (hSearch == INVALID_HANDLE_VALUE)
        return;
    do
    {
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || !HasPatternExtension(entry.cFileName, pszPattern))
            continue;
        if (std::strchr(entry.cFileName, '?') == nullptr)
            AddPicture(m_images, pszFolder, entry.cFileName);
        else if (entry.cAlternateFileName[0] != '\0')
            AddPicture(m_images, pszFolder, entry.cAlternateFileName);
    } while (::FindNextFileA(hSearch, &entry));
    ::FindClose(hSearch);
}

// An index below nCount, each with the same chance, from the C library's
// generator. Windows' rand() has only 15 bits (0 to 32767): draws are put
// together until they cover the count, and a number at or beyond the last
// whole multiple of the count is drawn again, so that no index comes up
// more often than another.
static int RandomIndex(int nCount)
{
    const unsigned long long RANGE = static_cast<unsigned long long>(RAND_MAX) + 1;
    for (;;)
    {
        unsigned long long llValue = 0, llSpan = 1;
        while (llSpan < static_cast<unsigned long long>(nCount))
        {
            llValue = llValue * RANGE + static_cast<unsigned long long>(std::rand());
            llSpan *= RANGE;
        }
        if (llValue < llSpan - llSpan % static_cast<unsigned long long>(nCount))
            return static_cast<int>(llValue % static_cast<unsigned long long>(nCount));
    }
}

int CSlideShowWnd::PickNextPicture()
{
    const int nCount = m_images.m_nCount;
    if (nCount == 0)
        return -1;
    const int nIndex = m_bRandom ? RandomIndex(nCount) : m_nSequence % nCount;
    if (++m_nSequence >= nCount)
        m_nSequence = 0;
    return nIndex;
}

// ---- The show ------------------------------------------------------------

// Computed wide, so that no speed overflows.
ULONGLONG CSlideShowWnd::DisplaySeconds(int nSpeed)
{
    return nSpeed <= 0 ? 1 : static_cast<ULONGLONG>(nSpeed) * 5;
}

UINT CSlideShowWnd::SlideInterval(int nSpeed)
{
    const ULONGLONG llInterval = DisplaySeconds(nSpeed) * 1000;
    return llInterval > USER_TIMER_MAXIMUM ? USER_TIMER_MAXIMUM : static_cast<UINT>(llInterval);
}

UINT_PTR CSlideShowWnd::StartSaver()
{
    if (m_hWnd == nullptr)
        return 0;
    ListPictures();
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    return ::SetTimer(m_hWnd, SLIDE_TIMER_ID, SlideInterval(m_nSpeed), nullptr);
}

// The tick changes the picture; every paint draws the one on show, so a
// part of the window that is uncovered gets the same picture as the rest.
// The picture is kept by its path, not its slot: a rebuilt list may hold
// other files, or fewer.
void CSlideShowWnd::ShowNextPicture()
{
    const int nIndex = PickNextPicture();
    if (nIndex >= 0 && m_images.m_ppItems[nIndex] != nullptr)
        m_strShowing = *m_images.m_ppItems[nIndex];
}

void CSlideShowWnd::OnTimer(UINT_PTR nIDEvent)
{
    if (nIDEvent == SLIDE_TIMER_ID)
    {
        ShowNextPicture();
        ::InvalidateRect(m_hWnd, nullptr, FALSE);
    }
    Default();
}

// The monitors of the desktop, as many as the list holds.
struct MonitorList
{
    RECT rc[MAX_PICTURE_AREAS];
    int nCount;
};

static BOOL CALLBACK AddMonitor(HMONITOR, HDC, LPRECT pMonitor, LPARAM lParam)
{
    MonitorList& monitors = *reinterpret_cast<MonitorList*>(lParam);
    if (monitors.nCount < MAX_PICTURE_AREAS)
        monitors.rc[monitors.nCount++] = *pMonitor;
    return TRUE;
}

// The areas of the window that each show the picture: the part of each
// monitor the full-screen window covers, or the whole client area for the
// preview and where the system has no monitor functions (Windows 95, NT 4).
static int WindowPictureAreas(HWND hWnd, const RECT& rcClient, RECT (&rcAreas)[MAX_PICTURE_AREAS])
{
    typedef BOOL(WINAPI * ENUMDISPLAYMONITORSPROC)(HDC, LPCRECT, MONITORENUMPROC, LPARAM);
    static const ENUMDISPLAYMONITORSPROC s_pfnEnumMonitors =
        GetProcAddressAs<ENUMDISPLAYMONITORSPROC>(::GetModuleHandleA("user32.dll"), "EnumDisplayMonitors");
    MonitorList monitors;
    monitors.nCount = 0;
    if (s_pfnEnumMonitors != nullptr && (::GetWindowLongA(hWnd, GWL_STYLE) & WS_CHILD) == 0 &&
        s_pfnEnumMonitors(nullptr, nullptr, AddMonitor, reinterpret_cast<LPARAM>(&monitors)))
    {
        RECT rcWindow = rcClient;
        ::MapWindowPoints(hWnd, nullptr, reinterpret_cast<POINT*>(&rcWindow), 2);
        const int nAreas = PictureAreas(rcWindow, monitors.rc, monitors.nCount, rcAreas);
        if (nAreas > 0)
            return nAreas;
    }
    rcAreas[0] = rcClient;
    return 1;
}

// The area of the most pixels (the first of equals).
static const RECT& LargestArea(const RECT* pAreas, int nAreas)
{
    const RECT* pLargest = pAreas;
    for (int i = 1; i < nAreas; i++)
        if (static_cast<LONGLONG>(pAreas[i].right - pAreas[i].left) * (pAreas[i].bottom - pAreas[i].top) >
            static_cast<LONGLONG>(pLargest->right - pLargest->left) * (pLargest->bottom - pLargest->top))
            pLargest = &pAreas[i];
    return *pLargest;
}

void CSlideShowWnd::DrawSaver(CDC* pDC)
{
    // The first paint shows the first picture without waiting for a tick.
    if (m_strShowing.IsEmpty())
        ShowNextPicture();
    if (m_strShowing.IsEmpty())
        return;
    RECT rcClient, rcAreas[MAX_PICTURE_AREAS];
    ::GetClientRect(m_hWnd, &rcClient);
    const int nAreas = WindowPictureAreas(m_hWnd, rcClient, rcAreas);

    // Decoded anew at every paint, so that nothing decoded outlives it. A
    // file that can no longer be opened paints nothing; the show goes on
    // at the next tick.
    // One decode serves every area. A picture larger than the largest area
    // is decoded no larger than it needs there and averaged down to the size
    // it is drawn at there, then drawn 1:1 (DrawPictureAreas averages it
    // again for smaller monitors). Input that ends the saver gives the
    // decode up, so that the message loop can close it at once; nothing is
    // drawn then.
    SECDib image;
    const RECT& rcLargest = LargestArea(rcAreas, nAreas);
    const SIZE sizeLargest = { rcLargest.right - rcLargest.left, rcLargest.bottom - rcLargest.top };
    SECImage::BeginAbandonCheck(SaverEndingInputWaiting);
    const BOOL bLoaded = LoadDisplayImage(image, m_strShowing, &sizeLargest);
    if (SECImage::EndAbandonCheck() || !bLoaded)
        return;

    CBrush brush(m_crBackColor);
    pDC->FillRect(rcClient, brush);
    HPALETTE hPreviousPalette = nullptr;
    if (image.m_pImagePalette != nullptr)
        hPreviousPalette = pDC->SelectPalette(*image.m_pImagePalette, TRUE);
    // Palette pictures are still shrunk by the draw. In the device context's
    // default mode it ANDs the dropped pixels into the kept ones and darkens
    // a photo; drop them instead.
    pDC->SetStretchBltMode(COLORONCOLOR);
    DrawPictureAreas(pDC, image, rcAreas, nAreas);
    if (image.m_pImagePalette != nullptr)
    {
        pDC->SelectPalette(hPreviousPalette, TRUE);
        pDC->RealizePalette();
    }
}

int PictureAreas(const RECT& rcWindow, const RECT* pMonitors, int nMonitors, RECT* pAreas)
{
    int nAreas = 0;
    for (int i = 0; i < nMonitors; i++)
    {
        const RECT& rcMonitor = pMonitors[i];
        const RECT rcPart = { rcMonitor.left > rcWindow.left ? rcMonitor.left : rcWindow.left,
                              rcMonitor.top > rcWindow.top ? rcMonitor.top : rcWindow.top,
                              rcMonitor.right < rcWindow.right ? rcMonitor.right : rcWindow.right,
                              rcMonitor.bottom < rcWindow.bottom ? rcMonitor.bottom : rcWindow.bottom };
        if (rcPart.left >= rcPart.right || rcPart.top >= rcPart.bottom)
            continue;
        pAreas[nAreas++] = RECT{ rcPart.left - rcWindow.left, rcPart.top - rcWindow.top, rcPart.right - rcWindow.left,
                                 rcPart.bottom - rcWindow.top };
    }
    return nAreas;
}

static bool SameSize(const RECT& rcA, const RECT& rcB)
{
    return rcA.right - rcA.left == rcB.right - rcB.left && rcA.bottom - rcA.top == rcB.bottom - rcB.top;
}

// Areas of one size share one average, made when the first of them comes.
void DrawPictureAreas(CDC* pDC, SECImage& image, RECT* pAreas, int nAreas)
{
    for (int i = 0; i < nAreas; i++)
    {
        if (std::any_of(pAreas, pAreas + i, [&](const RECT& rc) { return SameSize(rc, pAreas[i]); }))
            continue;
        SECDib shrunk;
        const SIZE sizeArea = { pAreas[i].right - pAreas[i].left, pAreas[i].bottom - pAreas[i].top };
        SECImage* pDrawn = ShrinkToDrawnSize(image, sizeArea, shrunk) ? &shrunk : &image;
        for (int j = i; j < nAreas; j++)
            if (SameSize(pAreas[j], pAreas[i]))
                DrawFitted(&pAreas[j], pDC, pDrawn);
    }
}

void DrawFitted(RECT* pClient, CDC* pDC, SECImage* pImage)
{
    const DWORD iw = pImage->PixelWidth(), ih = pImage->PixelHeight();
    const RECT rcDest = FitPicture(*pClient, iw, ih);
    pImage->DrawStretched(pDC, rcDest.left, rcDest.top, rcDest.right - rcDest.left, rcDest.bottom - rcDest.top, 0, 0,
                          static_cast<int>(iw), static_cast<int>(ih), pImage->m_pPixelBits,
                          reinterpret_cast<const BITMAPINFO*>(pImage->m_pInfoHeader), DIB_RGB_COLORS, SRCCOPY);
}

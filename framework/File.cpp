#include "File.h"

#include <cwchar>

#include "SystemProc.h"

// The wide path a marked path names; FALSE when it names none that fits.
static BOOL WidePathOf(LPCSTR pszMarked, WCHAR (&szWide)[MAX_PATH])
{
    // No flags: older systems refuse any with UTF-8.
    return pszMarked[0] == WIDE_PATH_MARK && pszMarked[1] != '\0' &&
           ::MultiByteToWideChar(CP_UTF8, 0, pszMarked + 1, -1, szWide, MAX_PATH) != 0;
}

CString MarkedPath(LPCWSTR pszWidePath)
{
    // Up to three bytes a character (four for a pair of two). A name that
    // does not come back unchanged (half a surrogate pair) is refused: it
    // would open no file or another one.
    char szMarked[1 + 3 * MAX_PATH];
    WCHAR szBack[MAX_PATH] = {};
    szMarked[0] = WIDE_PATH_MARK;
    const size_t cchWide = std::wcslen(pszWidePath);
    if (cchWide >= MAX_PATH ||
        ::WideCharToMultiByte(CP_UTF8, 0, pszWidePath, -1, szMarked + 1, sizeof(szMarked) - 1, nullptr, nullptr) == 0 ||
        !WidePathOf(szMarked, szBack) || std::wmemcmp(szBack, pszWidePath, cchWide + 1) != 0)
        return CString();
    return CString(szMarked);
}

BOOL AnsiFileName(LPCWSTR pszWide, CString& strAnsi)
{
    // Room for MAX_PATH characters of two bytes each (the double-byte code
    // pages); longer names are refused. The way back finds both a default
    // character and a look-alike: neither turns into the original again.
    char szAnsi[2 * MAX_PATH];
    WCHAR szBack[MAX_PATH];
    if (pszWide[0] == 0 ||
        ::WideCharToMultiByte(CP_ACP, 0, pszWide, -1, szAnsi, sizeof(szAnsi), nullptr, nullptr) == 0 ||
        ::MultiByteToWideChar(CP_ACP, 0, szAnsi, -1, szBack, MAX_PATH) == 0)
        return FALSE;
    for (int i = 0; szBack[i] == pszWide[i]; i++)
    {
        if (pszWide[i] == 0)
        {
            strAnsi = szAnsi;
            return TRUE;
        }
    }
    return FALSE;
}

// Opens a marked path with CreateFileW, looked up: Windows 95, 98 and Me
// have only a stub of it, which fails.
static HANDLE CreateMarkedFile(LPCSTR pszMarked, DWORD dwAccess, DWORD dwShare, DWORD dwCreation)
{
    typedef HANDLE(WINAPI * CREATEFILEWPROC)(LPCWSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE);
    static const CREATEFILEWPROC s_pfnCreateFile =
        GetProcAddressAs<CREATEFILEWPROC>(::GetModuleHandleA("kernel32.dll"), "CreateFileW");
    WCHAR szWide[MAX_PATH];
    if (s_pfnCreateFile == nullptr || !WidePathOf(pszMarked, szWide))
    {
        ::SetLastError(ERROR_FILE_NOT_FOUND); // as for a file that is not there
        return INVALID_HANDLE_VALUE;
    }
    return s_pfnCreateFile(szWide, dwAccess, dwShare, nullptr, dwCreation, FILE_ATTRIBUTE_NORMAL, nullptr);
}

int CFileException::CauseFromOsError(LONG lOsError)
{
    switch (lOsError)
    {
    case ERROR_SUCCESS: return none;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME: return fileNotFound;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return accessDenied;
    case ERROR_NEGATIVE_SEEK:
    case ERROR_SEEK: return badSeek;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return diskFull;
    default: return generic;
    }
}

CFile::CFile() : m_hFile(INVALID_HANDLE_VALUE)
{
}

CFile::CFile(LPCSTR pszFileName, UINT nOpenFlags) : m_hFile(INVALID_HANDLE_VALUE)
{
    CFileException error;
    if (!Open(pszFileName, nOpenFlags, &error))
        throw error;
}

CFile::~CFile()
{
    Close();
}

BOOL CFile::Open(LPCSTR pszFileName, UINT nOpenFlags, CFileException* pError)
{
    Close();
    m_strFileName = pszFileName;

    DWORD dwAccess = GENERIC_READ;
    DWORD dwShare = FILE_SHARE_READ | FILE_SHARE_DELETE; // readers never lock others out
    // Windows 95, 98 and Me refuse the delete share as an invalid parameter.
    static const BOOL s_bWin9x = IsWindows9x();
    if (s_bWin9x)
        dwShare = FILE_SHARE_READ;
    if ((nOpenFlags & 3) == modeWrite)
    {
        dwAccess = GENERIC_WRITE;
        dwShare = 0;
    }
    else if ((nOpenFlags & 3) == modeReadWrite)
    {
        dwAccess = GENERIC_READ | GENERIC_WRITE;
        dwShare = 0;
    }
    const DWORD dwCreation = (nOpenFlags & modeCreate) ? CREATE_ALWAYS : OPEN_EXISTING;

    if (pszFileName != nullptr && pszFileName[0] == WIDE_PATH_MARK)
        m_hFile = CreateMarkedFile(pszFileName, dwAccess, dwShare, dwCreation);
    else
        m_hFile = ::CreateFileA(pszFileName, dwAccess, dwShare, nullptr, dwCreation, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (m_hFile == INVALID_HANDLE_VALUE)
    {
        if (pError != nullptr)
        {
            const LONG lError = static_cast<LONG>(::GetLastError());
            *pError = CFileException(CFileException::CauseFromOsError(lError), lError, pszFileName);
        }
        return FALSE;
    }
    return TRUE;
}

void CFile::Close()
{
    if (m_hFile != INVALID_HANDLE_VALUE)
        ::CloseHandle(m_hFile);
    m_hFile = INVALID_HANDLE_VALUE;
}

void CFile::ThrowOsError(DWORD dwError) const
{
    const LONG lError = static_cast<LONG>(dwError);
    throw CFileException(CFileException::CauseFromOsError(lError), lError, m_strFileName);
}

UINT CFile::Read(void* pBuffer, UINT nCount)
{
    if (nCount == 0)
        return 0;
    DWORD dwRead = 0;
    if (!::ReadFile(m_hFile, pBuffer, nCount, &dwRead, nullptr))
        ThrowOsError(::GetLastError());
    return dwRead;
}

void CFile::Write(const void* pBuffer, UINT nCount)
{
    DWORD dwWritten = 0;
    if (!::WriteFile(m_hFile, pBuffer, nCount, &dwWritten, nullptr))
        ThrowOsError(::GetLastError());
    if (dwWritten != nCount)
        throw CFileException(CFileException::diskFull, ERROR_DISK_FULL, m_strFileName);
}

// Offsets go through SetFilePointer and GetFileSize with their high-order
// halves, which every 32-bit Windows has (the Ex forms need Windows 2000).
// Both return all bits set on failure as well as for a real value with those
// bits: only GetLastError tells the two apart.
static const DWORD INVALID_LOW_PART = 0xFFFFFFFF;

LONGLONG CFile::MoveFilePointer(LONGLONG llDistance, DWORD dwMethod) const
{
    LONG lHigh = static_cast<LONG>(llDistance >> 32);
    ::SetLastError(NO_ERROR);
    const DWORD dwLow = ::SetFilePointer(m_hFile, static_cast<LONG>(llDistance & 0xFFFFFFFF), &lHigh, dwMethod);
    if (dwLow == INVALID_LOW_PART)
    {
        const DWORD dwError = ::GetLastError();
        if (dwError != NO_ERROR)
            ThrowOsError(dwError);
    }
    return (static_cast<LONGLONG>(lHigh) << 32) | dwLow;
}

LONG CFile::Seek(LONG lOffset, UINT nFrom)
{
    const LONGLONG llPosition = MoveFilePointer(lOffset, nFrom);
    if (llPosition > 0x7FFFFFFF)
        ThrowOsError(ERROR_SEEK);
    return static_cast<LONG>(llPosition);
}

DWORD CFile::GetPosition() const
{
    const LONGLONG llPosition = MoveFilePointer(0, FILE_CURRENT);
    return llPosition > 0xFFFFFFFF ? 0xFFFFFFFF : static_cast<DWORD>(llPosition);
}

DWORD CFile::GetLength() const
{
    DWORD dwHigh = 0;
    ::SetLastError(NO_ERROR);
    const DWORD dwLow = ::GetFileSize(m_hFile, &dwHigh);
    if (dwLow == INVALID_LOW_PART)
    {
        const DWORD dwError = ::GetLastError();
        if (dwError != NO_ERROR)
            ThrowOsError(dwError);
    }
    return dwHigh != 0 ? 0xFFFFFFFF : dwLow;
}

void CFile::Flush()
{
    if (m_hFile != INVALID_HANDLE_VALUE && !::FlushFileBuffers(m_hFile))
        ThrowOsError(::GetLastError());
}

void CFile::Remove(LPCSTR pszFileName)
{
    if (!::DeleteFileA(pszFileName))
    {
        const LONG lError = static_cast<LONG>(::GetLastError());
        throw CFileException(CFileException::CauseFromOsError(lError), lError, pszFileName);
    }
}

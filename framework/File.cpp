#include "File.h"

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

LONG CFile::Seek(LONG lOffset, UINT nFrom)
{
    LARGE_INTEGER distance, position;
    distance.QuadPart = lOffset;
    if (!::SetFilePointerEx(m_hFile, distance, &position, nFrom))
        ThrowOsError(::GetLastError());
    if (position.QuadPart > 0x7FFFFFFF)
        ThrowOsError(ERROR_SEEK);
    return static_cast<LONG>(position.QuadPart);
}

DWORD CFile::GetPosition() const
{
    LARGE_INTEGER distance, position;
    distance.QuadPart = 0;
    if (!::SetFilePointerEx(m_hFile, distance, &position, FILE_CURRENT))
        ThrowOsError(::GetLastError());
    return position.QuadPart > 0xFFFFFFFF ? 0xFFFFFFFF : static_cast<DWORD>(position.QuadPart);
}

DWORD CFile::GetLength() const
{
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(m_hFile, &size))
        ThrowOsError(::GetLastError());
    return size.QuadPart > 0xFFFFFFFF ? 0xFFFFFFFF : static_cast<DWORD>(size.QuadPart);
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

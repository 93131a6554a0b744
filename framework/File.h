// CFile: a binary file over a Win32 file handle. Opening by constructor and
// failed reads, writes and seeks throw CFileException; Open reports by result.
#pragma once

#include "Object.h"
#include "String.h"

class CFileException
{
public:
    enum Cause { none, generic, fileNotFound, accessDenied, badSeek, hardIO, diskFull };

    CFileException(int cause = none, LONG lOsError = 0, LPCSTR pszFileName = nullptr)
        : m_cause(cause), m_lOsError(lOsError), m_strFileName(pszFileName) {}

    int m_cause;
    LONG m_lOsError;
    CString m_strFileName;

    static int CauseFromOsError(LONG lOsError);
};

class CFile : public CObject
{
public:
    enum OpenFlags {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        modeCreate = 0x1000,
    };
    enum SeekPosition { begin = 0, current = 1, end = 2 };

    CFile();
    CFile(LPCSTR pszFileName, UINT nOpenFlags); // throws CFileException
    ~CFile() override;

    BOOL Open(LPCSTR pszFileName, UINT nOpenFlags, CFileException* pError = nullptr);
    void Close();

    UINT Read(void* pBuffer, UINT nCount);         // 0 at the end of the file
    void Write(const void* pBuffer, UINT nCount);
    LONG Seek(LONG lOffset, UINT nFrom);           // the new position from the start
    DWORD GetPosition() const;
    DWORD GetLength() const;                       // 0xFFFFFFFF for files of 4 GB and more
    void Flush();
    CString GetFilePath() const { return m_strFileName; }

    static void Remove(LPCSTR pszFileName);        // throws CFileException

private:
    void ThrowOsError(DWORD dwError) const;
    LONGLONG MoveFilePointer(LONGLONG llDistance, DWORD dwMethod) const; // the new position

    HANDLE m_hFile;
    CString m_strFileName;
};

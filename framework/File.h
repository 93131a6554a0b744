// CFile: a binary file over a Win32 file handle. Opening by constructor and
// failed reads, writes and seeks throw CFileException; Open reports by result.
#pragma once

#include "Object.h"
#include "String.h"

// A path is ANSI text or, where the system's code page cannot hold it, this
// mark and its UTF-8 text: a control character, which no Windows path holds.
const char WIDE_PATH_MARK = '\x01';

// The marked path of a wide path of fewer than MAX_PATH characters (what
// the file functions open); empty for a longer or an empty one.
CString MarkedPath(LPCWSTR pszWidePath);

// The name the ANSI file functions know a file by, from its wide name: the
// same name in the system's code page, when it survives the trip there and
// back unchanged. FALSE for a name with a character the code page lacks (the
// conversion would put a question mark or a look-alike in its place, and
// open no file or another one), and for an empty name.
BOOL AnsiFileName(LPCWSTR pszWide, CString& strAnsi);

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

    // A marked path opens with the wide function, where the system has one.
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

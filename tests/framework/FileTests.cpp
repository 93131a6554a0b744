#include <doctest.h>

#include "File.h"

static CString TempPath(LPCSTR pszName)
{
    char szDir[MAX_PATH];
    ::GetTempPathA(MAX_PATH, szDir);
    return CString(szDir) + pszName;
}

TEST_CASE("Opening a missing file by constructor throws, by Open returns FALSE")
{
    const CString strMissing = TempPath("vistel-no-such-file.bin");
    bool bThrown = false;
    try
    {
        CFile file(strMissing, CFile::modeRead);
    }
    catch (const CFileException& e)
    {
        bThrown = true;
        CHECK(e.m_cause == CFileException::fileNotFound);
        CHECK(e.m_strFileName == strMissing);
    }
    CHECK(bThrown);

    CFile file;
    CFileException error;
    CHECK_FALSE(file.Open(strMissing, CFile::modeRead, &error));
    CHECK(error.m_cause == CFileException::fileNotFound);
    CHECK_THROWS_AS(CFile::Remove(strMissing), CFileException);
}

TEST_CASE("A file written, read back, sought and removed")
{
    const CString strPath = TempPath("vistel-file-test.bin");
    {
        CFile file(strPath, CFile::modeCreate | CFile::modeReadWrite);
        file.Write("0123456789", 10);
        file.Flush();
        file.Seek(1, CFile::begin);
        char ch = 0;
        CHECK(file.Read(&ch, 1) == 1);
        CHECK(ch == '1');
    }
    CFile file(strPath, CFile::modeRead);
    CHECK(file.GetLength() == 10);
    CHECK(file.GetFilePath() == strPath);

    char buffer[8] = {};
    CHECK(file.Read(buffer, 4) == 4);
    CHECK(std::string(buffer, 4) == "0123");
    CHECK(file.GetPosition() == 4);
    CHECK(file.Seek(-2, CFile::end) == 8);
    CHECK(file.Read(buffer, 8) == 2);
    CHECK(file.Read(buffer, 8) == 0); // the end of the file is not an error
    CHECK_THROWS_AS(file.Seek(-1, CFile::begin), CFileException);

    // A reader does not keep others from reading the file.
    CFile second(strPath, CFile::modeRead);
    CHECK(second.GetLength() == 10);
    second.Close();
    file.Close();
    CFile::Remove(strPath);
    CHECK(::GetFileAttributesA(strPath) == INVALID_FILE_ATTRIBUTES);
}

#define DOCTEST_CONFIG_IMPLEMENT_WITH_MAIN
#include <doctest.h>

#include "String.h"

TEST_CASE("CString formats with printf rules, however long the result")
{
    CString str;
    str.Format("%d Seconds", 1050);
    CHECK(str == "1050 Seconds");
    str.Format("%s|%s", std::string(3000, 'a').c_str(), "end");
    CHECK(str.GetLength() == 3004);
    CHECK(str.Right(4) == "|end");
}

TEST_CASE("CString lower-cases ASCII letters only, and Right takes at most the whole text")
{
    CString str("C:\\Photos\\PHOTO.JPEG \xC9");
    str.MakeLower();
    CHECK(str == "c:\\photos\\photo.jpeg \xC9");
    const CString name("x.jfif");
    CHECK(name.Right(4) == "jfif");
    CHECK(name.Right(10) == "x.jfif");
    CHECK(name.Right(0) == "");
    CHECK(CString().Right(3) == "");
}

TEST_CASE("CString buffers take text written by the system; strings join and compare")
{
    CString str("old");
    const UINT nLength = ::GetWindowsDirectoryA(str.GetBuffer(MAX_PATH), MAX_PATH);
    str.ReleaseBuffer();
    CHECK(str.GetLength() == static_cast<int>(nLength));
    CHECK(str.GetAt(1) == ':');
    CString cut("abcdef");
    cut.GetBuffer(2);
    cut.ReleaseBuffer(2);
    CHECK(cut == "ab");

    CString folder("D:\\Photos");
    folder += '\\';
    CString path = folder + "a.jpg";
    CHECK(path == "D:\\Photos\\a.jpg");
    CHECK(path != folder);
    CHECK(CString(nullptr).IsEmpty());
    path.Empty();
    CHECK(path.IsEmpty());
}

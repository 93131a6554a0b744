// The framework rules the saver relies on that its windows do not show:
// message tables, subclassing, files, text and the pointer list.
#define DOCTEST_CONFIG_IMPLEMENT_WITH_MAIN
#include <doctest.h>

#include <string>
#include <vector>

#include "Afx.h"

class CSpy : public CStatic
{
public:
    int m_nClicks = 0;

protected:
    LRESULT OnPassOn(WPARAM, LPARAM) { return Default() + 100; }
    LRESULT OnThrow(WPARAM, LPARAM) { throw std::string("the handler fails"); }
    void OnButton() { m_nClicks++; }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CSpy, CStatic)
    ON_MESSAGE(WM_GETTEXTLENGTH, OnPassOn)
    ON_MESSAGE(WM_APP + 3, OnThrow)
    ON_BN_CLICKED(42, OnButton)
END_MESSAGE_MAP()

TEST_CASE("A subclassed control: its own table, then the control's procedure; the framework's table detaches it")
{
    HWND hParent = ::CreateWindowExA(0, "Static", "", WS_POPUP, 0, 0, 200, 200, nullptr, nullptr, nullptr, nullptr);
    HWND hControl = ::CreateWindowExA(0, "Static", "", WS_CHILD, 0, 0, 80, 20, hParent, reinterpret_cast<HMENU>(1013),
                                      nullptr, nullptr);
    CWnd dialog;
    dialog.Attach(hParent);
    CSpy control;
    CDataExchange dx(&dialog, FALSE);
    DDX_Control(&dx, 1013, control);
    DDX_Control(&dx, 1013, control); // a second exchange binds nothing anew
    CHECK(CWnd::FromHandlePermanent(hControl) == &control);
    ::SetWindowTextA(hControl, "text");
    CHECK(::SendMessageA(hControl, WM_GETTEXTLENGTH, 0, 0) == 104); // handed on by Default
    CHECK(::SendMessageA(hControl, WM_APP + 3, 0, 0) == 0);         // the exception ends in the framework
    for (WPARAM wParam : { MAKEWPARAM(42, BN_CLICKED), MAKEWPARAM(42, EN_CHANGE), MAKEWPARAM(43, BN_CLICKED) })
        ::SendMessageA(hControl, WM_COMMAND, wParam, 0);
    CHECK(control.m_nClicks == 1);
    ::DestroyWindow(hParent); // the framework's own table detaches the object
    CHECK((control.m_hWnd == nullptr && CWnd::FromHandlePermanent(hControl) == nullptr));
    dialog.Detach();
}

TEST_CASE("CFile: a missing file; reading, seeking and the length; others may delete a file being read")
{
    char szDir[MAX_PATH];
    ::GetTempPathA(MAX_PATH, szDir);
    const CString strMissing = CString(szDir) + "vistel-missing.bin", strPath = CString(szDir) + "vistel-file.bin";
    CFile file;
    CFileException error;
    CHECK_FALSE(file.Open(strMissing, CFile::modeRead, &error));
    CHECK((error.m_cause == CFileException::fileNotFound && error.m_strFileName == strMissing));
    CHECK_THROWS_AS(CFile(strMissing, CFile::modeRead), CFileException);

    CFile(strPath, CFile::modeCreate | CFile::modeWrite).Write("0123456789", 10);
    REQUIRE(file.Open(strPath, CFile::modeRead));
    char buffer[8] = {};
    CHECK((file.Read(buffer, 4) == 4 && file.GetPosition() == 4));
    CHECK(file.Seek(-2, CFile::end) == 8);
    CHECK((file.Read(buffer, 8) == 2 && std::string(buffer, 2) == "89"));
    CHECK(file.Read(buffer, 8) == 0); // the end of the file is not an error
    CHECK_THROWS_AS(file.Seek(-1, CFile::begin), CFileException);
    CHECK(file.GetLength() == 10);
    CHECK(::DeleteFileA(strPath));
}

TEST_CASE("CString formats beyond any fixed buffer and lower-cases ASCII letters only; CPtrList walks in order")
{
    CString str;
    str.Format("%s|%d", std::string(3000, 'a').c_str(), 1050);
    CHECK((str.GetLength() == 3005 && str.Right(5) == "|1050"));
    str = "@AZ[`az{ \xC0\xC9";
    str.MakeLower();
    CHECK(str == "@az[`az{ \xC0\xC9");

    CPtrList list(3); // grows in blocks of 3
    int values[8];
    std::vector<void*> added, walked;
    for (int& value : values)
        added.push_back(list.AddTail(&value) != nullptr ? &value : nullptr);
    for (POSITION pos = list.GetHeadPosition(); pos != nullptr;)
        walked.push_back(list.GetNext(pos));
    CHECK(walked == added);
    list.RemoveAll();
    CHECK((list.GetCount() == 0 && list.GetHeadPosition() == nullptr));
}

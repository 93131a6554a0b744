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

// A static control inside a pop-up, bound to a CSpy by the data exchange.
struct SubclassedControl
{
    HWND hParent = ::CreateWindowExA(0, "Static", "", WS_POPUP, 0, 0, 200, 200, nullptr, nullptr, nullptr, nullptr);
    HWND hControl = ::CreateWindowExA(0, "Static", "text", WS_CHILD, 0, 0, 80, 20, hParent,
                                      reinterpret_cast<HMENU>(1013), nullptr, nullptr);
    CWnd dialog;
    CSpy control;

    SubclassedControl()
    {
        dialog.Attach(hParent);
        CDataExchange dx(&dialog, FALSE);
        DDX_Control(&dx, 1013, control);
        DDX_Control(&dx, 1013, control); // a second exchange binds nothing anew
    }
    ~SubclassedControl()
    {
        ::DestroyWindow(hParent);
        dialog.Detach();
    }
};

TEST_CASE_FIXTURE(SubclassedControl, "A subclassed control's own table comes first, then the control's procedure")
{
    CHECK(CWnd::FromHandlePermanent(hControl) == &control);
    CHECK(::SendMessageA(hControl, WM_GETTEXTLENGTH, 0, 0) == 104); // handed on by Default
    for (WPARAM wParam : { MAKEWPARAM(42, BN_CLICKED), MAKEWPARAM(42, EN_CHANGE), MAKEWPARAM(43, BN_CLICKED) })
        ::SendMessageA(hControl, WM_COMMAND, wParam, 0);
    CHECK(control.m_nClicks == 1);
}

TEST_CASE_FIXTURE(SubclassedControl, "An exception in a message handler ends in the framework")
{
    CHECK(::SendMessageA(hControl, WM_APP + 3, 0, 0) == 0);
}

TEST_CASE_FIXTURE(SubclassedControl, "The framework detaches a control whose window goes")
{
    ::DestroyWindow(hParent);
    CHECK(control.m_hWnd == nullptr);
    CHECK(CWnd::FromHandlePermanent(hControl) == nullptr);
}

TEST_CASE("A missing file fails to open, and a file constructed on it throws")
{
    CFile file;
    CFileException error;
    CHECK_FALSE(file.Open("vistel-missing.bin", CFile::modeRead, &error));
    CHECK(error.m_cause == CFileException::fileNotFound);
    CHECK_THROWS_AS(CFile("vistel-missing.bin", CFile::modeRead), CFileException);
}

TEST_CASE("A file reads and seeks to its end, which is no error, and others may delete it while it is read")
{
    const char* pszPath = "vistel-file.bin"; // in the working folder
    CFile(pszPath, CFile::modeCreate | CFile::modeWrite).Write("0123456789", 10);
    CFile file;
    REQUIRE(file.Open(pszPath, CFile::modeRead));
    char buffer[8] = {};
    CHECK(file.Read(buffer, 4) == 4);
    CHECK(file.Seek(-2, CFile::end) == 8);
    CHECK(file.Read(buffer, 8) == 2);
    CHECK(std::string(buffer, 2) == "89");
    CHECK(file.Read(buffer, 8) == 0);
    CHECK_THROWS_AS(file.Seek(-1, CFile::begin), CFileException);
    CHECK(::DeleteFileA(pszPath));
}

TEST_CASE("CString formats beyond any fixed buffer")
{
    const std::string strLong(3000, 'a');
    CString str;
    str.Format("%s|%d", strLong.c_str(), 1050);
    CHECK(str == (strLong + "|1050").c_str());
}

TEST_CASE("CString lower-cases ASCII letters only")
{
    CString str = "@AZ[`az{ \xC0\xC9";
    str.MakeLower();
    CHECK(str == "@az[`az{ \xC0\xC9");
}

TEST_CASE("CPtrList walks its entries in the order they were added, across its blocks")
{
    CPtrList list(3); // grows in blocks of 3
    int values[8];
    std::vector<void*> added, walked;
    for (int& value : values)
        added.push_back(list.AddTail(&value) != nullptr ? &value : nullptr);
    for (POSITION pos = list.GetHeadPosition(); pos != nullptr;)
        walked.push_back(list.GetNext(pos));
    CHECK(walked == added);
}

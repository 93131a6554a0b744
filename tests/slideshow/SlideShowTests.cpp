// The slide show's edge logic that the real saver cannot show: the picture
// list's slots, the pick rule across rebuilds, the display time at its
// limits, the layout in screens of other sizes, the settings file's reading
// rules and the folder search's limits. Layouts on the test screen, folder
// order, letter case and formats are proven on the real saver by the
// end-to-end tests.
#define DOCTEST_CONFIG_IMPLEMENT_WITH_MAIN
#include <doctest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "../../slideshow/SlideShowWnd.h"

static CSlideShowWnd s_saverWnd;

TEST_CASE("The collection grows by 50 slots and owns its items")
{
    CCollection list;
    CHECK(list.m_nCapacity == 2);
    std::vector<int> capacities;
    for (int i = 0; i < 103; i++)
    {
        list.Add(new CString("x"));
        capacities.push_back(list.m_nCapacity);
    }
    // After the 2nd, 3rd, 52nd, 53rd and 103rd item.
    CHECK(std::vector<int>{ capacities[1], capacities[2], capacities[51], capacities[52], capacities[102] } ==
          std::vector<int>{ 2, 52, 52, 102, 152 });
    list.RemoveAll(false);
    CHECK((list.m_nCount == 0 && list.m_nCapacity == 152));
    list.RemoveAll(true);
    CHECK(list.m_nCapacity == 50);
}

TEST_CASE("Operations that leave holes, and compacting them away")
{
    CCollection list;
    CString* pItems[4];
    for (CString*& pItem : pItems)
        list.Add(pItem = new CString("item"));
    list.RemoveAt(1, false); // a hole in the middle
    CHECK((list.m_nCount == 4 && list.m_ppItems[1] == nullptr));
    list.RemoveAt(3, false); // the last slot: the count drops
    CHECK(list.m_nCount == 3);
    list.RemoveAt(7, true); // out of range: nothing
    CHECK(list.m_nCount == 3);

    CHECK(list.DetachAt(2) == 2);
    CHECK(list.m_ppItems[2] == nullptr);
    CHECK(*pItems[2] == "item"); // detached, not deleted
    delete pItems[2];

    CString* pFar = new CString("far");
    list.SetAt(pFar, 6); // past the end: the gap becomes holes
    CHECK((list.m_nCount == 7 && list.m_nCapacity == 57));
    CHECK((list.m_ppItems[3] == nullptr && list.m_ppItems[5] == nullptr));
    CHECK(list.Find(pFar) == 6);
    CHECK(list.Find(pItems[2]) == -1);

    list.InsertAt(new CString("first"), 0);
    CHECK((list.m_nCount == 8 && list.m_ppItems[1] == pItems[0]));
    list.RemoveAt(0, true);
    CHECK((list.m_nCount == 7 && list.m_ppItems[0] == pItems[0]));

    list.Compact();
    CHECK((list.m_nCount == 2 && list.m_nCapacity == 12));
    CHECK((list.m_ppItems[0] == pItems[0] && list.m_ppItems[1] == pFar));
    list.SetAt(nullptr, -1); // refused
    CHECK(list.m_nCount == 2);
}

static void FillList(int nCount)
{
    s_saverWnd.m_images.RemoveAll(false);
    for (int i = 0; i < nCount; i++)
        s_saverWnd.m_images.Add(new CString("p"));
}

static std::vector<int> Picks(int nCount)
{
    std::vector<int> picks;
    for (int i = 0; i < nCount; i++)
        picks.push_back(s_saverWnd.PickNextPicture());
    return picks;
}

TEST_CASE("Folder order continues its sequence across a rebuild of the list")
{
    s_saverWnd.m_bRandom = 0;
    s_saverWnd.m_nSequence = 0;
    FillList(0);
    CHECK(Picks(1) == std::vector<int>{ -1 });
    FillList(3);
    CHECK(Picks(5) == std::vector<int>{ 0, 1, 2, 0, 1 });
    FillList(2); // the sequence is not reset: 2 modulo 2, then from the start
    CHECK(Picks(3) == std::vector<int>{ 0, 0, 1 });
}

TEST_CASE("Random order stays within the list and reaches all of it")
{
    s_saverWnd.m_bRandom = 1;
    FillList(1);
    CHECK(Picks(20) == std::vector<int>(20, 0));
    FillList(7);
    std::vector<int> seen(7, 0);
    for (int nIndex : Picks(500))
    {
        REQUIRE((nIndex >= 0 && nIndex < 7));
        seen[nIndex]++;
    }
    CHECK(std::count(seen.begin(), seen.end(), 0) == 0);
    s_saverWnd.m_bRandom = 0;
}

TEST_CASE("The display time never overflows the timer")
{
    const std::pair<int, UINT> cases[] = {
        { 0, 1000 }, { 2, 10000 }, { 300, 1500000 }, { -4, 1000 }, { 0x7FFFFFFF, USER_TIMER_MAXIMUM },
    };
    for (const auto& c : cases)
    {
        CAPTURE(c.first);
        s_saverWnd.m_nSpeed = c.first;
        CHECK(s_saverWnd.SlideInterval() == c.second);
    }
}

TEST_CASE("A larger picture is shrunk by one factor to fit inside wide and tall windows")
{
    struct Case
    {
        LONG W, H;
        DWORD iw, ih;
        const char* pszDrawn; // size at place
    };
    const Case cases[] = {
        { 1920, 1080, 4000, 3000, "1440x1070 at 240,5" }, // as high as the window: the 5-pixel margin
        { 1920, 1080, 3000, 4000, "810x1070 at 555,5" },
        { 1080, 1920, 3000, 4000, "1080x1440 at 0,240" },
        { 1080, 1920, 4000, 3000, "1080x810 at 0,555" },
        { 800, 600, 1000, 1109, "541x590 at 129,5" }, // 1109 x (600 / 1109) in floating point is 599
    };
    for (const Case& c : cases)
    {
        CAPTURE(c.W);
        CAPTURE(c.iw);
        CAPTURE(c.ih);
        const RECT rc = FitPicture(RECT{ 0, 0, c.W, c.H }, c.iw, c.ih);
        CHECK(std::to_string(rc.right - rc.left) + "x" + std::to_string(rc.bottom - rc.top) + " at " +
                  std::to_string(rc.left) + "," + std::to_string(rc.top) ==
              std::string(c.pszDrawn));
    }
}

// ---- Settings file -------------------------------------------------------

static std::string IniPath()
{
    char szPath[MAX_PATH];
    ::GetWindowsDirectoryA(szPath, MAX_PATH);
    return std::string(szPath) + "\\Vistel.ini";
}

// Writes the prefix's Vistel.ini and reads the settings from it.
static void LoadFrom(const std::string& text)
{
    FILE* pFile = std::fopen(IniPath().c_str(), "w");
    REQUIRE(pFile != nullptr);
    std::fputs(text.c_str(), pFile);
    std::fclose(pFile);
    ::WritePrivateProfileStringA(nullptr, nullptr, nullptr, "Vistel.ini"); // drop any cached copy
    s_saverWnd.LoadSettings();
}

TEST_CASE("A missing settings file gives the defaults")
{
    ::DeleteFileA(IniPath().c_str());
    s_saverWnd.LoadSettings();
    CHECK(s_saverWnd.GetSpeed() == 8);
    CHECK(s_saverWnd.GetRandom() == 0);
    CHECK(s_saverWnd.GetBackColor() == 0x804000);
    CHECK(std::string(s_saverWnd.GetImagePath()) == "C:\\");
}

TEST_CASE("Reading adds the final backslash (only a backslash counts) and reads numbers as the system does")
{
    // The longest folder the browser gives (MAX_PATH - 1 characters) is read
    // in full, and so is that folder with the backslash reading added.
    const std::string strLong = "D:\\" + std::string(MAX_PATH - 4, 'p');
    const std::string cases[][2] = {
        { "D:\\Photos", "D:\\Photos\\" }, { "D:\\Photos\\", "D:\\Photos\\" }, { "", "\\" }, { "C:/pics/", "C:/pics/\\" },
        { strLong, strLong + "\\" }, { strLong + "\\", strLong + "\\" },
    };
    for (const auto& c : cases)
    {
        LoadFrom("[Vistel]\nImagePath=" + c[0] + "\n");
        CHECK(std::string(s_saverWnd.GetImagePath()) == c[1]);
    }
    LoadFrom("[Vistel]\nSpeed=300\nRandomImage=yes\nBackColor=255\n");
    CHECK(s_saverWnd.GetSpeed() == 300);
    CHECK(s_saverWnd.GetRandom() == 0);
    CHECK(s_saverWnd.GetBackColor() == RGB(255, 0, 0));
    ::DeleteFileA(IniPath().c_str());
}

// The user's own copy of the settings file.
static std::string UserIniFolder()
{
    char szAppData[MAX_PATH] = "";
    ::GetEnvironmentVariableA("APPDATA", szAppData, MAX_PATH);
    return std::string(szAppData) + "\\Vistel";
}

// Removes what a test made in the Windows directory and the user's folder,
// also when it fails.
struct RemoveSettingsFiles
{
    ~RemoveSettingsFiles()
    {
        ::RemoveDirectoryA(IniPath().c_str());
        ::DeleteFileA(IniPath().c_str());
        ::DeleteFileA((UserIniFolder() + "\\Vistel.ini").c_str());
        ::RemoveDirectoryA(UserIniFolder().c_str());
    }
};

TEST_CASE("Settings the Windows directory refuses go to the user's copy, which is read in its place from then on")
{
    RemoveSettingsFiles cleanup;
    ::DeleteFileA(IniPath().c_str());
    REQUIRE(::CreateDirectoryA(IniPath().c_str(), nullptr)); // where the file would be
    s_saverWnd.SetSpeed(3);
    s_saverWnd.SetImagePath("D:\\Photos");
    s_saverWnd.SaveSettings();
    s_saverWnd.SetSpeed(0);
    s_saverWnd.LoadSettings();
    CHECK(s_saverWnd.GetSpeed() == 3);
    CHECK(std::string(s_saverWnd.GetImagePath()) == "D:\\Photos\\");

    // Once the Windows directory takes them again, the user's copy is kept
    // up to date as well: it is still the one that is read.
    REQUIRE(::RemoveDirectoryA(IniPath().c_str()));
    s_saverWnd.SetSpeed(5);
    s_saverWnd.SaveSettings();
    s_saverWnd.SetSpeed(0);
    s_saverWnd.LoadSettings();
    CHECK(s_saverWnd.GetSpeed() == 5);
    CHECK(::GetPrivateProfileIntA("Vistel", "Speed", 0, IniPath().c_str()) == 5);
}

// ---- The folder search ---------------------------------------------------

TEST_CASE("The list skips folders and short-name matches, and a folder too long for the search path lists nothing")
{
    char szTemp[MAX_PATH];
    ::GetTempPathA(MAX_PATH, szTemp);
    const std::string strFolder = std::string(szTemp) + "vistel-scan-" + std::to_string(::GetTickCount()) + "\\";
    ::CreateDirectoryA(strFolder.c_str(), nullptr);
    // The short name of b.jpeg ends in .JPE: the search for "*.jpe" finds it too.
    for (const char* pszFile : { "a.jpg", "b.jpeg" })
        std::fclose(std::fopen((strFolder + pszFile).c_str(), "w"));
    ::CreateDirectoryA((strFolder + "x.jpg").c_str(), nullptr);
    s_saverWnd.SetImagePath(strFolder.c_str());
    s_saverWnd.ListPictures();
    std::string strListed;
    for (int i = 0; i < s_saverWnd.m_images.m_nCount; i++)
        strListed += std::string(*s_saverWnd.m_images.m_ppItems[i]).substr(strFolder.size()) + " ";
    CHECK(strListed == "a.jpg b.jpeg ");

    s_saverWnd.m_images.RemoveAll(false);
    s_saverWnd.ScanFolder(("C:\\" + std::string(252, 'a') + "\\").c_str(), "*.jfif"); // 256 + 6 characters
    s_saverWnd.ScanFolder("Z:\\no\\such\\folder\\", "*.jpg");
    CHECK(s_saverWnd.m_images.m_nCount == 0);
}

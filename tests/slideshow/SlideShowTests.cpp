// The slide show's arithmetic and edge logic: the layout of a picture, the
// picture list, the pick rule and the settings file.
#define DOCTEST_CONFIG_IMPLEMENT_WITH_MAIN
#include <doctest.h>

#include <string>
#include <vector>

#include "../../slideshow/DisplayImage.h"
#include "../../slideshow/SlideShowWnd.h"

static CSlideShowWnd s_saverWnd;

static std::string Layout(int W, int H, DWORD iw, DWORD ih)
{
    const RECT rc = FitPicture(RECT{ 0, 0, W, H }, iw, ih);
    return std::to_string(rc.right - rc.left) + "x" + std::to_string(rc.bottom - rc.top) + " at " +
           std::to_string(rc.left) + "," + std::to_string(rc.top);
}

TEST_CASE("A picture is centred, shrunk by its own orientation, with a margin when as high as the window")
{
    CHECK(Layout(800, 600, 320, 240) == "320x240 at 240,180");
    CHECK(Layout(800, 600, 1024, 768) == "800x590 at 0,5");
    CHECK(Layout(800, 600, 600, 900) == "400x590 at 200,5");
    CHECK(Layout(800, 600, 2000, 500) == "800x200 at 0,200");
    CHECK(Layout(800, 600, 1280, 1024) == "800x640 at 0,0"); // its lowest 40 rows fall outside
    CHECK(Layout(800, 600, 1000, 1000) == "800x800 at 0,0"); // square counts as landscape
    CHECK(Layout(800, 600, 800, 600) == "800x590 at 0,5");
    CHECK(Layout(800, 600, 640, 600) == "640x590 at 80,5");
    CHECK(Layout(800, 600, 800, 500) == "800x500 at 0,50");
    CHECK(Layout(152, 112, 1024, 768) == "152x114 at 0,0");
    CHECK(Layout(800, 600, 0, 0) == "0x0 at 400,300"); // an empty image draws nothing
}

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
    CHECK(capacities[1] == 2);
    CHECK(capacities[2] == 52);   // the 3rd item
    CHECK(capacities[51] == 52);
    CHECK(capacities[52] == 102); // the 53rd
    CHECK(capacities[102] == 152);
    list.RemoveAll(false);
    CHECK(list.m_nCount == 0);
    CHECK(list.m_nCapacity == 152);
    list.RemoveAll(true);
    CHECK(list.m_nCapacity == 50);
}

TEST_CASE("Operations that leave holes, and compacting them away")
{
    CCollection list;
    CString* pItems[4];
    for (CString*& pItem : pItems)
    {
        pItem = new CString("item");
        list.Add(pItem);
    }
    list.RemoveAt(1, false); // a hole in the middle
    CHECK(list.m_nCount == 4);
    CHECK(list.m_ppItems[1] == nullptr);
    list.RemoveAt(3, false); // the last slot: the count drops
    CHECK(list.m_nCount == 3);
    list.RemoveAt(7, true);  // out of range: nothing
    CHECK(list.m_nCount == 3);

    CHECK(list.DetachAt(2) == 2);
    CHECK(list.m_ppItems[2] == nullptr);
    CHECK(*pItems[2] == "item"); // detached, not deleted
    delete pItems[2];

    CString* pFar = new CString("far");
    list.SetAt(pFar, 6); // past the end: the gap becomes holes
    CHECK(list.m_nCount == 7);
    CHECK(list.m_nCapacity == 57);
    CHECK(list.m_ppItems[3] == nullptr);
    CHECK(list.m_ppItems[5] == nullptr);
    CHECK(list.Find(pFar) == 6);
    CHECK(list.Find(pItems[2]) == -1);

    CString* pFirst = new CString("first");
    list.InsertAt(pFirst, 0);
    CHECK(list.m_nCount == 8);
    CHECK(list.m_ppItems[1] == pItems[0]);
    list.RemoveAt(0, true);
    CHECK(list.m_ppItems[0] == pItems[0]);
    CHECK(list.m_nCount == 7);

    list.Compact();
    CHECK(list.m_nCount == 2);
    CHECK(list.m_nCapacity == 12);
    CHECK(list.m_ppItems[0] == pItems[0]);
    CHECK(list.m_ppItems[1] == pFar);

    list.SetAt(nullptr, -1); // refused
    CHECK(list.m_nCount == 2);
}

static void FillList(int nCount)
{
    s_saverWnd.m_images.RemoveAll(false);
    for (int i = 0; i < nCount; i++)
        s_saverWnd.m_images.Add(new CString("p"));
}

TEST_CASE("Folder order cycles through the slots and continues across a rebuild")
{
    s_saverWnd.m_bRandom = 0;
    s_saverWnd.m_nSequence = 0;
    FillList(0);
    CHECK(s_saverWnd.PickNextPicture() == -1);
    CHECK(s_saverWnd.m_nSequence == 0);

    FillList(3);
    std::vector<int> picks;
    for (int i = 0; i < 5; i++)
        picks.push_back(s_saverWnd.PickNextPicture());
    CHECK(picks == std::vector<int>{ 0, 1, 2, 0, 1 });
    CHECK(s_saverWnd.m_nSequence == 2);

    FillList(2); // the sequence is not reset: 2 modulo 2, then from the start
    CHECK(s_saverWnd.PickNextPicture() == 0);
    CHECK(s_saverWnd.PickNextPicture() == 0);
    CHECK(s_saverWnd.PickNextPicture() == 1);
}

TEST_CASE("Random order stays within the list")
{
    s_saverWnd.m_bRandom = 1;
    FillList(1);
    for (int i = 0; i < 20; i++)
        CHECK(s_saverWnd.PickNextPicture() == 0);
    FillList(7);
    bool bSeen[7] = {};
    for (int i = 0; i < 500; i++)
    {
        const int nIndex = s_saverWnd.PickNextPicture();
        REQUIRE(nIndex >= 0);
        REQUIRE(nIndex < 7);
        bSeen[nIndex] = true;
    }
    for (bool bPicked : bSeen)
        CHECK(bPicked);
    s_saverWnd.m_bRandom = 0;
}

TEST_CASE("The display time never overflows the timer")
{
    s_saverWnd.m_nSpeed = 0;
    CHECK(s_saverWnd.SlideInterval() == 1000);
    s_saverWnd.m_nSpeed = 2;
    CHECK(s_saverWnd.SlideInterval() == 10000);
    s_saverWnd.m_nSpeed = 300;
    CHECK(s_saverWnd.SlideInterval() == 1500000);
    s_saverWnd.m_nSpeed = -4;
    CHECK(s_saverWnd.SlideInterval() == 1000);
    s_saverWnd.m_nSpeed = 0x7FFFFFFF;
    CHECK(s_saverWnd.SlideInterval() == USER_TIMER_MAXIMUM);
}

// ---- Settings file -------------------------------------------------------

static std::string IniPath()
{
    char szPath[MAX_PATH];
    ::GetWindowsDirectoryA(szPath, MAX_PATH);
    return std::string(szPath) + "\\Vistel.ini";
}

static void WriteIni(const char* pszText)
{
    FILE* pFile = std::fopen(IniPath().c_str(), "w");
    REQUIRE(pFile != nullptr);
    std::fputs(pszText, pFile);
    std::fclose(pFile);
    ::WritePrivateProfileStringA(nullptr, nullptr, nullptr, "Vistel.ini"); // drop any cached copy
}

static std::string ReadIni()
{
    std::string text;
    FILE* pFile = std::fopen(IniPath().c_str(), "r");
    REQUIRE(pFile != nullptr);
    char szLine[512];
    while (std::fgets(szLine, sizeof(szLine), pFile))
        text += szLine;
    std::fclose(pFile);
    return text;
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

TEST_CASE("Reading adds the final backslash, and only a backslash counts")
{
    const char* cases[][2] = {
        { "D:\\Photos", "D:\\Photos\\" },
        { "D:\\Photos\\", "D:\\Photos\\" },
        { "", "\\" },
        { "C:/pics/", "C:/pics/\\" },
    };
    for (const auto& c : cases)
    {
        WriteIni((std::string("[Vistel]\nImagePath=") + c[0] + "\n").c_str());
        s_saverWnd.LoadSettings();
        CHECK(std::string(s_saverWnd.GetImagePath()) == c[1]);
    }
}

TEST_CASE("Values read as the system's integer reader gives them")
{
    WriteIni("[Vistel]\nSpeed=300\nRandomImage=yes\nBackColor=255\n");
    s_saverWnd.LoadSettings();
    CHECK(s_saverWnd.GetSpeed() == 300);
    CHECK(s_saverWnd.GetRandom() == 0);
    CHECK(s_saverWnd.GetBackColor() == RGB(255, 0, 0));
}

TEST_CASE("Saving writes all four keys in their order, and reading gives them back")
{
    ::DeleteFileA(IniPath().c_str());
    s_saverWnd.SetSpeed(2);
    s_saverWnd.SetImagePath("D:\\Photos");
    s_saverWnd.SetRandom(1);
    s_saverWnd.SetBackColor(0x804000);
    s_saverWnd.SaveSettings();
    ::WritePrivateProfileStringA(nullptr, nullptr, nullptr, "Vistel.ini");
    CHECK(ReadIni() == "[Vistel]\nSpeed=2\nImagePath=D:\\Photos\nRandomImage=1\nBackColor=8404992\n");

    s_saverWnd.m_nSpeed = 0;
    s_saverWnd.LoadSettings();
    CHECK(s_saverWnd.GetSpeed() == 2);
    CHECK(s_saverWnd.GetRandom() == 1);
    CHECK(s_saverWnd.GetBackColor() == 0x804000);
    CHECK(std::string(s_saverWnd.GetImagePath()) == "D:\\Photos\\");
    ::DeleteFileA(IniPath().c_str());
}

// ---- The folder search ---------------------------------------------------

static std::string MakeFolder(const std::vector<std::string>& files, const std::vector<std::string>& folders)
{
    char szTemp[MAX_PATH];
    ::GetTempPathA(MAX_PATH, szTemp);
    const std::string strFolder = std::string(szTemp) + "vistel-scan-" + std::to_string(::GetTickCount()) + "\\";
    ::CreateDirectoryA(strFolder.c_str(), nullptr);
    for (const std::string& file : files)
    {
        FILE* pFile = std::fopen((strFolder + file).c_str(), "w");
        std::fclose(pFile);
    }
    for (const std::string& folder : folders)
        ::CreateDirectoryA((strFolder + folder).c_str(), nullptr);
    return strFolder;
}

static std::vector<std::string> Listed()
{
    std::vector<std::string> names;
    for (int i = 0; i < s_saverWnd.m_images.m_nCount; i++)
    {
        const std::string path(static_cast<LPCSTR>(*s_saverWnd.m_images.m_ppItems[i]));
        names.push_back(path.substr(path.rfind('\\') + 1));
    }
    return names;
}

TEST_CASE("The list goes by pattern first, skips folders and ignores letter case")
{
    const std::string strFolder = MakeFolder({ "a.jpg", "b.bmp", "c.pcx", "PHOTO.JPEG", "notes.txt" }, { "x.jpg" });
    s_saverWnd.m_images.RemoveAll(false);
    for (const char* pszPattern : { "*.jpg", "*.jpeg", "*.jpe", "*.jif", "*.jfif", "*.pcx", "*.tga", "*.bmp", "*.dib" })
        s_saverWnd.ScanFolder(strFolder.c_str(), pszPattern);
    // The system's search also matches the short alias PHOTO~1.JPE, so the
    // long name is listed by "*.jpeg" and again by "*.jpe": nothing is
    // removed as a duplicate.
    CHECK(Listed() == std::vector<std::string>{ "a.jpg", "PHOTO.JPEG", "PHOTO.JPEG", "c.pcx", "b.bmp" });
    CHECK(std::string(*s_saverWnd.m_images.m_ppItems[0]) == strFolder + "a.jpg");
}

TEST_CASE("A folder too long for the search path lists nothing")
{
    s_saverWnd.m_images.RemoveAll(false);
    const std::string strLong = "C:\\" + std::string(252, 'a') + "\\";
    s_saverWnd.ScanFolder(strLong.c_str(), "*.jfif"); // 256 + 6 characters
    CHECK(s_saverWnd.m_images.m_nCount == 0);
    s_saverWnd.ScanFolder("Z:\\no\\such\\folder\\", "*.jpg");
    CHECK(s_saverWnd.m_images.m_nCount == 0);
}

TEST_CASE("A picture's format is told by the end of its name, in any letter case")
{
    CHECK(FormatOfPath("C:\\P\\PHOTO.JPEG") == FORMAT_JPEG);
    for (const char* pszName : { "a.jpg", "a.jpe", "a.JIF", "a.jfif" })
        CHECK(FormatOfPath(pszName) == FORMAT_JPEG);
    CHECK(FormatOfPath("x.Pcx") == FORMAT_PCX);
    CHECK(FormatOfPath("x.tga") == FORMAT_TARGA);
    CHECK(FormatOfPath("x.bmp") == FORMAT_BMP);
    CHECK(FormatOfPath("x.dib") == FORMAT_BMP);
    CHECK(FormatOfPath("jpg") == FORMAT_JPEG);
    CHECK(FormatOfPath("") == FORMAT_BMP);
}

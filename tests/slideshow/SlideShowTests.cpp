// The slide show's order, timing, fitting, settings file and folder
// listing and its draw on several monitors, in-process (the settings file
// is the prefix's Vistel.ini).
#define DOCTEST_CONFIG_IMPLEMENT_WITH_MAIN
#include <doctest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "../../slideshow/DisplayImage.h"
#include "../../slideshow/SlideShowWnd.h"
#include "../image/TestPictures.h"

static CSlideShowWnd s_saverWnd;

// The next nPicks picks from a list of nCount pictures.
static std::vector<int> Picks(int nCount, int nPicks)
{
    s_saverWnd.m_images.RemoveAll(false);
    for (int i = 0; i < nCount; i++)
        s_saverWnd.m_images.Add(new CString("p"));
    std::vector<int> picks;
    for (int i = 0; i < nPicks; i++)
        picks.push_back(s_saverWnd.PickNextPicture());
    return picks;
}

TEST_CASE("Folder order continues across a rebuilt list")
{
    CHECK(Picks(0, 1) == std::vector<int>{ -1 });
    CHECK(Picks(3, 5) == std::vector<int>{ 0, 1, 2, 0, 1 });
    CHECK(s_saverWnd.m_images.m_nCapacity >= 3); // grown before the third was written past two slots
    CHECK(Picks(2, 3) == std::vector<int>{ 0, 0, 1 }); // the sequence (2) goes on modulo 2
}

TEST_CASE("Random order gives every part of a list larger than rand()'s range its share")
{
    // 280,000 picks of 70,000 pictures: each quarter's 70,000 expected picks
    // vary by about 230, so a margin of 1,400 (six times that) never fails
    // by chance.
    s_saverWnd.m_bRandom = 1;
    std::vector<int> quarters(4, 0);
    for (int nIndex : Picks(70000, 280000))
        quarters.at(static_cast<size_t>(nIndex) / 17500)++;
    for (int nPicks : quarters)
        CHECK(std::abs(nPicks - 70000) < 1400);
    s_saverWnd.m_bRandom = 0;
}

TEST_CASE("Each monitor shows the picture centred, shrunk by one factor when larger, 5 pixels from edges as high")
{
    // The window covers the virtual screen; without monitors, one monitor is the window.
    const struct { RECT rcWindow; DWORD iw, ih; const char* pszDrawn; std::vector<RECT> monitors = {}; } cases[] = {
        { { 0, 0, 800, 600 }, 1024, 768, "800x590 at 0,5" },  { { 0, 0, 800, 600 }, 640, 480, "640x480 at 80,60" },
        { { 0, 0, 800, 600 }, 400, 600, "400x590 at 200,5" }, { { 0, 0, 800, 600 }, 1600, 600, "800x300 at 0,150" },
        { { 0, 0, 800, 600 }, 1000, 1109, "541x590 at 129,5" },
        { { 0, 0, 1920, 1080 }, 3000, 4000, "810x1070 at 555,5" },
        { { 0, 0, 1080, 1920 }, 3000, 4000, "1080x1440 at 0,240" },
        { { 0, 0, 3200, 1080 }, 3000, 2000, "1620x1070 at 150,5 1280x853 at 1920,85",
          { { 0, 0, 1920, 1080 }, { 1920, 0, 3200, 1024 } } },
        { { -1024, 0, 1920, 1080 }, 1600, 1200, "1024x758 at 0,205 1440x1070 at 1264,5",
          { { -1024, 200, 0, 968 }, { 0, 0, 1920, 1080 } } },
    };
    for (const auto& c : cases)
    {
        const std::vector<RECT> monitors = c.monitors.empty() ? std::vector<RECT>{ c.rcWindow } : c.monitors;
        RECT rcAreas[2];
        std::string strDrawn;
        for (int i = 0; i < PictureAreas(c.rcWindow, monitors.data(), static_cast<int>(monitors.size()), rcAreas); i++)
        {
            const RECT rc = FitPicture(rcAreas[i], c.iw, c.ih);
            strDrawn += std::string(i ? " " : "") + std::to_string(rc.right - rc.left) + "x" +
                        std::to_string(rc.bottom - rc.top) + " at " + std::to_string(rc.left) + "," +
                        std::to_string(rc.top);
        }
        CHECK(strDrawn == c.pszDrawn);
    }
}

// The settings read: speed, order, colour, folder, and the timer interval.
static std::string Settings()
{
    ::WritePrivateProfileStringA(nullptr, nullptr, nullptr, "Vistel.ini"); // drop any cached copy
    s_saverWnd.LoadSettings();
    return std::to_string(s_saverWnd.GetSpeed()) + " " + std::to_string(s_saverWnd.GetRandom()) + " " +
           std::to_string(s_saverWnd.GetBackColor()) + " " + s_saverWnd.GetImagePath() + " " +
           std::to_string(CSlideShowWnd::SlideInterval(s_saverWnd.GetSpeed())) + " ms";
}

static std::string WindowsIni()
{
    char szWindows[MAX_PATH];
    ::GetWindowsDirectoryA(szWindows, MAX_PATH);
    return std::string(szWindows) + "\\Vistel.ini";
}

TEST_CASE("The settings read: defaults, numbers as the system reads them, the final backslash, the timer interval")
{
    const std::string strIni = WindowsIni();
    const std::string strLong = "D:\\" + std::string(MAX_PATH - 4, 'p'); // the longest the browser gives
    const std::pair<std::string, std::string> cases[] = {
        { "", "8 0 8404992 C:\\ 40000 ms" }, // 8404992 is 0x804000, a dark blue
        { "Speed=300\nRandomImage=yes\nBackColor=255", "300 0 255 C:\\ 1500000 ms" },
        { "Speed=0\nRandomImage=1", "0 1 8404992 C:\\ 1000 ms" },
        { "Speed=-4", "-4 0 8404992 C:\\ 1000 ms" },
        { "Speed=2147483647", "2147483647 0 8404992 C:\\ 2147483647 ms" },
        { "ImagePath=", "8 0 8404992 \\ 40000 ms" },
        { "ImagePath=C:/pics/", "8 0 8404992 C:/pics/\\ 40000 ms" },
        { "ImagePath=" + strLong, "8 0 8404992 " + strLong + "\\ 40000 ms" },
        { "ImagePath=" + strLong + "\\", "8 0 8404992 " + strLong + "\\ 40000 ms" },
    };
    for (const auto& c : cases)
    {
        std::ofstream(strIni) << "[Vistel]\n" << c.first << "\n";
        CHECK(Settings() == c.second);
    }
}

TEST_CASE("Settings the Windows folder refuses go to the user's copy, which is read in its place and kept up to date")
{
    const std::string strIni = WindowsIni();
    const std::string strUserFolder = std::string(std::getenv("APPDATA")) + "\\Vistel";
    ::DeleteFileA(strIni.c_str());
    CHECK(::CreateDirectoryA(strIni.c_str(), nullptr)); // where the file would be
    s_saverWnd.SetImagePath("D:\\Photos");
    const std::pair<int, const char*> saves[] = { { 3, "3 0 8404992 D:\\Photos\\ 15000 ms" },
                                                  { 5, "5 0 8404992 D:\\Photos\\ 25000 ms" } };
    for (const auto& c : saves)
    {
        s_saverWnd.SetSpeed(c.first);
        s_saverWnd.SaveSettings();
        s_saverWnd.SetSpeed(0);
        CHECK(Settings() == c.second);
        ::RemoveDirectoryA(strIni.c_str()); // the Windows directory takes them again
    }
    CHECK(::GetPrivateProfileIntA("Vistel", "Speed", 0, strIni.c_str()) == 5);
    ::DeleteFileA(strIni.c_str());
    ::DeleteFileA((strUserFolder + "\\Vistel.ini").c_str());
    ::RemoveDirectoryA(strUserFolder.c_str());
}

TEST_CASE("The list holds the folder's picture files once each, not its folders")
{
    const std::string strFolder = TempPath("vistel-scan\\");
    // The short name of b.jpeg ends in .JPE: the search for "*.jpe" finds it too.
    for (const char* pszFolder : { "", "x.jpg" })
        ::CreateDirectoryA((strFolder + pszFolder).c_str(), nullptr);
    for (const char* pszFile : { "a.jpg", "b.jpeg" })
        std::ofstream(strFolder + pszFile).put('x');
    s_saverWnd.SetImagePath(strFolder.c_str());
    s_saverWnd.ListPictures();
    std::string strListed;
    for (int i = 0; i < s_saverWnd.m_images.m_nCount; i++)
        strListed += std::string(*s_saverWnd.m_images.m_ppItems[i]).substr(strFolder.size()) + " ";
    CHECK(strListed == "a.jpg b.jpeg ");
}

TEST_CASE("A folder too long for the search path lists nothing")
{
    s_saverWnd.m_images.RemoveAll(false);
    s_saverWnd.ScanFolder(("C:\\" + std::string(252, 'a') + "\\").c_str(), "*.jfif"); // 256 + 6 characters
    CHECK(s_saverWnd.m_images.m_nCount == 0);
}

TEST_CASE("A monitor smaller than the one the picture was loaded for shows it averaged, not sampled")
{
    // 150 x 100 in black and white columns one pixel wide: 1:1 on the
    // 160 x 120 monitor, 100 x 66 at 160,7 on the 100 x 80 one, where each
    // pixel covers one and a half columns (grey 85 or 170).
    Bytes pixels(452 * 100); // rows of 450 bytes and 2 of padding
    for (size_t i = 0; i < pixels.size(); i++)
        pixels[i] = i % 452 / 3 % 2 != 0 ? 255 : 0;
    SECDib image;
    REQUIRE(image.LoadFromPath(WriteTempFile("vistel-columns.bmp", BuildBmp(150, 100, 24, {}, pixels)).c_str()));
    const BITMAPINFOHEADER header = { 40, 260, -120, 1, 32, BI_RGB, 0, 0, 0, 0, 0 };
    void* pvScreen = nullptr;
    const HBITMAP hScreen = ::CreateDIBSection(nullptr, reinterpret_cast<const BITMAPINFO*>(&header),
                                               DIB_RGB_COLORS, &pvScreen, nullptr, 0);
    CDC dc;
    dc.Attach(::CreateCompatibleDC(nullptr));
    const HGDIOBJ hOld = ::SelectObject(dc.m_hDC, hScreen);
    dc.SetStretchBltMode(COLORONCOLOR);
    RECT rcAreas[] = { { 160, 0, 260, 80 }, { 0, 0, 160, 120 } };
    DrawPictureAreas(&dc, image, rcAreas, 2);
    ::GdiFlush();
    const auto blue = [&](int x, int y) { return static_cast<const BYTE*>(pvScreen)[4 * (y * 260 + x)]; };
    int nSampled = 0, nWrong = 0;
    for (int y = 7; y < 73; y++)
        for (int x = 160; x < 260; x++)
            nSampled += blue(x, y) < 64 || blue(x, y) > 191;
    for (int y = 10; y < 110; y++)
        for (int x = 5; x < 155; x++)
            nWrong += blue(x, y) != ((x - 5) % 2 != 0 ? 255 : 0);
    CHECK(nSampled == 0);
    CHECK(nWrong == 0);
    ::DeleteObject(::SelectObject(dc.m_hDC, hOld));
    ::DeleteDC(dc.Detach());
}

// The link control in-process: fitting, and opening through the registry's
// web-page program.
#define DOCTEST_CONFIG_IMPLEMENT_WITH_MAIN
#include <doctest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "HyperLink.h"

static HFONT s_hFont = ::CreateFontA(-11, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "MS Sans Serif");
static const char LINK_TEXT[] = "Click here to visit the Vistel Home Page.";

static HWND MakeStatic(LPCSTR pszText, DWORD dwStyle, DWORD dwExStyle, int cx, int cy)
{
    static HWND s_hParent = ::CreateWindowExA(0, "Static", "Links", WS_POPUP | WS_VISIBLE, 0, 0, 600, 400, nullptr,
                                              nullptr, nullptr, nullptr);
    HWND hStatic = ::CreateWindowExA(dwExStyle, "Static", pszText, WS_CHILD | WS_VISIBLE | dwStyle, 20, 20, cx, cy,
                                     s_hParent, nullptr, nullptr, nullptr);
    ::SendMessageA(hStatic, WM_SETFONT, reinterpret_cast<WPARAM>(s_hFont), FALSE);
    return hStatic;
}

TEST_CASE("A link fits itself to its text, keeping the edge its alignment names")
{
    SIZE text = {};
    HDC hDC = ::CreateCompatibleDC(nullptr);
    ::SelectObject(hDC, s_hFont);
    ::GetTextExtentPoint32A(hDC, LINK_TEXT, sizeof(LINK_TEXT) - 1, &text);
    ::DeleteDC(hDC);
    // Made at (20, 20), 100 x 20 pixels larger than its text and border.
    const struct { DWORD dwStyle, dwExStyle; int border, dx, dy; } cases[] = {
        { SS_RIGHT | WS_BORDER, 0, 2, 100, 0 }, { SS_CENTER, 0, 0, 50, 0 },
        { SS_LEFT | SS_CENTERIMAGE, WS_EX_STATICEDGE, 2, 0, 10 },
    };
    for (const auto& c : cases)
    {
        CHyperLink link;
        const int cx = text.cx + c.border, cy = text.cy + c.border;
        REQUIRE(link.SubclassWindow(MakeStatic(LINK_TEXT, c.dwStyle, c.dwExStyle, cx + 100, cy + 20)));
        RECT rc;
        ::GetWindowRect(link.m_hWnd, &rc);
        ::MapWindowPoints(nullptr, ::GetParent(link.m_hWnd), reinterpret_cast<POINT*>(&rc), 2);
        const RECT rcWanted = { 20 + c.dx, 20 + c.dy, 20 + c.dx + cx, 20 + c.dy + cy };
        CHECK_MESSAGE(::EqualRect(&rc, &rcWanted), c.dwStyle);
        ::DestroyWindow(link.m_hWnd);
    }
}

// Sets the unnamed value of a key of HKEY_CLASSES_ROOT to these bytes; no bytes delete the key.
static void SetClassValue(LPCSTR pszKey, const std::string& bytes)
{
    HKEY hKey;
    ::RegDeleteKeyA(HKEY_CLASSES_ROOT, pszKey);
    if (!bytes.empty() && ::RegCreateKeyA(HKEY_CLASSES_ROOT, pszKey, &hKey) == ERROR_SUCCESS)
    {
        ::RegSetValueExA(hKey, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(bytes.data()), DWORD(bytes.size()));
        ::RegCloseKey(hKey);
    }
}

// The line the probe, started as the program, wrote (waiting up to dwWait ms); empty when nothing was started.
static std::string Recorded(const std::string& record, DWORD dwWait = 10000)
{
    std::string line;
    for (DWORD dwStart = ::GetTickCount(); line.empty() && ::GetTickCount() - dwStart < dwWait; ::Sleep(50))
        std::getline(std::ifstream(record), line);
    std::remove(record.c_str());
    return line;
}

TEST_CASE("When the shell cannot open a target the program registered for web pages does, within its buffers")
{
    char szPath[MAX_PATH];
    std::string folder(szPath, ::GetModuleFileNameA(nullptr, szPath, MAX_PATH));
    folder.erase(folder.find_last_of('\\') + 1);
    const std::string rec = folder + "probe.exe", q = "\"" + rec + "\"", record = folder + "opened-unit.txt";
    ::SetEnvironmentVariableA("VISTEL_RECORD", record.c_str());
    char szHtmClass[MAX_PATH] = "";
    LONG cb = sizeof(szHtmClass);
    const bool bHadClass = ::RegQueryValueA(HKEY_CLASSES_ROOT, ".htm", szHtmClass, &cb) == ERROR_SUCCESS;
    const std::string page = "VistelUnitPage";
    SetClassValue(".htm", page + '\0');

    const std::string target = "vistel-unknown:page", quoted = q + " \"%1\"" + '\0';
    const std::string longCommand = q + " " + std::string(257 - rec.size(), 'x'); // 260 characters
    // With the quoted command, a blank and its end it just fits 520 bytes.
    const std::string longTarget = "vistel-unknown:" + std::string(500 - rec.size(), 'p');
    // The command's bytes; nothing received: the shell's own failure.
    const struct { std::string command, target, received; } cases[] = {
        { "", target, "" },
        { quoted, target, q + "  " + target },
        { rec + " %1 -new" + '\0', target, rec + "  " + target },
        { q + " -page" + '\0', target, q + " -page " + target },
        { longCommand + '\0', target, "" },
        { longCommand, target, "" }, // without its end
        { quoted, longTarget + "p", "" },
        { quoted, longTarget, q + "  " + longTarget },
    };
    int nShellResult = 0;
    for (const auto& c : cases)
    {
        CAPTURE(c.command);
        SetClassValue((page + "\\shell\\open\\command").c_str(), c.command);
        const int nResult = CHyperLink::OpenLink(c.target.c_str(), SW_SHOW);
        if (c.command.empty())
            nShellResult = nResult;
        if (c.received.empty())
        {
            CHECK(nResult <= 32);
            CHECK(nResult == nShellResult);
        }
        else
        {
            CHECK(nResult > 32);
            CHECK(Recorded(record) == c.received);
        }
    }
    CHECK(Recorded(record, 500).empty()); // no failure started anything
    for (const std::string& key : { page + "\\shell\\open\\command", page + "\\shell\\open", page + "\\shell", page })
        ::RegDeleteKeyA(HKEY_CLASSES_ROOT, key.c_str());
    SetClassValue(".htm", bHadClass ? std::string(szHtmClass) + '\0' : "");
}

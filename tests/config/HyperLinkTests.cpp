// CHyperLink in-process, for what the dialog of the real saver cannot show:
// fitting for every alignment and border, binding without a text, the
// colours of options the dialog leaves off, the fallback opening through
// the prefix's registry at its buffers' limits, and the message box's
// texts. The dialog's links are driven by the end-to-end tests.
#define DOCTEST_CONFIG_IMPLEMENT_WITH_MAIN
#include <doctest.h>

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "HyperLink.h"

// ---- A parent window that passes control-colour requests back -------------

class CLinkParent : public CWnd
{
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CLinkParent, CWnd)
    ON_WM_CTLCOLORSTATIC()
END_MESSAGE_MAP()

static CLinkParent s_parent;

static LRESULT CALLBACK ParentProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (s_parent.m_hWnd == nullptr)
        s_parent.Attach(hWnd);
    return AfxCallWndProc(&s_parent, hWnd, message, wParam, lParam);
}

static HWND ParentWindow()
{
    if (s_parent.m_hWnd == nullptr)
    {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = ParentProc;
        wc.hInstance = ::GetModuleHandleA(nullptr);
        wc.lpszClassName = "VistelLinkParent";
        ::RegisterClassA(&wc);
        ::CreateWindowExA(0, wc.lpszClassName, "Links", WS_POPUP | WS_VISIBLE, 0, 0, 600, 400, nullptr, nullptr,
                          wc.hInstance, nullptr);
    }
    return s_parent.m_hWnd;
}

static HFONT DialogFont()
{
    static HFONT hFont = ::CreateFontA(-11, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "MS Sans Serif");
    return hFont;
}

static HWND MakeStatic(LPCSTR pszText, DWORD dwStyle, DWORD dwExStyle = 0, BOOL bFont = TRUE)
{
    HWND hStatic = ::CreateWindowExA(dwExStyle, "Static", pszText, WS_CHILD | WS_VISIBLE | dwStyle, 20, 20, 300, 40,
                                     ParentWindow(), nullptr, ::GetModuleHandleA(nullptr), nullptr);
    if (bFont)
        ::SendMessageA(hStatic, WM_SETFONT, reinterpret_cast<WPARAM>(DialogFont()), FALSE);
    return hStatic;
}

static RECT RectInParent(HWND hWnd)
{
    RECT rc;
    ::GetWindowRect(hWnd, &rc);
    ::MapWindowPoints(nullptr, ::GetParent(hWnd), reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

static SIZE TextSize(LPCSTR pszText)
{
    SIZE size = {};
    HDC hDC = ::GetDC(nullptr);
    HGDIOBJ hOld = ::SelectObject(hDC, DialogFont());
    ::GetTextExtentPoint32A(hDC, pszText, static_cast<int>(std::strlen(pszText)), &size);
    ::SelectObject(hDC, hOld);
    ::ReleaseDC(nullptr, hDC);
    return size;
}

static const char LINK_TEXT[] = "Click here to visit the Vistel Home Page.";

TEST_CASE("A link fits itself to its text and keeps the edge its alignment names")
{
    const SIZE text = TextSize(LINK_TEXT);
    // The control was made at (20, 20), 300 x 40.
    struct Case { const char* name; DWORD dwStyle, dwExStyle; int border; };
    const Case cases[] = {
        { "left", SS_LEFT, 0, 0 },
        { "centred", SS_CENTER, 0, 0 },
        { "right", SS_RIGHT, 0, 0 },
        { "right with a border", SS_RIGHT | WS_BORDER, 0, 2 },
        { "centred with an edge", SS_CENTER, WS_EX_STATICEDGE, 2 },
        { "centred vertically", SS_LEFT | SS_CENTERIMAGE, WS_EX_STATICEDGE, 2 },
    };
    for (const Case& c : cases)
    {
        const std::string name = c.name;
        CAPTURE(name);
        CHyperLink link;
        REQUIRE(link.SubclassWindow(MakeStatic(LINK_TEXT, c.dwStyle, c.dwExStyle)));
        const RECT rc = RectInParent(link.m_hWnd);
        // Centring shrinks both sides by the same whole number of pixels:
        // an odd difference leaves one pixel more.
        const int cxSpare = (c.dwStyle & SS_TYPEMASK) == SS_CENTER ? (300 - text.cx - c.border) % 2 : 0;
        const int cySpare = (c.dwStyle & SS_CENTERIMAGE) != 0 ? (40 - text.cy - c.border) % 2 : 0;
        CHECK(rc.right - rc.left == text.cx + c.border + cxSpare);
        CHECK(rc.bottom - rc.top == text.cy + c.border + cySpare);
        switch (c.dwStyle & SS_TYPEMASK)
        {
        case SS_LEFT: CHECK(rc.left == 20); break;
        case SS_RIGHT: CHECK(rc.right == 320); break;
        case SS_CENTER: CHECK(std::abs((rc.left + rc.right) - 340) <= 1); break;
        }
        if ((c.dwStyle & SS_CENTERIMAGE) != 0)
            CHECK(std::abs((rc.top + rc.bottom) - 80) <= 1);
        else
            CHECK(rc.top == 20);
        ::DestroyWindow(link.m_hWnd);
    }
}

TEST_CASE("Without a font or without the option a link keeps its size")
{
    for (BOOL bFont : { FALSE, TRUE })
    {
        CHyperLink link;
        if (bFont)
            link.m_dwLinkOptions &= ~HLO_AUTOSIZE;
        REQUIRE(link.SubclassWindow(MakeStatic(LINK_TEXT, SS_RIGHT, 0, bFont)));
        const RECT rc = RectInParent(link.m_hWnd);
        CHECK((rc.right - rc.left == 300 && rc.bottom - rc.top == 40));
        ::DestroyWindow(link.m_hWnd);
    }
}

static std::string TipText(CHyperLink& link)
{
    char szText[256] = "";
    TOOLINFOA ti = {};
    ti.cbSize = TTTOOLINFOA_V1_SIZE;
    ti.hwnd = link.m_hWnd;
    ti.uId = 1;
    ti.lpszText = szText;
    ::SendMessageA(link.m_tipLink.m_hWnd, TTM_GETTEXTA, 0, reinterpret_cast<LPARAM>(&ti));
    return szText;
}

TEST_CASE("Binding takes the target from the text, or the text from the target")
{
    CHyperLink link;
    REQUIRE(link.SubclassWindow(MakeStatic("Visit us", SS_LEFT)));
    CHECK(link.m_strTarget == "Visit us");
    CHECK(TipText(link) == "Visit us");
    // An underlined copy of the font; the font the control was given stays as it was.
    LOGFONTA lfLink, lfDialog;
    REQUIRE(::GetObjectA(reinterpret_cast<HFONT>(::SendMessageA(link.m_hWnd, WM_GETFONT, 0, 0)), sizeof(lfLink),
                         &lfLink) == sizeof(lfLink));
    ::GetObjectA(DialogFont(), sizeof(lfDialog), &lfDialog);
    CHECK((lfLink.lfUnderline == 1 && lfDialog.lfUnderline == 0));
    CHECK(std::strcmp(lfLink.lfFaceName, lfDialog.lfFaceName) == 0);
    link.SetTarget("https://vistel.example/");
    CHECK(TipText(link) == "https://vistel.example/");
    char szText[64];
    ::GetWindowTextA(link.m_hWnd, szText, sizeof(szText));
    CHECK(std::string(szText) == "Visit us");
    ::DestroyWindow(link.m_hWnd);

    CHyperLink bare;
    bare.m_strTarget = "mailto:vistel@corvane.example";
    REQUIRE(bare.SubclassWindow(MakeStatic("", SS_LEFT)));
    ::GetWindowTextA(bare.m_hWnd, szText, sizeof(szText));
    CHECK(std::string(szText) == "mailto:vistel@corvane.example");
    ::DestroyWindow(bare.m_hWnd);
}

// The colours the parent's control-colour request gives a control.
static COLORREF LinkColour(HWND hControl, HBRUSH* phBrush = nullptr)
{
    HDC hDC = ::CreateCompatibleDC(nullptr);
    ::SetTextColor(hDC, RGB(1, 2, 3));
    ::SetBkMode(hDC, OPAQUE);
    const LRESULT lBrush = ::SendMessageA(::GetParent(hControl), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(hDC),
                                          reinterpret_cast<LPARAM>(hControl));
    const COLORREF cr = ::GetBkMode(hDC) == TRANSPARENT ? ::GetTextColor(hDC) : CLR_INVALID;
    ::DeleteDC(hDC);
    if (phBrush != nullptr)
        *phBrush = reinterpret_cast<HBRUSH>(lBrush);
    return cr;
}

TEST_CASE("A link answers the parent's control-colour request; other controls keep the default colours")
{
    CHyperLink link;
    REQUIRE(link.SubclassWindow(MakeStatic(LINK_TEXT, SS_LEFT)));
    HBRUSH hBrush = nullptr;
    CHECK(LinkColour(link.m_hWnd, &hBrush) == RGB(0, 0, 255));
    CHECK(hBrush == static_cast<HBRUSH>(::GetStockObject(NULL_BRUSH)));
    // The options the dialog leaves off: hover colour on, active colour off.
    link.m_bVisited = link.m_bSelected = link.m_bHover = TRUE;
    link.m_dwLinkOptions |= HLO_HOVERCOLOUR | HLO_NOACTIVECOLOUR;
    CHECK(LinkColour(link.m_hWnd) == RGB(255, 0, 0));
    link.m_bHover = FALSE;
    CHECK(LinkColour(link.m_hWnd) == RGB(128, 0, 128));
    ::DestroyWindow(link.m_hWnd);

    CStatic plain;
    REQUIRE(plain.SubclassWindow(MakeStatic("Plain", SS_LEFT)));
    CHECK(LinkColour(plain.m_hWnd, &hBrush) == CLR_INVALID);
    CHECK(hBrush == nullptr);
    ::DestroyWindow(plain.m_hWnd);
}

// ---- Opening through the program registered for web pages -----------------

// Sets the unnamed value of a key of HKEY_CLASSES_ROOT to exactly these bytes.
static void SetClassBytes(LPCSTR pszKey, const std::string& data)
{
    HKEY hKey;
    REQUIRE(::RegCreateKeyExA(HKEY_CLASSES_ROOT, pszKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &hKey, nullptr) ==
            ERROR_SUCCESS);
    ::RegSetValueExA(hKey, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.data()),
                     static_cast<DWORD>(data.size()));
    ::RegCloseKey(hKey);
}

// Sets the unnamed value of a key to a string, or (null) deletes the key.
static void SetClassValue(LPCSTR pszKey, const std::string* pValue)
{
    if (pValue == nullptr)
        ::RegDeleteKeyA(HKEY_CLASSES_ROOT, pszKey);
    else
        SetClassBytes(pszKey, *pValue + '\0');
}

// Registers a web-page class of the test for ".htm", and puts the prefix's own back.
class CWebPageClass
{
public:
    CWebPageClass()
    {
        char szValue[MAX_PATH] = "";
        LONG cb = sizeof(szValue);
        m_bHadClass = ::RegQueryValueA(HKEY_CLASSES_ROOT, ".htm", szValue, &cb) == ERROR_SUCCESS;
        m_strClass = szValue;
        Register("VistelUnitPage");
    }
    ~CWebPageClass()
    {
        ::RegDeleteKeyA(HKEY_CLASSES_ROOT, "VistelUnitPage\\shell\\open\\command");
        ::RegDeleteKeyA(HKEY_CLASSES_ROOT, "VistelUnitPage\\shell\\open");
        ::RegDeleteKeyA(HKEY_CLASSES_ROOT, "VistelUnitPage\\shell");
        ::RegDeleteKeyA(HKEY_CLASSES_ROOT, "VistelUnitPage");
        SetClassValue(".htm", m_bHadClass ? &m_strClass : nullptr);
    }
    void Register(const std::string& strClass) { SetClassValue(".htm", &strClass); }
    void SetCommand(const std::string& strCommand) { SetClassValue("VistelUnitPage\\shell\\open\\command", &strCommand); }

private:
    BOOL m_bHadClass;
    std::string m_strClass;
};

static std::string TestFile(LPCSTR pszName)
{
    char szPath[MAX_PATH];
    const DWORD cch = ::GetModuleFileNameA(nullptr, szPath, sizeof(szPath));
    std::string path(szPath, cch);
    return path.substr(0, path.find_last_of('\\') + 1) + pszName;
}

// What the recorder received, waiting for it up to ten seconds; empty when
// it was never started.
static std::string Recorded(const std::string& record, DWORD dwWait = 10000)
{
    for (DWORD dwStart = ::GetTickCount(); ::GetTickCount() - dwStart < dwWait; ::Sleep(50))
    {
        FILE* pFile = std::fopen(record.c_str(), "rb");
        if (pFile == nullptr)
            continue;
        char szLine[4096] = "";
        const bool bRead = std::fgets(szLine, sizeof(szLine), pFile) != nullptr;
        std::fclose(pFile);
        if (bRead)
        {
            std::remove(record.c_str());
            return std::string(szLine).substr(0, std::strcspn(szLine, "\r\n"));
        }
    }
    return std::string();
}

TEST_CASE("When the shell cannot open a target the program registered for web pages does")
{
    const std::string recorder = TestFile("recorder.exe");
    const std::string record = TestFile("opened-unit.txt");
    std::remove(record.c_str());
    ::SetEnvironmentVariableA("VISTEL_RECORD", record.c_str());
    CWebPageClass webPage;
    const char* const pszTarget = "vistel-unknown:page";

    SUBCASE("the command ends before its placeholder; the target follows a blank")
    {
        struct Case { std::string command, received; };
        const Case cases[] = {
            { "\"" + recorder + "\" \"%1\"", "\"" + recorder + "\"  vistel-unknown:page" },
            { recorder + " %1 -new", recorder + "  vistel-unknown:page" },
            { "\"" + recorder + "\" -page", "\"" + recorder + "\" -page vistel-unknown:page" },
        };
        for (const Case& c : cases)
        {
            CAPTURE(c.command);
            webPage.SetCommand(c.command);
            CHECK(CHyperLink::OpenLink(pszTarget, SW_SHOW) > 32);
            CHECK(Recorded(record) == c.received);
        }
    }

    SUBCASE("what does not fit its buffer is a failed fallback that gives the shell's code")
    {
        webPage.SetCommand("\"" + recorder + "\" \"%1\"");
        REQUIRE(CHyperLink::OpenLink(pszTarget, SW_SHOW) > 32);
        REQUIRE(!Recorded(record).empty());
        ::RegDeleteKeyA(HKEY_CLASSES_ROOT, "VistelUnitPage\\shell\\open\\command");
        const int nNoCommand = CHyperLink::OpenLink(pszTarget, SW_SHOW);
        CHECK(nNoCommand <= 32);

        // A class name that leaves no room for the command key's name.
        webPage.Register(std::string(250, 'C'));
        CHECK(CHyperLink::OpenLink(pszTarget, SW_SHOW) == nNoCommand);
        webPage.Register("VistelUnitPage");

        // A command of 260 characters, and one of 260 bytes without its end.
        const std::string longCommand = "\"" + recorder + "\" " + std::string(257 - recorder.size(), 'x');
        REQUIRE(longCommand.size() == 260);
        webPage.SetCommand(longCommand);
        CHECK(CHyperLink::OpenLink(pszTarget, SW_SHOW) == nNoCommand);
        SetClassBytes("VistelUnitPage\\shell\\open\\command", longCommand);
        CHECK(CHyperLink::OpenLink(pszTarget, SW_SHOW) == nNoCommand);

        // The command fits, but with the target it would not fit 520 bytes.
        webPage.SetCommand("\"" + recorder + "\" \"%1\"");
        // "recorder" , a blank, the target and its end: one byte too many.
        const std::string longTarget = "vistel-unknown:" + std::string(501 - recorder.size(), 'p');
        CHECK(CHyperLink::OpenLink(longTarget.c_str(), SW_SHOW) == nNoCommand);
        const std::string fitting = longTarget.substr(0, longTarget.size() - 1);
        CHECK(CHyperLink::OpenLink(fitting.c_str(), SW_SHOW) > 32);
        CHECK(Recorded(record) == "\"" + recorder + "\"  " + fitting);
        CHECK(Recorded(record, 500).empty());
    }
}

// ---- The failure message box -----------------------------------------------

struct MessageBoxSeen
{
    std::string title, text;
    HWND hOwner;
};

// Waits for the message box of this process, reads it and presses its button.
static DWORD WINAPI AnswerMessageBox(LPVOID pParam)
{
    MessageBoxSeen* pSeen = static_cast<MessageBoxSeen*>(pParam);
    for (DWORD dwStart = ::GetTickCount(); ::GetTickCount() - dwStart < 10000; ::Sleep(20))
    {
        HWND hBox = ::FindWindowA("#32770", "config_tests");
        if (hBox == nullptr)
            continue;
        char szText[512] = "";
        ::GetDlgItemTextA(hBox, 0xFFFF, szText, sizeof(szText));
        pSeen->text = szText;
        pSeen->title = "config_tests";
        pSeen->hOwner = ::GetWindow(hBox, GW_OWNER);
        ::PostMessageA(hBox, WM_COMMAND, IDOK, 0);
        return 0;
    }
    return 1;
}

static MessageBoxSeen ShowError(int nError)
{
    MessageBoxSeen seen = {};
    HANDLE hThread = ::CreateThread(nullptr, 0, AnswerMessageBox, &seen, 0, nullptr);
    CHyperLink::ShowLinkError(nError);
    ::WaitForSingleObject(hThread, INFINITE);
    ::CloseHandle(hThread);
    return seen;
}

TEST_CASE("The failure message box is titled with the program and tells the reason for the code")
{
    ::SetForegroundWindow(ParentWindow());
    ::SetActiveWindow(ParentWindow());
    const struct { int nError; const char* pszReason; } cases[] = {
        { 0, "The operating system is out\nof memory or resources." },
        { 26, "A sharing violation occurred. " },
        { 33, "Unknown Error (33) occurred." },
        { -7, "Unknown Error (-7) occurred." },
    };
    for (const auto& c : cases)
    {
        CAPTURE(c.nError);
        const MessageBoxSeen seen = ShowError(c.nError);
        CHECK(seen.text == std::string("Can't open link:\n\n") + c.pszReason);
        CHECK(seen.hOwner == ParentWindow());
    }
}

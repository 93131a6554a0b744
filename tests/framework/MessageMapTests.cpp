#include <doctest.h>

#include <string>
#include <vector>

#include "Afx.h"

static std::vector<std::string> s_calls;

class CBaseTestWnd : public CWnd
{
public:
    LRESULT OnBaseOnly(WPARAM, LPARAM) { s_calls.push_back("base-only"); return 1; }
    LRESULT OnShared(WPARAM, LPARAM) { s_calls.push_back("base-shared"); return 2; }
    LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message >= WM_APP || message == WM_COMMAND)
            s_calls.push_back("default");
        return CWnd::DefWindowProc(message, wParam, lParam);
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CBaseTestWnd, CWnd)
    ON_MESSAGE(WM_APP + 1, OnBaseOnly)
    ON_MESSAGE(WM_APP + 2, OnShared)
END_MESSAGE_MAP()

class CDerivedTestWnd : public CBaseTestWnd
{
public:
    bool m_bFailCreate = false;

protected:
    LRESULT OnShared(WPARAM, LPARAM) { s_calls.push_back("derived-shared"); return 3; }
    LRESULT OnPassOn(WPARAM, LPARAM) { s_calls.push_back("pass-on"); return Default(); }
    void OnButton() { s_calls.push_back("button"); }
    int OnCreate(LPCREATESTRUCTA)
    {
        if (m_bFailCreate)
            throw std::string("creation fails");
        return 0;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CDerivedTestWnd, CBaseTestWnd)
    ON_MESSAGE(WM_APP + 2, OnShared)
    ON_MESSAGE(WM_APP + 3, OnPassOn)
    ON_BN_CLICKED(42, OnButton)
    ON_WM_CREATE()
END_MESSAGE_MAP()

// Names the command-target table as its base, skipping its C++ bases' tables.
class CSkippingTestWnd : public CBaseTestWnd
{
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CSkippingTestWnd, CCmdTarget)
END_MESSAGE_MAP()

// The window procedure of the test windows: binds the window to the object
// waiting for it on its first message, as the saver's bridge does.
static CWnd* s_pNextObject;

static LRESULT CALLBACK TestWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CWnd* pWnd = CWnd::FromHandlePermanent(hWnd);
    if (pWnd == nullptr && s_pNextObject != nullptr)
    {
        pWnd = s_pNextObject;
        s_pNextObject = nullptr;
        pWnd->Attach(hWnd);
    }
    if (pWnd == nullptr)
        return ::DefWindowProcA(hWnd, message, wParam, lParam);
    return AfxCallWndProc(pWnd, hWnd, message, wParam, lParam);
}

static HWND CreateTestWindow(CWnd* pObject)
{
    static ATOM atom = 0;
    if (atom == 0)
    {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = TestWndProc;
        wc.hInstance = ::GetModuleHandleA(nullptr);
        wc.lpszClassName = "VistelMessageMapTest";
        atom = ::RegisterClassA(&wc);
    }
    s_pNextObject = pObject;
    return ::CreateWindowExA(0, "VistelMessageMapTest", "test", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                             nullptr, ::GetModuleHandleA(nullptr), nullptr);
}

TEST_CASE("A message table is searched before its base table")
{
    CDerivedTestWnd wnd;
    HWND hWnd = CreateTestWindow(&wnd);
    REQUIRE(hWnd != nullptr);
    CHECK(CWnd::FromHandlePermanent(hWnd) == &wnd);

    s_calls.clear();
    CHECK(::SendMessageA(hWnd, WM_APP + 1, 0, 0) == 1);
    CHECK(::SendMessageA(hWnd, WM_APP + 2, 0, 0) == 3);
    ::SendMessageA(hWnd, WM_APP + 9, 0, 0);
    CHECK(s_calls == std::vector<std::string>{ "base-only", "derived-shared", "default" });

    s_calls.clear();
    ::SendMessageA(hWnd, WM_APP + 3, 0, 0); // the handler hands the message on
    ::SendMessageA(hWnd, WM_COMMAND, MAKEWPARAM(42, BN_CLICKED), 0);
    ::SendMessageA(hWnd, WM_COMMAND, MAKEWPARAM(42, EN_CHANGE), 0);
    ::SendMessageA(hWnd, WM_COMMAND, MAKEWPARAM(43, BN_CLICKED), 0);
    CHECK(s_calls == std::vector<std::string>{ "pass-on", "default", "button", "default", "default" });

    ::DestroyWindow(hWnd);
    CHECK(wnd.m_hWnd == nullptr); // WM_NCDESTROY detached the object
    CHECK(CWnd::FromHandlePermanent(hWnd) == nullptr);
}

TEST_CASE("A table may name a base table other than its C++ base's")
{
    CSkippingTestWnd wnd;
    HWND hWnd = CreateTestWindow(&wnd);
    REQUIRE(hWnd != nullptr);
    s_calls.clear();
    ::SendMessageA(hWnd, WM_APP + 1, 0, 0);
    CHECK(s_calls == std::vector<std::string>{ "default" });
    ::DestroyWindow(hWnd);
    // Without the window table's WM_NCDESTROY entry nothing detached it.
    CHECK(wnd.m_hWnd == hWnd);
    wnd.Detach();
}

TEST_CASE("An exception in a handler stays in the framework and fails the message")
{
    CDerivedTestWnd wnd;
    wnd.m_bFailCreate = true;
    HWND hWnd = CreateTestWindow(&wnd);
    CHECK(hWnd == nullptr);
    CHECK(wnd.m_hWnd == nullptr);
}

class CStaticSpy : public CStatic
{
public:
    int m_nPreSubclass = 0;
    void PreSubclassWindow() override { m_nPreSubclass++; }

protected:
    LRESULT OnProbe(WPARAM, LPARAM) { return 77; }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CStaticSpy, CStatic)
    ON_MESSAGE(WM_APP + 7, OnProbe)
END_MESSAGE_MAP()

TEST_CASE("A subclassed control answers through its object and keeps its own behaviour")
{
    HWND hParent = ::CreateWindowExA(0, "STATIC", "parent", WS_OVERLAPPEDWINDOW, 0, 0, 200, 200, nullptr, nullptr,
                                     ::GetModuleHandleA(nullptr), nullptr);
    HWND hControl = ::CreateWindowExA(0, "STATIC", "before", WS_CHILD | WS_VISIBLE, 0, 0, 80, 20, hParent,
                                      reinterpret_cast<HMENU>(1013), ::GetModuleHandleA(nullptr), nullptr);
    REQUIRE(hControl != nullptr);

    CWnd dialog;
    dialog.Attach(hParent);
    CStaticSpy control;
    CDataExchange dx(&dialog, FALSE);
    DDX_Control(&dx, 1013, control);
    DDX_Control(&dx, 1013, control); // a second exchange binds nothing anew
    CHECK(control.m_hWnd == hControl);
    CHECK(control.m_nPreSubclass == 1);

    CHECK(::SendMessageA(hControl, WM_APP + 7, 0, 0) == 77);
    ::SetWindowTextA(hControl, "after");
    char szText[32] = "";
    ::GetWindowTextA(hControl, szText, sizeof(szText));
    CHECK(std::string(szText) == "after");

    ::DestroyWindow(hParent);
    CHECK(control.m_hWnd == nullptr);
    CHECK(dialog.m_hWnd == hParent);
    dialog.Detach();
}

TEST_CASE("The framework is up between AfxWinInit and AfxWinTerm")
{
    CHECK(AfxGetThread() == nullptr);
    static char szEmpty[] = "";
    AfxWinInit(::GetModuleHandleA(nullptr), nullptr, szEmpty, SW_SHOWNORMAL);
    REQUIRE(AfxGetThread() != nullptr);
    CHECK(AfxGetThread()->m_pMainWnd == nullptr);
    AfxWinTerm();
    CHECK(AfxGetThread() == nullptr);
}

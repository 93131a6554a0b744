// Window objects and their message tables.
//
// A message table is a static array of entries, each naming a message and a
// small function that unpacks the message's parameters and calls the
// handler. Lookup walks the class's own table first, then the base table it
// names; what no table handles goes to the object's DefWindowProc.
#pragma once

#include "Gdi.h"

class CCmdTarget;
class CWnd;

typedef LRESULT (*AFX_PMSG)(CCmdTarget* pTarget, WPARAM wParam, LPARAM lParam);

struct AFX_MSGMAP_ENTRY
{
    UINT nMessage; // 0 ends the table
    UINT nCode;    // WM_COMMAND only: the notification code
    UINT nID;      // WM_COMMAND only: the control id
    AFX_PMSG pfn;
};

struct AFX_MSGMAP
{
    const AFX_MSGMAP* (*pfnGetBaseMap)(); // null for the root table
    const AFX_MSGMAP_ENTRY* lpEntries;
};

#define DECLARE_MESSAGE_MAP()                                               \
protected:                                                                  \
    static const AFX_MSGMAP* GetThisMessageMap();                           \
    const AFX_MSGMAP* GetMessageMap() const override;

// The base table named here need not be that of the C++ base class.
#define BEGIN_MESSAGE_MAP(theClass, baseClass)                              \
    const AFX_MSGMAP* theClass::GetMessageMap() const                       \
    { return GetThisMessageMap(); }                                         \
    const AFX_MSGMAP* theClass::GetThisMessageMap()                         \
    {                                                                       \
        using ThisClass [[maybe_unused]] = theClass;                        \
        using TheBaseClass = baseClass;                                     \
        static const AFX_MSGMAP_ENTRY entries[] = {

#define END_MESSAGE_MAP()                                                   \
            { 0, 0, 0, nullptr }                                            \
        };                                                                  \
        static const AFX_MSGMAP messageMap = {                              \
            &TheBaseClass::GetThisMessageMap, entries };                    \
        return &messageMap;                                                 \
    }

#define AFX_HANDLER(body)                                                   \
    [](CCmdTarget* pTarget, [[maybe_unused]] WPARAM wParam,                 \
       [[maybe_unused]] LPARAM lParam) -> LRESULT {                         \
        ThisClass* pThis = static_cast<ThisClass*>(pTarget);                \
        body                                                                \
    }

// Message entries, each with the handler it calls.
#define ON_MESSAGE(message, memberFxn) /* LRESULT memberFxn(WPARAM, LPARAM) */ \
    { message, 0, 0, AFX_HANDLER(return pThis->memberFxn(wParam, lParam);) },
#define ON_COMMAND(id, memberFxn) /* void memberFxn() */                    \
    { WM_COMMAND, 0, id, AFX_HANDLER(pThis->memberFxn(); return 0;) },
#define ON_BN_CLICKED(id, memberFxn) ON_COMMAND(id, memberFxn)
#define ON_WM_CREATE() /* int OnCreate(LPCREATESTRUCTA) */                  \
    { WM_CREATE, 0, 0, AFX_HANDLER(                                         \
        return pThis->OnCreate(reinterpret_cast<LPCREATESTRUCTA>(lParam));) },
#define ON_WM_NCDESTROY() /* void OnNcDestroy() */                          \
    { WM_NCDESTROY, 0, 0, AFX_HANDLER(pThis->OnNcDestroy(); return 0;) },
#define ON_WM_ERASEBKGND() /* BOOL OnEraseBkgnd(CDC*) */                    \
    { WM_ERASEBKGND, 0, 0, AFX_HANDLER(                                     \
        CDC dc; dc.Attach(reinterpret_cast<HDC>(wParam));                   \
        const BOOL bErased = pThis->OnEraseBkgnd(&dc);                      \
        dc.Detach(); return bErased;) },
#define ON_WM_PAINT() /* void OnPaint() */                                  \
    { WM_PAINT, 0, 0, AFX_HANDLER(pThis->OnPaint(); return 0;) },
#define ON_WM_TIMER() /* void OnTimer(UINT_PTR) */                          \
    { WM_TIMER, 0, 0, AFX_HANDLER(pThis->OnTimer(wParam); return 0;) },
#define ON_WM_QUERYNEWPALETTE() /* BOOL OnQueryNewPalette() */              \
    { WM_QUERYNEWPALETTE, 0, 0, AFX_HANDLER(return pThis->OnQueryNewPalette();) },
#define ON_WM_PALETTECHANGED() /* void OnPaletteChanged(CWnd*) */           \
    { WM_PALETTECHANGED, 0, 0, AFX_HANDLER(                                 \
        pThis->OnPaletteChanged(                                            \
            CWnd::FromHandlePermanent(reinterpret_cast<HWND>(wParam)));     \
        return 0;) },

#define ON_WM_VSCROLL() /* void OnVScroll(UINT nSBCode, UINT nPos, CWnd*) */ \
    { WM_VSCROLL, 0, 0, AFX_HANDLER(                                        \
        pThis->OnVScroll(LOWORD(wParam), HIWORD(wParam),                    \
                         CWnd::FromHandlePermanent(reinterpret_cast<HWND>(lParam))); \
        return 0;) },
#define ON_WM_SETCURSOR() /* BOOL OnSetCursor(CWnd*, UINT nHitTest, UINT message) */ \
    { WM_SETCURSOR, 0, 0, AFX_HANDLER(                                      \
        return pThis->OnSetCursor(CWnd::FromHandlePermanent(reinterpret_cast<HWND>(wParam)), \
                                  LOWORD(lParam), HIWORD(lParam));) },
#define AFX_POINT(lParam)                                                   \
    POINT { static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)) }
#define ON_WM_MOUSEMOVE() /* void OnMouseMove(UINT nFlags, POINT) */        \
    { WM_MOUSEMOVE, 0, 0, AFX_HANDLER(                                      \
        pThis->OnMouseMove(static_cast<UINT>(wParam), AFX_POINT(lParam)); return 0;) },
#define ON_WM_LBUTTONDOWN() /* void OnLButtonDown(UINT nFlags, POINT) */    \
    { WM_LBUTTONDOWN, 0, 0, AFX_HANDLER(                                    \
        pThis->OnLButtonDown(static_cast<UINT>(wParam), AFX_POINT(lParam)); return 0;) },
#define ON_WM_LBUTTONUP() /* void OnLButtonUp(UINT nFlags, POINT) */        \
    { WM_LBUTTONUP, 0, 0, AFX_HANDLER(                                      \
        pThis->OnLButtonUp(static_cast<UINT>(wParam), AFX_POINT(lParam)); return 0;) },
#define ON_WM_SETFOCUS() /* void OnSetFocus(CWnd* pOldWnd) */               \
    { WM_SETFOCUS, 0, 0, AFX_HANDLER(                                       \
        pThis->OnSetFocus(CWnd::FromHandlePermanent(reinterpret_cast<HWND>(wParam))); return 0;) },
#define ON_WM_KILLFOCUS() /* void OnKillFocus(CWnd* pNewWnd) */             \
    { WM_KILLFOCUS, 0, 0, AFX_HANDLER(                                      \
        pThis->OnKillFocus(CWnd::FromHandlePermanent(reinterpret_cast<HWND>(wParam))); return 0;) },
#define ON_WM_KEYDOWN() /* void OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags) */ \
    { WM_KEYDOWN, 0, 0, AFX_HANDLER(                                        \
        pThis->OnKeyDown(static_cast<UINT>(wParam), LOWORD(lParam), HIWORD(lParam)); return 0;) },
#define ON_WM_NCHITTEST() /* LRESULT OnNcHitTest(POINT) */                  \
    { WM_NCHITTEST, 0, 0, AFX_HANDLER(return pThis->OnNcHitTest(AFX_POINT(lParam));) },

// Control colours. A static control asks its parent for its colours with
// WM_CTLCOLORSTATIC; a parent whose table holds ON_WM_CTLCOLORSTATIC hands
// the request to OnCtlColor, whose framework version passes it back to the
// control's object as WM_REFLECT_CTLCOLOR. A control that answers it with
// ON_WM_CTLCOLOR_REFLECT chooses its own colours; otherwise the dialog
// manager's default colours apply.
#define WM_REFLECT_CTLCOLOR 0xBC19 // wParam: the control's DC; lParam: CTLCOLOR_ kind
#define ON_WM_CTLCOLORSTATIC() /* HBRUSH OnCtlColor(CDC*, CWnd*, UINT nCtlColor) */ \
    { WM_CTLCOLORSTATIC, 0, 0, AFX_HANDLER(                                 \
        CDC dc; dc.Attach(reinterpret_cast<HDC>(wParam));                   \
        const HBRUSH hBrush = pThis->OnCtlColor(                            \
            &dc, CWnd::FromHandlePermanent(reinterpret_cast<HWND>(lParam)), CTLCOLOR_STATIC); \
        dc.Detach(); return reinterpret_cast<LRESULT>(hBrush);) },
#define ON_WM_CTLCOLOR_REFLECT() /* HBRUSH CtlColor(CDC*, UINT nCtlColor) */ \
    { WM_REFLECT_CTLCOLOR, 0, 0, AFX_HANDLER(                               \
        CDC dc; dc.Attach(reinterpret_cast<HDC>(wParam));                   \
        const HBRUSH hBrush = pThis->CtlColor(&dc, static_cast<UINT>(lParam)); \
        dc.Detach(); return reinterpret_cast<LRESULT>(hBrush);) },

// The root of the message-table classes; its own table is empty.
class CCmdTarget : public CObject
{
public:
    virtual const AFX_MSGMAP* GetMessageMap() const;

protected:
    static const AFX_MSGMAP* GetThisMessageMap();
};

class CWnd : public CCmdTarget
{
    DECLARE_DYNAMIC(CWnd)

public:
    CWnd() : m_hWnd(nullptr), m_pfnSuper(nullptr) {}
    ~CWnd() override;

    // Binds the object to a window without touching the window procedure.
    BOOL Attach(HWND hWnd);
    HWND Detach();
    // Binds the object to a control and routes its messages through the
    // object; the control's own procedure handles what the object leaves.
    BOOL SubclassWindow(HWND hWnd);
    static CWnd* FromHandlePermanent(HWND hWnd);

    // Hands the message being handled to DefWindowProc.
    LRESULT Default();

    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual void PreSubclassWindow() {}

    HWND m_hWnd;

protected:
    void OnNcDestroy();
    // Passes a control-colour request back to the control it is about;
    // null (the default colours) when the control does not answer it.
    HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor);

private:
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);

    WNDPROC m_pfnSuper; // the control's own procedure, once subclassed

    DECLARE_MESSAGE_MAP()
};

// Delivers one message to pWnd and returns its result. A C++ exception
// raised by a handler ends here: the message fails (creation is refused,
// a paint validates its region) and the program goes on.
LRESULT AfxCallWndProc(CWnd* pWnd, HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

// A paint context for the duration of one WM_PAINT.
class CPaintDC : public CDC
{
public:
    explicit CPaintDC(CWnd* pWnd);
    ~CPaintDC() override;

    PAINTSTRUCT m_ps;

private:
    HWND m_hWnd;
};

// The client area of a window.
class CClientDC : public CDC
{
public:
    explicit CClientDC(CWnd* pWnd);
    ~CClientDC() override;

private:
    HWND m_hWnd;
};

// The thread object exists while the framework is initialised.
class CWinThread : public CCmdTarget
{
public:
    CWinThread() : m_pMainWnd(nullptr) {}
    CWnd* m_pMainWnd;
};

BOOL AfxWinInit(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR pszCmdLine, int nCmdShow);
void AfxWinTerm();
CWinThread* AfxGetThread();      // null while the framework is not initialised
HINSTANCE AfxGetInstanceHandle(); // the program's module until AfxWinInit names one

// A message box titled with the program's name, owned by the thread's main
// window or, without one, by the window the user is working in (the
// thread's active window), which it disables while it is shown.
int AfxMessageBox(LPCSTR pszText, UINT nType);

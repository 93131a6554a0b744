// CScreenSaverWnd: the framework class of the saver window. The shell's
// window procedure hands it every message; what it and its derived class
// leave unhandled meets the closing rules in DefaultSaverProc.
#pragma once

#include "../framework/Afx.h"

class CScreenSaverWnd : public CWnd
{
    DECLARE_DYNAMIC(CScreenSaverWnd)

public:
    CScreenSaverWnd();
    ~CScreenSaverWnd() override;

    LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    // Hooks for the derived class; each does nothing here.
    virtual void DrawSaver(CDC* pDC);   // paints, with m_pDrawPalette realised
    virtual UINT_PTR StartSaver();      // starts the show once the window exists
    virtual void SaveSettings();
    virtual void LoadSettings();

    BOOL m_bEraseToBlack;     // erasing fills the client area with black
    CPalette* m_pDrawPalette; // realised before painting; not owned

protected:
    int OnCreate(LPCREATESTRUCTA pCreate);
    BOOL OnEraseBkgnd(CDC* pDC);
    void OnPaint();
    void OnPaletteChanged(CWnd* pFocusWnd);
    BOOL OnQueryNewPalette();

    DECLARE_MESSAGE_MAP()
};

// The one window object of the process, registered by its constructor.
extern CScreenSaverWnd* g_pSaverWnd;

// TRUE when input that will end the full-screen saver waits in the queue,
// judged by the closing rules: a long draw gives up for it. Always FALSE for
// the preview and while the saver asks for the password or is closing.
BOOL SaverEndingInputWaiting();

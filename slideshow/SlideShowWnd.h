// CSlideShowWnd: the saver window of the program. It holds the settings and
// the picture list, and at every timer tick draws the next picture of the
// folder on the background colour.
#pragma once

#include "../shell/ScreenSaverWnd.h"
#include "Collection.h"

class SECImage;

#define SLIDE_TIMER_ID 1

class CSlideShowWnd : public CScreenSaverWnd
{
public:
    CSlideShowWnd();
    ~CSlideShowWnd() override;

    void DrawSaver(CDC* pDC) override;
    UINT_PTR StartSaver() override;
    void SaveSettings() override;
    void LoadSettings() override;

    // Each setter stores its value and restarts the show (which does
    // nothing while there is no window).
    int GetSpeed() const { return m_nSpeed; }
    void SetSpeed(int nSpeed);
    int GetRandom() const { return m_bRandom; }
    void SetRandom(int bRandom);
    COLORREF GetBackColor() const { return m_crBackColor; }
    void SetBackColor(COLORREF crBackColor);
    LPCSTR GetImagePath() const { return m_strImagePath; }
    void SetImagePath(LPCSTR pszImagePath);

    // Rebuilds the list from the picture folder, pattern by pattern.
    void ListPictures();
    // Appends the full path of every file of pszFolder whose extension is
    // that of pszPattern ("*.ext"): a marked path (File.h) for a name the
    // code page cannot hold, where the system has the wide search.
    void ScanFolder(LPCSTR pszFolder, LPCSTR pszPattern);
    // The slot of the next picture to show, -1 when the list is empty;
    // advances the sequence.
    int PickNextPicture();
    // The display time of a speed setting: one second for 0 (or less), else
    // five seconds a step; and the timer interval for it, never longer than
    // the system's longest timer.
    static ULONGLONG DisplaySeconds(int nSpeed);
    static UINT SlideInterval(int nSpeed);

    int m_nSpeed;            // display time in steps of 5 seconds; 0: 1 second
    int m_bRandom;           // nonzero: random order
    COLORREF m_crBackColor;  // background behind the picture
    CString m_strImagePath;  // picture folder, ending with a backslash once loaded
    CCollection m_images;    // full paths of the pictures of the folder
    int m_nSequence;         // position in folder order
    CString m_strShowing;    // path of the picture on show; empty until the first pick
    // The last SaveSettings: ERROR_SUCCESS, or the system's error code and
    // the settings file that could not be written.
    DWORD m_dwSaveError;
    CString m_strSaveFile;

protected:
    void OnTimer(UINT_PTR nIDEvent);
    // Makes the next picture of the list the one on show.
    void ShowNextPicture();

    DECLARE_MESSAGE_MAP()
};

// Places pImage centred in the rectangle (of the client area), shrunk with
// its proportions to fit inside it when larger in either direction, and
// draws it stretched.
void DrawFitted(RECT* pClient, CDC* pDC, SECImage* pImage);

// Draws the picture into each of the areas with DrawFitted. Where an area
// shows it smaller than it is held, a colour picture is first averaged down
// to the size drawn there (ShrinkToDrawnSize), so that it is drawn 1:1 in
// every area; otherwise it is stretched.
void DrawPictureAreas(CDC* pDC, SECImage& image, RECT* pAreas, int nAreas);

// The most monitors the picture is drawn on; further ones show the background.
#define MAX_PICTURE_AREAS 16
// The areas that each show the whole picture in a window whose client area
// is rcWindow (in screen coordinates): the part of each monitor the window
// covers, in client coordinates. Monitors outside the window give none.
// Returns the number of areas written to pAreas (at most nMonitors).
int PictureAreas(const RECT& rcWindow, const RECT* pMonitors, int nMonitors, RECT* pAreas);

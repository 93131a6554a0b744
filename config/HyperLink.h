// CHyperLink: a static text control of a dialog that behaves as a link. It
// draws its text underlined in the link colours, fits itself to its text,
// shows a hand cursor and a tooltip with its target, and opens the target
// with the shell on a click or the space bar.
//
// The parent must pass the control-colour request back to the control
// (ON_WM_CTLCOLORSTATIC in its message table); otherwise the text keeps
// the dialog's colours and only the font shows the link.
#pragma once

#include "../framework/Afx.h"

class CHyperLink : public CStatic
{
    DECLARE_DYNAMIC(CHyperLink)

public:
    CHyperLink();
    ~CHyperLink() override;

    // Sets the target; a bound control is refitted and its tooltip updated.
    void SetTarget(const CString& strTarget);
    // Shrinks (or grows) the control to its text, keeping the edge its
    // alignment names: left, right, or the centre.
    void FitToText();
    // Loads the hand cursor of all links unless it is loaded already; it is
    // never released.
    static void LoadHandCursor();
    // Opens the target; on failure beeps and tells why in a message box.
    void FollowLink();
    // Opens pszTarget with the shell, and when the shell cannot, with the
    // program registered for web pages. Above 32: success; otherwise the
    // failure code of the shell or of the program's start.
    static int OpenLink(LPCSTR pszTarget, int nShowCmd);
    // The message box that tells why a link could not be opened.
    static void ShowLinkError(int nError);

    BOOL m_bSelected;        // has the focus or was pressed
    BOOL m_bHover;           // the pointer is over it (and it holds the capture)
    BOOL m_bVisited;         // the target was opened once
    BOOL m_bAutoSize;        // fitted to its text (not when its font cannot be read)
    CString m_strTarget;     // handed to the shell: a URL or a mailto: address
    CFont m_fontLink;        // the control's font, an underlined copy of the dialog's
    CToolTipCtrl m_tipLink;  // shows the target

protected:
    void PreSubclassWindow() override;

    HBRUSH CtlColor(CDC* pDC, UINT nCtlColor);
    BOOL OnSetCursor(CWnd* pWnd, UINT nHitTest, UINT message);
    void OnMouseMove(UINT nFlags, POINT point);
    void OnLButtonDown(UINT nFlags, POINT point);
    void OnLButtonUp(UINT nFlags, POINT point);
    void OnSetFocus(CWnd* pOldWnd);
    void OnKillFocus(CWnd* pNewWnd);
    void OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags);
    LRESULT OnNcHitTest(POINT point);

    DECLARE_MESSAGE_MAP()

private:
    HFONT GetControlFont() const;
    SIZE MeasureText();
};

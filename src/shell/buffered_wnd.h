#pragma once
// The full-screen, double-buffered popup that locks the keyboard when it is created and can be
// closed only by the corner gesture: a left click in the top-left corner square, then one in
// the top-right corner square.
#include "platform/gdi.h"
#include "platform/wnd.h"

extern CString g_strWndClass;
extern const CString g_strExitHint;
// Under the exit hint while the keyboard lock does not hold, so that an adult sees it.
extern const CString g_strNotLockedHint;

// The corner gesture as a pure step. Squares: top-left x 0...20, y 0...20; top-right
// x W-20...W-1, y 0...20 (client pixels, W the window width). closeNow is decided before
// the press re-arms.
struct CornerStep {
    bool closeNow;
    bool armedAfter;
};
CornerStep CornerGestureStep(bool armed, int x, int y, int width);

class CBufferedWnd : public CWnd {
public:
    CBufferedWnd();
    ~CBufferedWnd() override;

    BOOL CreateFullScreen(const char* title, CWnd* parent);
    // Renders the complete scene into pDC; the base draws nothing.
    virtual void Draw(CDC* pDC);

protected:
    void OnPaint();
    int OnCreate(LPCREATESTRUCT cs);
    void OnLButtonDown(UINT nFlags, CPoint point);
    void OnClose();
    void OnDisplayChange(UINT bitsPerPixel, int width, int height);
    void MakeBackBuffer();

    bool m_bCornerArmed;
    bool m_bCloseAllowed;
    RECT m_rcScreen;
    CBitmap m_bmpBack;
    CDC m_dcMem;

    DECLARE_MESSAGE_MAP()
};

// The full-screen buffered window: one back buffer of the screen's size, made at creation,
// repainted through Draw and copied to the screen in one block; closing only after the gesture.
#include "shell/buffered_wnd.h"

#include "res/resource.h"
#include "shell/keyboard_lock.h"

CString g_strWndClass;
const CString g_strExitHint =
    "To exit click in the top-left and then in the top-right corners of the screen.";
const CString g_strNotLockedHint =
    "Shortcuts are not locked on this desktop: run tappy-content desktop";

namespace {
constexpr int kCornerSize = 20;
constexpr int kAllLockOptions =
    KEYLOCK_CTRL_ESC | KEYLOCK_ALT_TAB | KEYLOCK_ALT_ESC | KEYLOCK_WIN_KEYS;
} // namespace

CornerStep CornerGestureStep(bool armed, int x, int y, int width)
{
    CornerStep step{};
    // Decided before re-arming, so one press can only both arm and close when the two squares
    // overlap (a screen at most 40 pixels wide).
    step.closeNow = armed && x >= width - kCornerSize && y <= kCornerSize;
    step.armedAfter = x <= kCornerSize && y <= kCornerSize;
    return step;
}

CBufferedWnd::CBufferedWnd() : m_bCornerArmed(false), m_bCloseAllowed(false), m_rcScreen{} {}

CBufferedWnd::~CBufferedWnd()
{
    // The bitmap is still selected into the context; the context goes first.
    m_dcMem.DeleteDC();
    m_bmpBack.DeleteObject();
}

BOOL CBufferedWnd::CreateFullScreen(const char* title, CWnd* parent)
{
    if (g_strWndClass.IsEmpty()) {
        try {
            HICON icon = LoadIconA(AfxGetModuleState()->m_hCurrentInstanceHandle, IDR_MAINFRAME);
            HBRUSH brush = GetStockObject(WHITE_BRUSH);
            HCURSOR cursor = LoadCursorA(nullptr, IDC_ARROW);
            g_strWndClass = AfxRegisterWndClass(CS_HREDRAW | CS_VREDRAW, cursor, brush, icon);
        } catch (CResourceException* e) {
            AfxMessageBox("Couldn't register class! (Already registered?)", MB_OK, 0);
            e->Delete();
        }
    }
    // OnCreate sizes the back buffer from this, so it must be set before the window exists.
    m_rcScreen = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    return CreateEx(0, g_strWndClass, title, WS_POPUP | WS_VISIBLE, m_rcScreen, parent, 0, nullptr);
}

void CBufferedWnd::Draw(CDC* /*pDC*/) {}

int CBufferedWnd::OnCreate(LPCREATESTRUCT /*cs*/)
{
    if (Default() == -1)
        return -1;
    MakeBackBuffer();
    LockKeyboard(AfxGetModuleState()->m_hCurrentInstanceHandle, kAllLockOptions);
    return 0;
}

void CBufferedWnd::MakeBackBuffer()
{
    CClientDC dc(this);
    // A second creation of the same object replaces the buffer instead of leaking it.
    m_dcMem.DeleteDC();
    m_bmpBack.DeleteObject();
    m_dcMem.Attach(CreateCompatibleDC(dc.GetSafeHdc()));
    // Compatible with the window's context, not the memory one: the screen's colour format.
    m_bmpBack.Attach(CreateCompatibleBitmap(dc.GetSafeHdc(), m_rcScreen.right - m_rcScreen.left,
                                            m_rcScreen.bottom - m_rcScreen.top));
    CDC::SelectGdiObject(m_dcMem.GetSafeHdc(), m_bmpBack.GetSafeHandle());
}

// The window was refitted to a screen of another size: the scene is drawn at that size, never
// stretched from the old one or leaving a strip of the desktop.
void CBufferedWnd::OnDisplayChange(UINT /*bitsPerPixel*/, int width, int height)
{
    if (width <= 0 || height <= 0 ||
        (width == m_rcScreen.right - m_rcScreen.left &&
         height == m_rcScreen.bottom - m_rcScreen.top))
        return;
    m_rcScreen = RECT{0, 0, width, height};
    MakeBackBuffer();
    InvalidateRect(m_hWnd, nullptr, FALSE);
}

void CBufferedWnd::OnPaint()
{
    CPaintDC dc(this);
    Draw(&m_dcMem);
    // The whole screen every time, whatever was invalid: the scene is composed off-screen and
    // reaches the screen in one block, so nothing flickers.
    dc.BitBlt(0, 0, m_rcScreen.right - m_rcScreen.left, m_rcScreen.bottom - m_rcScreen.top,
              &m_dcMem, 0, 0, SRCCOPY);
}

void CBufferedWnd::OnLButtonDown(UINT /*nFlags*/, CPoint point)
{
    const CornerStep step =
        CornerGestureStep(m_bCornerArmed, point.x, point.y, m_rcScreen.right - m_rcScreen.left);
    if (step.closeNow) {
        m_bCloseAllowed = true;
        // Synchronous: the window is gone when this returns; what follows must not need it.
        SendMessageA(m_hWnd, WM_CLOSE, 0, 0);
    }
    m_bCornerArmed = step.armedAfter;
    Default();
}

void CBufferedWnd::OnClose()
{
    // Every close request before the gesture is dropped, whoever sends it.
    if (m_bCloseAllowed)
        Default();
}

BEGIN_MESSAGE_MAP(CBufferedWnd, CWnd)
ON_WM_PAINT()
ON_WM_CREATE()
ON_WM_LBUTTONDOWN()
ON_WM_CLOSE()
ON_WM_DISPLAYCHANGE()
END_MESSAGE_MAP()

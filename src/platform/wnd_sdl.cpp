// Placeholder until the SDL window backend lands.
#include "platform/gdi.h"
#include "platform/wnd.h"

CWnd::CWnd() = default;
CWnd::~CWnd() = default;
BOOL CWnd::CreateEx(DWORD, const char*, const char*, DWORD, const RECT&, CWnd*, UINT, void*) { return FALSE; }
BOOL CWnd::ShowWindow(int) { return FALSE; }
CWnd* CWnd::SetFocus() { return nullptr; }
BOOL CWnd::DestroyWindow() { return FALSE; }
LRESULT CWnd::DefWindowProc(UINT message, WPARAM, LPARAM)
{
    if (message == WM_CLOSE)
        DestroyWindow();
    return 0;
}
LRESULT SendMessageA(HWND, UINT, WPARAM, LPARAM) { return 0; }
BOOL InvalidateRect(HWND, const RECT*, BOOL) { return FALSE; }
BOOL UpdateWindow(HWND) { return FALSE; }
int GetSystemMetrics(int) { return 0; }
const char* AfxRegisterWndClass(UINT, HCURSOR, HBRUSH, HICON) { return "TappyWnd"; }
AFX_MODULE_STATE* AfxGetModuleState()
{
    static AFX_MODULE_STATE state{nullptr};
    return &state;
}
HICON LoadIconA(HINSTANCE, int) { return nullptr; }
HCURSOR LoadCursorA(HINSTANCE, int) { return nullptr; }
int AfxMessageBox(const char*, UINT, UINT) { return IDOK; }
CClientDC::CClientDC(CWnd*) {}
CClientDC::~CClientDC() = default;
CPaintDC::CPaintDC(CWnd* wnd) : m_pWnd(wnd) {}
CPaintDC::~CPaintDC() = default;

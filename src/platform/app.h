#pragma once
// The application object and the message loop, the message pump calls, and the dialog.
//  [X] CWinApp: InitInstance, Run (blocks in the event wait, no busy loop), ExitInstance
//  [X] AfxWinMain: platform start-up, the standard sequence, platform shut-down
//  [X] CDialog: a modeless dialog from a resource template
#include "platform/wnd.h"

struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
constexpr UINT PM_REMOVE = 0x0001;
BOOL PeekMessageA(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeMsg);
BOOL TranslateMessage(const MSG* msg);
LRESULT DispatchMessageA(const MSG* msg);

class CWinApp {
public:
    explicit CWinApp(const char* lpszAppName = nullptr);
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    virtual BOOL InitInstance();
    // The message loop; returns when m_pMainWnd's window has been destroyed.
    virtual int Run();
    virtual int ExitInstance();

    CWnd* m_pMainWnd = nullptr;
    int m_nCmdShow = SW_SHOWNORMAL;
};

CWinApp* AfxGetApp();

// The framework's entry: platform start-up, InitInstance, Run, ExitInstance. The program's
// main() calls it and returns its result.
int AfxWinMain(int argc, char** argv);

class CDialog : public CWnd {
public:
    CDialog() = default;
    // Template-number constructor, as the About box is declared.
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
    BOOL Create(UINT nIDTemplate, CWnd* pParentWnd = nullptr);

protected:
    void OnPaint();

    UINT m_nIDTemplate = 0;
    DECLARE_MESSAGE_MAP()
};

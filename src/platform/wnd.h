#pragma once
// Windows and their message maps, for the buffered window, the play window and the About box.
//  [X] CWnd: CreateEx (delivers WM_CREATE, then WM_SHOWWINDOW for a visible window, before it
//      returns), Default, ShowWindow, SetFocus, DestroyWindow; synchronous SendMessageA;
//      InvalidateRect/UpdateWindow; window classes registered by attributes
//  [X] message maps: static tables searched in the derived class first, then its base's
//  [ ] child windows, menus, timers, captions: Tappy has none
// Coordinates in messages are client coordinates in pixels, origin at the window's top-left.
#include "platform/cstring.h"
#include "platform/win_types.h"

#include <exception>

class CWnd;

using AFX_PMSG = LRESULT (*)(CWnd* wnd, WPARAM wParam, LPARAM lParam);
struct AFX_MSGMAP_ENTRY {
    UINT nMessage; // 0 ends the table
    AFX_PMSG pfn;
};
struct AFX_MSGMAP {
    const AFX_MSGMAP* pBaseMap; // null for CWnd's own
    const AFX_MSGMAP_ENTRY* lpEntries;
};

struct CREATESTRUCT {
    const char* lpszName;
    const char* lpszClass;
    DWORD style;
    int x, y, cx, cy;
};
using LPCREATESTRUCT = CREATESTRUCT*;

#define DECLARE_MESSAGE_MAP()                                                                      \
protected:                                                                                         \
    static const AFX_MSGMAP* GetThisMessageMap();                                                  \
    const AFX_MSGMAP* GetMessageMap() const override;

// The handlers are reached through captureless lambdas inside a member function of theClass, so
// they may be protected, and each entry unpacks its message's arguments the way handlers expect.
#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                                     \
    const AFX_MSGMAP* theClass::GetMessageMap() const                                              \
    {                                                                                              \
        return GetThisMessageMap();                                                                \
    }                                                                                              \
    const AFX_MSGMAP* theClass::GetThisMessageMap()                                                \
    {                                                                                              \
        using ThisClass [[maybe_unused]] = theClass;                                               \
        using TheBaseClass = baseClass;                                                            \
        static const AFX_MSGMAP_ENTRY _messageEntries[] = {

#define END_MESSAGE_MAP()                                                                          \
    {                                                                                              \
        0, nullptr                                                                                 \
    }                                                                                              \
    }                                                                                              \
    ;                                                                                              \
    static const AFX_MSGMAP messageMap = {TheBaseClass::GetThisMessageMap(), &_messageEntries[0]}; \
    return &messageMap;                                                                            \
    }

#define ON_WM_PAINT()                                                                              \
    {WM_PAINT, [](CWnd* w, WPARAM, LPARAM) -> LRESULT {                                            \
         static_cast<ThisClass*>(w)->OnPaint();                                                    \
         return 0;                                                                                 \
     }},
#define ON_WM_CREATE()                                                                             \
    {WM_CREATE, [](CWnd* w, WPARAM, LPARAM lp) -> LRESULT {                                        \
         return static_cast<ThisClass*>(w)->OnCreate(reinterpret_cast<LPCREATESTRUCT>(lp));        \
     }},
#define ON_WM_CLOSE()                                                                              \
    {WM_CLOSE, [](CWnd* w, WPARAM, LPARAM) -> LRESULT {                                            \
         static_cast<ThisClass*>(w)->OnClose();                                                    \
         return 0;                                                                                 \
     }},
#define ON_WM_LBUTTONDOWN()                                                                        \
    {WM_LBUTTONDOWN, [](CWnd* w, WPARAM wp, LPARAM lp) -> LRESULT {                                \
         static_cast<ThisClass*>(w)->OnLButtonDown(static_cast<UINT>(wp),                          \
                                                   CPoint(GET_X_LPARAM(lp), GET_Y_LPARAM(lp)));    \
         return 0;                                                                                 \
     }},
#define ON_WM_SHOWWINDOW()                                                                         \
    {WM_SHOWWINDOW, [](CWnd* w, WPARAM wp, LPARAM lp) -> LRESULT {                                 \
         static_cast<ThisClass*>(w)->OnShowWindow(static_cast<BOOL>(wp), static_cast<UINT>(lp));   \
         return 0;                                                                                 \
     }},
// The screen's size changed: wParam the bits per pixel, lParam the new width and height.
#define ON_WM_DISPLAYCHANGE()                                                                      \
    {WM_DISPLAYCHANGE, [](CWnd* w, WPARAM wp, LPARAM lp) -> LRESULT {                              \
         static_cast<ThisClass*>(w)->OnDisplayChange(static_cast<UINT>(wp), LOWORD(lp),            \
                                                     HIWORD(lp));                                  \
         return 0;                                                                                 \
     }},
// A key message (WM_KEYDOWN, WM_SYSKEYDOWN, ...) routed to a handler taking
// (virtual-key code, repeat count = low word of lParam, flags = high word of lParam).
#define ON_KEY_MESSAGE(message, memberFxn)                                                         \
    {message, [](CWnd* w, WPARAM wp, LPARAM lp) -> LRESULT {                                       \
         static_cast<ThisClass*>(w)->memberFxn(static_cast<UINT>(wp), LOWORD(lp), HIWORD(lp));     \
         return 0;                                                                                 \
     }},
#define ON_WM_KEYDOWN() ON_KEY_MESSAGE(WM_KEYDOWN, OnKeyDown)

class CWnd {
public:
    CWnd();
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    // Creates the window; WM_CREATE (and, for WS_VISIBLE, WM_SHOWWINDOW) arrive before it returns.
    BOOL CreateEx(DWORD dwExStyle, const char* lpszClassName, const char* lpszWindowName,
                  DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID,
                  void* lpParam = nullptr);
    BOOL ShowWindow(int nCmdShow);
    CWnd* SetFocus();
    BOOL DestroyWindow();
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

    // The default processing of the message being handled now.
    LRESULT Default();

    // Looks the message up in the map chain; unhandled messages go to DefWindowProc.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // WM_CLOSE destroys the window; WM_CREATE gives 0; everything else 0.
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);

    HWND m_hWnd = nullptr;

protected:
    static const AFX_MSGMAP* GetThisMessageMap();
    virtual const AFX_MSGMAP* GetMessageMap() const;

private:
    struct CurrentMessage {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };
    CurrentMessage m_current{0, 0, 0};
};

LRESULT SendMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// Marks the whole client area (rc is ignored: Tappy always repaints everything) for a WM_PAINT
// that is delivered once no other event waits.
BOOL InvalidateRect(HWND hwnd, const RECT* rc, BOOL bErase);
// Delivers a pending WM_PAINT now.
BOOL UpdateWindow(HWND hwnd);
int GetSystemMetrics(int index);

// Window classes: a registry of attribute sets, each under a made-up unique name.
class CResourceException : public std::exception {
public:
    void Delete() { delete this; }
    const char* what() const noexcept override { return "resource exception"; }
};
// Throws CResourceException* when the class cannot be registered.
const char* AfxRegisterWndClass(UINT nClassStyle, HCURSOR hCursor = nullptr,
                                HBRUSH hbrBackground = nullptr, HICON hIcon = nullptr);

struct AFX_MODULE_STATE {
    HINSTANCE m_hCurrentInstanceHandle;
};
AFX_MODULE_STATE* AfxGetModuleState();
// Icon resources are numbered (res/resource.h) and known once registered (platform/resources.h).
HICON LoadIconA(HINSTANCE hInstance, int resourceId);
constexpr int IDC_ARROW = 32512;
HCURSOR LoadCursorA(HINSTANCE hInstance, int cursorId);

// A modal message box; with no display, the text goes to standard error and IDOK comes back.
int AfxMessageBox(const char* text, UINT nType = MB_OK, UINT nIDHelp = 0);

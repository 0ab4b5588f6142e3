// Placeholder until the application loop lands.
#include "platform/app.h"

namespace {
CWinApp* g_pApp = nullptr;
}
BOOL PeekMessageA(MSG*, HWND, UINT, UINT, UINT) { return FALSE; }
BOOL TranslateMessage(const MSG*) { return FALSE; }
LRESULT DispatchMessageA(const MSG*) { return 0; }
CWinApp::CWinApp(const char*) { g_pApp = this; }
CWinApp::~CWinApp() { g_pApp = nullptr; }
BOOL CWinApp::InitInstance() { return TRUE; }
int CWinApp::Run() { return 0; }
int CWinApp::ExitInstance() { return 0; }
CWinApp* AfxGetApp() { return g_pApp; }
int AfxWinMain(int, char**)
{
    CWinApp* app = AfxGetApp();
    if (!app)
        return 1;
    if (app->InitInstance())
        app->Run();
    return app->ExitInstance();
}
CDialog::CDialog(UINT nIDTemplate, CWnd*) : m_nIDTemplate(nIDTemplate) {}
BOOL CDialog::Create(UINT, CWnd*) { return FALSE; }
BEGIN_MESSAGE_MAP(CDialog, CWnd)
END_MESSAGE_MAP()

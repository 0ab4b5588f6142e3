// The application object, its message loop and the framework's entry.
//
// The loop blocks in SDL_WaitEvent, so an idle Tappy uses no CPU.
#include "platform/sdl/backend.h"

#include <cstdio>

namespace {

// Set by the application object's constructor, which runs at static construction, so it is
// made on first use and lasts to the end of the process.
CWinApp*& AppPointer()
{
    static CWinApp* app = nullptr;
    return app;
}

} // namespace

CWinApp::CWinApp(const char* /*lpszAppName*/)
{
    AppPointer() = this;
}

CWinApp::~CWinApp()
{
    if (AppPointer() == this)
        AppPointer() = nullptr;
}

BOOL CWinApp::InitInstance()
{
    return TRUE;
}

int CWinApp::Run()
{
    for (;;) {
        if (!m_pMainWnd || !tappy::IsLiveWindow(m_pMainWnd->m_hWnd))
            break;
        MSG msg;
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
            continue;
        }
        // Blocks without taking the event; the next PeekMessageA translates it.
        if (!SDL_WaitEvent(nullptr))
            SDL_Delay(50); // an SDL error must not turn into a busy loop
    }
    return 0;
}

int CWinApp::ExitInstance()
{
    return 0;
}

CWinApp* AfxGetApp()
{
    return AppPointer();
}

int AfxWinMain(int /*argc*/, char** /*argv*/)
{
    CWinApp* app = AfxGetApp();
    if (!app) {
        std::fprintf(stderr, "Tappy: no application object.\n");
        return 1;
    }
    tappy::PlatformOwner platform;
    if (!platform.Start())
        return 1;
    if (app->InitInstance())
        app->Run();
    return app->ExitInstance();
}

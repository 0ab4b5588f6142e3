// The application object and the framework's entry.
#include "platform/sdl/backend.h"

#include <cstdio>
#include <unistd.h>

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
    const int code = app->ExitInstance();
    if (!platform.Finish()) {
        // The sound worker is held in the audio driver (a sound server that takes connections
        // but never opens a device keeps SDL's open for half a minute). The lock keys are back
        // and the windows gone; what is left would only wait for that thread.
        std::fflush(nullptr);
        _exit(code);
    }
    return code;
}

// The application object: the play window comes up in InitInstance and, once the corner
// gesture has closed it, ExitInstance shows the About box for three seconds.
#include "app/resources.h"
#include "platform/app.h"
#include "platform/keyboard.h"
#include "platform/runtime.h"
#include "platform/session.h"
#include "play/play_wnd.h"
#include "shell/about_dialog.h"
#include "shell/keyboard_lock.h"

#include <cstdio>

class CTappyApp : public CWinApp {
public:
    CTappyApp() : CWinApp(nullptr) {}

    BOOL InitInstance() override;
    int ExitInstance() override;

    CPlayWnd m_wndPlay;

private:
    bool m_bWindowFailed = false;
    bool m_bAlreadyRunning = false;
};

CTappyApp theApp;

BOOL CTappyApp::InitInstance()
{
    // Two Tappys on one display would fight over the focus and the grab for ever; the second
    // start only brings the first to the front, and that is a success.
    if (!ClaimDesktopSession("Tappy")) {
        m_bAlreadyRunning = true;
        return FALSE;
    }
    m_wndPlay.CreateFullScreen("Tappy", nullptr);
    m_pMainWnd = &m_wndPlay;
    if (!m_wndPlay.m_hWnd) {
        // Without its window the toy cannot be used or left; say so and end instead of running
        // an invisible loop.
        std::fputs("Tappy: could not create its full-screen window.\n", stderr);
        m_bWindowFailed = true;
        return FALSE;
    }
    m_wndPlay.ShowWindow(m_nCmdShow);
    UpdateWindow(m_wndPlay.m_hWnd);
    m_wndPlay.SetFocus();
    return TRUE;
}

int CTappyApp::ExitInstance()
{
    // The play window is gone; give the keyboard back before the About box stands.
    if (g_hKeyboardHook)
        UnhookWindowsHookEx(g_hKeyboardHook);

    int result = m_bAlreadyRunning ? 0 : 1;
    if (!m_bWindowFailed && !m_bAlreadyRunning) {
        CAboutDialog dlg;
        dlg.Create(IDD_ABOUTBOX, nullptr);
        dlg.ShowWindow(SW_SHOW);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        Sleep(3000);
        result = CWinApp::ExitInstance();
    }
    // The worker reads the sound slot, a static that static destruction would destroy before
    // this object; stop it here, once a playing sound has ended (or been halted, after at most
    // a few seconds).
    m_wndPlay.StopSoundWorker();
    return result;
}

int main(int argc, char** argv)
{
    RegisterTappyResources();
    return AfxWinMain(argc, argv);
}

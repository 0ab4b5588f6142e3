// The window's own share of a key press and of a paint, on SDL's dummy driver (1024 x 768):
// one key event through the filter and the message pump, and one full-screen paint with an
// empty Draw (the back buffer's copy to the window surface).
#include "platform/app.h"
#include "shell/buffered_wnd.h"
#include "shell/keyboard_lock.h"

#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

class CBenchWnd : public CBufferedWnd {
public:
    int m_nKeys = 0;

protected:
    void OnKeyDown(UINT, UINT, UINT) { ++m_nKeys; }
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CBenchWnd, CBufferedWnd)
ON_WM_KEYDOWN()
END_MESSAGE_MAP()

CBenchWnd& Window()
{
    static CBenchWnd wnd;
    if (!wnd.m_hWnd) {
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        wnd.CreateFullScreen("Tappy", nullptr);
        // The filter as the lock installs it, so each key pays for it.
        g_nLockOptions = 15;
        g_hKeyboardHook = SetWindowsHookExA(WH_KEYBOARD_LL, LowLevelKeyboardProc, nullptr, 0);
    }
    return wnd;
}

void Pump()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&msg);
}

void BM_KeyPressThroughLoop(benchmark::State& state)
{
    CBenchWnd& wnd = Window();
    SDL_Event key{};
    key.type = SDL_KEYDOWN;
    key.key.keysym.sym = SDLK_a;
    key.key.keysym.scancode = SDL_SCANCODE_A;
    for (auto _ : state) {
        SDL_PushEvent(&key);
        Pump();
    }
    benchmark::DoNotOptimize(wnd.m_nKeys);
}
BENCHMARK(BM_KeyPressThroughLoop);

void BM_FullScreenPaint(benchmark::State& state)
{
    CBenchWnd& wnd = Window();
    for (auto _ : state) {
        InvalidateRect(wnd.m_hWnd, nullptr, FALSE);
        UpdateWindow(wnd.m_hWnd);
    }
    state.counters["pixels"] = 1024 * 768;
}
BENCHMARK(BM_FullScreenPaint)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();

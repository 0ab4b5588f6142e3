// The buffered window on SDL's dummy video driver (1024 x 768), driven through real events and
// the real message pump.
#include "shell/buffered_wnd.h"

#include "platform/app.h"
#include "platform/sdl/backend.h"
#include "platform/sdl/gdi_internal.h"

#include <gtest/gtest.h>

#include <cstring>
#include <utility>
#include <vector>

namespace {

class CTestWnd : public CBufferedWnd {
public:
    void Draw(CDC* pDC) override
    {
        ++m_nDraws;
        EXPECT_EQ(pDC, &m_dcMem);
        SDL_Surface* s = pDC->m_hDC->surface;
        // A pattern that differs in every row and column, so a partial copy shows.
        for (int y = 0; y < s->h; ++y) {
            auto* row = reinterpret_cast<Uint32*>(static_cast<Uint8*>(s->pixels) + y * s->pitch);
            for (int x = 0; x < s->w; ++x)
                row[x] = SDL_MapRGB(s->format, x & 0xFF, y & 0xFF, (x ^ y) & 0xFF);
        }
    }
    SDL_Surface* BackBuffer() const { return m_dcMem.m_hDC->surface; }

    int m_nDraws = 0;
};

void Pump()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&msg);
}

void PushClick(const CWnd& wnd, int x, int y)
{
    const Uint32 id = SDL_GetWindowID(wnd.m_hWnd->window);
    SDL_Event e{
        .button = {SDL_MOUSEBUTTONDOWN, 0, id, 0, SDL_BUTTON_LEFT, SDL_PRESSED, 1, 0, x, y}};
    ASSERT_EQ(SDL_PushEvent(&e), 1);
}

// A key pressed and released, a move to the top-right corner, a button release there, a window
// manager's close request and a quit: none of them is a press, so none may arm, disarm or close.
void PushNoise(const CWnd& wnd)
{
    const Uint32 id = SDL_GetWindowID(wnd.m_hWnd->window);
    const SDL_Keysym a{SDL_SCANCODE_A, SDLK_a, 0, 0};
    for (SDL_Event e : {
             SDL_Event{.key = {SDL_KEYDOWN, 0, id, SDL_PRESSED, 0, 0, 0, a}},
             SDL_Event{.key = {SDL_KEYUP, 0, id, SDL_RELEASED, 0, 0, 0, a}},
             SDL_Event{.motion = {SDL_MOUSEMOTION, 0, id, 0, 0, 1010, 5, 0, 0}},
             SDL_Event{.button = {SDL_MOUSEBUTTONUP, 0, id, 0, SDL_BUTTON_LEFT, SDL_RELEASED, 1, 0,
                                  1010, 5}},
             SDL_Event{.window = {SDL_WINDOWEVENT, 0, id, SDL_WINDOWEVENT_CLOSE, 0, 0, 0, 0, 0}},
             SDL_Event{.type = SDL_QUIT},
         })
        ASSERT_EQ(SDL_PushEvent(&e), 1);
}

TEST(BufferedWndGesture, CornerPresses)
{
    const struct {
        const char* name;
        std::vector<std::pair<int, int>> presses;
        bool closes;
    } rows[] = {
        {"(20,20) then (1004,0)", {{20, 20}, {1004, 0}}, true},
        {"(0,0) then (1023,20)", {{0, 0}, {1023, 20}}, true},
        {"(0,0) then (1003,0)", {{0, 0}, {1003, 0}}, false},
        {"(21,0) then (1010,5)", {{21, 0}, {1010, 5}}, false},
        {"(0,21) then (1010,5)", {{0, 21}, {1010, 5}}, false},
        {"(1010,5) first", {{1010, 5}, {5, 5}}, false},
        {"middle press disarms", {{5, 5}, {500, 400}, {1010, 5}}, false},
        {"second top-left keeps armed", {{5, 5}, {5, 5}, {1010, 5}}, true},
        {"row 21 is outside", {{0, 0}, {1004, 21}}, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        bool armed = false, closed = false;
        for (const auto& [x, y] : row.presses) {
            const CornerStep step = CornerGestureStep(armed, x, y, 1024);
            closed = closed || step.closeNow;
            armed = step.armedAfter;
        }
        EXPECT_EQ(closed, row.closes);
    }
    // On a screen 40 pixels wide the squares overlap: an armed press there closes and re-arms.
    EXPECT_TRUE(CornerGestureStep(true, 20, 5, 40).closeNow);
    EXPECT_TRUE(CornerGestureStep(true, 20, 5, 40).armedAfter);
    EXPECT_FALSE(CornerGestureStep(true, 20, 5, 41).closeNow);
}

// Twenty invalidations of a corner, with noise between, make one paint that copies the whole
// buffer; a close request, even with the gesture armed, is dropped until the gesture ends.
TEST(BufferedWnd, OnePaintCopiesTheWholeBufferAndOnlyTheGestureCloses)
{
    CTestWnd wnd;
    // The dummy driver cannot grab, and says so on stderr; that notice is expected here.
    testing::internal::CaptureStderr();
    ASSERT_TRUE(wnd.CreateFullScreen("Tappy", nullptr));
    testing::internal::GetCapturedStderr();
    SDL_Surface* screen = SDL_GetWindowSurface(wnd.m_hWnd->window);
    SDL_Surface* back = wnd.BackBuffer();
    ASSERT_TRUE(screen && screen->w == back->w && screen->h == back->h);
    ASSERT_EQ(back->w * back->h, 1024 * 768) << "the corners assume the dummy driver's screen";
    ASSERT_EQ(screen->format->format, back->format->format);
    Pump();
    const int before = wnd.m_nDraws;
    SDL_FillRect(screen, nullptr, SDL_MapRGB(screen->format, 1, 2, 3));
    PushClick(wnd, 5, 5); // armed; nothing below may disturb that
    RECT corner{0, 0, 10, 10};
    for (int i = 0; i < 20; ++i) {
        InvalidateRect(wnd.m_hWnd, &corner, FALSE);
        PushNoise(wnd);
    }
    Pump();
    EXPECT_EQ(wnd.m_nDraws, before + 1);
    int mismatchedRows = 0;
    for (int y = 0; y < back->h; ++y)
        mismatchedRows += std::memcmp(static_cast<Uint8*>(back->pixels) + y * back->pitch,
                                      static_cast<Uint8*>(screen->pixels) + y * screen->pitch,
                                      back->w * back->format->BytesPerPixel) != 0;
    EXPECT_EQ(mismatchedRows, 0);
    SendMessageA(wnd.m_hWnd, WM_CLOSE, 0, 0);
    ASSERT_NE(wnd.m_hWnd, nullptr);
    PushClick(wnd, 1010, 5);
    Pump();
    EXPECT_EQ(wnd.m_hWnd, nullptr);
}

} // namespace

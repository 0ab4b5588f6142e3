// A minimal program around the real buffered window for the end-to-end grab test: it paints a
// fixed pattern, and writes its back buffer to the file named by GRAB_HOST_DUMP after the first
// paint so that a screenshot can be compared with it.
#include "platform/app.h"
#include "platform/sdl/gdi_internal.h"
#include "shell/buffered_wnd.h"

#include <cstdio>
#include <cstdlib>

namespace {

Uint8 PatternRed(int x, int /*y*/)
{
    return static_cast<Uint8>(x & 0xFF);
}
Uint8 PatternGreen(int /*x*/, int y)
{
    return static_cast<Uint8>(y & 0xFF);
}
Uint8 PatternBlue(int x, int y)
{
    return static_cast<Uint8>((x * 7 + y * 3) & 0xFF);
}

void WritePpm(SDL_Surface* surface, const char* path)
{
    std::FILE* file = std::fopen(path, "wb");
    if (!file)
        return;
    std::fprintf(file, "P6\n%d %d\n255\n", surface->w, surface->h);
    for (int y = 0; y < surface->h; ++y) {
        const auto* row = reinterpret_cast<const Uint32*>(
            static_cast<const Uint8*>(surface->pixels) + y * surface->pitch);
        for (int x = 0; x < surface->w; ++x) {
            Uint8 rgb[3];
            SDL_GetRGB(row[x], surface->format, &rgb[0], &rgb[1], &rgb[2]);
            std::fwrite(rgb, 1, 3, file);
        }
    }
    std::fclose(file);
}

class CPatternWnd : public CBufferedWnd {
public:
    void Draw(CDC* pDC) override
    {
        SDL_Surface* surface = pDC && pDC->m_hDC ? pDC->m_hDC->surface : nullptr;
        if (!surface)
            return;
        for (int y = 0; y < surface->h; ++y) {
            auto* row = reinterpret_cast<Uint32*>(static_cast<Uint8*>(surface->pixels) +
                                                  y * surface->pitch);
            for (int x = 0; x < surface->w; ++x)
                row[x] = SDL_MapRGB(surface->format, PatternRed(x, y), PatternGreen(x, y),
                                    PatternBlue(x, y));
        }
        if (!m_bDumped) {
            m_bDumped = true;
            if (const char* path = std::getenv("GRAB_HOST_DUMP"))
                WritePpm(surface, path);
        }
    }

private:
    bool m_bDumped = false;
};

class CHostApp : public CWinApp {
public:
    BOOL InitInstance() override
    {
        m_wnd.CreateFullScreen("Tappy", nullptr);
        m_pMainWnd = &m_wnd;
        m_wnd.ShowWindow(m_nCmdShow);
        UpdateWindow(m_wnd.m_hWnd);
        m_wnd.SetFocus();
        return TRUE;
    }

private:
    CPatternWnd m_wnd;
};

CHostApp theApp;

} // namespace

int main(int argc, char** argv)
{
    return AfxWinMain(argc, argv);
}

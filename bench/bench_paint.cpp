// One paint of the play window, as the paint handler does it: Draw into the back buffer, then
// the block copy to a surface of the screen's size. Warm (picture decoded on an earlier paint)
// and cold (the first paint of a freshly loaded picture), for a small picture and a large
// photo; and many paints for resident memory, since the word font is made and freed each time.
#include "content/topic.h"
#include "photo_like.h"
#include "platform/gdi.h"
#include "play/play_wnd.h"

#include <SDL.h>
#include <SDL_image.h>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>

namespace {
std::filesystem::path g_dir;

void WriteJpeg(const std::filesystem::path& path, int w, int h)
{
    SDL_Surface* s = PhotoLike(w, h);
    IMG_SaveJPG(s, path.c_str(), 90);
    SDL_FreeSurface(s);
}

const std::filesystem::path& ContentDir()
{
    if (g_dir.empty()) {
        g_dir = std::filesystem::temp_directory_path() /
                ("tappy_bench_paint_" + std::to_string(::getpid()));
        std::filesystem::create_directories(g_dir / "images");
        WriteJpeg(g_dir / "images" / "small.jpg", 640, 480);
        WriteJpeg(g_dir / "images" / "photo.jpg", 4000, 3000);
        SetMediaDirs(CString((g_dir.string() + "/").c_str()));
    }
    return g_dir;
}

const char* PictureName(int which)
{
    return which == 0 ? "small.jpg" : "photo.jpg";
}

class PaintWnd : public CPlayWnd {
public:
    PaintWnd(int w, int h) : CPlayWnd(NoServices{})
    {
        m_rcScreen = RECT{0, 0, w, h};
        m_dcMem.Attach(CreateCompatibleDC(nullptr));
        m_bmpBack.Attach(CreateCompatibleBitmap(nullptr, w, h));
        CDC::SelectGdiObject(m_dcMem.GetSafeHdc(), m_bmpBack.GetSafeHandle());
        m_screen.Attach(CreateCompatibleDC(nullptr));
        m_screenBits.Attach(CreateCompatibleBitmap(nullptr, w, h));
        CDC::SelectGdiObject(m_screen.GetSafeHdc(), m_screenBits.GetSafeHandle());
    }
    void SetTopic(const char* picture)
    {
        m_topics.SetSize(0, true);
        auto* topic = new CTopic(CString(picture));
        topic->GetSounds().AddUnique("moo.wav");
        topic->GetWords().AddUnique("\xD0\x9A\xD0\xBE\xD1\x80\xD0\xBE\xD0\xB2\xD0\xB0");
        m_topics.SetSize(1, false);
        m_topics.SetAt(0, topic);
        m_nTopic = 0;
        m_nSound = 0;
        m_nWord = 0;
    }
    void DropTopic()
    {
        m_nTopic = -1;
        m_topics.SetSize(0, true);
    }
    void Paint(int total)
    {
        m_nRepeatTotal = total;
        Draw(&m_dcMem);
        m_screen.BitBlt(0, 0, m_rcScreen.right, m_rcScreen.bottom, &m_dcMem, 0, 0, SRCCOPY);
    }

private:
    CDC m_screen;
    CBitmap m_screenBits;
};

long ResidentKb()
{
    long pages = 0, resident = 0;
    if (std::FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// Arguments: screen width, height, picture (0: 640 x 480, 1: 4000 x 3000 photo).
void BM_PaintWarm(benchmark::State& state)
{
    ContentDir();
    PaintWnd wnd(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    wnd.SetTopic(PictureName(static_cast<int>(state.range(2))));
    wnd.Paint(0);
    int total = 0;
    for (auto _ : state)
        wnd.Paint(++total);
}
BENCHMARK(BM_PaintWarm)
    ->Args({1920, 1080, 0})
    ->Args({1920, 1080, 1})
    ->Args({3840, 2160, 0})
    ->Args({3840, 2160, 1})
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

void BM_PaintCold(benchmark::State& state)
{
    ContentDir();
    PaintWnd wnd(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    for (auto _ : state) {
        state.PauseTiming();
        wnd.SetTopic(PictureName(static_cast<int>(state.range(2))));
        state.ResumeTiming();
        wnd.Paint(39);
        state.PauseTiming();
        wnd.DropTopic();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_PaintCold)
    ->Args({1920, 1080, 0})
    ->Args({1920, 1080, 1})
    ->Args({3840, 2160, 1})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

// Resident memory over 100,000 paints (a small screen keeps the run short; the font and the
// picture cache behave the same at any size).
void BM_PaintResidentMemory(benchmark::State& state)
{
    ContentDir();
    PaintWnd wnd(320, 240);
    wnd.SetTopic(PictureName(1));
    for (int i = 0; i < 1000; ++i)
        wnd.Paint(i);
    const long before = ResidentKb();
    for (auto _ : state) {
        for (int i = 0; i < 100000; ++i)
            wnd.Paint(i);
    }
    state.counters["rss_kb_after_1k"] = static_cast<double>(before);
    state.counters["rss_kb_after_101k"] = static_cast<double>(ResidentKb());
}
BENCHMARK(BM_PaintResidentMemory)->Iterations(1)->Unit(benchmark::kSecond);
} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (!g_dir.empty())
        std::filesystem::remove_all(g_dir);
    return 0;
}

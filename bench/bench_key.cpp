// Key to screen: from the key press that makes a new choice to the scene in the screen buffer,
// for a 640 x 480 PNG, a 12-megapixel JPEG and a 24-megapixel PNG on a 1920 x 1080 screen, in
// one run. Each round loads the topics anew (nothing decoded from an earlier round) and gives
// the background the time between two keys to decode ahead. Then the peak memory of decoding
// hostile files, each in a child process of its own.
#include "content/topic.h"
#include "platform/codec/codec.h"
#include "platform/codec/picture_store.h"
#include "platform/gdi.h"
#include "platform/imaging.h"
#include "platform/runtime.h"
#include "play/play_wnd.h"

#include <SDL.h>
#include <SDL_image.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "photo_like.h"
#include "support/test_pictures.h"

namespace {
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
constexpr int kW = 1920, kH = 1080;

class KeyWnd : public CPlayWnd {
public:
    KeyWnd() : CPlayWnd(NoServices{})
    {
        m_rcScreen = RECT{0, 0, kW, kH};
        m_dcMem.Attach(CreateCompatibleDC(nullptr));
        m_bmpBack.Attach(CreateCompatibleBitmap(nullptr, kW, kH));
        CDC::SelectGdiObject(m_dcMem.GetSafeHdc(), m_bmpBack.GetSafeHandle());
        m_screen.Attach(CreateCompatibleDC(nullptr));
        m_screenBits.Attach(CreateCompatibleBitmap(nullptr, kW, kH));
        CDC::SelectGdiObject(m_screen.GetSafeHdc(), m_screenBits.GetSafeHandle());
    }
    void Load(const std::vector<std::string>& names)
    {
        m_topics.SetSize(0, true);
        m_nTopic = -1;
        m_nLastKey = -1;
        for (const auto& n : names) {
            m_topics.SetSize(m_topics.GetCount() + 1, false);
            m_topics.SetAt(m_topics.GetCount() - 1, new CTopic(CString(n.c_str())));
        }
    }
    // What the previous key left behind: the next choice decoded ahead while the child waits.
    void BetweenKeys(bool ahead)
    {
        if (ahead)
            DecodeNextChoiceAhead();
        codec::Store().WaitIdle();
    }
    int KeyToScreen(UINT key)
    {
        OnKeyDown(key, 1, 0);
        Draw(&m_dcMem);
        m_screen.BitBlt(0, 0, kW, kH, &m_dcMem, 0, 0, SRCCOPY);
        return m_nTopic;
    }
    using CPlayWnd::m_topics;

private:
    CDC m_screen;
    CBitmap m_screenBits;
};

// A seed whose first value picks topic `want` of `count`.
unsigned SeedFor(int want, int count, unsigned from)
{
    for (unsigned s = from;; ++s) {
        crt::srand(s);
        if (TopicIndexFromDraw(crt::peek_rand(0), count) == want)
            return s;
    }
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void KeyToScreen(const fs::path& dir)
{
    const std::vector<std::string> names = {"small.png", "photo12mp.jpg", "photo24mp.png"};
    KeyWnd wnd;
    for (bool ahead : {true, false}) {
        std::vector<double> ms[3];
        unsigned seed = 1;
        for (int round = 0; round < 9; ++round) {
            for (int p = 0; p < 3; ++p) {
                wnd.Load(names);
                seed = SeedFor(p, 3, seed + 1);
                wnd.BetweenKeys(ahead);
                const auto t0 = Clock::now();
                const int shown = wnd.KeyToScreen('A' + static_cast<UINT>(round % 20));
                ms[p].push_back(
                    std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
                if (shown != p)
                    std::printf("round %d: chose %d, not %d\n", round, shown, p);
            }
        }
        std::printf("key to screen, %s (median of 9, ms): 640x480 PNG %.1f, 12 MP JPEG %.1f, 24 MP "
                    "PNG %.1f\n",
                    ahead ? "decoded ahead" : "nothing decoded ahead", Median(ms[0]), Median(ms[1]),
                    Median(ms[2]));
    }
    (void)dir;
}

// What decoding in a child process costs over decoding in this one.
void IsolationCost(const fs::path& dir)
{
    for (const char* name : {"small.png", "photo12mp.jpg"}) {
        const std::string path = (dir / "images" / name).string();
        std::vector<double> here, child;
        for (int i = 0; i < 15; ++i) {
            codec::Picture a, b;
            const auto t0 = Clock::now();
            const auto file = codec::FileSource::Open(path);
            codec::Decode(*file, kW, kH, &a);
            const auto t1 = Clock::now();
            codec::DecodeIsolated(path, kW, kH, &b);
            const auto t2 = Clock::now();
            here.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
            child.push_back(std::chrono::duration<double, std::milli>(t2 - t1).count());
        }
        std::printf("decode %s at %dx%d (median of 15, ms): in process %.1f, in a child %.1f\n",
                    name, kW, kH, Median(here), Median(child));
    }
}

void Hostile()
{
    std::string qoi = "qoif";
    testpics::PutInt(qoi, 10000, 4, true);
    testpics::PutInt(qoi, 10000, 4, true);
    qoi += std::string("\x04\x00\xFE\x10\x20\x30", 6) + std::string("\0\0\0\0\0\0\0\x01", 8);
    std::string rle = testpics::Bmp(1, 1).substr(0, 54);
    rle[18] = '\x10', rle[19] = '\x27', rle[22] = '\x10', rle[23] = '\x27';
    rle[28] = 8, rle[30] = 1;
    rle += std::string("\xFF\x01\0\0\0\x01", 6);
    std::string gif = testpics::SampleBytes("red.gif");
    gif.pop_back();
    gif += std::string("\x2C\0\0\0\0\x30\x75\x30\x75\0\x02\x02\x84\x5F\0;", 17);
    const std::pair<const char*, std::string> cases[] = {
        {"26-byte QOI claiming 100 MP", qoi},
        {"60-byte RLE8 BMP claiming 100 MP", rle},
        {"GIF with a 900 MP second frame", gif},
        {"PNG of 100,000,000 x 1", testpics::PngClaiming(100'000'000, 1, 16)},
        {"PNG of 65535 x 1 (real)", testpics::Png(65535, 1)},
        {"PNG of 10000 x 10000 claim, 4 KB", testpics::PngClaiming(10000, 10000, 4000)},
    };
    for (const auto& [what, bytes] : cases) {
        const pid_t pid = fork();
        if (pid == 0) {
            codec::Picture p;
            const codec::MemorySource src(bytes.data(), bytes.size());
            const bool sized = codec::SizeOf(src).has_value();
            const bool decoded = codec::Decode(src, kW, kH, &p);
            _exit((sized ? 2 : 0) | (decoded ? 1 : 0));
        }
        int status = 0;
        rusage usage{};
        wait4(pid, &status, 0, &usage);
        const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        std::printf("%-36s sized %-3s decoded %-3s peak RSS %6.1f MB\n", what,
                    code & 2 ? "yes" : "no", code & 1 ? "yes" : "no", usage.ru_maxrss / 1024.0);
    }
}
} // namespace

int main()
{
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "dummy");
    SDL_Init(SDL_INIT_VIDEO);
    const fs::path dir =
        fs::temp_directory_path() / ("tappy_bench_key_" + std::to_string(getpid()));
    fs::create_directories(dir / "images");
    SDL_Surface* small = PhotoLike(640, 480);
    IMG_SavePNG(small, (dir / "images" / "small.png").c_str());
    SDL_Surface* twelve = PhotoLike(4000, 3000);
    IMG_SaveJPG(twelve, (dir / "images" / "photo12mp.jpg").c_str(), 90);
    SDL_Surface* big = PhotoLike(6000, 4000);
    IMG_SavePNG(big, (dir / "images" / "photo24mp.png").c_str());
    SDL_FreeSurface(small);
    SDL_FreeSurface(twelve);
    SDL_FreeSurface(big);
    SetMediaDirs(CString((dir.string() + "/").c_str()));
    KeyToScreen(dir);
    IsolationCost(dir);
    Hostile();
    fs::remove_all(dir);
    return 0;
}

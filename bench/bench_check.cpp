// The background check of a photo: CPU per full-HD JPEG, in this process and through the
// long-lived checker child, beside a decode for the screen for comparison. The photos are
// photo-like (smooth light, texture and noise), written at quality 90 like a camera's.
#include "platform/codec/codec.h"
#include "platform/codec/isolated.h"

#include <SDL.h>
#include <SDL_image.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>
#include <sys/resource.h>

#include "photo_like.h"

namespace fs = std::filesystem;

namespace {
constexpr int kPhotos = 4;
constexpr int kRounds = 50;

double CpuSeconds(int who)
{
    rusage u{};
    getrusage(who, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
}

template <typename F> double MsPerCall(F&& call)
{
    const double before = CpuSeconds(RUSAGE_SELF);
    for (int round = 0; round < kRounds; ++round)
        call(round % kPhotos);
    return (CpuSeconds(RUSAGE_SELF) - before) * 1000 / kRounds;
}
} // namespace

int main()
{
    const fs::path folder = fs::temp_directory_path() / "tappy-bench-check";
    fs::create_directories(folder);
    std::vector<std::string> paths;
    std::uintmax_t bytes = 0;
    for (int i = 0; i < kPhotos; ++i) {
        SDL_Surface* s = PhotoLike(1920 + i, 1080); // each a different file
        paths.push_back((folder / ("photo" + std::to_string(i) + ".jpg")).string());
        if (!s || IMG_SaveJPG(s, paths.back().c_str(), 90) != 0) {
            std::fprintf(stderr, "bench_check: could not write %s\n", paths.back().c_str());
            return 1;
        }
        SDL_FreeSurface(s);
        bytes += fs::file_size(paths.back());
    }
    int good = 0;
    const double check = MsPerCall([&](int i) {
        const auto f = codec::FileSource::Open(paths[i]);
        codec::Size size;
        good += f && codec::Check(*f, &size);
    });
    const double decode = MsPerCall([&](int i) {
        const auto f = codec::FileSource::Open(paths[i]);
        codec::Picture p;
        good += f && codec::Decode(*f, 1920, 1080, &p);
    });
    // The child's CPU is counted once it is reaped, when the checker stops.
    const double before = CpuSeconds(RUSAGE_SELF) + CpuSeconds(RUSAGE_CHILDREN);
    {
        codec::Checker checker(nullptr);
        for (int round = 0; round < kRounds; ++round)
            good += checker.Check(paths[round % kPhotos]).decodes;
    }
    const double child =
        (CpuSeconds(RUSAGE_SELF) + CpuSeconds(RUSAGE_CHILDREN) - before) * 1000 / kRounds;
    std::printf("bench_check: 1920x1080 JPEG of %.0f KB; all decoded: %s\n"
                "bench_check: check %.2f ms CPU in process, %.2f ms through the checker child "
                "(target <= 3 ms); decode for the screen %.2f ms\n",
                bytes / 1024.0 / kPhotos, good == 3 * kRounds ? "yes" : "NO", check, child, decode);
    fs::remove_all(folder);
    return good == 3 * kRounds ? 0 : 1;
}

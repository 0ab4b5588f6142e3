// Loading the topic library from a photo folder: 300 JPEG photos of 1920 x 1080 with photo-like
// content (smooth light, texture and sensor noise, 300-600 KB each), 300 wave files and a map of
// 300 records. The folder is made once in a child process, so its encoder's memory does not count
// towards the load's peak resident memory, and kept under the temporary directory for later runs.
#include "content/topic.h"

#include <SDL.h>
#include <SDL_image.h>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {
constexpr int kPictures = 300;
constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

fs::path Folder()
{
    return fs::temp_directory_path() / "tappy-bench-load-v1";
}

std::string PictureName(int i)
{
    return "photo_" + std::to_string(i) + ".jpg";
}

bool MakePhoto(const fs::path& path, unsigned seed)
{
    SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, kWidth, kHeight, 24, SDL_PIXELFORMAT_RGB24);
    if (!s)
        return false;
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    double fx[3][3];
    double fy[3][3];
    double ph[3][3];
    for (int c = 0; c < 3; ++c) {
        for (int k = 0; k < 3; ++k) {
            fx[c][k] = (0.5 + 8.0 * u(rng) * (k + 1)) / kWidth * 6.283;
            fy[c][k] = (0.5 + 8.0 * u(rng) * (k + 1)) / kHeight * 6.283;
            ph[c][k] = u(rng) * 6.283;
        }
    }
    std::normal_distribution<double> noise(0.0, 7.0);
    auto* pixels = static_cast<unsigned char*>(s->pixels);
    for (int y = 0; y < kHeight; ++y) {
        unsigned char* row = pixels + y * s->pitch;
        for (int x = 0; x < kWidth; ++x) {
            for (int c = 0; c < 3; ++c) {
                double v = 128.0;
                for (int k = 0; k < 3; ++k)
                    v += 40.0 / (k + 1) * std::sin(fx[c][k] * x + ph[c][k]) *
                         std::cos(fy[c][k] * y + ph[c][k] * 0.5);
                v += noise(rng);
                row[x * 3 + c] = static_cast<unsigned char>(std::clamp(v, 0.0, 255.0));
            }
        }
    }
    const bool ok = IMG_SaveJPG(s, path.c_str(), 85) == 0;
    SDL_FreeSurface(s);
    return ok;
}

void WriteWav(const fs::path& path)
{
    static const unsigned char kWav[] = {'R', 'I', 'F', 'F', 40, 0,  0, 0, 'W', 'A', 'V', 'E',
                                         'f', 'm', 't', ' ', 16, 0,  0, 0, 1,   0,   1,   0,
                                         64,  31,  0,   0,   64, 31, 0, 0, 1,   0,   8,   0,
                                         'd', 'a', 't', 'a', 4,  0,  0, 0, 128, 128, 128, 128};
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(kWav), sizeof kWav);
}

// Builds the folder in a child process; returns false when it could not be made.
bool EnsureFolder()
{
    const fs::path done = Folder() / "complete";
    if (fs::exists(done))
        return true;
    std::fprintf(stderr, "Making %d photos in %s (once)...\n", kPictures, Folder().c_str());
    const pid_t child = fork();
    if (child == 0) {
        fs::create_directories(Folder() / "images");
        fs::create_directories(Folder() / "sounds");
        std::ofstream map(Folder() / "Tappy.map", std::ios::binary);
        for (int i = 0; i < kPictures; ++i) {
            if (!MakePhoto(Folder() / "images" / PictureName(i), 1000u + i))
                _exit(1);
            WriteWav(Folder() / "sounds" / ("photo_" + std::to_string(i) + ".wav"));
            WriteWav(Folder() / "sounds" / ("say_" + std::to_string(i) + ".wav"));
            map << "{Photo " << i << ", Picture " << i << "}\r\n{" << PictureName(i) << "}\r\n{say_"
                << i << ".wav; missing_" << i << ".wav}\r\n";
        }
        map.close();
        std::ofstream(done) << "ok\n";
        _exit(0);
    }
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

double PeakRssMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0; // ru_maxrss is in kilobytes on Linux
}

CString ProgramDir()
{
    return CString(Folder().string() + "/");
}

void BM_LoadPhotoFolder(benchmark::State& state)
{
    int topics = 0;
    for (auto _ : state) {
        CTopicList list;
        LoadTopicLibrary(list, ProgramDir());
        topics = list.GetCount();
        benchmark::DoNotOptimize(list.GetAt(0));
    }
    state.counters["topics"] = topics;
    state.counters["peak_rss_MB"] = PeakRssMegabytes();
}
BENCHMARK(BM_LoadPhotoFolder)->Unit(benchmark::kMillisecond)->Iterations(20);
} // namespace

int main(int argc, char** argv)
{
    if (!EnsureFolder()) {
        std::fprintf(stderr, "bench_load: could not make the photo folder\n");
        return 1;
    }
    std::uintmax_t bytes = 0;
    for (const auto& entry : fs::directory_iterator(Folder() / "images"))
        bytes += entry.file_size();

    // The first load is the one a child waits for at start-up; it is measured on its own.
    const double rssBefore = PeakRssMegabytes();
    const auto start = std::chrono::steady_clock::now();
    int topics = 0;
    {
        CTopicList list;
        LoadTopicLibrary(list, ProgramDir());
        topics = list.GetCount();
    }
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    std::printf("bench_load: %d topics from %d photos (%.0f KB each on average)\n"
                "bench_load: first load %.1f ms (target < 500 ms), peak RSS %.1f MB "
                "(%.1f MB before loading; target < 120 MB)\n",
                topics, kPictures, bytes / 1024.0 / kPictures, took.count(), PeakRssMegabytes(),
                rssBefore);

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

// Peak resident memory of playing each hostile sound file, each in a child process of its own
// on SDL's dummy audio driver. A sound still playing after one second is stopped, as the exit
// would stop it.
#include "platform/sound.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {
// A 44.1 kHz stereo 16-bit header claiming `bytes` of samples; the file is made that long, sparse.
void SparseWave(const fs::path& path, std::uint32_t bytes)
{
    const std::uint32_t head[] = {
        0x46464952, 36 + bytes, 0x45564157,       0x20746d66, 16,   1u | (2u << 16),
        44100,      44100 * 4,  4u | (16u << 16), 0x61746164, bytes};
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(head), sizeof head);
    fs::resize_file(path, sizeof head + std::uint64_t{bytes});
}

void Measure(const char* what, const fs::path& path)
{
    const pid_t child = fork();
    if (child == 0) {
        SoundStartup();
        std::atomic<bool> done{false};
        const auto start = std::chrono::steady_clock::now();
        std::thread player([&] {
            PlaySoundA(path.c_str(), nullptr, SND_FILENAME);
            done = true;
        });
        for (int i = 0; i < 100 && !done; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        while (!done) {
            PlaySoundA(nullptr, nullptr, 0);
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        player.join();
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
        SoundShutdown();
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        std::printf("%-34s returned after %6.0f ms, peak resident %6.1f MB\n", what, ms,
                    usage.ru_maxrss / 1024.0);
        std::fflush(stdout);
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
}
} // namespace

int main()
{
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    const fs::path dir =
        fs::temp_directory_path() / ("tappy-bench-sound-" + std::to_string(getpid()));
    fs::create_directories(dir);
    mkfifo((dir / "pipe.wav").c_str(), 0600);
    fs::create_symlink("/dev/zero", dir / "zero.wav");
    SparseWave(dir / "sparse-2gb.wav", 0x7FFFFF00u);
    SparseWave(dir / "long-60mb.wav", 60u << 20);
    SparseWave(dir / "short-1s.wav", 44100 * 4);
    Measure("short WAV (1 s)", dir / "short-1s.wav");
    Measure("named pipe", dir / "pipe.wav");
    Measure("link to /dev/zero", dir / "zero.wav");
    Measure("sparse 2 GB WAV (over the cap)", dir / "sparse-2gb.wav");
    Measure("sparse 60 MB WAV (6 min, streamed)", dir / "long-60mb.wav");
    fs::remove_all(dir);
    return 0;
}

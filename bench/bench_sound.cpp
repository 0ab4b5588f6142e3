// Key press to sound: the time from posting a request to the worker taking it out of the slot,
// measured with the worker idle (waiting), as it is when a child presses a key.
#include "sound/sound_worker.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <thread>

namespace {
using Clock = std::chrono::steady_clock;
std::atomic<Clock::rep> g_takenAt{0};

void Stamp(const char*)
{
    g_takenAt = Clock::now().time_since_epoch().count();
}

void BM_PostToTake(benchmark::State& state)
{
    ResetSoundWorkerForTest();
    SetSoundPlayFunction(&Stamp);
    StartSoundWorker();
    double worst = 0;
    for (auto _ : state) {
        // Let the worker settle into its wait, as between two key presses.
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        g_takenAt = 0;
        const auto posted = Clock::now();
        PostSoundRequest("bench.wav");
        while (g_takenAt == 0)
            std::this_thread::yield();
        const auto taken = Clock::time_point(Clock::duration(g_takenAt.load()));
        const double seconds = std::chrono::duration<double>(taken - posted).count();
        worst = std::max(worst, seconds);
        state.SetIterationTime(seconds);
    }
    state.counters["worst_us"] = worst * 1e6;
    StopSoundWorker();
    SetSoundPlayFunction(nullptr);
}
BENCHMARK(BM_PostToTake)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(500)
    ->Repetitions(3);
} // namespace

BENCHMARK_MAIN();

// Loading the bundled content, which the child waits for before the first picture appears.
#include "content/lists.h"
#include "content/topic.h"
#include "platform/imaging.h"

#include <benchmark/benchmark.h>

#include <string>

static void BM_LoadDemoLibrary(benchmark::State& state)
{
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartup(&token, &input, nullptr);
    const CString dir((std::string(TAPPY_SOURCE_DIR) + "/demo/").c_str());
    for (auto _ : state) {
        CTopicList topics;
        LoadTopicLibrary(topics, dir);
        benchmark::DoNotOptimize(topics.GetCount());
        state.counters["topics"] = topics.GetCount();
    }
    Gdiplus::GdiplusShutdown(token);
}
BENCHMARK(BM_LoadDemoLibrary)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();

// Reading a map whose first record holds one very long words list (40,000 and 80,000 words,
// about 270 KB and 550 KB), through the map file stream as the program reads it, and giving
// the list to a topic as the loading does.
#include "content/map_reader.h"
#include "content/topic.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {
// Pseudo-words of 4-7 letters, all different: ", " after each gives about 7 bytes a word.
std::string Word(int i)
{
    std::string w;
    unsigned n = static_cast<unsigned>(i) * 2654435761u;
    w += static_cast<char>('a' + n % 26);
    for (int v = i; v > 0 || w.size() < 4; v /= 26)
        w += static_cast<char>('a' + v % 26);
    return w;
}

fs::path MakeMap(int words)
{
    const fs::path path = fs::temp_directory_path() / ("tappy-bench-map-" + std::to_string(words));
    std::ofstream out(path, std::ios::binary);
    out << '{';
    for (int i = 0; i < words; ++i)
        out << (i ? ", " : "") << Word(i);
    out << "}\n{cat.png}\n{}\n";
    return path;
}

void BM_ReadLongList(benchmark::State& state)
{
    const fs::path path = MakeMap(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        MapFileStream map(path.c_str());
        CTextList words;
        words.Read(map);
        CTextList topicWords;
        topicWords.AppendUnique(words);
        benchmark::DoNotOptimize(topicWords.GetCount());
    }
    state.counters["bytes"] = static_cast<double>(fs::file_size(path));
    fs::remove(path);
}
BENCHMARK(BM_ReadLongList)->Arg(40000)->Arg(80000)->Unit(benchmark::kMillisecond)->Iterations(5);
} // namespace

BENCHMARK_MAIN();

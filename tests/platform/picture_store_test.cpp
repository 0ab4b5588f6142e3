// The picture store's verdicts between runs, its checker child, its eviction and its shutdown.
#include "platform/codec/picture_store.h"
#include "platform/codec/verdict_cache.h"

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <sys/stat.h>
#include <thread>

#include "support/test_pictures.h"

namespace {
using codec::PictureJob;
using codec::PictureStore;

using testpics::ReadFile;

std::optional<std::vector<std::pair<codec::FileKey, codec::Verdict>>> Parse(const std::string& s)
{
    return codec::VerdictCache::Parse(reinterpret_cast<const unsigned char*>(s.data()), s.size());
}

// A library of good and broken pictures, with a store remembering its verdicts in `cache`.
struct Library : testpics::TempDir {
    explicit Library(const std::vector<bool>& good)
    {
        for (std::size_t i = 0; i < good.size(); ++i) {
            jobs.push_back(PictureJob{i + 1, dir() + std::to_string(i) + ".png"});
            Write(i, good[i]);
        }
    }
    void Write(std::size_t i, bool good) const
    {
        testpics::WriteFile(jobs[i].path, good ? testpics::Png(8 + i, 6) : "\x89PNG\r\n\x1a\n bad");
    }
    std::vector<bool> Verdicts(const std::string& verdictFile) const
    {
        PictureStore store(verdictFile);
        store.Verify(jobs);
        store.WaitIdle();
        std::vector<bool> out;
        for (const auto& j : jobs)
            out.push_back(!store.DoesNotDecode(j.id));
        return out;
    }
    std::vector<PictureJob> jobs;
    std::string cache = dir() + "cache/tappy/verdicts";
};

// The children of this process now.
int Children()
{
    int n = 0;
    DIR* tasks = opendir("/proc/self/task");
    for (dirent* t; tasks && (t = readdir(tasks));) {
        if (t->d_name[0] == '.')
            continue;
        std::istringstream in(ReadFile(std::string("/proc/self/task/") + t->d_name + "/children"));
        n += static_cast<int>(std::distance(std::istream_iterator<int>(in), {}));
    }
    if (tasks)
        closedir(tasks);
    return n;
}
} // namespace

TEST(VerdictCache, DamagedOrForeignCacheIsRefusedWhole)
{
    const codec::FileKey key{"/p/a.png", 10, 20, 30};
    const std::string good = codec::VerdictCache::Serialize({{key, {true, 8, 6}}, {{}, {}}});
    const auto back = Parse(good);
    ASSERT_TRUE(back);
    ASSERT_EQ(back->size(), 1u); // the entry without a path is not written
    EXPECT_EQ(back->front().first, key);
    EXPECT_EQ(back->front().second.width, 8u);
    std::string flipped = good, bigCount = good;
    flipped[20] ^= 1;
    bigCount[8] = '\x7F';
    const std::string damaged[] = {"",
                                   good.substr(0, good.size() - 1),
                                   flipped,
                                   bigCount,
                                   "TAPPYVC2" + good.substr(8),
                                   good + "x",
                                   std::string(codec::kMaxVerdictFileBytes + 1, 'T')};
    for (const auto& bytes : damaged)
        EXPECT_FALSE(Parse(bytes)) << bytes.size();
}

TEST(VerdictCache, LaterStartTrustsTheCacheUntilTheFileChanges)
{
    Library lib({true, false, true});
    EXPECT_EQ(lib.Verdicts(lib.cache), (std::vector<bool>{true, false, true}));
    ASSERT_TRUE(Parse(ReadFile(lib.cache)));
    // Picture 0 broken in place but its key kept (same size, time and inode): the cache is
    // trusted, so nothing was checked. Picture 2 edited: checked again.
    const auto key0 = codec::KeyOf(lib.jobs[0].path);
    std::string same = ReadFile(lib.jobs[0].path);
    same[same.size() / 2] ^= 0x55;
    {
        std::fstream f(lib.jobs[0].path, std::ios::in | std::ios::out | std::ios::binary);
        f.write(same.data(), static_cast<std::streamsize>(same.size()));
    }
    const timespec times[2] = {{0, UTIME_OMIT},
                               {key0->mtimeNs / 1'000'000'000, key0->mtimeNs % 1'000'000'000}};
    utimensat(AT_FDCWD, lib.jobs[0].path.c_str(), times, 0);
    ASSERT_EQ(codec::KeyOf(lib.jobs[0].path), key0);
    lib.Write(2, false);
    EXPECT_EQ(lib.Verdicts(lib.cache), (std::vector<bool>{true, false, false}));
}

TEST(VerdictCache, CorruptCacheIsRebuiltAndUnwritableFolderStillPlays)
{
    Library lib({true, false});
    std::filesystem::create_directories(lib.dir() + "cache/tappy");
    testpics::WriteFile(lib.cache, "TAPPYVC1 not really a cache");
    EXPECT_EQ(lib.Verdicts(lib.cache), (std::vector<bool>{true, false}));
    const auto rebuilt = Parse(ReadFile(lib.cache));
    ASSERT_TRUE(rebuilt);
    EXPECT_EQ(rebuilt->size(), 2u);
    // A folder that cannot be made (a file stands in its way): checked, and still shown.
    testpics::WriteFile(lib.dir() + "file", "");
    PictureStore store(lib.dir() + "file/tappy/verdicts");
    store.Verify(lib.jobs);
    store.WaitIdle();
    EXPECT_TRUE(store.DoesNotDecode(2));
    EXPECT_NE(store.Get(lib.jobs[0], 16, 16), nullptr);
}

TEST(Checker, ChildKilledByAFileMarksOnlyThatFile)
{
    Library lib({true, true, false, true});
    codec::Checker checker(nullptr);
    EXPECT_TRUE(checker.Check(lib.jobs[0].path).decodes);
    // The file that was being checked when the child died is the one that fails; the next
    // gets a new child.
    kill(checker.Child(), SIGKILL);
    EXPECT_FALSE(checker.Check(lib.jobs[1].path).decodes);
    const bool expected[] = {true, true, false, true};
    for (std::size_t i = 0; i < lib.jobs.size(); ++i)
        EXPECT_EQ(checker.Check(lib.jobs[i].path).decodes, expected[i]) << i;
    EXPECT_EQ(checker.Started(), 2);
    const auto v = checker.Check(lib.jobs[3].path);
    EXPECT_EQ(std::pair(v.width, v.height), std::pair(11u, 6u));
    checker.Stop();
    EXPECT_EQ(Children(), 0);
}

TEST(PictureStore, LeastRecentlyUsedGoesButNotTheShownOrTheNextChoice)
{
    Library lib({true, true, true, true});
    PictureStore store("");
    auto a = store.Get(lib.jobs[0], 16, 16), b = store.Get(lib.jobs[1], 16, 16);
    store.DecodeAhead({lib.jobs[0]}, 16, 16);
    auto c = store.Get(lib.jobs[2], 16, 16), d = store.Get(lib.jobs[3], 16, 16);
    EXPECT_EQ(store.Get(lib.jobs[0], 16, 16), a);
    EXPECT_EQ(store.Get(lib.jobs[3], 16, 16), d);
    EXPECT_NE(store.Get(lib.jobs[1], 16, 16), b);
    // A size not asked for before is decoded for that size.
    EXPECT_EQ(store.Get(lib.jobs[0], 4, 4)->width, 4);
}

TEST(PictureStore, ShutdownEndsTheWorkersChildAndNotTheWindowsDecode)
{
    // The worker idle, the window decoding: at shutdown, the window's decode goes on.
    testpics::TempDir tmp;
    const PictureJob big{1, tmp.dir() + "big.png"}, other{2, tmp.dir() + "other.png"};
    testpics::WriteFile(big.path, testpics::Png(1500, 1500));
    testpics::WriteFile(other.path, testpics::Png(1500, 1500));
    PictureStore store("");
    store.Verify({});
    store.WaitIdle();
    std::shared_ptr<const codec::Picture> shown;
    std::atomic<bool> done{false};
    std::thread window([&] {
        shown = store.Get(big, 64, 64);
        done = true;
    });
    while (Children() < 1 && !done)
        std::this_thread::yield();
    // The worker starts its own decode beside the window's, and the program ends.
    store.DecodeAhead({other}, 64, 64);
    while (Children() < 2 && !done)
        std::this_thread::yield();
    store.Shutdown();
    window.join();
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->width, 64);
    EXPECT_EQ(Children(), 0);
    EXPECT_FALSE(store.DoesNotDecode(other.id));
}

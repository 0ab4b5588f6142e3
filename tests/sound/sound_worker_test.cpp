#include "sound/sound_worker.h"

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace {

std::mutex g_playedLock;
std::vector<std::string> g_played;
std::atomic<bool> g_halted{false};

std::vector<std::string> Played()
{
    std::lock_guard<std::mutex> lock(g_playedLock);
    return g_played;
}

void Record(const char* path)
{
    std::lock_guard<std::mutex> lock(g_playedLock);
    g_played.emplace_back(path);
}

// A sound that lasts until the flag is set: the owner's stop request, or a halt (a sound that
// would go on for hours). Chosen before the worker starts.
const std::atomic<bool>* g_until = nullptr;
void PlayUntil(const char* path)
{
    Record(path);
    while (!*g_until)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

// Bounded so that a broken worker fails the test instead of hanging it.
template <typename Pred> bool WaitFor(Pred pred)
{
    for (int i = 0; i < 10'000 && !pred(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return pred();
}

class SoundWorkerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetSoundWorkerForTest();
        g_played.clear();
        g_halted = false;
        SetSoundPlayFunction(&Record);
        SetSoundHaltFunction([] { g_halted = true; });
        SetSoundUpkeepFunction([] {});
    }
    void TearDown() override { StopSoundWorker(); }
};

} // namespace

TEST_F(SoundWorkerTest, OnlyTheNewestRequestPlaysAndAnEmptyPathIsTakenSilently)
{
    const auto idle = [] { return !g_bSoundPending && !g_bSoundPlaying; };
    PostSoundRequest("first.wav");
    PostSoundRequest("second.wav");
    StartSoundWorker();
    ASSERT_TRUE(WaitFor(idle));
    PostSoundRequest("");
    ASSERT_TRUE(WaitFor(idle));
    PostSoundRequest("after.wav");
    ASSERT_TRUE(WaitFor([] { return Played().size() == 2; }));
    EXPECT_EQ(Played(), (std::vector<std::string>{"second.wav", "after.wav"}));
}

TEST_F(SoundWorkerTest, StopWaitsForTheSoundToEndOrHaltsItAndTakesNoMore)
{
    // Stopped before its thread has run a single step: the stop still waits for it, so the
    // thread cannot outlive what it reads.
    StartSoundWorker();
    StopSoundWorker();
    EXPECT_FALSE(g_bWorkerRunning);
    EXPECT_TRUE(Played().empty());
    for (const bool endsOnStop : {true, false}) {
        SCOPED_TRACE(endsOnStop ? "a sound that ends within the wait" : "one of three hours");
        SetUp();
        g_until = endsOnStop ? &g_bWorkerStop : &g_halted;
        SetSoundPlayFunction(&PlayUntil);
        PostSoundRequest("long.wav");
        StartSoundWorker();
        ASSERT_TRUE(WaitFor([] { return !Played().empty(); }));
        PostSoundRequest("never.wav");

        StopSoundWorker();
        // Halted only when it would not end; the worker gone; the newer request still waiting.
        EXPECT_EQ(std::tuple(g_halted.load(), g_bWorkerRunning.load(), g_bSoundPending.load()),
                  std::tuple(!endsOnStop, false, true));
        EXPECT_EQ(Played(), std::vector<std::string>{"long.wav"});
    }
}

// Requests posted as fast as keys can come while the worker takes others: each sound played is
// one that was posted, whole.
TEST_F(SoundWorkerTest, RequestsPostedWhileItTakesOthersArriveWhole)
{
    const std::string shortPath = "a.wav", longPath = "animals/a longer name than fits inline.wav";
    StartSoundWorker();
    for (int i = 0; i < 3000; ++i) {
        PostSoundRequest(CString(i % 2 ? shortPath : longPath));
        if (i % 20 == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    StopSoundWorker();
    ASSERT_GT(Played().size(), 1u);
    for (const std::string& path : Played())
        EXPECT_TRUE(path == shortPath || path == longPath) << path;
}

// The idle worker's upkeep (bringing a lost device back) may take long; a key's request posted
// meanwhile must neither wait for it nor be lost.
std::atomic<int> g_upkeepStage{0}; // 1: in the upkeep, 2: posted
std::atomic<bool> g_postedDuringUpkeep{false};

TEST_F(SoundWorkerTest, PostingNeverWaitsForTheUpkeepAndItsRequestPlaysAfter)
{
    SetSoundUpkeepFunction([] {
        if (g_upkeepStage != 0)
            return;
        g_upkeepStage = 1;
        g_postedDuringUpkeep = WaitFor([] { return g_upkeepStage == 2; });
    });
    StartSoundWorker();
    ASSERT_TRUE(WaitFor([] { return g_upkeepStage == 1; }));
    PostSoundRequest("key.wav");
    g_upkeepStage = 2;
    ASSERT_TRUE(WaitFor([] { return !Played().empty(); }));
    EXPECT_TRUE(g_postedDuringUpkeep);
}

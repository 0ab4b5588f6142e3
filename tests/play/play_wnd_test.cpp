// The key response with the sound flags under the test's control: no worker runs, and the test
// plays the worker's part by setting the flags between messages.
#include "play/play_wnd.h"

#include "content/lists.h"
#include "content/topic.h"
#include "platform/codec/picture_store.h"
#include "platform/runtime.h"
#include "sound/sound_worker.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "support/test_pictures.h"

namespace {

class TestPlayWnd : public CPlayWnd {
public:
    // Loaded, as after the first show; its first choice is a key press with key code 0.
    TestPlayWnd() : CPlayWnd(NoServices{})
    {
        ResetSoundWorkerForTest();
        SetMediaDirs("/media/");
        m_bLoaded = true;
    }

    void AddTopic(const std::string& name, int sounds, int words)
    {
        auto* topic = new CTopic(CString(name + ".png"));
        for (int i = 0; i < sounds; ++i)
            topic->GetSounds().AddUnique(CString(name + std::to_string(i) + ".wav"));
        for (int i = 0; i < words; ++i)
            topic->GetWords().AddUnique(CString(name + std::to_string(i)));
        m_topics.SetSize(m_topics.GetCount() + 1, false);
        m_topics.SetAt(m_topics.GetCount() - 1, topic);
    }
    void Key(UINT key, UINT repeat = 1, UINT message = WM_KEYDOWN)
    {
        SendMessage(message, key, MAKELPARAM(static_cast<WORD>(repeat), 0));
    }
    using CPlayWnd::DecodeNextChoiceAhead, CPlayWnd::m_nLastKey, CPlayWnd::m_nRepeatTotal,
        CPlayWnd::m_nSound, CPlayWnd::m_nTopic, CPlayWnd::m_nWord, CPlayWnd::m_topics;
};

// Topics whose pictures are real files in images/ (good ones, or honest headers over broken
// bodies), on a screen of its own size, not yet shown. The test program's own folder holds no
// images and no map, so the first show's load adds nothing to them.
class PictureLibraryWnd : public TestPlayWnd {
public:
    explicit PictureLibraryWnd(const std::vector<bool>& good)
    {
        std::filesystem::create_directory(m_dir.path() / "images");
        SetMediaDirs(CString(m_dir.dir().c_str()));
        m_rcScreen = RECT{0, 0, 200, 150};
        for (std::size_t i = 0; i < good.size(); ++i) {
            const std::string name = (good[i] ? "good" : "broken") + std::to_string(i);
            testpics::WriteFile(m_dir.path() / "images" / (name + ".png"),
                                good[i] ? testpics::Png(8, 6) : testpics::PngClaiming(40, 30, 64));
            AddTopic(name, 0, 0);
        }
        m_bLoaded = false;
    }
    testpics::TempDir m_dir;
};

} // namespace

TEST(PlayWnd, WorkedSequenceThenRepeatTotals)
{
    struct Step {
        const char* event;     // the case each message takes, as the worked sequence names it
        bool pending, playing; // as the worker left them when the messages arrive
        UINT message, key, repeat;
        bool newChoice;
        int lastKey, total;
        bool request;
    };
    // Step 2, the worker taking the first request, sends no message.
    const Step steps[] = {
        {"1 first show: new choice", false, false, WM_KEYDOWN, 0, 0, true, 0, 0, true},
        {"3 A: sound playing", false, true, WM_KEYDOWN, 'A', 1, false, -1, 0, false},
        {"4 A after the end: new choice", false, false, WM_KEYDOWN, 'A', 1, true, 'A', 0, true},
        {"5 A held: same key", false, true, WM_KEYDOWN, 'A', 10, false, 'A', 10, false},
        {"6 A held, ended: same key", false, false, WM_KEYDOWN, 'A', 1, false, 'A', 11, true},
        {"7 B: request waiting", true, false, WM_KEYDOWN, 'B', 1, false, -1, 11, true},
        {"8 Alt+B held: playing", false, true, WM_SYSKEYDOWN, 'B', 3, false, -1, 11, false},
        {"9 B held, ended: new choice", false, false, WM_KEYDOWN, 'B', 1, true, 'B', 0, true},
        {"a later show: no reload, no choice", false, false, WM_SHOWWINDOW, TRUE, 1, false, 'B', 0,
         false},
    };

    TestPlayWnd wnd;
    for (const char* name : {"cat", "dog", "cow", "owl"})
        wnd.AddTopic(name, 3, 2);
    for (const Step& s : steps) {
        SCOPED_TRACE(s.event);
        g_bSoundPlaying = s.playing;
        PostSoundRequest("stale");
        g_bSoundPending = s.pending;
        // Draws in order: the topic and the word of a new choice, then the sound.
        const int topic = s.newChoice ? TopicIndexFromDraw(crt::peek_rand(0), 4) : wnd.m_nTopic;
        const int word = s.newChoice ? RandomIndexFromDraw(crt::peek_rand(1), 2) : wnd.m_nWord;
        const int sound =
            s.request ? RandomIndexFromDraw(crt::peek_rand(s.newChoice ? 2 : 0), 3) : wnd.m_nSound;

        wnd.Key(s.key, s.repeat, s.message);

        EXPECT_EQ((std::array{wnd.m_nLastKey, wnd.m_nRepeatTotal, wnd.m_nTopic, wnd.m_nWord,
                              wnd.m_nSound}),
                  (std::array{s.lastKey, s.total, topic, word, sound}));
        EXPECT_EQ(g_bSoundPending, s.pending || s.request);
        EXPECT_EQ(g_strSoundPath,
                  s.request ? GetSoundsDir() + wnd.m_topics.GetAt(topic)->GetSounds().GetAt(sound)
                            : CString("stale"));
    }
    // B again adds its repeat count; the last row wraps by whole pulse cycles (80), so the
    // picture keeps its phase.
    const std::tuple<int, UINT, int> totals[] = {
        {0, 5, 5}, {7, 0, 7}, {INT_MAX - 2, 65535, INT_MAX - 67}};
    for (const auto& [before, repeat, after] : totals) {
        SCOPED_TRACE(repeat);
        wnd.m_nRepeatTotal = before;
        wnd.Key('B', repeat);
        EXPECT_EQ(wnd.m_nRepeatTotal, after);
    }
}

// Broken pictures leave the library, met by a choice (the same press then shows another) or
// found by the background check before they are chosen.
TEST(PlayWnd, PicturesThatDoNotDecodeLeaveTheLibrary)
{
    // Four broken pictures beside one good one: every new choice shows the good one, and the
    // broken ones leave the library as they are met.
    crt::srand(7);
    PictureLibraryWnd wnd({true, false, false, false, false});
    wnd.Key(0, 0);
    for (UINT key = 'A'; key < 'A' + 20; ++key) {
        wnd.Key(key);
        ASSERT_GE(wnd.m_nTopic, 0);
        EXPECT_EQ(wnd.m_topics.GetAt(wnd.m_nTopic)->GetName(), CString("good0.png"));
    }
    EXPECT_EQ(wnd.m_topics.GetCount(), 1);

    PictureLibraryWnd checked({true, false, true, false, true, false});
    checked.Key(TRUE, 0, WM_SHOWWINDOW);
    codec::Store().WaitIdle();
    // The next key draws exactly once (no words, no sounds): no broken topic was met.
    const int next = crt::peek_rand(1);
    checked.Key('Q');
    EXPECT_EQ(crt::peek_rand(0), next);
    EXPECT_EQ(checked.m_topics.GetCount(), 3);
    // Keys while the next choice is decoded ahead, as every paint asks: the window and the
    // decoder share only the store.
    for (UINT key = 'C'; key < 'C' + 6; ++key) {
        checked.DecodeNextChoiceAhead();
        checked.Key(key);
        EXPECT_GE(checked.m_nTopic, 0);
    }
    codec::Store().WaitIdle();
}

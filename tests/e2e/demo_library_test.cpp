// The bundled content as the program itself loads it: every picture must come through the real
// loader as a topic with a sound and a word, and the map's richer records must arrive.
#include "content/lists.h"
#include "content/topic.h"
#include "platform/imaging.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>

namespace {

const std::string kDemoDir = std::string(TAPPY_SOURCE_DIR) + "/demo/";

class DemoLibrary : public ::testing::Test {
protected:
    void SetUp() override
    {
        Gdiplus::GdiplusStartupInput input;
        Gdiplus::GdiplusStartup(&token, &input, nullptr);
        LoadTopicLibrary(topics, CString(kDemoDir.c_str()));
    }
    void TearDown() override { Gdiplus::GdiplusShutdown(token); }

    ULONG_PTR token = 0;
    CTopicList topics;
};

int CountPictures()
{
    int n = 0;
    for (const auto& entry : std::filesystem::directory_iterator(kDemoDir + "images")) {
        n += entry.path().extension() == ".png";
    }
    return n;
}

} // namespace

TEST_F(DemoLibrary, EveryPictureIsATopicWithItsSpokenWordAndAWord)
{
    ASSERT_GE(topics.GetCount(), 24);
    EXPECT_EQ(topics.GetCount(), CountPictures());
    for (int i = 0; i < topics.GetCount(); ++i) {
        const CTopic& topic = *topics.GetAt(i);
        const std::string name = topic.GetName().GetString();
        SCOPED_TRACE(name);
        ASSERT_GE(topic.GetSounds().GetCount(), 1);
        EXPECT_EQ(std::string(topic.GetSounds().GetAt(0).GetString()),
                  name.substr(0, name.size() - 3) + "wav");
        EXPECT_GE(topic.GetWords().GetCount(), 1);
    }
}

TEST_F(DemoLibrary, SomeTopicsHaveSeveralWordsOrSoundsAndOneSoundIsShared)
{
    int threeWords = 0;
    int extraSound = 0;
    std::map<std::string, int> holders;
    for (int i = 0; i < topics.GetCount(); ++i) {
        const CTopic& topic = *topics.GetAt(i);
        threeWords += topic.GetWords().GetCount() >= 3;
        extraSound += topic.GetSounds().GetCount() >= 2;
        for (int s = 0; s < topic.GetSounds().GetCount(); ++s) {
            ++holders[topic.GetSounds().GetAt(s).GetString()];
        }
    }
    EXPECT_GE(threeWords, 1);
    EXPECT_GE(extraSound, 5);
    EXPECT_TRUE(
        std::any_of(holders.begin(), holders.end(), [](const auto& h) { return h.second >= 2; }));
}

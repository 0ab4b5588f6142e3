#include "content/topic.h"
#include "support/test_lists.h"

#include "content/map_reader.h"
#include "platform/files.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>

#include "support/test_pictures.h"

namespace fs = std::filesystem;

namespace {
using Content = std::pair<Strings, Strings>; // a topic's sounds, then its words

// A program folder with images/ and sounds/, where sounds/ also holds what only looks like a
// sound (pipe.wav, a FIFO, and zero.wav, a link to /dev/zero); Load() gives the library by topic
// name, since the listing's order is the file system's.
struct Folder : testpics::TempDir {
    explicit Folder(const Strings& pictures = {}, const Strings& sounds = {})
    {
        fs::create_directory(path() / "images");
        fs::create_directory(path() / "sounds");
        for (const auto& p : pictures)
            testpics::WriteFile(path() / "images" / p, testpics::Png(2, 2));
        for (const auto& s : sounds) {
            fs::create_directories((path() / "sounds" / s).parent_path());
            testpics::WriteFile(path() / "sounds" / s, testpics::Wav());
        }
        EXPECT_EQ(mkfifo((path() / "sounds" / "pipe.wav").c_str(), 0600), 0);
        fs::create_symlink("/dev/zero", path() / "sounds" / "zero.wav");
    }
    void Map(const std::string& bytes) const { testpics::WriteFile(path() / "Tappy.map", bytes); }
    std::map<std::string, Content> Load() const
    {
        CTopicList topics;
        LoadTopicLibrary(topics, CString(dir()));
        std::map<std::string, Content> byName;
        for (int i = 0; i < topics.GetCount(); ++i) {
            const CTopic* t = topics.GetAt(i);
            EXPECT_NE(t->GetPicture()->GetNativeImage(), nullptr);
            byName[t->GetName().str()] = {Items(t->GetSounds()), Items(t->GetWords())};
        }
        return byName;
    }
};
} // namespace

// The worked example's map, over a folder whose other pictures get only their default sound:
// the picture's name with its last three bytes replaced by "wav", if sounds/ holds that file.
TEST(TopicLibrary, WorkedExampleAndDefaultSounds)
{
    Folder folder({"cat.jpg", "dog.jpg", "dog2.jpg", "cat.jpeg", "cat.png", "cat.gif", "ab",
                   "x.PNG", "pipe.png", "zero.png"},
                  {"cat.wav", "meow.wav", "woof.wav", "wav", "x.wav"});
    folder.Map("{Cat, Kitten}{cat.jpg}{meow.wav, purr.wav}\n"
               "{Dog, Puppy}{dog.jpg, DOG2.JPG}{woof.wav}\n"
               "{Kitty}{Cat.JPG}{}\n");
    // Only regular files are sounds: a pipe would block the player, a device never ends.
    const std::map<std::string, Content> expected = {
        {"cat.jpg", {{"cat.wav", "meow.wav"}, {"Cat", "Kitten", "Kitty"}}},
        {"dog.jpg", {{"woof.wav"}, {"Dog", "Puppy"}}},
        {"dog2.jpg", {{"woof.wav"}, {"Dog", "Puppy"}}},
        {"cat.jpeg", {}},
        {"cat.png", {{"cat.wav"}, {}}},
        {"cat.gif", {{"cat.wav"}, {}}},
        {"ab", {{"wav"}, {}}},
        {"x.PNG", {{"x.wav"}, {}}},
        {"pipe.png", {}},
        {"zero.png", {}},
    };
    EXPECT_EQ(folder.Load(), expected);
}

TEST(TopicLibrary, MapRecordsGoodAndBad)
{
    const std::string good = "{Cat}{cat.png}{meow.wav}";
    const Content applied{{"cat.wav", "meow.wav"}, {"Cat"}}, untouched{{"cat.wav"}, {}};
    // What cat.png ends up with; cat.wav, meow.wav, CAT.WAV and sub/in.wav exist in sounds/.
    // "<...>" rows put something other than a file at Tappy.map.
    const Content wordOnly{{"cat.wav"}, {"Cat"}};
    // clang-format off
    const std::tuple<const char*, std::string, Content> rows[] = {
        {"blank before the brace names another file", "{Cat}{cat.png }{meow.wav}", untouched},
        {"named in two records", good + good, applied},
        {"only missing sounds still give words", "{Cat}{cat.png}{gone.wav}", wordOnly},
        {"another case, another sound", "{}{cat.png}{CAT.WAV}", {{"cat.wav", "CAT.WAV"}, {}}},
        {"no names", "{Cat}{}{meow.wav}", untouched},
        {"a folder counts as missing", "{}{cat.png}{sub}", untouched},
        {"names that leave the folder or are no file count as missing",
         "{Cat}{cat.png}{, ., .., ../images, ../../../../dev/zero, sub/../meow.wav, ..\\meow.wav,"
         " sub/, pipe.wav, zero.wav, sub/in.wav}", {{"cat.wav", "sub/in.wav"}, {"Cat"}}},
        {"empty", "", untouched},
        {"only white space", " \r\n\t\n ", untouched},
        {"byte-order mark", "\xEF\xBB\xBF" + good, applied},
        {"stray text before the records", "# words\n" + good, untouched},
        {"stray text ends the map", good + "x{Dog}{cat.png}{}", applied},
        {"stray text inside a record", "{Cat}{cat.png}oops{meow.wav}", wordOnly},
        {"unclosed last list", "{Cat}{cat.png}{meow.wav", applied},
        {"file ends after the names", "{Cat}{cat.png}", wordOnly},
        {"no map", "<none>", untouched},
        {"a directory named Tappy.map", "<directory>", untouched},
        {"a FIFO named Tappy.map", "<fifo>", untouched},
        {"a dangling link named Tappy.map", "<link>", untouched},
    };
    // clang-format on
    for (const auto& [what, map, cat] : rows) {
        SCOPED_TRACE(what);
        Folder folder({"cat.png"}, {"cat.wav", "meow.wav", "CAT.WAV", "sub/in.wav"});
        const fs::path at = folder.path() / "Tappy.map";
        if (map == "<directory>")
            fs::create_directory(at);
        else if (map == "<fifo>")
            ASSERT_EQ(mkfifo(at.c_str(), 0600), 0);
        else if (map == "<link>")
            fs::create_symlink(folder.path() / "nowhere", at);
        else if (map != "<none>")
            folder.Map(map);
        EXPECT_EQ(folder.Load()["cat.png"], cat);
    }
}

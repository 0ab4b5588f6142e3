#include "content/topic.h"

#include "content/map_reader.h"
#include "platform/files.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "../platform/test_pictures.h"

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

namespace {
Strings Items(const CTextList& list)
{
    Strings items;
    for (int i = 0; i < list.GetCount(); ++i)
        items.push_back(list.GetAt(i).str());
    return items;
}

struct Content {
    Strings sounds;
    Strings words;
    bool operator==(const Content&) const = default;
};

void PrintTo(const Content& c, std::ostream* os)
{
    *os << "sounds[";
    for (const auto& s : c.sounds)
        *os << "[" << s << "]";
    *os << "] words[";
    for (const auto& w : c.words)
        *os << "[" << w << "]";
    *os << "]";
}

// The loaded library by topic name; the listing's order is the file system's.
std::map<std::string, Content> Library(const CTopicList& topics)
{
    std::map<std::string, Content> byName;
    for (int i = 0; i < topics.GetCount(); ++i) {
        const CTopic* t = topics.GetAt(i);
        EXPECT_NE(t->GetPicture()->GetNativeImage(), nullptr);
        byName[t->GetName().str()] = {Items(t->GetSounds()), Items(t->GetWords())};
    }
    return byName;
}

// A program folder with images/, sounds/ and, when given, Tappy.map.
class ContentFolder {
public:
    ContentFolder()
    {
        fs::create_directory(m_tmp.path() / "images");
        fs::create_directory(m_tmp.path() / "sounds");
    }
    const fs::path& path() const { return m_tmp.path(); }
    std::string dir() const { return m_tmp.dir(); }
    void Picture(const std::string& name) const
    {
        testpics::WriteFile(path() / "images" / name, testpics::Png(2, 2));
    }
    void Sound(const std::string& name) const
    {
        testpics::WriteFile(path() / "sounds" / name, testpics::Wav());
    }
    void Map(const std::string& bytes) const { testpics::WriteFile(path() / "Tappy.map", bytes); }
    std::map<std::string, Content> Load() const
    {
        CTopicList topics;
        LoadTopicLibrary(topics, CString(dir()));
        return Library(topics);
    }

private:
    testpics::TempDir m_tmp;
};
} // namespace

TEST(ProgramDir, CommandLineRule)
{
    struct Row {
        std::string line;
        std::string dir;
    } const rows[] = {
        {"\"C:\\Toys\\play.exe\"", "C:\\Toys\\"},
        {"\"/opt/tappy/tappy\"", "/opt/tappy/"},
        {"\"/opt/tappy/tappy\" --x a/b", "/opt/tappy/tappy\" --x a/"},
        {"\"tappy\"", ""},
        {"\"", ""},
        {"", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        EXPECT_EQ(ProgramDirFromCommandLine(CString(row.line)).str(), row.dir);
    }
    const CString dir = ProgramDirFromCommandLine("\"C:\\Toys\\play.exe\"");
    EXPECT_EQ((dir + "Tappy.map").str(), "C:\\Toys\\Tappy.map");
    SetMediaDirs("/toys/");
    EXPECT_EQ(GetImagesDir().str(), "/toys/images/");
    EXPECT_EQ(GetSoundsDir().str(), "/toys/sounds/");
}

TEST(TopicLibrary, WorkedExample)
{
    ContentFolder folder;
    for (const char* p : {"cat.jpg", "dog.jpg", "dog2.jpg"})
        folder.Picture(p);
    for (const char* s : {"cat.wav", "meow.wav", "woof.wav"})
        folder.Sound(s);
    folder.Map("{Cat, Kitten}{cat.jpg}{meow.wav, purr.wav}\n"
               "{Dog, Puppy}{dog.jpg, DOG2.JPG}{woof.wav}\n"
               "{Kitty}{Cat.JPG}{}\n");
    const std::map<std::string, Content> expected = {
        {"cat.jpg", {{"cat.wav", "meow.wav"}, {"Cat", "Kitten", "Kitty"}}},
        {"dog.jpg", {{"woof.wav"}, {"Dog", "Puppy"}}},
        {"dog2.jpg", {{"woof.wav"}, {"Dog", "Puppy"}}},
    };
    EXPECT_EQ(folder.Load(), expected);
}

TEST(TopicLibrary, DefaultSoundReplacesTheLastThreeBytes)
{
    ContentFolder folder;
    for (const char* p : {"cat.jpeg", "cat.png", "cat.gif", "cat.bmp", "ab", "x.PNG"})
        folder.Picture(p);
    for (const char* s : {"cat.wav", "wav", "x.wav"})
        folder.Sound(s);
    const std::map<std::string, Content> expected = {
        {"cat.jpeg", {}},
        {"cat.png", {{"cat.wav"}, {}}},
        {"cat.gif", {{"cat.wav"}, {}}},
        {"cat.bmp", {{"cat.wav"}, {}}},
        {"ab", {{"wav"}, {}}},
        {"x.PNG", {{"x.wav"}, {}}},
    };
    EXPECT_EQ(folder.Load(), expected);
}

TEST(TopicLibrary, MapRecordEdgeCases)
{
    struct Row {
        const char* what;
        std::string map;
        Content cat; // what cat.png ends up with; cat.wav, meow.wav and CAT.WAV exist
    } const rows[] = {
        {"blank before the brace names another file",
         "{Cat}{cat.png }{meow.wav}",
         {{"cat.wav"}, {}}},
        {"same topic named twice in one record",
         "{Cat}{cat.png, CAT.png}{meow.wav}",
         {{"cat.wav", "meow.wav"}, {"Cat"}}},
        {"same topic in two records",
         "{Cat}{cat.png}{meow.wav}{Cat,Kitty}{cat.png}{meow.wav}",
         {{"cat.wav", "meow.wav"}, {"Cat", "Kitty"}}},
        {"only missing sounds still give words",
         "{Cat}{cat.png}{gone.wav, lost.wav}",
         {{"cat.wav"}, {"Cat"}}},
        {"sound named in another case is another entry",
         "{}{cat.png}{CAT.WAV}",
         {{"cat.wav", "CAT.WAV"}, {}}},
        {"no names change nothing", "{Cat}{}{meow.wav}", {{"cat.wav"}, {}}},
        {"a folder in sounds counts as existing", "{}{cat.png}{sub}", {{"cat.wav", "sub"}, {}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        ContentFolder folder;
        folder.Picture("cat.png");
        for (const char* s : {"cat.wav", "meow.wav", "CAT.WAV"})
            folder.Sound(s);
        fs::create_directory(folder.path() / "sounds" / "sub");
        folder.Map(row.map);
        EXPECT_EQ(folder.Load()["cat.png"], row.cat);
    }
}

TEST(TopicLibrary, BadMapFiles)
{
    const std::string good = "{Cat}{cat.png}{meow.wav}";
    const Content applied{{"meow.wav"}, {"Cat"}};
    const Content untouched{};
    struct Row {
        const char* what;
        std::string map; // written as Tappy.map unless special
        Content cat;
    } const rows[] = {
        {"empty", "", untouched},
        {"only white space", " \r\n\t\n ", untouched},
        {"byte-order mark", "\xEF\xBB\xBF" + good, applied},
        {"windows line breaks",
         "{Cat,\r\nKitty\r\n}\r\n{cat.png}\r\n{}\r\n",
         {{}, {"Cat", "Kitty\n"}}},
        {"stray text before the records", "# words\n" + good, untouched},
        {"stray text ends the map after what came before", good + "x{Dog}{cat.png}{}", applied},
        {"stray text inside a record applies what was read",
         "{Cat}{cat.png}oops{meow.wav}",
         {{}, {"Cat"}}},
        {"unclosed last list", "{Cat}{cat.png}{meow.wav", applied},
        {"file ends after the names", "{Cat}{cat.png}", {{}, {"Cat"}}},
        {"1500-byte item",
         "{" + std::string(1500, 'w') + "}{cat.png}{}",
         {{}, {std::string(1023, 'w'), std::string(477, 'w')}}},
        {"NUL bytes", std::string("{C\0at,Dog}{cat.png}{m\0eow.wav}", 30), {{}, {"C", "Dog"}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        ContentFolder folder;
        folder.Picture("cat.png");
        folder.Sound("meow.wav");
        folder.Map(row.map);
        EXPECT_EQ(folder.Load()["cat.png"], row.cat);
    }
}

TEST(TopicLibrary, MapThatIsNotARegularFileIsIgnored)
{
    for (const char* kind : {"missing", "directory", "fifo", "dangling link"}) {
        SCOPED_TRACE(kind);
        ContentFolder folder;
        folder.Picture("cat.png");
        folder.Sound("cat.wav");
        const fs::path map = folder.path() / "Tappy.map";
        if (std::string(kind) == "directory")
            fs::create_directory(map);
        else if (std::string(kind) == "fifo")
            ASSERT_EQ(mkfifo(map.c_str(), 0600), 0);
        else if (std::string(kind) == "dangling link")
            fs::create_symlink(folder.path() / "nowhere", map);
        const std::map<std::string, Content> expected = {{"cat.png", {{"cat.wav"}, {}}}};
        EXPECT_EQ(folder.Load(), expected);
    }
}

TEST(TopicLibrary, UnreadableMapIsIgnored)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "file permissions do not stop root";
    ContentFolder folder;
    folder.Picture("cat.png");
    folder.Map("{Cat}{cat.png}{}");
    fs::permissions(folder.path() / "Tappy.map", fs::perms::none);
    EXPECT_EQ(folder.Load()["cat.png"], Content{});
}

TEST(TopicLibrary, ImagesFolderThatCannotBeListedGivesNoTopicsButTheMapIsStillRead)
{
    for (const char* kind : {"missing", "a file", "empty"}) {
        SCOPED_TRACE(kind);
        ContentFolder folder;
        fs::remove(folder.path() / "images");
        if (std::string(kind) == "a file")
            testpics::WriteFile(folder.path() / "images", testpics::Png(2, 2));
        else if (std::string(kind) == "empty")
            fs::create_directory(folder.path() / "images");
        folder.Map("{Cat}{cat.png}{}");
        EXPECT_TRUE(folder.Load().empty());
    }
}

TEST(TopicLibrary, OnlyEntriesThatDecodeBecomeTopics)
{
    ContentFolder folder;
    const fs::path images = folder.path() / "images";
    folder.Picture("good.png");
    folder.Picture("my cat.png");
    folder.Picture("k\xE4tzchen.png");          // a Latin-1 byte
    folder.Picture("\xF0\x9F\x90\xB1 cat.png"); // UTF-8
    folder.Picture(".hidden.png");
    fs::create_directory(images / "sub");
    fs::create_directory(images / "folder.png");
    testpics::WriteFile(images / "sub" / "inner.png", testpics::Png(2, 2));
    testpics::WriteFile(images / "notes.txt", "not a picture");
    testpics::WriteFile(images / "fake.png", "not a picture either");
    testpics::WriteFile(images / "empty.png", "");
    testpics::WriteFile(images / "cut.png", testpics::Png(8, 8).substr(0, 30));
    testpics::WriteFile(images / "cut.bmp", testpics::Bmp(8, 8).substr(0, 100));
    testpics::WriteFile(images / "huge.png", testpics::PngClaiming(30000, 30000, 4000));
    fs::create_symlink(images / "good.png", images / "link.png");
    fs::create_symlink(images / "sub", images / "linked-folder.png");
    fs::create_symlink(images / "loop-b.png", images / "loop-a.png");
    fs::create_symlink(images / "loop-a.png", images / "loop-b.png");
    fs::create_symlink(images / "nowhere.png", images / "dangling.png");
    ASSERT_EQ(mkfifo((images / "fifo.png").c_str(), 0600), 0);
    folder.Sound("my cat.wav");

    const auto library = folder.Load();
    Strings names;
    for (const auto& [name, content] : library)
        names.push_back(name);
    const Strings expected = {".hidden.png", "good.png",   "k\xE4tzchen.png",
                              "link.png",    "my cat.png", "\xF0\x9F\x90\xB1 cat.png"};
    EXPECT_EQ(names, expected);
    EXPECT_EQ(library.at("my cat.png").sounds, Strings{"my cat.wav"});
}

TEST(TopicLibrary, UnreadablePictureMakesNoTopic)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "file permissions do not stop root";
    ContentFolder folder;
    folder.Picture("locked.png");
    fs::permissions(folder.path() / "images" / "locked.png", fs::perms::none);
    EXPECT_TRUE(folder.Load().empty());
}

TEST(TopicLibrary, SeededRandomMapsEndAndApplyOnlyExistingSounds)
{
    ContentFolder folder;
    for (const char* p : {"a", "b", "A.png"})
        folder.Picture(p);
    for (const char* s : {"a", "b", "wav"})
        folder.Sound(s);
    CTopicList topics;
    LoadTopicLibrary(topics, CString(folder.dir()));
    ASSERT_EQ(topics.GetCount(), 3);

    const std::string alphabet("{{{{}}}},;\t \n\r\0abA.png\xEF\xBB\xBF", 25);
    std::mt19937 rng(7);
    for (int round = 0; round < 5000; ++round) {
        std::string map;
        const int length = static_cast<int>(rng() % 400);
        for (int i = 0; i < length; ++i)
            map += rng() % 64 == 0 ? static_cast<char>(rng() % 256)
                                   : alphabet[rng() % alphabet.size()];
        std::stringbuf source(map);
        TextModeStreamBuf text(&source);
        std::istream in(&text);
        ApplyMapRecords(topics, in); // must return; the test's timeout guards a hang
    }
    for (int i = 0; i < topics.GetCount(); ++i) {
        const CTextList& sounds = topics.GetAt(i)->GetSounds();
        for (int s = 0; s < sounds.GetCount(); ++s) {
            SCOPED_TRACE(sounds.GetAt(s).str());
            EXPECT_NE(GetFileAttributesA(GetSoundsDir() + sounds.GetAt(s)),
                      INVALID_FILE_ATTRIBUTES);
        }
    }
}

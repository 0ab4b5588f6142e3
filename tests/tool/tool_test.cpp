#include "tool/desktop_state.h"
#include "tool/names.h"
#include "tool/tool_files.h"
#include "tool/verdict.h"

#include <filesystem>
#include <gtest/gtest.h>

#include "support/test_pictures.h"

namespace {
// Each before-state read back gives the undo it needs; a file that is not the tool's own, or
// names a setting the tool never changes, is refused whole.
TEST(ToolDesktopState, BeforeStatesReadBackAsWrittenAndForeignFilesAreRefused)
{
    const std::string head = "tappy-content desktop 1\n";
    const std::string keys = "setting org.gnome.mutter.wayland.keybindings ";
    const struct {
        std::string text;
        bool read;
        bool grantAbsent;
        std::size_t words, settings;
    } rows[] = {
        {head, true, true, 0, 0},
        {head + "grant -\n", true, true, 0, 0},
        {head + "grant DENIED\n", true, false, 1, 0},
        {head + "grant GRANTED\n" + keys + "restore-shortcuts ['<Super>Escape']\n", true, false, 1,
         1},
        {head + keys + "switch-to-session-12 default\n" + keys + "restore-shortcuts @as []\n", true,
         true, 0, 2},
        {"", false, true, 0, 0},
        {"tappy-content desktop 2\n", false, true, 0, 0},
        {head + "grant\n", false, true, 0, 0},
        {head + "grant DE;NIED\n", false, true, 0, 0},
        {head + "rm -rf /\n", false, true, 0, 0},
        {head + keys + "switch-to-session-13 default\n", false, true, 0, 0},
        {head + "setting org.gnome.shell favorite-apps default\n", false, true, 0, 0},
        {head + keys + "restore-shortcuts default\n" + keys + "restore-shortcuts []\n", false, true,
         0, 0},
        {head + keys + "restore-shortcuts ['\x01']\n", false, true, 0, 0},
        {head + std::string(17 * 1024, '\n'), false, true, 0, 0},
    };
    for (const auto& row : rows) {
        const std::optional<DesktopState> state = ParseDesktopState(row.text);
        ASSERT_EQ(state.has_value(), row.read) << row.text.substr(0, 200);
        if (!state)
            continue;
        EXPECT_EQ(state->grantAbsent, row.grantAbsent) << row.text;
        EXPECT_EQ(state->grantBefore.size(), row.words) << row.text;
        EXPECT_EQ(state->settings.size(), row.settings) << row.text;
        EXPECT_EQ(FormatDesktopState(*state), row.text) << "written back differently";
    }
    // A second run never saves the tool's own change as what was there.
    DesktopState state;
    SaveSetting(state, {"org.gnome.desktop.notifications", "show-banners", "true"});
    SaveSetting(state, {"org.gnome.desktop.notifications", "show-banners", "false"});
    ASSERT_EQ(state.settings.size(), 1u);
    EXPECT_EQ(state.settings[0].before, "true");
}

TEST(ToolDesktopState, DesktopFromTheSessionVariables)
{
    EXPECT_EQ(DetectDesktop("ubuntu:GNOME", "wayland", "wayland-0", ":0"), DesktopKind::gnome);
    EXPECT_EQ(DetectDesktop("KDE", "x11", nullptr, ":0"), DesktopKind::kde);
    EXPECT_EQ(DetectDesktop("sway", nullptr, "wayland-1", nullptr), DesktopKind::sway);
    EXPECT_EQ(DetectDesktop("GNOME-Flashback", "", "wayland-0", ":0"), DesktopKind::otherWayland);
    EXPECT_EQ(DetectDesktop(nullptr, nullptr, "", ":1"), DesktopKind::x11);
    EXPECT_EQ(DetectDesktop(nullptr, nullptr, nullptr, nullptr), DesktopKind::none);
}

TEST(ToolNames, RenamedPicturesPairWithTheirSound)
{
    const struct {
        const char* name;
        const char* format;
        const char* picture;
    } rows[] = {
        {"cat.png", "PNG", "cat.png"},     {"cat.JPG", "JPEG", "cat.JPG"},
        {"cat.jpeg", "JPEG", "cat.jpg"},   {"cat.JPEG", "JPEG", "cat.jpg"},
        {"scan.tiff", "TIFF", "scan.tif"}, {"dog.webp", "WebP", "dog.wbp"},
        {"photo", "JPEG", "photo.jpg"},    {"photo", "PNG", "photo.png"},
        {".hidden", "GIF", ".hidden.gif"}, {"a.b.jpeg", "JPEG", "a.b.jpg"},
        {"x.pict", "BMP", "x.pic"},
    };
    for (const auto& row : rows) {
        const std::string picture = PairingPictureName(row.name, row.format);
        EXPECT_EQ(picture, row.picture) << row.name;
        const std::string stem = picture.substr(0, picture.size() - 4);
        EXPECT_EQ(DefaultSoundFor(picture), stem + ".wav") << row.name;
    }
    for (const char* sound : {"cat.WAV", "cat.wave", "cat"})
        EXPECT_EQ(PairingSoundName(sound), "cat.wav") << sound;
    EXPECT_EQ(DefaultSoundFor("ab"), "wav"); // the loading's own rule for a short name
}

TEST(ToolNames, WordsFromNamesAndVoicesFromLocales)
{
    EXPECT_EQ(ReadableWord("big_red-bus.jpg"), "big red bus");
    EXPECT_EQ(ReadableWord("__Grandma  Jo__.png"), "Grandma Jo");
    EXPECT_EQ(ReadableWord("no_extension"), "no extension");
    const struct {
        const char* language;
        const char* lcAll;
        const char* lang;
        const char* voice;
    } rows[] = {
        {nullptr, nullptr, "de_DE.UTF-8", "de"}, {nullptr, "fr_FR@euro", "de_DE", "fr"},
        {"pt_BR:en", "de_DE", "de_DE", "pt"},    {"", "", "nl_NL", "nl"},
        {nullptr, "C", "de_DE", "en"},           {nullptr, nullptr, "POSIX", "en"},
        {nullptr, nullptr, nullptr, "en"},       {nullptr, nullptr, "C.UTF-8", "en"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(VoiceFromLocale(row.language, row.lcAll, nullptr, row.lang), row.voice)
            << (row.lang ? row.lang : "(unset)");
}

TEST(ToolVerdict, RefusalsNameTheLimitThatWasPassed)
{
    EXPECT_EQ(SizeRefusal(10000, 10000), ""); // exactly the pixel limit
    EXPECT_EQ(SizeRefusal(65535, 1), "");     // exactly the side limit
    EXPECT_EQ(SizeRefusal(12000, 10000), "too large: 120 megapixels, the limit is 100");
    EXPECT_EQ(SizeRefusal(10001, 10000), "too large: 101 megapixels, the limit is 100");
    EXPECT_EQ(SizeRefusal(65536, 10), "too large: 65536 pixels wide, the limit is 65535");
    EXPECT_EQ(SizeRefusal(10, 70000), "too large: 70000 pixels high, the limit is 65535");
    EXPECT_NE(SizeRefusal(0, 10).find("damaged"), std::string::npos);

    testpics::TempDir folder;
    const auto write = [&](const char* name, const std::string& bytes) {
        testpics::WriteFile(folder.path() / name, bytes);
        return JudgePicture(folder.dir() + name);
    };
    EXPECT_EQ(write("ok.png", testpics::Png(4, 3)).reason, "4 x 3");
    EXPECT_EQ(write("notes.txt", "hello").use, Use::Ignored);
    EXPECT_EQ(write("cut.png", testpics::Png(4, 3).substr(0, 20)).use, Use::Refused);
    EXPECT_EQ(JudgePicture(folder.dir()).use, Use::Refused); // a folder is not a plain file
}

TEST(ToolFiles, ACopyNeverReplacesAndLeavesNoTemporary)
{
    testpics::TempDir folder;
    testpics::WriteFile(folder.path() / "new.png", "new");
    testpics::WriteFile(folder.path() / "kept.png", "kept");
    std::string error;
    EXPECT_FALSE(
        CopyNoReplace(folder.dir() + "new.png", folder.dir() + "kept.png", folder.dir(), &error));
    EXPECT_NE(error.find("left as it is"), std::string::npos);
    EXPECT_FALSE(CopyNoReplace(folder.dir() + "missing", folder.dir() + "m", folder.dir(), &error));
    EXPECT_FALSE(CopyNoReplace(folder.dir(), folder.dir() + "d", folder.dir(), &error));
    EXPECT_TRUE(
        CopyNoReplace(folder.dir() + "new.png", folder.dir() + "copy.png", folder.dir(), &error));
    EXPECT_EQ(testpics::ReadFile(folder.path() / "kept.png"), "kept");
    EXPECT_EQ(testpics::ReadFile(folder.path() / "copy.png"), "new");
    EXPECT_EQ(ListFolder(folder.path().string()),
              (std::vector<std::string>{"copy.png", "kept.png", "new.png"}));
}
} // namespace

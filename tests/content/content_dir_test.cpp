#include "content/content_dir.h"

#include <filesystem>
#include <gtest/gtest.h>

#include "support/test_pictures.h"

namespace {
TEST(ContentDir, TheUserFolderWinsOnlyOnceItHoldsAPicture)
{
    const struct {
        const char* xdg;
        const char* home;
        bool hasPictures;
        const char* expected;
    } rows[] = {
        {nullptr, "/home/ann", true, "/home/ann/.local/share/tappy/"},
        {"", "/home/ann", true, "/home/ann/.local/share/tappy/"},
        {"/data", "/home/ann", true, "/data/tappy/"},
        {"relative/data", "/home/ann", true, "/home/ann/.local/share/tappy/"},
        {"/data", "/home/ann", false, "/opt/tappy/"},
        {nullptr, nullptr, true, "/opt/tappy/"},
        {nullptr, "", true, "/opt/tappy/"},
        {"relative", "relative", true, "/opt/tappy/"},
    };
    for (const auto& row : rows) {
        const CString user = UserContentDir(row.xdg, row.home);
        EXPECT_EQ(ChooseContentDir("/opt/tappy/", user, row.hasPictures).str(), row.expected)
            << (row.xdg ? row.xdg : "(unset)") << " " << (row.home ? row.home : "(unset)");
    }

    // Only a file in images/ counts as a picture there.
    testpics::TempDir folder;
    EXPECT_FALSE(HasPictureFiles(CString(folder.dir()))); // no images/ at all
    std::filesystem::create_directories(folder.path() / "images" / "holiday");
    EXPECT_FALSE(HasPictureFiles(CString(folder.dir()))); // only a folder, which the loading skips
    testpics::WriteFile(folder.path() / "images" / "notes.txt", "not a picture");
    EXPECT_TRUE(
        HasPictureFiles(CString(folder.dir()))); // any file: the check explains one that fails
}
} // namespace

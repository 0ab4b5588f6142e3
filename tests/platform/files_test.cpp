#include "platform/files.h"

#include <cerrno>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>

#include "support/test_pictures.h"

namespace fs = std::filesystem;

TEST(Files, ListingAndAttributesGiveTheTypeLinksPointTo)
{
    testpics::TempDir tmp;
    const fs::path p = tmp.path();
    testpics::WriteFile(p / "cat \xE4.png", "x");
    fs::create_directory(p / "sub");
    fs::create_directory_symlink(p / "sub", p / "to-dir");
    fs::create_symlink(p / "nowhere", p / "dangling");
    fs::create_symlink(p / "loop-b", p / "loop-a");
    fs::create_symlink(p / "loop-a", p / "loop-b");

    std::map<std::string, bool> seen; // name -> directory bit
    WIN32_FIND_DATAA data;
    const HANDLE h = FindFirstFileA((tmp.dir() + "*").c_str(), &data);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    do {
        const bool dir = data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
        EXPECT_TRUE(seen.emplace(data.cFileName.str(), dir).second) << data.cFileName.str();
    } while (FindNextFileA(h, &data));
    EXPECT_EQ(GetLastError(), ERROR_NO_MORE_FILES);
    EXPECT_TRUE(FindClose(h));
    const std::map<std::string, bool> expected = {
        {".", true},      {"..", true},        {"cat \xE4.png", false}, {"sub", true},
        {"to-dir", true}, {"dangling", false}, {"loop-a", false},       {"loop-b", false}};
    EXPECT_EQ(seen, expected);

    for (const char* bad : {"missing/*", "cat \xE4.png/*"})
        EXPECT_EQ(FindFirstFileA((tmp.dir() + bad).c_str(), &data), INVALID_HANDLE_VALUE) << bad;

    const std::pair<std::string, DWORD> attributes[] = {
        {"", FILE_ATTRIBUTE_DIRECTORY},        {"cat \xE4.png", FILE_ATTRIBUTE_NORMAL},
        {"to-dir", FILE_ATTRIBUTE_DIRECTORY},  {"missing.wav", INVALID_FILE_ATTRIBUTES},
        {"dangling", INVALID_FILE_ATTRIBUTES}, {"cat \xE4.png/inside", INVALID_FILE_ATTRIBUTES},
    };
    for (const auto& [name, attribute] : attributes)
        EXPECT_EQ(GetFileAttributesA((tmp.dir() + name).c_str()), attribute) << name;
}

TEST(Files, ProgramDirectoryHoldsTheProgram)
{
    // The folder ends in '/', so a file's name is simply appended.
    const CString dir = GetProgramDirectory();
    EXPECT_EQ(GetFileAttributesA(dir + program_invocation_short_name), FILE_ATTRIBUTE_NORMAL);
}

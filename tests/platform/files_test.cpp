#include "platform/files.h"

#include <cerrno>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <string>

#include "test_pictures.h"

namespace fs = std::filesystem;

namespace {
// Lists a folder the way the loading does and returns name -> is directory.
std::map<std::string, bool> ListAll(const std::string& dir, DWORD* endError)
{
    std::map<std::string, bool> seen;
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA((dir + "*").c_str(), &data);
    if (h == INVALID_HANDLE_VALUE)
        return seen;
    do {
        const bool fresh =
            seen.emplace(data.cFileName.str(), data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                .second;
        EXPECT_TRUE(fresh) << "entry listed twice: " << data.cFileName.str();
    } while (FindNextFileA(h, &data));
    *endError = GetLastError();
    EXPECT_TRUE(FindClose(h));
    return seen;
}
} // namespace

TEST(Files, ListingGivesEveryEntryOnceWithTheDirectoryBitOfWhatLinksPointTo)
{
    testpics::TempDir tmp;
    const fs::path p = tmp.path();
    testpics::WriteFile(p / "cat.png", "x");
    testpics::WriteFile(p / "with space \xE4.png", "x");
    fs::create_directory(p / "sub");
    fs::create_directory_symlink(p / "sub", p / "link-to-dir");
    fs::create_symlink(p / "cat.png", p / "link-to-file");
    fs::create_symlink(p / "nowhere", p / "dangling");
    fs::create_symlink(p / "loop-b", p / "loop-a");
    fs::create_symlink(p / "loop-a", p / "loop-b");

    DWORD endError = 0;
    const auto seen = ListAll(tmp.dir(), &endError);
    EXPECT_EQ(endError, ERROR_NO_MORE_FILES);
    const std::map<std::string, bool> expected = {
        {".", true},           {"..", true},
        {"cat.png", false},    {"sub", true},
        {"link-to-dir", true}, {"link-to-file", false},
        {"dangling", false},   {"loop-a", false},
        {"loop-b", false},     {"with space \xE4.png", false},
    };
    EXPECT_EQ(seen, expected);
}

TEST(Files, ListingAMissingFolderOrAFileFailsToStart)
{
    testpics::TempDir tmp;
    testpics::WriteFile(tmp.path() / "plain", "x");
    WIN32_FIND_DATAA data;
    EXPECT_EQ(FindFirstFileA((tmp.dir() + "missing/*").c_str(), &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(FindFirstFileA((tmp.dir() + "plain/*").c_str(), &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(FindFirstFileA(nullptr, &data), INVALID_HANDLE_VALUE);
    EXPECT_FALSE(FindNextFileA(INVALID_HANDLE_VALUE, &data));
    EXPECT_FALSE(FindClose(INVALID_HANDLE_VALUE));
}

TEST(Files, AttributesTellFilesFoldersAndNothing)
{
    testpics::TempDir tmp;
    const fs::path p = tmp.path();
    testpics::WriteFile(p / "a.wav", "x");
    fs::create_directory(p / "dir");
    fs::create_symlink(p / "nowhere", p / "dangling");
    struct Row {
        std::string name;
        DWORD attributes;
    } const rows[] = {
        {"a.wav", FILE_ATTRIBUTE_NORMAL},          {"dir", FILE_ATTRIBUTE_DIRECTORY},
        {"missing.wav", INVALID_FILE_ATTRIBUTES},  {"dangling", INVALID_FILE_ATTRIBUTES},
        {"a.wav/inside", INVALID_FILE_ATTRIBUTES},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(GetFileAttributesA((tmp.dir() + row.name).c_str()), row.attributes);
    }
    EXPECT_EQ(GetFileAttributesA(nullptr), INVALID_FILE_ATTRIBUTES);
}

TEST(Files, ProgramDirectoryHoldsTheRunningProgram)
{
    const CString dir = GetProgramDirectory();
    ASSERT_FALSE(dir.IsEmpty());
    EXPECT_EQ(dir.str().back(), '/');
    EXPECT_EQ(GetFileAttributesA(dir + program_invocation_short_name), FILE_ATTRIBUTE_NORMAL);
}

#include "platform/cstring.h"

#include <gtest/gtest.h>

TEST(CString, CompareExactAndFolded)
{
    // Two strings, and the signs of _mbscmp and _mbsicmp comparing them.
    const std::tuple<const char*, const char*, int, int> rows[] = {
        {"cat.jpg", "cat.jpg", 0, 0},
        {"Cat.JPG", "cat.jpg", -1, 0},
        {"cat", "cats", -1, -1},
        {"", "", 0, 0},
        {"\xc3\x84", "\xc3\xa4", -1, -1}, // non-ASCII bytes are never folded
        {"[", "{", -1, -1},
        {"\xff", "a", 1, 1},
    };
    auto sign = [](int v) { return (v > 0) - (v < 0); };
    for (const auto& [a, b, exact, folded] : rows)
        EXPECT_EQ(std::pair(sign(_mbscmp(CString(a), CString(b))),
                            sign(_mbsicmp(CString(a), CString(b)))),
                  std::pair(exact, folded))
            << a << " vs " << b;
}

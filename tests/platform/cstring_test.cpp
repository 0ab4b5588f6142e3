#include "platform/cstring.h"

#include <gtest/gtest.h>

TEST(CString, CompareExactAndFolded)
{
    struct Row {
        const char* a;
        const char* b;
        int exact;  // sign of _mbscmp
        int folded; // sign of _mbsicmp
    };
    const Row rows[] = {
        {"cat.jpg", "cat.jpg", 0, 0},
        {"Cat.JPG", "cat.jpg", -1, 0},
        {"cat", "cats", -1, -1},
        {"", "", 0, 0},
        {"\xc3\x84", "\xc3\xa4", -1, -1}, // non-ASCII bytes are never folded
        {"[", "{", -1, -1},
        {"\xff", "a", 1, 1},
    };
    auto sign = [](int v) { return (v > 0) - (v < 0); };
    for (const Row& r : rows)
        EXPECT_EQ(std::pair(sign(_mbscmp(CString(r.a), CString(r.b))),
                            sign(_mbsicmp(CString(r.a), CString(r.b)))),
                  std::pair(r.exact, r.folded))
            << r.a << " vs " << r.b;
}

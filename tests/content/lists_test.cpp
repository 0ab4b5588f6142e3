#include "content/lists.h"
#include "support/test_lists.h"

#include "content/topic.h"
#include "platform/runtime.h"

#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <random>
#include <vector>

// The list rules as plainly written (linear duplicate scan, swap-with-last removal) against the
// indexed list, over a long run with many repeats, removals at every index in and out of range,
// items apart only in case, the empty item, and NUL bytes that end the compared text: the same
// items in the same order. Runs of mostly adding alternate with runs of mostly removing, so the
// list is emptied and takes items again.
TEST(CTextList, IndexedListFollowsThePlainRulesOverALongRun)
{
    Strings plain;
    std::mt19937 rng(7);
    CTextList list;
    for (int step = 0; step < 40000; ++step) {
        const unsigned r = rng() % 100;
        if (r < (step / 5000 % 2 ? 30u : 70u)) {
            const std::string s = r == 1 ? ""
                                         : "wW"[r % 2] + std::to_string(rng() % 8000) +
                                               (r ? "" : std::string(1, '\0'));
            list.AddUnique(CString(s.data(), static_cast<int>(s.size())));
            if (std::none_of(plain.begin(), plain.end(), [&](const std::string& item) {
                    return std::strcmp(item.c_str(), s.c_str()) == 0;
                }))
                plain.push_back(s);
        } else {
            const int index = static_cast<int>(rng() % (plain.size() + 2)) - 1;
            if (index >= 0 && index < static_cast<int>(plain.size())) {
                plain[static_cast<size_t>(index)] = plain.back();
                plain.pop_back();
            }
            EXPECT_EQ(list.RemoveAt(index), static_cast<int>(plain.size()));
        }
    }
    EXPECT_EQ(Items(list), plain);
}

TEST(RandomIndex, ExamplesOfBothGroupings)
{
    struct Row {
        int r, n, element, topic; // element: r * (1/32767) * n; topic: r * n * (1/32767)
    } const rows[] = {
        {10922, 3, 0, 0}, {10923, 3, 1, 1}, {21845, 3, 2, 2}, {17969, 93, 50, 51}, {5, 0, -1, -1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE("r=" + std::to_string(row.r) + " n=" + std::to_string(row.n));
        EXPECT_EQ(RandomIndexFromDraw(row.r, row.n), row.element);
        EXPECT_EQ(TopicIndexFromDraw(row.r, row.n), row.topic);
    }
    // Every draw, the highest (32767, which must not give n) among them, lands in 0 ... n-1.
    for (int n = 1; n <= 120; ++n) {
        int disagreements = 0;
        for (int r = 0; r <= crt::RAND_MAX_15; ++r) {
            const int a = RandomIndexFromDraw(r, n), b = TopicIndexFromDraw(r, n);
            ASSERT_TRUE(a >= 0 && a < n && b >= 0 && b < n) << "n=" << n << " r=" << r;
            disagreements += a != b;
        }
        if (n < 93) {
            EXPECT_EQ(disagreements, 0) << "n=" << n;
        }
    }
}

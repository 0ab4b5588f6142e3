#include "content/lists.h"

#include "content/topic.h"
#include "platform/runtime.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {
void Fill(CTextList& list, const std::vector<std::string>& items)
{
    for (const auto& item : items)
        list.AddUnique(CString(item));
}

std::vector<std::string> Items(const CTextList& list)
{
    std::vector<std::string> items;
    for (int i = 0; i < list.GetCount(); ++i)
        items.push_back(list.GetAt(i).str());
    return items;
}
} // namespace

TEST(CTextList, RemoveAtMovesTheLastItemIntoTheGap)
{
    struct Row {
        int index;
        std::vector<std::string> after;
    } const rows[] = {
        {3, {"a", "b", "c"}},       {0, {"d", "b", "c"}},      {1, {"a", "d", "c"}},
        {-1, {"a", "b", "c", "d"}}, {4, {"a", "b", "c", "d"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE("RemoveAt(" + std::to_string(row.index) + ")");
        CTextList list;
        Fill(list, {"a", "b", "c", "d"});
        EXPECT_EQ(list.RemoveAt(row.index), static_cast<int>(row.after.size()));
        EXPECT_EQ(Items(list), row.after);
    }

    CTextList single;
    Fill(single, {"a"});
    EXPECT_EQ(single.RemoveAt(0), 0);
    EXPECT_EQ(single.GetAt(0), "");
    single.AddUnique("again"); // storage released and regained cleanly
    EXPECT_EQ(Items(single), std::vector<std::string>{"again"});
}

TEST(CTextList, AddUniqueComparesBytesExactly)
{
    struct Row {
        const char* what;
        std::vector<std::string> added;
        std::vector<std::string> kept;
    } const rows[] = {
        {"case differs", {"Cat", "cat"}, {"Cat", "cat"}},
        {"same twice", {"cat", "cat"}, {"cat"}},
        {"empty string once", {"", "x", ""}, {"", "x"}},
        {"first occurrence holds its place", {"b", "a", "b"}, {"b", "a"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        CTextList list;
        Fill(list, row.added);
        EXPECT_EQ(Items(list), row.kept);
    }
}

TEST(CTextList, OutOfRangeReadsAreEmpty)
{
    CTextList list;
    EXPECT_EQ(list.GetAt(0), "");
    Fill(list, {"a", "b"});
    EXPECT_EQ(list.GetAt(-1), "");
    EXPECT_EQ(list.GetAt(2), "");
    EXPECT_EQ(list.GetAt(1), "b");
}

TEST(CTextList, AppendUniqueKeepsOrderAndSkipsDuplicates)
{
    CTextList target;
    Fill(target, {"y"});
    CTextList other;
    Fill(other, {"x", "y", "x2"});
    target.AppendUnique(other);
    EXPECT_EQ(Items(target), (std::vector<std::string>{"y", "x", "x2"}));
    target.AppendUnique(target);
    EXPECT_EQ(target.GetCount(), 3);
}

TEST(RandomIndex, ExamplesOfBothGroupings)
{
    struct Row {
        int r;
        int n;
        int element; // RandomIndexFromDraw: r * (1/32767) * n
        int topic;   // TopicIndexFromDraw: r * n * (1/32767)
    } const rows[] = {
        {0, 3, 0, 0},        {10922, 3, 0, 0},    {10923, 3, 1, 1}, {21845, 3, 2, 2},
        {32767, 3, 2, 2},    {0, 1, 0, 0},        {16384, 1, 0, 0}, {32767, 1, 0, 0},
        {17969, 93, 50, 51}, {32767, 93, 92, 92}, {5, 0, -1, -1},   {5, -4, -1, -1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE("r=" + std::to_string(row.r) + " n=" + std::to_string(row.n));
        EXPECT_EQ(RandomIndexFromDraw(row.r, row.n), row.element);
        EXPECT_EQ(TopicIndexFromDraw(row.r, row.n), row.topic);
    }
}

TEST(RandomIndex, StaysBelowTheCountAndGroupingsAgreeBelow93)
{
    for (int n = 1; n <= 120; ++n) {
        int disagreements = 0;
        for (int r = 0; r <= crt::RAND_MAX_15; ++r) {
            const int a = RandomIndexFromDraw(r, n);
            const int b = TopicIndexFromDraw(r, n);
            ASSERT_TRUE(a >= 0 && a < n && b >= 0 && b < n) << "n=" << n << " r=" << r;
            disagreements += a != b;
        }
        if (n < 93) {
            EXPECT_EQ(disagreements, 0) << "n=" << n;
        }
    }
}

TEST(CTextList, GetRandomIndexDrawsOnlyForNonEmptyLists)
{
    crt::srand(1234);
    const int first = crt::rand();
    const int second = crt::rand();

    crt::srand(1234);
    CTextList empty;
    EXPECT_EQ(empty.GetRandomIndex(), -1);
    EXPECT_EQ(crt::rand(), first) << "an empty list must not advance the sequence";

    CTextList one;
    Fill(one, {"only"});
    crt::srand(99);
    for (int i = 0; i < 1000; ++i)
        ASSERT_EQ(one.GetRandomIndex(), 0);

    CTextList three;
    Fill(three, {"a", "b", "c"});
    crt::srand(1234);
    EXPECT_EQ(three.GetRandomIndex(), RandomIndexFromDraw(first, 3));
    EXPECT_EQ(three.GetRandomIndex(), RandomIndexFromDraw(second, 3));
}

TEST(CTopicList, SetSizeAppendsShrinksAndClears)
{
    SetMediaDirs("/nonexistent-tappy-dir/");
    CTopicList topics;
    for (const char* name : {"a.png", "b.png", "c.png"}) {
        topics.SetSize(topics.GetCount() + 1, false);
        topics.SetAt(topics.GetCount() - 1, new CTopic(name));
    }
    ASSERT_EQ(topics.GetCount(), 3);
    EXPECT_EQ(topics.GetAt(2)->GetName(), "c.png");

    topics.SetSize(1, false); // destroys b and c (the sanitizer sees any leak)
    EXPECT_EQ(topics.GetCount(), 1);
    EXPECT_EQ(topics.GetAt(0)->GetName(), "a.png");

    topics.SetSize(2, false); // regrows within the kept storage: the new slot is empty
    EXPECT_EQ(topics.GetAt(1), nullptr);

    topics.SetSize(2, true);
    EXPECT_EQ(topics.GetCount(), 2);
    EXPECT_EQ(topics.GetAt(0), nullptr);
}

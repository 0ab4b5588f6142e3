#include "content/map_reader.h"

#include "content/lists.h"

#include <gtest/gtest.h>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {
std::vector<std::string> Items(const CTextList& list)
{
    std::vector<std::string> items;
    for (int i = 0; i < list.GetCount(); ++i)
        items.push_back(list.GetAt(i).str());
    return items;
}

// Everything the text-mode filter delivers from the given file bytes.
std::string ThroughTextMode(const std::string& bytes)
{
    std::stringbuf source(bytes);
    TextModeStreamBuf text(&source);
    std::istream in(&text);
    return std::string(std::istreambuf_iterator<char>(in), {});
}
} // namespace

TEST(MapReader, BraceListTable)
{
    struct Row {
        std::string input;
        std::vector<std::string> items;
        bool result;
    } const rows[] = {
        {"{}", {}, true},
        {"{ }", {}, true},
        {"{\n}", {}, true},
        {"{a,,b}", {"a", "", "b"}, true},
        {"{a, ,b}", {"a", "", "b"}, true},
        {"{,x}", {"", "x"}, true},
        {"{y,}", {"y"}, true},
        {"{a b}", {"a b"}, true},
        {"{a\tb}", {"a", "b"}, true},
        {"{a\t,b}", {"a", "b"}, true},
        {"{Cat\n,Kitten}", {"Cat\n", "Kitten"}, true},
        {"{Cat,\nKitten}", {"Cat", "Kitten"}, true},
        {"{cat.jpg }", {"cat.jpg "}, true},
        {"{x{y}", {"x{y"}, true},
        {"{a,a,A}", {"a", "A"}, true},
        {"{a;b}", {"a", "b"}, true},
        {"{abc", {"abc"}, false},
        {"{a,", {"a"}, false},
        {"{", {}, false},
        {"", {}, false},
        {"  \n ", {}, false},
        {std::string("{a\0b,c}", 7), {"a", "c"}, true}, // a NUL byte ends the item's text
    };
    for (const Row& row : rows) {
        SCOPED_TRACE("input: " + row.input);
        std::istringstream in(row.input);
        CTextList list;
        list.AddUnique("left over");
        EXPECT_EQ(list.Read(in), row.result);
        EXPECT_EQ(Items(list), row.items);
    }
}

TEST(MapReader, StrayByteIsLeftInAGoodStream)
{
    std::istringstream in("  cat}");
    CTextList list;
    EXPECT_FALSE(list.Read(in));
    EXPECT_EQ(list.GetCount(), 0);
    EXPECT_TRUE(in.good());
    EXPECT_EQ(in.peek(), 'c');
}

TEST(MapReader, ReadingAfterFailureReturnsFalse)
{
    std::istringstream in("{a}");
    in.setstate(std::ios::failbit);
    CTextList list;
    EXPECT_FALSE(list.Read(in));
}

TEST(MapReader, LongItemsAreCut)
{
    std::istringstream in("{" + std::string(1500, 'x') + "}");
    CTextList list;
    EXPECT_TRUE(list.Read(in));
    ASSERT_EQ(list.GetCount(), 2);
    EXPECT_EQ(list.GetAt(0).GetLength(), 1023);
    EXPECT_EQ(list.GetAt(1).GetLength(), 477);

    std::istringstream small("abcdef}");
    char buffer[4];
    EXPECT_STREQ(ReadItem(small, buffer, sizeof buffer), "abc");
    EXPECT_EQ(small.peek(), 'd');
}

TEST(MapReader, WorkedExample)
{
    std::istringstream in("{Cat, Kitten}\n{ cat.jpg}\n{meow.wav;purr.wav}\n"
                          "{big dog, puppy }{dog.jpg,DOG2.JPG}{}\n");
    using V = std::vector<std::string>;
    const V expected[] = {
        {"Cat", "Kitten"},       {"cat.jpg"}, {"meow.wav", "purr.wav"}, {"big dog", "puppy "},
        {"dog.jpg", "DOG2.JPG"}, {},
    };
    CTextList list;
    for (const V& items : expected) {
        EXPECT_TRUE(list.Read(in));
        EXPECT_EQ(Items(list), items);
    }
    EXPECT_FALSE(list.Read(in));
    EXPECT_TRUE(in.fail());
}

TEST(TextModeStreamBuf, DropsCarriageReturnsBeforeLineFeedsAndALeadingMark)
{
    const std::string chunkEdge = std::string(4095, 'a') + "\r\n" + "b";
    struct Row {
        const char* what;
        std::string bytes;
        std::string text;
    } const rows[] = {
        {"line breaks", "a\r\nb\r\n", "a\nb\n"},
        {"lone carriage return", "a\rb\r", "a\rb\r"},
        {"two returns then a feed", "a\r\r\n", "a\r\n"},
        {"mark at the start", "\xEF\xBB\xBF{a}", "{a}"},
        {"mark elsewhere", "{a}\xEF\xBB\xBF", "{a}\xEF\xBB\xBF"},
        {"half a mark", "\xEF\xBB", "\xEF\xBB"},
        {"break across a chunk edge", chunkEdge, std::string(4095, 'a') + "\nb"},
        {"NUL bytes", std::string("a\0\r\n", 4), std::string("a\0\n", 3)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(ThroughTextMode(row.bytes), row.text);
    }
}

TEST(TextModeStreamBuf, PutBackWorksAcrossARefill)
{
    std::stringbuf source(std::string(4096, ' ') + "x{a}");
    TextModeStreamBuf text(&source);
    std::istream in(&text);
    CTextList list;
    // The stray x is the first byte of the second chunk; it must go back and stay.
    EXPECT_FALSE(list.Read(in));
    EXPECT_TRUE(in.good());
    EXPECT_EQ(in.get(), 'x');
    EXPECT_TRUE(list.Read(in));
    EXPECT_EQ(Items(list), std::vector<std::string>{"a"});
}

TEST(MapReader, SeededRandomInputAlwaysMakesProgress)
{
    const std::string alphabet("{{{}}},;\t \n\r\0ab\xEF\xBB\xBF", 18);
    std::mt19937 rng(20240601);
    for (int round = 0; round < 20000; ++round) {
        std::string input;
        const int length = static_cast<int>(rng() % 300);
        for (int i = 0; i < length; ++i)
            input += rng() % 50 == 0 ? static_cast<char>(rng() % 256)
                                     : alphabet[rng() % alphabet.size()];
        if (round % 97 == 0)
            input += std::string(2000 + rng() % 2000, 'z');
        std::stringbuf source(input);
        TextModeStreamBuf text(&source);
        std::istream in(&text);
        CTextList list;
        // Each Read consumes at least one byte or leaves a stray byte that is skipped here, so
        // the number of rounds is bounded by the input's length.
        int reads = 0;
        while (!in.fail()) {
            ASSERT_LE(++reads, static_cast<int>(input.size()) + 2)
                << "no progress on round " << round;
            if (!list.Read(in) && in.good())
                in.get();
            for (int i = 0; i < list.GetCount(); ++i)
                ASSERT_LE(list.GetAt(i).GetLength(), 1023);
        }
    }
}

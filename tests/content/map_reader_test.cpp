#include "content/map_reader.h"
#include "support/test_lists.h"

#include "content/lists.h"

#include <gtest/gtest.h>
#include <sstream>
#include <vector>

// Read through the text-mode filter, as the loading reads the map.
TEST(MapReader, BraceListTable)
{
    struct Row {
        std::string input;
        Strings items;
        bool result;
        int next = EOF; // what the stream holds after the read
    } const rows[] = {
        {"{}", {}, true},
        {"{\n}", {}, true},
        {"{a,,b}", {"a", "", "b"}, true},
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
        {"{a,\n", {"a"}, false}, // the same list whether or not a line break ends the file
        {"{a; \t\n\n", {"a"}, false},
        {"{a,,\n", {"a", ""}, false},
        {"{\n", {}, false},
        {"", {}, false},
        {"  cat}", {}, false, 'c'}, // a stray byte goes back, leaving the stream good
        {std::string(4096, ' ') + "x{a}", {}, false, 'x'}, // also when it starts a new chunk
        {"{" + std::string(1500, 'x') + "}", {std::string(1023, 'x'), std::string(477, 'x')}, true},
        {std::string("{a\0b,c}", 7), {"a", "c"}, true}, // a NUL byte ends the item's text
    };
    for (const Row& row : rows) {
        SCOPED_TRACE("input: " + row.input.substr(0, 40));
        std::stringbuf source(row.input);
        TextModeStreamBuf filter(&source);
        std::istream in(&filter);
        CTextList list;
        list.AddUnique("left over");
        EXPECT_EQ(list.Read(in), row.result);
        EXPECT_EQ(Items(list), row.items);
        EXPECT_EQ(in.peek(), row.next);
    }
}

TEST(TextModeStreamBuf, DropsCarriageReturnsBeforeLineFeedsAndALeadingMark)
{
    const std::pair<std::string, std::string> rows[] = {
        {"a\r\nb\r\n", "a\nb\n"},
        {"a\rb\r", "a\rb\r"},
        {"a\r\r\n", "a\r\n"},
        {"\xEF\xBB\xBF{a}", "{a}"},
        {"{a}\xEF\xBB\xBF", "{a}\xEF\xBB\xBF"},
        {"\xEF\xBB", "\xEF\xBB"},
        {std::string(4095, 'a') + "\r\nb", std::string(4095, 'a') + "\nb"}, // across a refill
    };
    for (const auto& [bytes, text] : rows) {
        SCOPED_TRACE(bytes.substr(0, 20));
        std::stringbuf source(bytes);
        TextModeStreamBuf filter(&source);
        std::istream in(&filter);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), text);
    }
}

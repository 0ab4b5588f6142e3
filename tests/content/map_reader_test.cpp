#include "content/map_reader.h"
#include "support/test_lists.h"

#include "content/lists.h"

#include <gtest/gtest.h>
#include <sstream>
#include <vector>

// Read through the text-mode filter, as the loading reads the map.
TEST(MapReader, BraceListsThroughTheTextModeFilter)
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
        {"{a; \t\n\n", {"a"}, false}, // the same list whether or not white space ends the file
        {"{a,,\n", {"a", ""}, false},
        {"{\n", {}, false},
        {"", {}, false},
        {"  cat}", {}, false, 'c'}, // a stray byte goes back, leaving the stream good
        {std::string(4096, ' ') + "x{a}", {}, false, 'x'}, // also when it starts a new chunk
        {"{" + std::string(1500, 'x') + "}", {std::string(1023, 'x'), std::string(477, 'x')}, true},
        {std::string("{a\0b,c}", 7), {"a", "c"}, true}, // a NUL byte ends the item's text
        // The filter drops a carriage return before a line feed, and a mark at the start only.
        {"{a\r\nb\r\n}", {"a\nb\n"}, true},
        {"{a\rb\r}", {"a\rb\r"}, true},
        {"{a\r", {"a\r"}, false}, // a lone one kept also as the last byte
        {"{a\r\r\nb}", {"a\r\nb"}, true},
        {"\xEF\xBB\xBF{a}", {"a"}, true},
        {"{a}\xEF\xBB\xBF", {"a"}, true, 0xEF},
        {"\xEF\xBB", {}, false, 0xEF},
        {std::string(4093, ' ') + "{a\r\nb}", {"a\nb"}, true}, // the pair split by a refill
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

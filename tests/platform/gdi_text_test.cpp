#include "platform/text_bytes.h"
#include "support/gdi_canvas.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

// fontconfig loses a block while it parses its configuration, once per process; the suppression
// list in tests/lsan.supp says so too, but is not always handed to the test's environment.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}

namespace {
constexpr int kBlackPlusOne = 8 + 1; // COLOR_WINDOWTEXT

const auto NotBlack = [](Uint32 rgb) { return rgb != 0; };
} // namespace

TEST(TextBytes, DecodesEachCodePageRule)
{
    const std::string bad = "\xEF\xBF\xBD"; // U+FFFD
    // What the bytes are, the bytes, whether read as Cyrillic, and the text they give.
    const std::tuple<const char*, std::string, bool, std::string> rows[] = {
        // clang-format off
        {"ascii", "Tappy", false, "Tappy"},
        {"utf-8 kept", "\xD0\x9A\xD0\xBE\xD1\x82", false, "\xD0\x9A\xD0\xBE\xD1\x82"},
        {"stray byte", "a\xFF\x62", false, "a" + bad + "b"},
        {"cut sequence at end", "a\xE2\x82", false, "a" + bad},
        {"overlong slash", "\xC0\xAF", false, bad + bad},
        {"surrogate", "\xED\xA0\x80", false, bad + bad + bad},
        {"past U+10FFFF", "\xF4\x90\x80\x80", false, bad + bad + bad + bad},
        {"embedded NUL dropped", std::string("a\0b", 3), false, "ab"},
        {"1251 word", "\xCA\xEE\xF2", true, "\xD0\x9A\xD0\xBE\xD1\x82"},
        {"1251 yo, quotes", "\xA8\xB8\xAB\xBB\x98", true, "\xD0\x81\xD1\x91\xC2\xAB\xC2\xBB" + bad},
        {"utf-8 under Cyrillic", "\xD0\x9A\xD0\xBE\xD1\x82", true, "\xD0\x9A\xD0\xBE\xD1\x82"},
        // clang-format on
    };
    for (const auto& [name, bytes, cyrillic, utf8] : rows)
        EXPECT_EQ(cyrillic ? Utf8FromCyrillicBytes(bytes.data(), bytes.size())
                           : Utf8FromSystemBytes(bytes.data(), bytes.size()),
                  utf8)
            << name;
}

TEST(FillRect, PaintsOnlyTheRectangleAndClipsToTheBitmap)
{
    Canvas c(40, 30, kBlackPlusOne);
    RECT rc{5, 6, 15, 20};
    EXPECT_EQ(FillRect(c.dc, &rc, SysColorBrush(COLOR_WINDOW + 1)), 1);
    const RECT box = c.BoxOf(NotBlack);
    EXPECT_EQ(std::tuple(box.left, box.top, box.right, box.bottom), std::tuple(5, 6, 15, 20));

    RECT huge{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX};
    FillRect(c.dc, &huge, SysColorBrush(kBlackPlusOne));
    EXPECT_EQ(c.BoxOf(NotBlack).right, 0);
    RECT inverted{30, 20, 10, 5};
    FillRect(c.dc, &inverted, reinterpret_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    EXPECT_EQ(c.BoxOf(NotBlack).right, 0);
}

TEST(DrawText, PlacesTheCellsByTheFormatFlagsClipsAndSurvivesNoText)
{
    // On black, the text's white cells show where it went.
    const RECT rc{20, 10, 380, 110};
    // Where it is used, the format, -1 left, 0 centre or 1 right, and whether at the bottom.
    const std::tuple<const char*, UINT, int, bool> rows[] = {
        {"hint: first line, centred", DT_CENTER, 0, false},
        {"name: bottom left", DT_SINGLELINE | DT_BOTTOM, -1, true},
        {"sound: bottom right", DT_SINGLELINE | DT_BOTTOM | DT_RIGHT, 1, true},
        {"word: bottom centre", DT_SINGLELINE | DT_BOTTOM | DT_CENTER, 0, true},
    };
    for (const auto& [name, format, h, bottom] : rows) {
        SCOPED_TRACE(name);
        Canvas c(400, 120, kBlackPlusOne);
        RECT layout = rc;
        const int height = DrawTextA(c.dc, "Mama", -1, &layout, format);
        const RECT box = c.BoxOf(NotBlack);
        // One cell high, close to the classic 16 pixels, never wrapped onto a second line.
        EXPECT_EQ(box.bottom - box.top, height);
        EXPECT_TRUE(height >= 13 && height <= 16) << height;
        EXPECT_EQ(bottom ? box.bottom : box.top, bottom ? rc.bottom : rc.top);
        // Centred: off by at most half a pixel.
        EXPECT_EQ(h < 0   ? box.left - rc.left
                  : h > 0 ? box.right - rc.right
                          : (box.left + box.right - rc.left - rc.right) / 2,
                  0);
    }

    Canvas c(200, 60, kBlackPlusOne);
    // Far wider than the rectangle, and past both ends of the bitmap once centred.
    std::string longText(100000, 'W');
    RECT narrow{50, 0, 150, 60};
    DrawTextA(c.dc, longText.c_str(), -1, &narrow, DT_SINGLELINE | DT_BOTTOM | DT_CENTER);
    const RECT box = c.BoxOf(NotBlack);
    EXPECT_EQ(std::pair(box.left, box.right), std::pair(50, 150));

    RECT all{0, 0, 200, 60};
    EXPECT_EQ(DrawTextA(c.dc, "", 0, &all, DT_CENTER), c.dc->font->cellHeight);
    EXPECT_EQ(DrawTextA(nullptr, "x", 1, &all, DT_CENTER), 0);
}

TEST(CreateFont, CyrillicRequestGetsACoveringFaceOfTheLargestCellNotAboveIt)
{
    // A face that is not installed anywhere, so the platform's matching has to choose.
    LOGFONTA lf{};
    lf.lfHeight = 100;
    lf.lfCharSet = RUSSIAN_CHARSET;
    std::strcpy(lf.lfFaceName, "No Such Face");
    HFONT font = CreateFontIndirectA(&lf);
    ASSERT_NE(font, nullptr);
    EXPECT_TRUE(font->cellHeight >= 95 && font->cellHeight <= 100) << font->cellHeight;
    EXPECT_EQ(font->charset, RUSSIAN_CHARSET);
    DeleteObject(font);

    // A face name that fills its field with no terminator is read only to the field's end.
    std::memset(lf.lfFaceName, 'A', sizeof lf.lfFaceName);
    HFONT other = CreateFontIndirectA(&lf);
    EXPECT_NE(other, nullptr);
    DeleteObject(other);
    EXPECT_EQ(CreateFontIndirectA(nullptr), nullptr);
}

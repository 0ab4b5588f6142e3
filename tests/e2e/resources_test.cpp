#include "res/about_dialog.h"
#include "version.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>

namespace {

// "1, 0, 0, 1" back into numbers, to hold the string and the numbers of a version together.
std::string Joined(const unsigned (&parts)[4])
{
    std::ostringstream out;
    out << parts[0] << ", " << parts[1] << ", " << parts[2] << ", " << parts[3];
    return out.str();
}

} // namespace

TEST(VersionBlock, NumbersAndStringsAgree)
{
    EXPECT_EQ(Joined(tappy::version::kFileVersion), tappy::version::kFileVersionString);
    EXPECT_EQ(Joined(tappy::version::kProductVersion), tappy::version::kProductVersionString);
}

TEST(VersionBlock, AboutNoticeIsTheLegalNoticeWithContact)
{
    const std::string notice = tappy::version::kAboutNotice;
    const std::string legal = tappy::version::kLegalCopyright;
    ASSERT_FALSE(legal.empty());
    EXPECT_EQ(notice.rfind(legal, 0), 0u);
    EXPECT_GT(notice.size(), legal.size() + 1);
}

TEST(AboutBoxTemplate, FoundByItsNumberOnly)
{
    for (int id : {IDD_ABOUTBOX, IDR_MAINFRAME, IDI_SMALL, 0, -1}) {
        SCOPED_TRACE(id);
        EXPECT_EQ(FindDialogTemplate(id) != nullptr, id == IDD_ABOUTBOX);
    }
}

// A control with both or neither would be drawn as nothing, or as the wrong thing.
TEST(AboutBoxTemplate, EachControlIsAnIconOrAFilledText)
{
    int icons = 0;
    for (const auto& control : kAboutBoxTemplate.controls) {
        const bool isIcon =
            (control.style & tappy::dialog::kStaticKindMask) == tappy::dialog::kStaticIcon;
        SCOPED_TRACE(control.x);
        if (isIcon) {
            ++icons;
            EXPECT_EQ(control.iconId, IDR_MAINFRAME);
            EXPECT_EQ(control.text, nullptr);
        } else {
            EXPECT_EQ(control.iconId, 0);
            ASSERT_NE(control.text, nullptr);
            EXPECT_GT(std::strlen(control.text), 4u);
        }
    }
    EXPECT_EQ(icons, 1);
}

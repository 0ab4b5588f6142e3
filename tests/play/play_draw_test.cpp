// Golden checks of the whole scene on a real back buffer (SDL's dummy driver): what lands where,
// read back pixel by pixel.
#include "content/topic.h"
#include "platform/gdi.h"
#include "play/play_wnd.h"
#include "play/scene.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "support/box_of.h"
#include "support/test_pictures.h"

namespace {
constexpr int kW = 1024, kH = 768;
const COLORREF kRed = RGB(255, 0, 0);

// A 400 x 300 red picture at the top of its pulse, its sound and word chosen when full and none
// otherwise, painted over a dirty buffer so that a region the scene does not paint would show.
class SceneWnd : public CPlayWnd {
public:
    explicit SceneWnd(bool full) : CPlayWnd(NoServices{})
    {
        std::filesystem::create_directories(m_dir.path() / "images");
        testpics::WriteFile(m_dir.path() / "images" / "red.bmp", testpics::Bmp(400, 300, 0xFF0000));
        SetMediaDirs(CString(m_dir.dir().c_str()));
        m_rcScreen = RECT{0, 0, kW, kH};
        m_dcMem.Attach(CreateCompatibleDC(nullptr));
        m_bmpBack.Attach(CreateCompatibleBitmap(nullptr, kW, kH));
        CDC::SelectGdiObject(m_dcMem.GetSafeHdc(), m_bmpBack.GetSafeHandle());
        auto* topic = new CTopic(CString("red.bmp"));
        topic->GetSounds().AddUnique(CString("moo.wav"));
        topic->GetWords().AddUnique(CString("\xD0\x9A\xD0\xBE\xD1\x82"));
        m_topics.SetSize(1, false);
        m_topics.SetAt(0, topic);
        m_nTopic = 0;
        m_nSound = m_nWord = full ? 0 : -1;
        m_nRepeatTotal = 39;
        FillRect(m_dcMem.GetSafeHdc(), &m_rcScreen, SysColorBrush(8 + 1));
        Draw(&m_dcMem);
    }
    // The box of the pixels in area that match; right is 0 when there are none.
    RECT BoxOf(const std::function<bool(COLORREF)>& match, RECT area = RECT{0, 0, kW, kH})
    {
        return ::BoxOf([this](int x, int y) { return GetPixel(m_dcMem.GetSafeHdc(), x, y); }, match,
                       area);
    }
    testpics::TempDir m_dir;
};

} // namespace

TEST(PlayDraw, BottomEdgeCarriesNameLeftWordCentreSoundRight)
{
    const auto ink = [](COLORREF c) { return c != RGB(255, 255, 255) && c != kRed; };
    for (const bool full : {true, false}) {
        SCOPED_TRACE(full ? "sound and word" : "neither sound nor word: the name alone");
        SceneWnd wnd(full);
        const RECT name = wnd.BoxOf(ink, RECT{0, kH - 130, kW / 4, kH});
        const RECT middle = wnd.BoxOf(ink, RECT{kW / 4, kH - 130, 3 * kW / 4, kH});
        const RECT sound = wnd.BoxOf(ink, RECT{3 * kW / 4, kH - 130, kW, kH});
        ASSERT_GT(name.right, 0);
        EXPECT_LE(name.left, 2); // the first glyph's side bearing
        EXPECT_GE(name.top, kH - 16);
        // The picture box ends 130 pixels above the bottom, so no text was painted over.
        const RECT red = wnd.BoxOf([](COLORREF c) { return c == kRed; });
        EXPECT_GT(red.right, 0);
        EXPECT_LE(red.bottom, kH - 130);
        if (!full) {
            EXPECT_EQ(middle.right + sound.right, 0);
            continue;
        }
        EXPECT_GE(sound.right, kW - 2);
        EXPECT_GE(sound.top, kH - 16);
        // Large letters in a cell of at most 100 pixels, standing on the bottom edge, centred.
        EXPECT_GE(middle.top, kH - 100);
        EXPECT_GT(middle.bottom - middle.top, 50);
        EXPECT_LE(std::abs(middle.left + middle.right - kW), 12);
    }
}

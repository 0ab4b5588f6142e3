// Golden checks of the whole scene on a real back buffer (SDL's dummy driver): what lands where,
// read back pixel by pixel.
#include "content/topic.h"
#include "platform/gdi.h"
#include "play/play_wnd.h"
#include "play/scene.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "support/box_of.h"
#include "support/test_pictures.h"

namespace {
constexpr int kW = 1024;
constexpr int kH = 768;
const COLORREF kRed = RGB(255, 0, 0);
const COLORREF kWhite = RGB(255, 255, 255);

class SceneWnd : public CPlayWnd {
public:
    SceneWnd() : CPlayWnd(NoServices{})
    {
        m_rcScreen = RECT{0, 0, kW, kH};
        m_dcMem.Attach(CreateCompatibleDC(nullptr));
        m_bmpBack.Attach(CreateCompatibleBitmap(nullptr, kW, kH));
        CDC::SelectGdiObject(m_dcMem.GetSafeHdc(), m_bmpBack.GetSafeHandle());
    }
    // One topic, made the way the library makes one from a picture in the images directory, and
    // shown at the given pulse with its sound and word, when it has them.
    void Show(const char* picture, const char* sound, const char* word, int total)
    {
        auto* topic = new CTopic(CString(picture));
        if (sound)
            topic->GetSounds().AddUnique(CString(sound));
        if (word)
            topic->GetWords().AddUnique(CString(word));
        m_topics.SetSize(1, false);
        m_topics.SetAt(0, topic);
        m_nTopic = 0;
        m_nSound = sound ? 0 : -1;
        m_nWord = word ? 0 : -1;
        m_nRepeatTotal = total;
    }
    void Paint()
    {
        // Dirty the buffer first, so a region the scene does not paint would show.
        RECT all{0, 0, kW, kH};
        FillRect(m_dcMem.GetSafeHdc(), &all, SysColorBrush(8 + 1));
        Draw(&m_dcMem);
    }
    RECT BoxOf(const std::function<bool(COLORREF)>& match, RECT area = RECT{0, 0, kW, kH})
    {
        const auto at = [this](int x, int y) { return GetPixel(m_dcMem.GetSafeHdc(), x, y); };
        return ::BoxOf(at, match, area);
    }
};

bool IsInk(COLORREF c)
{
    return c != kWhite && c != kRed;
}
bool IsEmpty(const RECT& r)
{
    return r.right <= r.left;
}

class PlayDraw : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(m_dir.path() / "images");
        testpics::WriteFile(m_dir.path() / "images" / "red.bmp", testpics::Bmp(400, 300, 0xFF0000));
        SetMediaDirs(CString(m_dir.dir().c_str()));
    }
    testpics::TempDir m_dir;
};
} // namespace

TEST_F(PlayDraw, BottomEdgeCarriesNameLeftWordCentreSoundRight)
{
    const char* const word = "\xD0\x9A\xD0\xBE\xD1\x82";
    for (const bool full : {true, false}) {
        SCOPED_TRACE(full ? "sound and word" : "neither sound nor word: the name alone");
        SceneWnd wnd;
        // The picture at its largest.
        wnd.Show("red.bmp", full ? "moo.wav" : nullptr, full ? word : nullptr, 39);
        wnd.Paint();
        const RECT name = wnd.BoxOf(IsInk, RECT{0, kH - 130, kW / 4, kH});
        const RECT middle = wnd.BoxOf(IsInk, RECT{kW / 4, kH - 130, 3 * kW / 4, kH});
        const RECT sound = wnd.BoxOf(IsInk, RECT{3 * kW / 4, kH - 130, kW, kH});
        ASSERT_FALSE(IsEmpty(name));
        EXPECT_LE(name.left, 2); // the first glyph's side bearing
        EXPECT_GE(name.top, kH - 16);
        // The picture box ends 130 pixels above the bottom, so no text was painted over.
        const RECT red = wnd.BoxOf([](COLORREF c) { return c == kRed; });
        EXPECT_FALSE(IsEmpty(red));
        EXPECT_LE(red.bottom, kH - 130);
        if (!full) {
            EXPECT_TRUE(IsEmpty(middle));
            EXPECT_TRUE(IsEmpty(sound));
            continue;
        }
        ASSERT_FALSE(IsEmpty(sound));
        EXPECT_GE(sound.right, kW - 2);
        EXPECT_GE(sound.top, kH - 16);
        // Large letters in a cell of at most 100 pixels, standing on the bottom edge, centred.
        ASSERT_FALSE(IsEmpty(middle));
        EXPECT_GE(middle.top, kH - 100);
        EXPECT_GT(middle.bottom - middle.top, 50);
        EXPECT_LE(std::abs(middle.left + middle.right - kW), 12);
    }
}

#include "platform/sdl/imaging_internal.h"
#include "support/gdi_canvas.h"

#include <SDL_image.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "support/test_pictures.h"

namespace {
// A picture file of one colour (0xAARRGGBB), written with SDL_image in a folder of its own.
struct PictureFile : testpics::TempDir {
    // lastPixel, when not 0, is the colour of the bottom-right pixel.
    PictureFile(int w, int h, Uint32 argb, Uint32 lastPixel = 0) : path(dir() + "picture.png")
    {
        SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_ARGB8888);
        SDL_FillRect(s, nullptr, argb);
        const SDL_Rect last{w - 1, h - 1, 1, 1};
        SDL_FillRect(s, &last, lastPixel ? lastPixel : argb);
        IMG_SavePNG(s, path.c_str());
        SDL_FreeSurface(s);
    }
    std::string path;
};

GpStatus Draw(Canvas& c, GpImage* image, int x, int y, int w, int h)
{
    GpGraphics* g = nullptr;
    EXPECT_EQ(GdipCreateFromHDC(c.dc, &g), Gdiplus::Ok);
    const GpStatus status = GdipDrawImageRectI(g, image, x, y, w, h);
    GdipDeleteGraphics(g);
    return status;
}

void DrawOnce(Canvas& c, const std::string& path, int x, int y, int w, int h)
{
    auto* image = new GpImage;
    image->path = path;
    EXPECT_EQ(Draw(c, image, x, y, w, h), Gdiplus::Ok);
    GdipDisposeImage(image);
}

const auto IsRed = [](Uint32 rgb) { return rgb == 0xFF0000; };
const auto NotWhite = [](Uint32 rgb) { return rgb != 0xFFFFFF; };
} // namespace

TEST(ImagingDraw, SolidPictureFillsExactlyTheRectangleAndAlphaBlends)
{
    const PictureFile small(40, 30, 0xFFFF0000);
    // Larger than the bitmap: reduced when decoded, and still one colour edge to edge.
    const PictureFile large(1600, 1200, 0xFFFF0000);
    // The picture drawn at x, y, width, height, and the box it fills in the 200 x 150 bitmap.
    const std::tuple<const char*, const std::string&, RECT, RECT> rows[] = {
        {"enlarged", small.path, {10, 20, 80, 60}, {10, 20, 90, 80}},
        {"aspect as given", small.path, {5, 5, 190, 10}, {5, 5, 195, 15}},
        {"one pixel", small.path, {7, 9, 1, 1}, {7, 9, 8, 10}},
        {"reduced", large.path, {30, 30, 101, 77}, {30, 30, 131, 107}},
        {"past the top-left corner", large.path, {-50, -40, 100, 80}, {0, 0, 50, 40}},
        {"past the bottom-right corner", small.path, {150, 120, 100, 100}, {150, 120, 200, 150}},
    };
    for (const auto& [name, path, at, box] : rows) {
        SCOPED_TRACE(name);
        Canvas c(200, 150);
        DrawOnce(c, path, at.left, at.top, at.right, at.bottom);
        const auto edges = [](RECT b) { return std::tuple(b.left, b.top, b.right, b.bottom); };
        EXPECT_EQ(edges(c.BoxOf(IsRed)), edges(box));
        // Nothing but red and the untouched white background.
        EXPECT_EQ(c.BoxOf([](Uint32 p) { return p != 0xFF0000 && p != 0xFFFFFF; }).right, 0);
    }

    const PictureFile half(8, 8, 0x80FF0000);
    Canvas c(20, 20);
    DrawOnce(c, half.path, 0, 0, 16, 16);
    const Uint32 p = c.At(8, 8);
    EXPECT_EQ(p >> 16, 0xFFu);
    EXPECT_NEAR(static_cast<int>(p >> 8 & 0xFF), 127, 2);
    EXPECT_NEAR(static_cast<int>(p & 0xFF), 127, 2);

    // A faint grey box around every cut-out picture is what a rounding slip here looks like.
    // (A wholly transparent picture shows nothing at all and counts as not decoding.)
    const PictureFile clear(8, 8, 0x00000000, 0xFFFFFFFF);
    Canvas white(20, 20);
    DrawOnce(white, clear.path, 2, 2, 16, 16);
    EXPECT_EQ(white.BoxOf(NotWhite).right, 0);
}

TEST(ImagingDraw, DisposedPictureIsNotDrawnFromTheCache)
{
    // A new picture may be given the address of a disposed one; its own pixels must show.
    const PictureFile red(4, 4, 0xFFFF0000), blue(4, 4, 0xFF0000FF);
    for (int round = 0; round < 4; ++round) {
        Canvas c(10, 10);
        DrawOnce(c, round % 2 ? blue.path : red.path, 0, 0, 10, 10);
        EXPECT_EQ(c.At(5, 5), round % 2 ? 0x0000FFu : 0xFF0000u) << "round " << round;
    }
}

TEST(ImagingDraw, UndecodablePictureDrawsNothing)
{
    testpics::TempDir tmp;
    testpics::WriteFile(tmp.path() / "garbage.png", "\x89PNG\r\n\x1a\n not really");
    Canvas c(20, 20);
    auto* image = new GpImage;
    image->path = tmp.dir() + "garbage.png";
    EXPECT_NE(Draw(c, image, 0, 0, 20, 20), Gdiplus::Ok);
    EXPECT_TRUE(ImagingDoesNotDecode(image));
    EXPECT_NE(Draw(c, image, 0, 0, 20, 20), Gdiplus::Ok);
    EXPECT_EQ(c.BoxOf(NotWhite).right, 0);
    GdipDisposeImage(image);

    GpGraphics* g = reinterpret_cast<GpGraphics*>(1);
    EXPECT_NE(GdipCreateFromHDC(nullptr, &g), Gdiplus::Ok);
    EXPECT_EQ(g, nullptr);
    EXPECT_NE(GdipDrawImageRectI(nullptr, nullptr, 0, 0, 1, 1), Gdiplus::Ok);
}

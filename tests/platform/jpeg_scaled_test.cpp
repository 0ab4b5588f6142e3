// The reduced JPEG decode chooses the smallest of 1/1, 1/2, 1/4 and 1/8 of a photo that still
// covers the size it will be drawn at: one pixel short of a scale must take the next larger.
#include "platform/jpeg_scaled.h"
#include "support/test_pictures.h"

#include <SDL_image.h>
#include <gtest/gtest.h>

TEST(JpegScaled, DecodesAtTheSmallestScaleThatStillCovers)
{
    testpics::TempDir dir;
    const std::string path = dir.dir() + "photo.jpg";
    SDL_Surface* photo = SDL_CreateRGBSurfaceWithFormat(0, 800, 600, 32, SDL_PIXELFORMAT_RGB888);
    ASSERT_NE(photo, nullptr);
    SDL_FillRect(photo, nullptr, 0x336699);
    ASSERT_EQ(IMG_SaveJPG(photo, path.c_str(), 90), 0);
    SDL_FreeSurface(photo);
    const struct {
        int fitW, fitH, w, h;
    } rows[] = {
        {100, 75, 100, 75},   {101, 75, 200, 150},  {100, 76, 200, 150},    {200, 150, 200, 150},
        {400, 300, 400, 300}, {401, 300, 800, 600}, {1920, 1080, 800, 600}, {1, 1, 100, 75},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << r.fitW << "x" << r.fitH);
        SDL_Surface* s = tappy::LoadJpegCovering(path.c_str(), r.fitW, r.fitH);
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(s->w, r.w);
        EXPECT_EQ(s->h, r.h);
        SDL_FreeSurface(s);
    }
    EXPECT_EQ(tappy::LoadJpegCovering((dir.dir() + "missing.jpg").c_str(), 10, 10), nullptr);
}

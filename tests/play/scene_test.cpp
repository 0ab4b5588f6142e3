#include "play/scene.h"

#include <gtest/gtest.h>

#include <array>

TEST(Scene, WorkedLayoutsBitForBit)
{
    const struct {
        int screenW, screenH;
        UINT pictureW, pictureH;
        int total;
        std::array<int, 4> expected; // x, y, width, height
    } rows[] = {
        // The pulse over one cycle, 1024 x 768 with a 400 x 300 picture.
        {1024, 768, 400, 300, 0, {309, 182, 405, 304}},
        {1024, 768, 400, 300, 20, {205, 104, 613, 459}},
        {1024, 768, 400, 300, 39, {106, 30, 810, 608}},
        {1024, 768, 400, 300, 40, {106, 30, 810, 608}},
        {1024, 768, 400, 300, 60, {210, 107, 602, 452}},
        {1024, 768, 400, 300, 79, {309, 182, 405, 304}},
        {1024, 768, 400, 300, 80, {309, 182, 405, 304}},
        {1280, 1024, 640, 480, 0, {352, 246, 576, 432}},
        {1280, 1024, 640, 480, 39, {64, 30, 1152, 864}},
        {1024, 768, 300, 600, 39, {360, 30, 304, 608}},
        // drawH is 219.99999999999997 and is cut, not rounded.
        {800, 600, 1600, 1200, 0, {253, 140, 293, 219}},
        // A picture the size of the box fills it at the top of the pulse, half of it at t = 0.
        {1024, 768, 964, 608, 39, {30, 30, 964, 608}},
        {1024, 768, 964, 608, 0, {271, 182, 482, 304}},
        // Square on a wide screen: height limits (9.2 x 100 is 919.99...); very wide: width.
        {1920, 1080, 100, 100, 40, {500, 30, 919, 919}},
        {1920, 1080, 1000, 10, 40, {30, 480, 1860, 18}},
        // Nothing to draw: no picture size, or a box empty across or turned upside down.
        {1024, 768, 0, 300, 39, {30, 30, 0, 0}},
        {1024, 768, 400, 0, 39, {30, 30, 0, 0}},
        {60, 768, 400, 300, 39, {30, 30, 0, 0}},
        {1024, 100, 400, 300, 39, {30, 30, 0, 0}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << r.screenW << "x" << r.screenH << " picture "
                                        << r.pictureW << "x" << r.pictureH << " total " << r.total);
        const PictureRect got = ComputePictureRect(PictureBox(RECT{0, 0, r.screenW, r.screenH}),
                                                   r.pictureW, r.pictureH, r.total);
        EXPECT_EQ((std::array{got.x, got.y, got.width, got.height}), r.expected);
    }
}

#pragma once
// The scene's picture arithmetic, pure: where the picture goes for a screen, a picture size and
// a held-key total. Double precision, one rounding per operation, truncation toward zero.
#include "platform/win_types.h"

struct PictureRect {
    int x, y, width, height;
};

// box is the picture box (screen shrunk by 30, bottom raised by 100 more).
RECT PictureBox(const RECT& screen);
PictureRect ComputePictureRect(const RECT& box, UINT pictureWidth, UINT pictureHeight,
                               int repeatTotal);

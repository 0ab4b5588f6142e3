#pragma once
// The bounding box (right/bottom exclusive) of the pixels in area for which keep(at(x, y))
// holds; all zero when there are none. at reads one pixel, in whatever form the test has it.
#include "platform/win_types.h"

#include <algorithm>

template <class At, class Keep> RECT BoxOf(At at, Keep keep, RECT area)
{
    RECT box{area.right, area.bottom, area.left, area.top};
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            if (keep(at(x, y))) {
                box.left = std::min<LONG>(box.left, x);
                box.top = std::min<LONG>(box.top, y);
                box.right = std::max<LONG>(box.right, x + 1);
                box.bottom = std::max<LONG>(box.bottom, y + 1);
            }
    return box.right <= box.left ? RECT{0, 0, 0, 0} : box;
}

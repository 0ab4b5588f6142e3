#include "platform/runtime.h"

#include <gtest/gtest.h>

TEST(Rand, CoversTheFifteenBitRangeAndNothingElse)
{
    crt::srand(12345);
    int lo = 32767, hi = 0;
    for (int i = 0; i < 2'000'000; ++i)
        std::tie(lo, hi) = std::minmax({lo, hi, crt::rand()});
    EXPECT_EQ(std::pair(lo, hi), std::pair(0, 32767));
}

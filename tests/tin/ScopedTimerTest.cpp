#include "tin/ScopedTimer.h"

#include <gtest/gtest.h>

using osgTAVRI::ScopedTimer;

TEST(ScopedTimer, ElapsedTimeFormats)
{
    EXPECT_EQ(ScopedTimer::formatElapsed(0.0), "0.00 s");
    EXPECT_EQ(ScopedTimer::formatElapsed(12.344), "12.34 s");
    // A whole minute or hour only counts once it is exceeded.
    EXPECT_EQ(ScopedTimer::formatElapsed(60.0), "60.00 s");
    EXPECT_EQ(ScopedTimer::formatElapsed(60.5), "1 m, 0 s");
    EXPECT_EQ(ScopedTimer::formatElapsed(125.9), "2 m, 5 s");
    EXPECT_EQ(ScopedTimer::formatElapsed(3600.0), "60 m, 0 s");
    EXPECT_EQ(ScopedTimer::formatElapsed(3601.0), "1 h, 0 m, 1 s");
    EXPECT_EQ(ScopedTimer::formatElapsed(2 * 3600.0 + 61.7), "2 h, 1 m, 1 s");
    // Inside an hour that was exceeded, a remainder of exactly 60 s is not a minute.
    EXPECT_EQ(ScopedTimer::formatElapsed(3660.0), "1 h, 0 m, 60 s");
}

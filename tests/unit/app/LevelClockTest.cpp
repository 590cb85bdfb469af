#include <gtest/gtest.h>

#include "app/LevelClock.h"

namespace vantor {
namespace {

TEST(LevelClockTest, CountsFromTheLevelStartAndNeverGoesBackPastIt) {
    platform::ManualClock source(4000000000u);  // wraps during the test
    LevelClock clock(source);
    source.advance(500000000u);
    EXPECT_EQ(clock.nowMs(), 500000000u);
    clock.fastForward(1000);
    EXPECT_EQ(clock.nowMs(), 500001000u);
    clock.fastForward(-1000);
    EXPECT_EQ(clock.nowMs(), 500000000u);
    clock.fastForward(-2000000000);  // further back than the level is old
    EXPECT_EQ(clock.nowMs(), 0u);
    source.advance(20);
    clock.restart();
    EXPECT_EQ(clock.nowMs(), 0u);
}

}  // namespace
}  // namespace vantor

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "core/Numbers.h"

namespace vantor {
namespace {

TEST(NumbersTest, ScriptNumbersTruncateTowardZeroAndSaturateAndNaNReadsAsZero) {
    EXPECT_EQ(truncateToInt(2.9), 2);
    EXPECT_EQ(truncateToInt(-2.9), -2);
    EXPECT_EQ(truncateToInt(std::nan("")), 0);
    EXPECT_EQ(truncateToInt(1e300), std::numeric_limits<int>::max());
    EXPECT_EQ(truncateToInt(-INFINITY), std::numeric_limits<int>::min());
    EXPECT_EQ(truncateTo<int64_t>(-4294967296.5), -4294967296);
    EXPECT_EQ(boundedFloat(std::nan("")), 0.0f);
    EXPECT_EQ(boundedFloat(INFINITY), 1e9f);
    EXPECT_EQ(boundedFloat(-3.5), -3.5f);
}

}  // namespace
}  // namespace vantor

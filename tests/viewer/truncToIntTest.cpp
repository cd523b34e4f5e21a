#include "viewer/viewState.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

TEST(TruncToInt, TruncatesTowardZeroAndIsTotal)
{
    struct Case {
        const char* name;
        double value;
        std::int64_t expected;
    };
    const double inf = std::numeric_limits<double>::infinity();
    const Case cases[] = {
        {"positive fraction", 126.25, 126},
        {"negative fraction", -2.9, -2},
        {"just below one", 0.9999999, 0},
        {"nan", std::nan(""), 0},
        {"+inf", inf, INT64_MAX},
        {"-inf", -inf, INT64_MIN},
        {"2^63", 9223372036854775808.0, INT64_MAX},
        {"-2^63", -9223372036854775808.0, INT64_MIN},
        {"largest double below 2^63", 9223372036854774784.0, 9223372036854774784},
        {"1e300", 1e300, INT64_MAX},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(truncToInt(c.value), c.expected);
    }
}

TEST(TruncToInt, Low32KeepsTheLowBits)
{
    EXPECT_EQ(low32(0x1'0000'0005), 5);
    EXPECT_EQ(low32(0xFFFF'FFFF), -1);
    EXPECT_EQ(low32(-1), -1);
    EXPECT_EQ(low32(std::int64_t(1) << 31), INT32_MIN);
}

TEST(TolerantLessThan, ShortfallsUpTo1e7CountAsEqual)
{
    EXPECT_FALSE(lessThan(1.0 - 1e-8, 1.0));
    EXPECT_TRUE(lessThan(1.0 - 1e-6, 1.0));
    EXPECT_FALSE(lessThan(2.0, 1.0));
    EXPECT_TRUE(lessThan(431.0, 432.0));
    EXPECT_FALSE(lessThan(432.0, 432.0));
}

#include "widgets/Kpconst.h"
#include "widgets/Minmax.h"

#include <gtest/gtest.h>
#include <stdexcept>
#include <vector>

using namespace kelpa::widgets;

TEST(Minmax, PairsAndSwaps)
{
    struct Case {
        int a, b, max, min;
    };
    for (const Case &c : {Case{3, 3, 3, 3}, Case{-1, 0, 0, -1}, Case{0, -1, 0, -1},
                          Case{7, 2, 7, 2}, Case{INT_MIN, INT_MAX, INT_MAX, INT_MIN}}) {
        EXPECT_EQ(Max(c.a, c.b), c.max) << c.a << "," << c.b;
        EXPECT_EQ(Min(c.a, c.b), c.min) << c.a << "," << c.b;
    }
    int a = 1, b = 2;
    SwapInt(a, b);
    EXPECT_EQ(a, 2);
    EXPECT_EQ(b, 1);
    std::int32_t la = -5, lb = 9;
    SwapLong(la, lb);
    EXPECT_EQ(la, 9);
    EXPECT_EQ(lb, -5);
}

TEST(Minmax, Arrays)
{
    const std::vector<int> ints{4, -2, 9, 9, -2};
    EXPECT_EQ(MaxInteger(ints), 9);
    EXPECT_EQ(MinInteger(ints), -2);
    EXPECT_EQ(MaxInteger(std::vector<int>{5}), 5);
    EXPECT_EQ(MinInteger(std::vector<int>{5}), 5);

    const std::vector<long double> floats{0.5L, -1.25L, 3.0L};
    EXPECT_EQ(MaxFloat(floats), 3.0L);
    EXPECT_EQ(MinFloat(floats), -1.25L);

    const QDateTime early(QDate(2001, 1, 1), QTime(8, 0));
    const QDateTime late(QDate(2001, 1, 1), QTime(9, 0));
    const std::vector<QDateTime> dates{early, late};
    EXPECT_EQ(MaxDateTime(dates), late);
    EXPECT_EQ(MinDateTime(dates), early);
}

TEST(Minmax, VariantsKeepTheFirstOfEquals)
{
    // 2 and 2.0 compare equal: the first stays, with its own type.
    const std::vector<QVariant> equal{QVariant(2), QVariant(2.0)};
    EXPECT_EQ(MaxOf(equal).typeId(), QMetaType::Int);
    EXPECT_EQ(MinOf(equal).typeId(), QMetaType::Int);

    const std::vector<QVariant> mixed{QVariant(3), QVariant(7.5), QVariant(-1)};
    EXPECT_EQ(MaxOf(mixed), QVariant(7.5));
    EXPECT_EQ(MinOf(mixed), QVariant(-1));
    EXPECT_EQ(MaxOf(std::vector<QVariant>{QVariant(QStringLiteral("b")),
                                          QVariant(QStringLiteral("c"))}),
              QVariant(QStringLiteral("c")));
}

TEST(Minmax, EmptyArraysAreRefused)
{
    EXPECT_THROW(MaxInteger(std::vector<int>{}), std::invalid_argument);
    EXPECT_THROW(MinFloat(std::vector<long double>{}), std::invalid_argument);
    EXPECT_THROW(MaxDateTime(std::vector<QDateTime>{}), std::invalid_argument);
    EXPECT_THROW(MinOf(std::vector<QVariant>{}), std::invalid_argument);
}

TEST(Kpconst, StringTable)
{
    EXPECT_EQ(LoadStr(61257), QStringLiteral("Function not yet implemented"));
    EXPECT_EQ(LoadStr(61254), QStringLiteral("Details"));
    EXPECT_EQ(LoadStr(61264), QStringLiteral("Browse"));
    EXPECT_EQ(LoadStr(61263), QStringLiteral("All files (*.*)|*.*"));
    EXPECT_TRUE(LoadStr(61253).isEmpty());
    EXPECT_TRUE(LoadStr(61265).isEmpty());
}

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "core/error.h"
#include "util/calendar.h"

namespace korvex {
namespace {

// 2024-01-01 is a Monday.
const datetime monday(2024, 1, 1);

datetime day(int offset)
{
    datetime d = monday;
    d += offset;
    return d;
}

TEST(Calendar, WeekendsAndHolidaysAreNotBusinessDays)
{
    const calendar cal(true, {day(2), day(2), day(5) /* Saturday */});
    EXPECT_TRUE(cal.is_business_day(day(0)));
    EXPECT_FALSE(cal.is_business_day(day(2)));
    EXPECT_FALSE(cal.is_business_day(day(5)));
    EXPECT_FALSE(cal.is_business_day(day(6)));
    datetime afternoon = day(2);
    afternoon += 0.6;
    EXPECT_TRUE(cal.is_holiday(afternoon));
    EXPECT_EQ(cal.holidays().size(), 2u);  // duplicates removed

    const calendar all_days(false, {day(2)});
    EXPECT_TRUE(all_days.is_business_day(day(5)));
    EXPECT_FALSE(all_days.is_business_day(day(2)));
}

TEST(Calendar, InitializeNormalisesHolidays)
{
    calendar cal;
    datetime late = day(3);
    late += 0.9;
    cal.set_holidays({day(10), late, day(3)});
    cal.set_use_weekends(false);
    cal.initialize();
    ASSERT_EQ(cal.holidays().size(), 2u);
    EXPECT_EQ(cal.holidays()[0], day(3));
    EXPECT_EQ(cal.holidays()[1], day(10));
    EXPECT_FALSE(cal.use_weekends());
}

TEST(Calendar, NonFiniteHolidaysAreRefused)
{
    try {
        calendar(true, {datetime()});
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(e.message(), "calendar holiday NaN is not a finite date");
        EXPECT_STREQ(e.location().file, "Foundation/util/calendar");
    }
}

TEST(Calendar, RollsAndAdvances)
{
    const calendar cal(true, {day(4) /* Friday */, day(7) /* next Monday */});
    EXPECT_EQ(cal.following(day(4)), day(8));
    EXPECT_EQ(cal.preceding(day(7)), day(3));
    EXPECT_EQ(cal.advance(day(3), 1), day(8));
    EXPECT_EQ(cal.advance(day(8), -1), day(3));
    EXPECT_EQ(cal.advance(day(0), 5), day(9));
    EXPECT_EQ(cal.advance(day(5), 0), day(8));
    EXPECT_TRUE(std::isnan(cal.following(datetime()).as_float()));
}

// The closed-form count (whole weeks plus the rest) against a day-by-day walk.
TEST(Calendar, BusinessDayCountsMatchADayByDayWalk)
{
    std::mt19937 random(7);
    std::vector<datetime> holidays;
    for (int i = 0; i < 40; ++i)
        holidays.push_back(day(static_cast<int>(random() % 400)));
    for (const bool weekends : {true, false}) {
        const calendar cal(weekends, holidays);
        for (int trial = 0; trial < 300; ++trial) {
            const int a = static_cast<int>(random() % 420) - 10;
            const int b = static_cast<int>(random() % 420) - 10;
            long walk = 0;
            for (int d = std::min(a, b); d < std::max(a, b); ++d)
                walk += cal.is_business_day(day(d)) ? 1 : 0;
            if (b < a)
                walk = -walk;
            ASSERT_EQ(cal.business_days_between(day(a), day(b)), walk) << a << " " << b;
        }
    }
}

}  // namespace
}  // namespace korvex

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <random>
#include <vector>

#include "core/error.h"
#include "math/failure_expectation.h"
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

SourceLocation calendar_site(const char* function, int line)
{
    return {function, "Foundation/util/calendar", line};
}

// Calendars serve the years 1 to 9999. Far dates used to be clamped to a day number that a
// step could not change, so rolling them never ended.
TEST(Calendar, FarDatesAreRefusedInsteadOfRollingForever)
{
    const calendar weekends;
    const std::string far_past = "serial date -1e+16 is outside the years 1 to 9999";
    testing::expect_failure([&] { weekends.preceding(datetime(-1e16)); },
                            calendar_site("preceding", 92), far_past);
    testing::expect_failure([&] { weekends.advance(datetime(-1e16), -1); },
                            calendar_site("advance", 114), far_past);
    testing::expect_failure([] { calendar(false, {datetime(1e15)}).following(datetime(2e15)); },
                            calendar_site("following", 84),
                            "serial date 2e+15 is outside the years 1 to 9999");
    EXPECT_TRUE(std::isinf(weekends.advance(datetime(HUGE_VAL), 3).as_float()));
}

TEST(Calendar, RollsThatWouldLeaveTheRangeAreRefused)
{
    const datetime last_day(9999, 12, 31);  // a Friday
    const datetime first_day(1, 1, 1);      // a Monday
    const calendar closed_at_the_ends(true, {last_day, first_day});
    testing::expect_failure([&] { closed_at_the_ends.following(datetime(9999, 12, 31)); },
                            calendar_site("roll", 102),
                            "no business day from 9999-12-31 on within the years 1 to 9999");
    testing::expect_failure([&] { closed_at_the_ends.preceding(first_day); },
                            calendar_site("roll", 102),
                            "no business day from 0001-01-01 back within the years 1 to 9999");
    EXPECT_EQ(closed_at_the_ends.advance(datetime(9999, 12, 29), 1), datetime(9999, 12, 30));
    testing::expect_failure([&] { closed_at_the_ends.advance(datetime(9999, 12, 29), 2); },
                            calendar_site("advance", 126),
                            "advancing 2 business days from 9999-12-29 leaves the years 1 to 9999");
    for (const long n : {LONG_MIN, LONG_MAX, -3652060L})
        testing::expect_failure([&] { closed_at_the_ends.advance(last_day, n); },
                                calendar_site("advance", 120),
                                "advancing " + std::to_string(n) +
                                    " business days from 9999-12-31 leaves the years 1 to 9999");
}

TEST(Calendar, QueriesRefuseDatesOutsideTheRange)
{
    const calendar weekends;
    testing::expect_failure([&] { weekends.business_days_between(datetime(), monday); },
                            calendar_site("business_days_between", 155),
                            "serial date nan is outside the years 1 to 9999");
    testing::expect_failure([&] { weekends.is_business_day(datetime(3e6)); },
                            calendar_site("is_business_day", 66),
                            "serial date 3e+06 is outside the years 1 to 9999");
    testing::expect_failure([&] { weekends.is_holiday(datetime(-HUGE_VAL)); },
                            calendar_site("is_holiday", 60),
                            "serial date -inf is outside the years 1 to 9999");
    // Over the whole range: 521722 weeks and Monday to Thursday of 0001-01-01 on (the end
    // day, a Friday, is not counted).
    EXPECT_EQ(weekends.business_days_between(datetime(1, 1, 1), datetime(9999, 12, 31)),
              2608614);
}

}  // namespace
}  // namespace korvex

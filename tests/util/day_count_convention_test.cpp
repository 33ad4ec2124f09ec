#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "core/error.h"
#include "math/failure_expectation.h"
#include "util/day_count_convention.h"

namespace korvex {
namespace {

struct fraction_case
{
    const char* name;
    day_count_convention_type type;
    datetime from, to;
    double expected;
};

std::ostream& operator<<(std::ostream& out, const fraction_case& c) { return out << c.name; }

class HandComputedFractions : public ::testing::TestWithParam<fraction_case>
{
};

TEST_P(HandComputedFractions, MatchAndAreSigned)
{
    const fraction_case c = GetParam();
    const day_count_convention convention(c.type);
    EXPECT_DOUBLE_EQ(convention.fraction(c.from, c.to), c.expected);
    EXPECT_DOUBLE_EQ(convention.fraction(c.to, c.from), -c.expected);
    EXPECT_EQ(convention.fraction(c.from, c.from), 0.0);
}

datetime at(int y, int m, int d, double hours = 0)
{
    datetime t(y, m, d);
    t += hours / 24.0;
    return t;
}

INSTANTIATE_TEST_SUITE_P(
    Conventions, HandComputedFractions,
    ::testing::Values(
        fraction_case{"act365_half_year", act_365_fixed, at(2024, 1, 1), at(2024, 7, 1), 182.0 / 365},
        fraction_case{"act365_time_of_day", act_365_fixed, at(2024, 1, 1), at(2024, 1, 1, 12), 0.5 / 365},
        fraction_case{"act360", act_360, at(2024, 1, 1), at(2024, 7, 1), 182.0 / 360},
        fraction_case{"thirty360_both_month_ends", thirty_360, at(2024, 1, 31), at(2024, 3, 31), 60.0 / 360},
        fraction_case{"thirty360_end_31_kept", thirty_360, at(2024, 2, 28), at(2024, 3, 31), 33.0 / 360},
        fraction_case{"thirty360_years", thirty_360, at(2020, 6, 15), at(2024, 9, 10), (4 * 360 + 90 - 5) / 360.0},
        fraction_case{"actact_across_year", act_act_isda, at(2023, 7, 1), at(2024, 7, 1), 184.0 / 365 + 182.0 / 366},
        fraction_case{"actact_same_leap_year", act_act_isda, at(2024, 1, 1), at(2024, 12, 31), 365.0 / 366},
        fraction_case{"actact_three_years", act_act_isda, at(2022, 12, 1), at(2025, 2, 1), 31.0 / 365 + 2 + 31.0 / 365},
        fraction_case{"bus252_two_weeks", business_252, at(2024, 1, 1), at(2024, 1, 15), 10.0 / 252}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(DayCountConvention, DefaultIsActual365Fixed)
{
    const day_count_convention convention;
    EXPECT_EQ(convention.type(), act_365_fixed);
    EXPECT_EQ(convention.holiday_calendar(), nullptr);
    EXPECT_DOUBLE_EQ(convention.fraction(datetime(0.0), datetime(730.0)), 2.0);
}

TEST(DayCountConvention, Business252UsesItsCalendar)
{
    auto holidays = std::make_shared<const calendar>(
        true, std::vector<datetime>{datetime(2024, 1, 1), datetime(2024, 1, 6) /* Saturday */});
    const day_count_convention convention(business_252, holidays);
    EXPECT_DOUBLE_EQ(convention.fraction(datetime(2024, 1, 1), datetime(2024, 1, 15)), 9.0 / 252);
    EXPECT_EQ(convention.holiday_calendar(), holidays);
}

TEST(DayCountConvention, ReadersFillThenInitialize)
{
    day_count_convention convention;
    convention.set_type(act_360);
    convention.set_calendar(std::make_shared<const calendar>());
    EXPECT_NO_THROW(convention.initialize());
    EXPECT_DOUBLE_EQ(convention.fraction(datetime(0.0), datetime(36.0)), 0.1);

    convention.set_type(static_cast<day_count_convention_type>(17));
    try {
        convention.initialize();
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(e.message(), "unknown day count convention type 17");
        EXPECT_STREQ(e.location().file, "Foundation/util/day_count_convention");
    }
    EXPECT_THROW(day_count_convention(static_cast<day_count_convention_type>(-1)), Error);
}

TEST(DayCountConvention, NonFiniteDatesGiveNonFiniteFractions)
{
    for (const auto type : {act_365_fixed, act_360, thirty_360, act_act_isda, business_252}) {
        const day_count_convention convention(type);
        EXPECT_FALSE(std::isfinite(convention.fraction(datetime(), datetime(2024, 1, 1))));
        EXPECT_FALSE(std::isfinite(convention.fraction(datetime(2024, 1, 1), datetime(HUGE_VAL))));
    }
}

// Conventions that read calendar fields serve the years 1 to 9999: dates far outside used
// to overflow the year and give silently wrong fractions.
TEST(DayCountConvention, CalendarFieldConventionsRefuseDatesOutsideTheYears1To9999)
{
    const SourceLocation where{"forward_fraction", "Foundation/util/day_count_convention", 82};
    const datetime first(1, 1, 1);
    const datetime end_of_range(2958466.0);  // 10000-01-01, the first instant outside
    datetime last_instant = end_of_range;
    last_instant += -1e-6;
    for (const auto type : {thirty_360, act_act_isda, business_252}) {
        const day_count_convention convention(type);
        testing::expect_failure([&] { convention.fraction(datetime(-1e15), datetime(1e11)); },
                                where, "serial date -1e+15 is outside the years 1 to 9999");
        testing::expect_failure([&] { convention.fraction(datetime(2024, 1, 1), end_of_range); },
                                where, "serial date 2958466 is outside the years 1 to 9999");
        testing::expect_failure(
            [&] { convention.fraction(datetime(first.as_float() - 0.5), first); }, where,
            "serial date -693593.5 is outside the years 1 to 9999");
        EXPECT_NO_THROW(convention.fraction(first, last_instant));
    }
    EXPECT_DOUBLE_EQ(day_count_convention(thirty_360).fraction(first, datetime(9999, 12, 31)),
                     (360.0 * 9998 + 30 * 11 + 30) / 360);
    EXPECT_DOUBLE_EQ(day_count_convention(act_act_isda).fraction(first, datetime(9999, 12, 31)),
                     9998 + 364.0 / 365);
}

// Actual-day conventions are differences of serial values and serve every date.
TEST(DayCountConvention, ActualDayConventionsServeEveryDate)
{
    EXPECT_DOUBLE_EQ(day_count_convention(act_365_fixed).fraction(datetime(2024, 1, 1), datetime(1e15)),
                     (1e15 - 45292) / 365);
    EXPECT_DOUBLE_EQ(day_count_convention(act_360).fraction(datetime(-1e15), datetime(1e11)),
                     (1e11 + 1e15) / 360);
}

}  // namespace
}  // namespace korvex

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

#include "core/error.h"
#include "util/datetime.h"

namespace korvex {
namespace {

struct known_serial
{
    int year, month, day;
    double serial;
    int weekday;
};

class KnownSerials : public ::testing::TestWithParam<known_serial>
{
};

// Serial numbers as spreadsheets count them (valid from 1900-03-01 on) and known weekdays.
TEST_P(KnownSerials, MatchTheCivilCalendar)
{
    const known_serial k = GetParam();
    const datetime d(k.year, k.month, k.day);
    EXPECT_EQ(d.as_float(), k.serial);
    EXPECT_EQ(d.year(), k.year);
    EXPECT_EQ(d.month(), k.month);
    EXPECT_EQ(d.day(), k.day);
    EXPECT_EQ(d.weekday(), k.weekday);
}

INSTANTIATE_TEST_SUITE_P(
    Dates, KnownSerials,
    ::testing::Values(known_serial{1899, 12, 30, 0, 5}, known_serial{1899, 12, 31, 1, 6},
                      known_serial{1900, 3, 1, 61, 3}, known_serial{1970, 1, 1, 25569, 3},
                      known_serial{2000, 2, 29, 36585, 1}, known_serial{2024, 1, 1, 45292, 0},
                      known_serial{2024, 12, 25, 45651, 2}, known_serial{2100, 3, 1, 73110, 0},
                      known_serial{1800, 1, 1, -36522, 2}));

TEST(Datetime, CivilFieldsRoundTripOverFourCenturies)
{
    for (long serial = -80000; serial < 200000; serial += 1) {
        const datetime d(static_cast<double>(serial) + 0.75);
        const datetime back(d.year(), d.month(), d.day());
        ASSERT_EQ(back.as_float(), static_cast<double>(serial)) << serial;
        ASSERT_EQ(d.day_number(), serial);
    }
}

TEST(Datetime, InvalidDaysAreRefused)
{
    for (const auto& [y, m, d] : {std::tuple{2023, 2, 29}, std::tuple{2024, 13, 1},
                                  std::tuple{2024, 0, 1}, std::tuple{2024, 4, 31},
                                  std::tuple{1900, 2, 29}, std::tuple{2024, 1, 0}}) {
        try {
            datetime(y, m, d);
            ADD_FAILURE() << y << "-" << m << "-" << d;
        } catch (const Error& e) {
            EXPECT_STREQ(e.location().file, "Foundation/util/datetime");
            EXPECT_NE(e.message().find("invalid date"), std::string::npos);
        }
    }
    EXPECT_NO_THROW(datetime(2000, 2, 29));
}

TEST(Datetime, ArithmeticAndComparisonUseTheSerial)
{
    datetime d(2024, 1, 31);
    d += 1.5;
    EXPECT_EQ(d.as_float(), 45323.5);
    EXPECT_EQ(static_cast<double>(d), 45323.5);
    EXPECT_EQ(d.month(), 2);
    EXPECT_EQ(d - datetime(2024, 1, 31), 1.5);
    d = 10.0;
    EXPECT_EQ(d.as_float(), 10.0);
    EXPECT_TRUE(datetime(1.0) < datetime(2.0));
    EXPECT_FALSE(datetime(2.0) < datetime(2.0));
    EXPECT_TRUE(datetime(2.0) == datetime(2.0));
}

TEST(Datetime, DefaultIsNaNAndUnordered)
{
    const datetime nan;
    EXPECT_TRUE(std::isnan(nan.as_float()));
    EXPECT_FALSE(nan == nan);
    EXPECT_FALSE(nan < datetime(0.0));
    EXPECT_FALSE(datetime(0.0) < nan);
    EXPECT_EQ(nan.to_string(), "NaN");
}

TEST(Datetime, PrintsIsoText)
{
    EXPECT_EQ(datetime(2024, 3, 5).to_string(), "2024-03-05");
    datetime noon(2024, 3, 5);
    noon += 0.5 + 1.0 / 86400.0;
    EXPECT_EQ(noon.to_string(), "2024-03-05T12:00:01");
    EXPECT_EQ(datetime(HUGE_VAL).to_string(), "+inf");
}

// A time of day that rounds to the next midnight belongs to the next day.
TEST(Datetime, PrintsTheNextDayForTimesRoundingToMidnight)
{
    EXPECT_EQ(datetime(45292.99999999).to_string(), "2024-01-02");
    EXPECT_EQ(datetime(45291.99999999).to_string(), "2024-01-01");  // across a year's end
    EXPECT_EQ(datetime(45292.0 + 86399.0 / 86400).to_string(), "2024-01-01T23:59:59");
}

TEST(Datetime, LeapYearsAndMonthLengths)
{
    EXPECT_TRUE(datetime::is_leap_year(2000));
    EXPECT_FALSE(datetime::is_leap_year(1900));
    EXPECT_TRUE(datetime::is_leap_year(2024));
    EXPECT_FALSE(datetime::is_leap_year(2023));
    EXPECT_EQ(datetime::days_in_month(2024, 2), 29);
    EXPECT_EQ(datetime::days_in_month(2023, 2), 28);
    EXPECT_EQ(datetime::days_in_month(2023, 11), 30);
    EXPECT_EQ(datetime::days_in_month(2023, 13), 0);
}

TEST(Datetime, NonFiniteSerialsDoNotOverflowTheCalendarFields)
{
    EXPECT_NO_THROW(datetime(HUGE_VAL).weekday());
    EXPECT_NO_THROW(datetime(-HUGE_VAL).year());
    EXPECT_NO_THROW(datetime().day());
}

}  // namespace
}  // namespace korvex

#include "util/datetime.h"

#include <cmath>
#include <cstdio>
#include <limits>

#include "core/check_fail.h"

namespace korvex {

namespace {

// Serial number of 1970-01-01.
constexpr long unix_epoch_serial = 25569;

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's days_from_civil).
long days_from_civil(long y, long m, long d) noexcept
{
    y -= m <= 2 ? 1 : 0;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const long yoe = y - era * 400;
    const long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

struct civil_date
{
    long year;
    int month;
    int day;
};

civil_date civil_from_days(long z) noexcept
{
    z += 719468;
    const long era = (z >= 0 ? z : z - 146096) / 146097;
    const long doe = z - era * 146097;
    const long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long mp = (5 * doy + 2) / 153;
    const int d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    const int m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    return {yoe + era * 400 + (m <= 2 ? 1 : 0), m, d};
}

}  // namespace

datetime::datetime() noexcept : serial_(std::numeric_limits<double>::quiet_NaN()) {}

datetime::datetime(int year, int month, int day)
{
    if (month < 1 || month > 12 || day < 1 || day > days_in_month(year, month))
        details::check_fail({"datetime", "Foundation/util/datetime", __LINE__},
                            details::concat("invalid date: year ", year, ", month ", month,
                                            ", day ", day));
    serial_ = static_cast<double>(serial_of(year, month, day));
}

long datetime::serial_of(int year, int month, int day) noexcept
{
    return days_from_civil(year, month, day) + unix_epoch_serial;
}

bool datetime::is_leap_year(int year) noexcept
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int datetime::days_in_month(int year, int month) noexcept
{
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12)
        return 0;
    return month == 2 && is_leap_year(year) ? 29 : days[month - 1];
}

long datetime::day_number() const noexcept
{
    // Clamped so that non-finite or absurd serials never overflow the conversion.
    constexpr double limit = 1e15;
    if (!(serial_ > -limit))
        return static_cast<long>(-limit);
    if (!(serial_ < limit))
        return static_cast<long>(limit);
    return static_cast<long>(std::floor(serial_));
}

int datetime::year() const noexcept
{
    return static_cast<int>(civil_from_days(day_number() - unix_epoch_serial).year);
}

int datetime::month() const noexcept
{
    return civil_from_days(day_number() - unix_epoch_serial).month;
}

int datetime::day() const noexcept
{
    return civil_from_days(day_number() - unix_epoch_serial).day;
}

int datetime::weekday() const noexcept
{
    // 1970-01-01 was a Thursday (3 when Monday is 0).
    const long w = (day_number() - unix_epoch_serial + 3) % 7;
    return static_cast<int>(w < 0 ? w + 7 : w);
}

std::string datetime::to_string() const
{
    if (std::isnan(serial_))
        return "NaN";
    if (std::isinf(serial_))
        return serial_ > 0 ? "+inf" : "-inf";
    long day = day_number();
    long seconds = std::lround((serial_ - std::floor(serial_)) * 86400.0);
    if (seconds == 86400) {
        ++day;
        seconds = 0;
    }
    const civil_date c = civil_from_days(day - unix_epoch_serial);
    char text[64];
    if (seconds == 0)
        std::snprintf(text, sizeof text, "%04ld-%02d-%02d", c.year, c.month, c.day);
    else
        std::snprintf(text, sizeof text, "%04ld-%02d-%02dT%02ld:%02ld:%02ld", c.year, c.month,
                      c.day, seconds / 3600, seconds / 60 % 60, seconds % 60);
    return text;
}

}  // namespace korvex

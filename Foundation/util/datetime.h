#pragma once

#include <string>

#include "util/util_export.h"

namespace korvex {

// A point in time held as a serial day number: days since 1899-12-30 (serial 1 is
// 1899-12-31, 45292 is 2024-01-01); the fractional part is the time of day. Differences of
// serial values are in days, so `operator+=` advances by days.
//
// A default-constructed date is NaN (not a date); NaN dates compare unequal and unordered
// to everything. Calendar fields (year(), month(), day(), weekday()) use the proleptic
// Gregorian calendar and are only meaningful for finite dates.
//
// A datetime holds any double. Calendars and the day counts that read calendar fields
// (30/360, ACT/ACT ISDA, business/252) serve the years 1 to 9999: serial values from
// 0001-01-01T00:00 (first_calendar_serial) up to, not including, 10000-01-01
// (end_calendar_serial); they refuse finite dates outside with Error.
class KORVEX_UTIL_API datetime
{
public:
    datetime() noexcept;
    explicit datetime(double serial) noexcept : serial_(serial) {}
    // Midnight of the given day. Refuses an invalid day (month outside 1-12, day outside the
    // month) with Error.
    datetime(int year, int month, int day);

    datetime& operator=(double serial) noexcept
    {
        serial_ = serial;
        return *this;
    }

    double as_float() const noexcept { return serial_; }
    explicit operator double() const noexcept { return serial_; }

    datetime& operator+=(double days) noexcept
    {
        serial_ += days;
        return *this;
    }

    friend bool operator==(const datetime& a, const datetime& b) noexcept
    {
        return a.serial_ == b.serial_;
    }
    friend bool operator<(const datetime& a, const datetime& b) noexcept
    {
        return a.serial_ < b.serial_;
    }
    friend bool operator>(const datetime& a, const datetime& b) noexcept { return b < a; }
    friend bool operator<=(const datetime& a, const datetime& b) noexcept
    {
        return a.serial_ <= b.serial_;
    }
    friend bool operator>=(const datetime& a, const datetime& b) noexcept { return b <= a; }

    static constexpr double first_calendar_serial = -693593.0;
    static constexpr double end_calendar_serial = 2958466.0;
    bool is_in_calendar_range() const noexcept
    {
        return serial_ >= first_calendar_serial && serial_ < end_calendar_serial;
    }

    // Whole serial day (the date without its time of day).
    long day_number() const noexcept;
    int year() const noexcept;
    int month() const noexcept;
    int day() const noexcept;
    // 0 = Monday ... 6 = Sunday.
    int weekday() const noexcept;
    bool is_weekend() const noexcept { return weekday() >= 5; }

    // "YYYY-MM-DD", followed by "THH:MM:SS" when the date has a time of day rounded to the
    // second; a time that rounds to midnight prints as the next day. "NaN" for a default
    // date, "+inf" and "-inf" for infinite ones.
    std::string to_string() const;

    // Serial number of midnight of a Gregorian day, without validation.
    static long serial_of(int year, int month, int day) noexcept;
    static bool is_leap_year(int year) noexcept;
    static int days_in_month(int year, int month) noexcept;

private:
    double serial_;
};

// Days from b to a.
inline double operator-(const datetime& a, const datetime& b) noexcept
{
    return a.as_float() - b.as_float();
}

}  // namespace korvex

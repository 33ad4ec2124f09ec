#include "util/calendar.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "core/check_fail.h"

namespace korvex {

namespace {

constexpr SourceLocation holiday_location{"initialize", "Foundation/util/calendar", 20};

// Weekday of a whole serial day, 0 = Monday.
int weekday_of(long day) noexcept
{
    return datetime(static_cast<double>(day)).weekday();
}

}  // namespace

calendar::calendar(bool use_weekends, std::vector<datetime> holidays)
    : use_weekends_(use_weekends), holidays_(std::move(holidays))
{
    initialize();
}

void calendar::initialize()
{
    for (datetime& h : holidays_) {
        if (!std::isfinite(h.as_float()))
            details::check_fail(holiday_location,
                                details::concat("calendar holiday ", h.to_string(),
                                                " is not a finite date"));
        h = std::floor(h.as_float());
    }
    std::sort(holidays_.begin(), holidays_.end());
    holidays_.erase(std::unique(holidays_.begin(), holidays_.end()), holidays_.end());
}

bool calendar::is_holiday(const datetime& d) const
{
    const datetime day(static_cast<double>(d.day_number()));
    return std::binary_search(holidays_.begin(), holidays_.end(), day);
}

bool calendar::is_business_day(const datetime& d) const
{
    return !(use_weekends_ && d.is_weekend()) && !is_holiday(d);
}

datetime calendar::following(const datetime& d) const
{
    if (!std::isfinite(d.as_float()))
        return d;
    datetime day(static_cast<double>(d.day_number()));
    while (!is_business_day(day))
        day += 1.0;
    return day;
}

datetime calendar::preceding(const datetime& d) const
{
    if (!std::isfinite(d.as_float()))
        return d;
    datetime day(static_cast<double>(d.day_number()));
    while (!is_business_day(day))
        day += -1.0;
    return day;
}

datetime calendar::advance(const datetime& d, long n) const
{
    if (!std::isfinite(d.as_float()))
        return d;
    datetime day(static_cast<double>(d.day_number()));
    const double step = n >= 0 ? 1.0 : -1.0;
    for (long left = n >= 0 ? n : -n; left > 0;) {
        day += step;
        if (is_business_day(day))
            --left;
    }
    return n == 0 ? following(day) : day;
}

long calendar::weekdays_between(long first_day, long end_day) const
{
    const long days = end_day - first_day;
    if (!use_weekends_)
        return days;
    long count = days / 7 * 5;
    for (long day = first_day + days / 7 * 7; day < end_day; ++day)
        count += weekday_of(day) < 5 ? 1 : 0;
    return count;
}

long calendar::holidays_between(long first_day, long end_day) const
{
    const auto first = std::lower_bound(holidays_.begin(), holidays_.end(),
                                        datetime(static_cast<double>(first_day)));
    const auto end = std::lower_bound(first, holidays_.end(), datetime(static_cast<double>(end_day)));
    if (!use_weekends_)
        return end - first;
    return std::count_if(first, end, [](const datetime& h) { return !h.is_weekend(); });
}

long calendar::business_days_between(const datetime& d1, const datetime& d2) const
{
    const long first = d1.day_number();
    const long end = d2.day_number();
    if (end < first)
        return -business_days_between(d2, d1);
    return weekdays_between(first, end) - holidays_between(first, end);
}

}  // namespace korvex

#include "util/calendar.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "core/check_fail.h"
#include "util/calendar_range.h"

namespace korvex {

namespace {

constexpr const char* source = "Foundation/util/calendar";

// Whole days in the years 1 to 9999; no walk of business days within them can be longer.
constexpr long range_days =
    static_cast<long>(datetime::end_calendar_serial - datetime::first_calendar_serial);

datetime midnight(long day) noexcept
{
    return datetime(static_cast<double>(day));
}

// Weekday of a whole serial day, 0 = Monday.
int weekday_of(long day) noexcept
{
    return midnight(day).weekday();
}

std::string advance_text(long n, long start)
{
    return details::concat("advancing ", n, " business days from ", midnight(start).to_string(),
                           " leaves the years 1 to 9999");
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
            details::check_fail({"initialize", source, __LINE__},
                                details::concat("calendar holiday ", h.to_string(),
                                                " is not a finite date"));
        h = std::floor(h.as_float());
    }
    std::sort(holidays_.begin(), holidays_.end());
    holidays_.erase(std::unique(holidays_.begin(), holidays_.end()), holidays_.end());
}

bool calendar::is_holiday(const datetime& d) const
{
    details::require_calendar_range(d, {"is_holiday", source, __LINE__});
    return is_holiday_on(d.day_number());
}

bool calendar::is_business_day(const datetime& d) const
{
    details::require_calendar_range(d, {"is_business_day", source, __LINE__});
    return is_business_day_on(d.day_number());
}

bool calendar::is_holiday_on(long day) const
{
    return std::binary_search(holidays_.begin(), holidays_.end(), midnight(day));
}

bool calendar::is_business_day_on(long day) const
{
    return !(use_weekends_ && weekday_of(day) >= 5) && !is_holiday_on(day);
}

datetime calendar::following(const datetime& d) const
{
    if (!std::isfinite(d.as_float()))
        return d;
    details::require_calendar_range(d, {"following", source, __LINE__});
    return roll(d.day_number(), 1);
}

datetime calendar::preceding(const datetime& d) const
{
    if (!std::isfinite(d.as_float()))
        return d;
    details::require_calendar_range(d, {"preceding", source, __LINE__});
    return roll(d.day_number(), -1);
}

datetime calendar::roll(long day, long step) const
{
    const long start = day;
    while (!is_business_day_on(day)) {
        day += step;
        if (!midnight(day).is_in_calendar_range())
            details::check_fail({"roll", source, __LINE__},
                                details::concat("no business day from ", midnight(start).to_string(),
                                                step > 0 ? " on" : " back",
                                                " within the years 1 to 9999"));
    }
    return midnight(day);
}

datetime calendar::advance(const datetime& d, long n) const
{
    if (!std::isfinite(d.as_float()))
        return d;
    details::require_calendar_range(d, {"advance", source, __LINE__});
    const long start = d.day_number();
    if (n == 0)
        return roll(start, 1);
    // Refused before the count is negated, so that LONG_MIN needs no special case.
    if (n > range_days || n < -range_days)
        details::check_fail({"advance", source, __LINE__}, advance_text(n, start));
    const long step = n > 0 ? 1 : -1;
    long day = start;
    for (long left = n > 0 ? n : -n; left > 0;) {
        day += step;
        if (!midnight(day).is_in_calendar_range())
            details::check_fail({"advance", source, __LINE__}, advance_text(n, start));
        if (is_business_day_on(day))
            --left;
    }
    return midnight(day);
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
    const auto first = std::lower_bound(holidays_.begin(), holidays_.end(), midnight(first_day));
    const auto end = std::lower_bound(first, holidays_.end(), midnight(end_day));
    if (!use_weekends_)
        return end - first;
    return std::count_if(first, end, [](const datetime& h) { return !h.is_weekend(); });
}

long calendar::business_days_between(const datetime& d1, const datetime& d2) const
{
    details::require_calendar_range(d1, {"business_days_between", source, __LINE__});
    details::require_calendar_range(d2, {"business_days_between", source, __LINE__});
    const long first = d1.day_number();
    const long end = d2.day_number();
    if (end < first)
        return -business_days_between(d2, d1);
    return weekdays_between(first, end) - holidays_between(first, end);
}

}  // namespace korvex

#include "util/day_count_convention.h"

#include <cmath>
#include <limits>
#include <utility>

#include "core/check_fail.h"
#include "util/calendar_range.h"

namespace korvex {

namespace {

constexpr const char* source = "Foundation/util/day_count_convention";

double days_in_year(int year) noexcept
{
    return datetime::is_leap_year(year) ? 366.0 : 365.0;
}

double thirty_360_fraction(const datetime& from, const datetime& to)
{
    int d1 = from.day();
    int d2 = to.day();
    if (d1 == 31)
        d1 = 30;
    if (d2 == 31 && d1 == 30)
        d2 = 30;
    return (360.0 * (to.year() - from.year()) + 30.0 * (to.month() - from.month()) + (d2 - d1)) /
           360.0;
}

double act_act_isda_fraction(const datetime& from, const datetime& to)
{
    const int y1 = from.year();
    const int y2 = to.year();
    if (y1 == y2)
        return (to - from) / days_in_year(y1);
    const double end_of_first = static_cast<double>(datetime::serial_of(y1 + 1, 1, 1));
    const double start_of_last = static_cast<double>(datetime::serial_of(y2, 1, 1));
    return (end_of_first - from.as_float()) / days_in_year(y1) + (y2 - y1 - 1) +
           (to.as_float() - start_of_last) / days_in_year(y2);
}

}  // namespace

day_count_convention::day_count_convention(day_count_convention_type type,
                                           std::shared_ptr<const calendar> holidays)
    : type_(type), calendar_(std::move(holidays))
{
    initialize();
}

void day_count_convention::initialize()
{
    if (type_ < act_365_fixed || type_ > business_252)
        details::check_fail({"initialize", source, __LINE__},
                            details::concat("unknown day count convention type ",
                                            static_cast<int>(type_)));
}

double day_count_convention::fraction(const datetime& d1, const datetime& d2) const
{
    if (d2 < d1)
        return -forward_fraction(d2, d1);
    return forward_fraction(d1, d2);
}

double day_count_convention::forward_fraction(const datetime& from, const datetime& to) const
{
    switch (type_) {
    case act_365_fixed:
        return (to - from) / 365.0;
    case act_360:
        return (to - from) / 360.0;
    default:
        break;
    }
    if (!std::isfinite(from.as_float()) || !std::isfinite(to.as_float()))
        return std::numeric_limits<double>::quiet_NaN();
    for (const datetime* d : {&from, &to})
        details::require_calendar_range(*d, {"forward_fraction", source, __LINE__});
    switch (type_) {
    case thirty_360:
        return thirty_360_fraction(from, to);
    case act_act_isda:
        return act_act_isda_fraction(from, to);
    case business_252:
        return static_cast<double>(calendar_ ? calendar_->business_days_between(from, to)
                                             : calendar().business_days_between(from, to)) /
               252.0;
    default:
        return std::numeric_limits<double>::quiet_NaN();
    }
}

}  // namespace korvex

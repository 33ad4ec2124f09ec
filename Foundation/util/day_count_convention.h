#pragma once

#include <memory>

#include "util/calendar.h"
#include "util/datetime.h"
#include "util/util_export.h"

namespace korvex {

enum day_count_convention_type : int
{
    act_365_fixed = 0,  // actual days / 365 (the default)
    act_360 = 1,        // actual days / 360
    thirty_360 = 2,     // 30/360 US bond basis: day 31 becomes 30 (the end day only when the start day is 30 or 31)
    act_act_isda = 3,   // days in each calendar year / that year's length (365 or 366)
    business_252 = 4,   // business days of the calendar in [d1, d2) / 252
};

// Year fraction between two dates. `fraction(d1, d2)` is signed: fraction(d2, d1) =
// -fraction(d1, d2). Actual-day conventions count the time of day; 30/360 and
// business/252 count whole days.
//
// business/252 counts the business days of the convention's calendar; without a calendar
// it counts Monday to Friday.
//
// ACT/365 Fixed and ACT/360 are differences of serial values and serve every date. The
// conventions that read calendar fields (30/360, ACT/ACT ISDA, business/252) serve the
// years 1 to 9999 (datetime::is_in_calendar_range) and refuse a finite date outside them
// with Error. A NaN or infinite date gives a NaN or infinite fraction in every convention. An unknown type is refused with Error by the constructor
// and by initialize(), which readers call after set_type / set_calendar.
class KORVEX_UTIL_API day_count_convention
{
public:
    explicit day_count_convention(day_count_convention_type type = act_365_fixed,
                                  std::shared_ptr<const calendar> holidays = nullptr);

    day_count_convention_type type() const noexcept { return type_; }
    const std::shared_ptr<const calendar>& holiday_calendar() const noexcept { return calendar_; }

    void set_type(day_count_convention_type type) noexcept { type_ = type; }
    void set_calendar(std::shared_ptr<const calendar> holidays) { calendar_ = std::move(holidays); }
    void initialize();

    double fraction(const datetime& d1, const datetime& d2) const;

private:
    double forward_fraction(const datetime& from, const datetime& to) const;

    day_count_convention_type type_;
    std::shared_ptr<const calendar> calendar_;
};

}  // namespace korvex

#pragma once

#include <vector>

#include "util/datetime.h"
#include "util/util_export.h"

namespace korvex {

// A business-day calendar: optionally Saturdays and Sundays off, plus a list of holidays.
//
// Holidays are whole days: initialize() sorts them, reduces each to its day (dropping the
// time of day) and removes duplicates; a holiday that is not finite is refused with Error.
// Readers fill a default calendar with set_use_weekends / set_holidays and then call
// initialize(); the constructor with arguments does all of it.
//
// A calendar serves the years 1 to 9999 (datetime::is_in_calendar_range). The queries
// refuse any date outside them with Error, NaN and infinities included. The rolls return a
// non-finite date unchanged, refuse a finite date outside the years, and refuse a roll whose
// result would leave them; so every call ends after at most one walk over the range.
class KORVEX_UTIL_API calendar
{
public:
    // Weekends off, no holidays.
    calendar() = default;
    calendar(bool use_weekends, std::vector<datetime> holidays);

    bool use_weekends() const noexcept { return use_weekends_; }
    const std::vector<datetime>& holidays() const noexcept { return holidays_; }

    void set_use_weekends(bool use_weekends) noexcept { use_weekends_ = use_weekends; }
    void set_holidays(std::vector<datetime> holidays) { holidays_ = std::move(holidays); }
    void initialize();

    bool is_holiday(const datetime& d) const;
    bool is_business_day(const datetime& d) const;

    // First business day on or after d (following), or on or before d (preceding).
    datetime following(const datetime& d) const;
    datetime preceding(const datetime& d) const;
    // Moves n business days forward (n > 0) or backward (n < 0) from d; d itself need not
    // be a business day. n = 0 gives following(d). The result is midnight of its day.
    datetime advance(const datetime& d, long n) const;

    // Number of business days in [d1, d2) counted by whole days; negative when d2 is
    // before d1 (minus the count over [d2, d1)).
    long business_days_between(const datetime& d1, const datetime& d2) const;

private:
    // The same questions for a whole serial day already known to be in range.
    bool is_holiday_on(long day) const;
    bool is_business_day_on(long day) const;
    // First business day from `day` on (step 1) or back (step -1).
    datetime roll(long day, long step) const;
    long weekdays_between(long first_day, long end_day) const;
    long holidays_between(long first_day, long end_day) const;

    bool use_weekends_ = true;
    std::vector<datetime> holidays_;
};

}  // namespace korvex

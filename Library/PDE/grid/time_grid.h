#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "PDE/grid/time_grid_config.h"
#include "PDE/pde_export.h"
#include "util/datetime.h"
#include "util/day_count_convention.h"

namespace korvex {

// The ascending dates at which a PDE problem is stepped, built once from a
// `time_grid_config`, a start and an end date, the event dates and further dates that must
// be on the grid. It records the grid position of every event date, which dates are
// Rannacher dates (event_rannacher grids only) and the direction of the schemes' walk.
//
// The grid always holds `from`, `to` and every given date. A grid whose dates are all equal
// has one date. Refused with Error: a NaN or infinite date, dates whose span overflows a
// double, a negative or NaN `time_step` or `rannacher_step`, and a grid whose construction
// would make more than `max_dates` dates (refused before any date is made; far beyond any
// real grid, and small enough to build).
//
// Generated dates never pass the given date that ends their interval: the sub-steps of an
// interval are placed at start + u * h for u = 1 ... k - 1. The fine steps of a fixed_step
// grid start at its first date (the earliest given date, `from` in the usual case) and stop
// at their limit: first date + rannacher_steps * rannacher_step, or the last date if that
// comes earlier.
//
// `day_count()` is an ACT/365 Fixed convention without calendar; callers use it to turn a
// step (from(), to() of a scheme) into a year fraction.
class KORVEX_PDE_API time_grid
{
public:
    static constexpr std::size_t max_dates = 10'000'000;

    time_grid(const time_grid_config& config, const datetime& from, const datetime& to,
              const std::vector<datetime>& event_dates, const std::vector<datetime>& other_dates);

    const std::vector<datetime>& dates() const noexcept { return dates_; }
    // No range check.
    const datetime& date(std::size_t i) const noexcept { return dates_[i]; }

    const std::vector<datetime>& event_dates() const noexcept { return event_dates_; }
    std::size_t event_dates_size() const noexcept { return event_dates_.size(); }
    // Grid position of event date i; no range check.
    std::size_t event_dates_indexs(std::size_t i) const noexcept { return event_dates_indexs_[i]; }

    // False for grids without Rannacher flags and for i past the last date.
    bool is_rannacher(std::size_t i) const noexcept
    {
        return i < rannacher_.size() && rannacher_[i];
    }
    bool is_direction_forward() const noexcept { return is_direction_forward_; }
    std::size_t size() const noexcept { return size_; }
    const std::shared_ptr<const day_count_convention>& day_count() const noexcept
    {
        return day_count_;
    }

private:
    void build_fixed_step(const time_grid_config& config);
    void build_event_rannacher(const time_grid_config& config);

    datetime from_;
    std::vector<datetime> event_dates_;
    std::vector<datetime> dates_;
    std::vector<std::size_t> event_dates_indexs_;
    std::vector<bool> rannacher_;
    std::shared_ptr<const day_count_convention> day_count_;
    bool is_direction_forward_;
    std::size_t size_ = 0;
};

}  // namespace korvex

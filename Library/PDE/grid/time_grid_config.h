#pragma once

#include <cstddef>
#include <cstdint>

#include "PDE/pde_export.h"

namespace korvex {

// How a time grid is built and in which direction the schemes walk it. Steps are in the
// units of the `datetime` serial value (days).
//  - fixed_step: equal sub-steps of at most `time_step` between the given dates, and steps
//    of `rannacher_step` from the first date over `rannacher_steps` steps; no Rannacher flags.
//    With `round_dates`, every generated date is replaced by its ceiling (whole days).
//  - event_rannacher: equal sub-steps of at most `time_step` between the given dates, plus
//    `rannacher_steps` fine dates at every event date, flagged as Rannacher dates (the
//    schemes take fully implicit steps there).
// Any other type keeps only the given dates. Only `forward` (1) counts as forward.
class KORVEX_PDE_API time_grid_config
{
public:
    enum time_grid_type : std::int32_t
    {
        fixed_step = 0,
        event_rannacher = 1,
    };

    enum time_grid_direction_type : std::int32_t
    {
        backward = 0,
        forward = 1,
    };

    time_grid_config(time_grid_type type, time_grid_direction_type direction, bool round_dates,
                     double time_step, std::size_t rannacher_steps, double rannacher_step) noexcept
        : type_(type),
          direction_(direction),
          round_dates_(round_dates),
          time_step_(time_step),
          rannacher_steps_(rannacher_steps),
          rannacher_step_(rannacher_step)
    {
    }

    time_grid_type type() const noexcept { return type_; }
    time_grid_direction_type direction() const noexcept { return direction_; }
    bool round_dates() const noexcept { return round_dates_; }
    double time_step() const noexcept { return time_step_; }
    std::size_t rannacher_steps() const noexcept { return rannacher_steps_; }
    double rannacher_step() const noexcept { return rannacher_step_; }

private:
    time_grid_type type_;
    time_grid_direction_type direction_;
    bool round_dates_;
    double time_step_;
    std::size_t rannacher_steps_;
    double rannacher_step_;
};

}  // namespace korvex

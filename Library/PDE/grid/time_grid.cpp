#include "PDE/grid/time_grid.h"

#include <algorithm>
#include <cmath>
#include <map>

#include "core/check_fail.h"
#include "util/datetime_helper.h"

namespace korvex {

namespace {

constexpr const char* source = "Library/PDE/grid/time_grid";
constexpr SourceLocation date_location{"time_grid", source, 41};
constexpr SourceLocation time_step_location{"time_grid", source, 43};
constexpr SourceLocation rannacher_step_location{"time_grid", source, 44};

constexpr double eps = 2.220446049250313e-16;

void sort_unique(std::vector<datetime>& dates)
{
    std::sort(dates.begin(), dates.end());
    dates.erase(std::unique(dates.begin(), dates.end()), dates.end());
}

void check_dates(const std::vector<datetime>& dates)
{
    for (const datetime& d : dates)
        if (std::isnan(d.as_float()))
            details::check_fail(date_location, "a time grid date is NaN");
}

// Number of steps of length `step` in `span`: truncated, 0 for a negative or NaN ratio.
std::size_t step_count(double span, double step) noexcept
{
    const double ratio = span / step;
    if (!(ratio > 0.0))
        return 0;
    return ratio >= 1.8e19 ? SIZE_MAX : static_cast<std::size_t>(ratio);
}

}  // namespace

time_grid::time_grid(const time_grid_config& config, const datetime& from, const datetime& to,
                     const std::vector<datetime>& event_dates,
                     const std::vector<datetime>& other_dates)
    : from_(from),
      event_dates_(event_dates),
      day_count_(std::make_shared<const day_count_convention>(act_365_fixed)),
      is_direction_forward_(config.direction() == time_grid_config::forward)
{
    dates_.reserve(2 + event_dates.size() + other_dates.size());
    dates_.push_back(from);
    dates_.push_back(to);
    dates_.insert(dates_.end(), event_dates.begin(), event_dates.end());
    dates_.insert(dates_.end(), other_dates.begin(), other_dates.end());
    check_dates(dates_);
    KORVEX_CHECK(time_step_location, config.time_step() >= 0.0);
    KORVEX_CHECK(rannacher_step_location, config.rannacher_step() >= 0.0);
    sort_unique(dates_);

    if (config.type() == time_grid_config::fixed_step)
        build_fixed_step(config);
    else if (config.type() == time_grid_config::event_rannacher)
        build_event_rannacher(config);

    size_ = dates_.size();
    datetime_helper::index_subset_dates(event_dates_, dates_, event_dates_indexs_);
}

void time_grid::build_fixed_step(const time_grid_config& config)
{
    const double time_step = config.time_step();
    const double fine_step = config.rannacher_step();
    if (std::fabs(fine_step) < eps && std::fabs(time_step) < eps)
        return;

    const std::vector<datetime> skeleton = dates_;
    const double limit =
        std::min(skeleton.back().as_float(),
                 from_.as_float() + static_cast<double>(config.rannacher_steps()) * fine_step);
    std::vector<double> generated;
    double current = skeleton.front().as_float();

    // Fine steps from the first date up to the limit, when they fit in the first interval.
    // The last one lands on the limit, so none passes it.
    if (skeleton.size() > 1 && fine_step >= eps && limit <= skeleton[1].as_float() &&
        current < limit) {
        const double ratio = (limit - current) / fine_step;
        const std::size_t steps = step_count(std::ceil(ratio - 1e-9 * std::max(1.0, ratio)), 1.0);
        generated.reserve(steps + 1);
        const double start = current;
        for (std::size_t u = 1; u < steps; ++u)
            generated.push_back(start + static_cast<double>(u) * fine_step);
        generated.push_back(limit);
        current = limit;
    }

    // Equal sub-steps inside every interval between consecutive given dates.
    for (const datetime& p : skeleton) {
        const double d = p.as_float() - current;
        if (std::fabs(d) < eps)
            continue;
        const double step = p.as_float() <= limit ? fine_step : time_step;
        const std::size_t k = std::fabs(step) >= eps ? step_count(d, step) : 0;
        if (k > 1) {
            const double h = d / static_cast<double>(k);
            generated.reserve(generated.size() + k - 1);
            for (std::size_t u = 1; u < k; ++u)
                generated.push_back(current + static_cast<double>(u) * h);
        }
        current = p.as_float();
    }

    for (double v : generated)
        dates_.emplace_back(config.round_dates() ? std::ceil(v) : v);
    sort_unique(dates_);
}

void time_grid::build_event_rannacher(const time_grid_config& config)
{
    const double time_step = config.time_step();
    const std::size_t fine_steps = config.rannacher_steps();
    std::vector<datetime> events = event_dates_;
    sort_unique(events);
    const auto is_event = [&events](const datetime& d) {
        return std::binary_search(events.begin(), events.end(), d);
    };

    // The first insertion of a date decides its flag.
    std::map<datetime, bool> flagged;
    for (const datetime& e : events)
        flagged.emplace(e, true);

    datetime previous = dates_.front();
    for (const datetime& p : dates_) {
        const double d = p.as_float() - previous.as_float();
        if (std::fabs(d) < eps)
            continue;
        const double step = std::fabs(time_step) < eps ? d : std::min(d, time_step);
        const std::size_t k = std::max<std::size_t>(step_count(d, step), 1);
        const double h = d / static_cast<double>(k);
        const double fine = std::min(config.rannacher_step(), step / static_cast<double>(fine_steps));

        for (std::size_t u = 1; u < k; ++u)
            flagged.emplace(datetime(previous.as_float() + static_cast<double>(u) * h), false);

        // The fully implicit steps are the first ones taken after an event in the direction
        // of the walk: before the event on a backward grid, after it on a forward one.
        const datetime& event_end = is_direction_forward_ ? previous : p;
        const double direction = is_direction_forward_ ? 1.0 : -1.0;
        if (is_event(event_end)) {
            for (std::size_t u = 0; u < fine_steps; ++u)
                flagged.emplace(
                    datetime(event_end.as_float() + direction * static_cast<double>(u) * fine),
                    true);
        } else {
            flagged.emplace(event_end, false);
        }
        previous = p;
    }
    // Every given date stays on the grid, the first and the last included.
    for (const datetime& p : dates_)
        flagged.emplace(p, false);

    dates_.clear();
    rannacher_.clear();
    dates_.reserve(flagged.size());
    rannacher_.reserve(flagged.size());
    for (const auto& [date, flag] : flagged) {
        dates_.push_back(date);
        rannacher_.push_back(flag);
    }
}

}  // namespace korvex

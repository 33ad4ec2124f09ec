#include "PDE/grid/time_grid.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "core/check_fail.h"
#include "util/datetime_helper.h"

namespace korvex {

namespace {

constexpr const char* source = "Library/PDE/grid/time_grid";

constexpr double eps = 2.220446049250313e-16;

void sort_unique(std::vector<datetime>& dates)
{
    std::sort(dates.begin(), dates.end());
    dates.erase(std::unique(dates.begin(), dates.end()), dates.end());
}

void check_dates(const std::vector<datetime>& dates)
{
    for (const datetime& d : dates)
        if (!std::isfinite(d.as_float()))
            details::check_fail({"check_dates", source, __LINE__},
                                std::isnan(d.as_float()) ? "a time grid date is NaN"
                                                         : "a time grid date is infinite");
}

// Refuses a grid whose construction would make more than time_grid::max_dates dates. The
// count is a double so that no sum of step counts can wrap.
void check_date_count(double count, const SourceLocation& where)
{
    if (count > static_cast<double>(time_grid::max_dates))
        details::check_fail(where, details::concat("a time grid needs more than ",
                                                   time_grid::max_dates, " dates"));
}

// Number of steps of length `step` in `span`: truncated, 0 for a negative or NaN ratio.
// Ratios past the date limit saturate, so the count check refuses them.
std::size_t step_count(double span, double step) noexcept
{
    const double ratio = span / step;
    if (!(ratio > 0.0))
        return 0;
    return ratio > static_cast<double>(time_grid::max_dates) ? time_grid::max_dates + 1
                                                              : static_cast<std::size_t>(ratio);
}

// The sub-step count of an event_rannacher interval of length d: at least one step.
std::size_t interval_steps(double d, double time_step) noexcept
{
    const double step = std::fabs(time_step) < eps ? d : std::min(d, time_step);
    return std::max<std::size_t>(step_count(d, step), 1);
}

// A date of an event_rannacher grid and its Rannacher flag.
using flagged_date = std::pair<datetime, bool>;

bool earlier(const flagged_date& a, const flagged_date& b) noexcept
{
    return a.first < b.first;
}

// Sorts by date, keeping the order of insertion among equal dates, and keeps the first of
// each date. The dates arrive ascending but for rounding, so the sort is rarely needed.
void keep_first_insertions(std::vector<flagged_date>& dates)
{
    if (!std::is_sorted(dates.begin(), dates.end(), earlier))
        std::stable_sort(dates.begin(), dates.end(), earlier);
    const auto same_date = [](const flagged_date& a, const flagged_date& b) { return a.first == b.first; };
    dates.erase(std::unique(dates.begin(), dates.end(), same_date), dates.end());
}

struct interval
{
    datetime start;
    datetime end;
};

// The intervals between consecutive ascending dates; a date closer than eps to the start of
// its interval extends that interval.
std::vector<interval> walked_intervals(const std::vector<datetime>& dates)
{
    std::vector<interval> intervals;
    datetime previous = dates.front();
    for (const datetime& p : dates) {
        if (std::fabs(p.as_float() - previous.as_float()) < eps)
            continue;
        intervals.push_back({previous, p});
        previous = p;
    }
    return intervals;
}

// `count` dates start + u * step for u = 1 ... count; a single date v is {v, 0, 1}.
struct date_run
{
    double start;
    double step;
    std::size_t count;
};

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
    KORVEX_CHECK((SourceLocation{"time_grid", source, __LINE__}), config.time_step() >= 0.0);
    KORVEX_CHECK((SourceLocation{"time_grid", source, __LINE__}), config.rannacher_step() >= 0.0);
    sort_unique(dates_);
    if (!std::isfinite(dates_.back() - dates_.front()))
        details::check_fail({"time_grid", source, __LINE__},
                            "the time grid's dates span more days than a double holds");

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
    // The fine steps start at the first date of the grid, whichever given date that is.
    const double first = skeleton.front().as_float();
    const double limit = std::min(
        skeleton.back().as_float(),
        first + static_cast<double>(config.rannacher_steps()) * fine_step);
    std::vector<date_run> runs;
    double current = first;

    // Fine steps from the first date up to the limit, when they fit in the first interval.
    // The last one lands on the limit, so none passes it.
    if (skeleton.size() > 1 && fine_step >= eps && limit <= skeleton[1].as_float() &&
        current < limit) {
        const double ratio = (limit - current) / fine_step;
        const std::size_t steps = step_count(std::ceil(ratio - 1e-9 * std::max(1.0, ratio)), 1.0);
        runs.push_back({current, fine_step, std::max<std::size_t>(steps, 1) - 1});
        runs.push_back({limit, 0.0, 1});
        current = limit;
    }

    // Equal sub-steps inside every interval between consecutive given dates.
    for (const datetime& p : skeleton) {
        const double d = p.as_float() - current;
        if (std::fabs(d) < eps)
            continue;
        const double step = p.as_float() <= limit ? fine_step : time_step;
        const std::size_t k = std::fabs(step) >= eps ? step_count(d, step) : 0;
        if (k > 1)
            runs.push_back({current, d / static_cast<double>(k), k - 1});
        current = p.as_float();
    }

    double count = static_cast<double>(skeleton.size());
    for (const date_run& run : runs)
        count += static_cast<double>(run.count);
    check_date_count(count, {"build_fixed_step", source, __LINE__});

    dates_.reserve(static_cast<std::size_t>(count));
    for (const date_run& run : runs)
        for (std::size_t u = 1; u <= run.count; ++u) {
            const double v = run.start + static_cast<double>(u) * run.step;
            dates_.emplace_back(config.round_dates() ? std::ceil(v) : v);
        }
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
    const std::vector<interval> intervals = walked_intervals(dates_);
    // The fully implicit steps are the first ones taken after an event in the direction of
    // the walk: before the event on a backward grid, after it on a forward one.
    const auto event_end = [this](const interval& i) -> const datetime& {
        return is_direction_forward_ ? i.start : i.end;
    };

    // Every date the walk below inserts, counted before any is made.
    double count = static_cast<double>(events.size() + dates_.size());
    for (const interval& i : intervals)
        count += static_cast<double>(interval_steps(i.end - i.start, time_step) - 1) +
                 (is_event(event_end(i)) ? static_cast<double>(fine_steps) : 1.0);
    check_date_count(count, {"build_event_rannacher", source, __LINE__});

    // Each interval adds its sub-steps, then its fine dates (or the date that ends it in the
    // direction of the walk) in ascending order; a stable merge of the two keeps a sub-step
    // before an equal fine date, as inserted. The walk is then ascending but for rounding.
    std::vector<flagged_date> walk;
    walk.reserve(static_cast<std::size_t>(count));
    for (const interval& i : intervals) {
        const double d = i.end - i.start;
        const std::size_t k = interval_steps(d, time_step);
        const double h = d / static_cast<double>(k);
        const double step = std::fabs(time_step) < eps ? d : std::min(d, time_step);
        const double fine = std::min(config.rannacher_step(), step / static_cast<double>(fine_steps));

        const std::size_t first = walk.size();
        for (std::size_t u = 1; u < k; ++u)
            walk.emplace_back(datetime(i.start.as_float() + static_cast<double>(u) * h), false);
        const std::size_t fine_first = walk.size();
        const datetime& end = event_end(i);
        if (is_event(end)) {
            for (std::size_t u = 0; u < fine_steps; ++u) {
                const std::size_t v = is_direction_forward_ ? u : fine_steps - 1 - u;
                const double offset = static_cast<double>(v) * fine;
                walk.emplace_back(datetime(end.as_float() + (is_direction_forward_ ? offset : -offset)),
                                  true);
            }
        } else {
            walk.emplace_back(end, false);
        }
        std::inplace_merge(walk.begin() + static_cast<std::ptrdiff_t>(first),
                           walk.begin() + static_cast<std::ptrdiff_t>(fine_first), walk.end(), earlier);
    }
    keep_first_insertions(walk);

    // The given dates complete the grid; event dates are always flagged.
    std::vector<datetime> dates;
    dates.reserve(walk.size() + dates_.size());
    rannacher_.clear();
    rannacher_.reserve(walk.size() + dates_.size());
    const auto append = [&](const datetime& date, bool flag) {
        dates.push_back(date);
        rannacher_.push_back(flag);
    };
    auto w = walk.begin();
    for (const datetime& given : dates_) {
        for (; w != walk.end() && w->first < given; ++w)
            append(w->first, w->second);
        const bool walked = w != walk.end() && w->first == given;
        append(given, is_event(given) || (walked && w->second));
        if (walked)
            ++w;
    }
    for (; w != walk.end(); ++w)
        append(w->first, w->second);
    dates_ = std::move(dates);
}

}  // namespace korvex

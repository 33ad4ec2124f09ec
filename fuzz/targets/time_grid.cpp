// Time grids built from fuzzed configurations. The input's fields, in order: type and
// direction (int32), round_dates (uint8), time_step (double), rannacher_steps (uint64),
// rannacher_step, from and to (doubles), the number of event dates (uint8); the remaining
// bytes are dates: that many event dates, then the other dates. A construction may fail only
// with korvex::Error. A built grid holds at most time_grid::max_dates dates, strictly
// ascending, among them every given date; each event date's index points at it; only
// event_rannacher grids flag Rannacher dates.

#include <algorithm>
#include <cstdint>
#include <limits>
#include <vector>

#include "PDE/grid/time_grid.h"
#include "core/error.h"
#include "fuzz_support.h"
#include "grid_input.h"

namespace {

using namespace korvex;
using config = time_grid_config;

struct time_input
{
    std::int32_t type, direction;
    std::uint8_t round_dates;
    double time_step;
    std::uint64_t rannacher_steps;
    double rannacher_step, from, to;
    std::vector<datetime> events, others;
};

time_input read_input(fuzzing::field_reader& fields)
{
    time_input in{};
    in.type = fields.next<std::int32_t>();
    in.direction = fields.next<std::int32_t>();
    in.round_dates = fields.next<std::uint8_t>();
    in.time_step = fields.next<double>();
    in.rannacher_steps = fields.next<std::uint64_t>();
    in.rannacher_step = fields.next<double>();
    in.from = fields.next<double>();
    in.to = fields.next<double>();
    const std::size_t event_count = fields.next<std::uint8_t>();
    const std::vector<double> dates = fields.rest();
    for (std::size_t i = 0; i < dates.size(); ++i)
        (i < event_count ? in.events : in.others).emplace_back(dates[i]);
    return in;
}

std::vector<std::uint8_t> seed(const config& c, double from, double to,
                               const std::vector<double>& events, const std::vector<double>& others)
{
    fuzzing::field_writer fields;
    fields.add(static_cast<std::int32_t>(c.type()))
        .add(static_cast<std::int32_t>(c.direction()))
        .add(static_cast<std::uint8_t>(c.round_dates()))
        .add(c.time_step())
        .add(static_cast<std::uint64_t>(c.rannacher_steps()))
        .add(c.rannacher_step())
        .add(from)
        .add(to)
        .add(static_cast<std::uint8_t>(events.size()))
        .add_all(events)
        .add_all(others);
    return fields.bytes();
}

void check(const time_input& in, const time_grid& grid)
{
    const std::vector<datetime>& dates = grid.dates();
    if (grid.size() != dates.size() || dates.size() > time_grid::max_dates)
        fuzzing::fault("the grid's size differs from its dates or passes the limit");
    if (std::adjacent_find(dates.begin(), dates.end(),
                           [](const datetime& a, const datetime& b) { return !(a < b); }) != dates.end())
        fuzzing::fault("the dates are not strictly ascending");
    const auto on_grid = [&dates](const datetime& d) {
        return std::binary_search(dates.begin(), dates.end(), d);
    };
    if (!on_grid(datetime(in.from)) || !on_grid(datetime(in.to)) ||
        !std::all_of(in.events.begin(), in.events.end(), on_grid) ||
        !std::all_of(in.others.begin(), in.others.end(), on_grid))
        fuzzing::fault("a given date is missing from the grid");
    if (grid.event_dates_size() != in.events.size())
        fuzzing::fault("the event dates are not kept as given");
    for (std::size_t i = 0; i < in.events.size(); ++i)
        if (!(grid.date(grid.event_dates_indexs(i)) == in.events[i]))
            fuzzing::fault("an event date's index points elsewhere");
    if (in.type != config::event_rannacher)
        for (std::size_t i = 0; i < grid.size(); ++i)
            if (grid.is_rannacher(i))
                fuzzing::fault("a grid other than event_rannacher flags a Rannacher date");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzzing::field_reader fields(data, size);
    const time_input in = read_input(fields);
    const config settings(static_cast<config::time_grid_type>(in.type),
                          static_cast<config::time_grid_direction_type>(in.direction),
                          in.round_dates != 0, in.time_step, in.rannacher_steps, in.rannacher_step);
    try {
        const time_grid grid(settings, datetime(in.from), datetime(in.to), in.events, in.others);
        check(in, grid);
    } catch (const Error&) {
    }
    return 0;
}

// Configurations of the PDE set-ups, and the inputs that once made hundreds of thousands of
// dates, looped without end or wrapped a reserved size.
std::vector<std::vector<std::uint8_t>> korvex_fuzz_seeds()
{
    const double start = 45292.0;  // 2024-01-01
    const std::size_t countless = std::numeric_limits<std::size_t>::max();
    const double inf = std::numeric_limits<double>::infinity();
    return {
        seed(config(config::event_rannacher, config::backward, false, 3.65 * (1 - 1e-12), 2, 365.0),
             start, start + 365, {start + 365}, {}),
        seed(config(config::event_rannacher, config::forward, false, 1.0, 2, 0.1), 0.0, 10.0, {5.0}, {}),
        seed(config(config::fixed_step, config::backward, false, 2.5, 4, 0.25), 0.0, 10.0, {}, {}),
        seed(config(config::fixed_step, config::backward, true, 7.0, 0, 0.0), start, start + 91,
             {start + 30, start + 30}, {start + 60.5}),
        seed(config(config::fixed_step, config::backward, false, 365.0, 4, 0.01), 3650.0, 0.0, {}, {}),
        seed(config(config::fixed_step, config::backward, false, 365.0, 4, 0.01), 0.0, 3650.0, {},
             {-328.5}),
        seed(config(config::fixed_step, config::backward, false, 1.0, 0, 0.0), 0.0, inf, {}, {}),
        seed(config(config::fixed_step, config::backward, false, 1.0, countless, 3e-16), 0.0, 1e4, {}, {}),
        seed(config(config::event_rannacher, config::backward, false, 1e-15, 2, 0.1), 0.0, 10.0, {5.0}, {}),
        seed(config(config::event_rannacher, config::forward, false, 1.0, countless, 0.0), 0.0, 10.0,
             {5.0}, {}),
    };
}

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "PDE/grid/time_grid.h"
#include "core/error.h"
#include "math/failure_expectation.h"

namespace korvex {
namespace {

using config = time_grid_config;

// Lines of the checks in Library/PDE/grid/time_grid.cpp.
constexpr int date_line = 28;
constexpr int time_step_line = 123;
constexpr int rannacher_step_line = 124;
constexpr int span_line = 127;
constexpr int fixed_limit_line = 181;
constexpr int rannacher_limit_line = 213;

std::vector<double> values(const time_grid& g)
{
    std::vector<double> v;
    for (const datetime& d : g.dates())
        v.push_back(d.as_float());
    return v;
}

std::vector<datetime> dates(std::initializer_list<double> serials)
{
    std::vector<datetime> d;
    for (double s : serials)
        d.emplace_back(s);
    return d;
}

void expect_values(const time_grid& g, const std::vector<double>& expected)
{
    const std::vector<double> v = values(g);
    ASSERT_EQ(v.size(), expected.size());
    for (std::size_t i = 0; i < v.size(); ++i)
        EXPECT_NEAR(v[i], expected[i], 1e-12) << "date " << i;
    EXPECT_EQ(g.size(), expected.size());
}

TEST(time_grid_config, holds_arguments_in_their_places)
{
    const config c(config::event_rannacher, config::forward, true, 7.0, 3, 0.5);
    EXPECT_EQ(c.type(), config::event_rannacher);
    EXPECT_EQ(c.direction(), config::forward);
    EXPECT_TRUE(c.round_dates());
    EXPECT_EQ(c.time_step(), 7.0);
    EXPECT_EQ(c.rannacher_steps(), 3u);
    EXPECT_EQ(c.rannacher_step(), 0.5);
}

TEST(time_grid, without_steps_is_the_sorted_skeleton)
{
    const time_grid g(config(config::fixed_step, config::backward, false, 0.0, 4, 0.0),
                      datetime(10.0), datetime(40.0), dates({30.0, 20.0, 30.0}), dates({20.0, 35.0}));
    expect_values(g, {10.0, 20.0, 30.0, 35.0, 40.0});
    EXPECT_EQ(g.event_dates_size(), 3u);
    EXPECT_EQ(g.event_dates_indexs(0), 2u);
    EXPECT_EQ(g.event_dates_indexs(1), 1u);
    EXPECT_EQ(g.event_dates_indexs(2), 2u);
    EXPECT_EQ(g.event_dates()[1], datetime(20.0));
}

TEST(time_grid, fixed_step_divides_intervals_evenly)
{
    const time_grid g(config(config::fixed_step, config::backward, false, 2.5, 0, 0.0),
                      datetime(0.0), datetime(10.0), {}, {});
    expect_values(g, {0.0, 2.5, 5.0, 7.5, 10.0});
    for (std::size_t i = 0; i < g.size(); ++i)
        EXPECT_FALSE(g.is_rannacher(i));
}

TEST(time_grid, fixed_step_sub_step_count_is_the_truncated_ratio)
{
    // [0, 4]: 4 / 3 truncates to 1, no date; [4, 10]: 2 sub-steps of 3.
    const time_grid g(config(config::fixed_step, config::backward, false, 3.0, 0, 0.0),
                      datetime(0.0), datetime(10.0), {}, dates({4.0}));
    expect_values(g, {0.0, 4.0, 7.0, 10.0});
}

TEST(time_grid, an_interval_shorter_than_two_steps_gets_no_date)
{
    const time_grid g(config(config::fixed_step, config::backward, false, 2.5, 0, 0.0),
                      datetime(0.0), datetime(4.0), {}, {});
    expect_values(g, {0.0, 4.0});
}

TEST(time_grid, rounding_applies_to_generated_dates_only)
{
    const time_grid g(config(config::fixed_step, config::backward, true, 2.5, 0, 0.0),
                      datetime(0.5), datetime(10.5), {}, {});
    expect_values(g, {0.5, 3.0, 6.0, 8.0, 10.5});
}

TEST(time_grid, fine_steps_at_the_start)
{
    const time_grid g(config(config::fixed_step, config::backward, false, 2.5, 4, 0.25),
                      datetime(0.0), datetime(10.0), {}, {});
    expect_values(g, {0.0, 0.25, 0.5, 0.75, 1.0, 2.5, 5.0, 7.5, 10.0});
}

TEST(time_grid, fine_steps_never_pass_the_end)
{
    const time_grid g(config(config::fixed_step, config::forward, false, 0.5, 5, 0.3),
                      datetime(0.0), datetime(1.0), {}, {});
    EXPECT_EQ(g.dates().back(), datetime(1.0));
    EXPECT_EQ(g.dates().front(), datetime(0.0));
    for (std::size_t i = 1; i < g.size(); ++i)
        EXPECT_GT(g.date(i).as_float() - g.date(i - 1).as_float(), 1e-9);
}

TEST(time_grid, sub_steps_land_on_the_given_dates_without_near_duplicates)
{
    // Ten additions of 0.1 fall short of 1: stepping by accumulation would add a date just
    // below 1 and one beyond it.
    const time_grid g(config(config::fixed_step, config::backward, false, 0.1, 0, 0.0),
                      datetime(0.0), datetime(1.0), {}, {});
    ASSERT_EQ(g.size(), 11u);
    for (std::size_t i = 1; i < g.size(); ++i)
        EXPECT_NEAR(g.date(i).as_float() - g.date(i - 1).as_float(), 0.1, 1e-12);
    EXPECT_EQ(g.dates().back(), datetime(1.0));
}

TEST(time_grid, a_single_date_gives_a_one_date_grid)
{
    for (auto type : {config::fixed_step, config::event_rannacher}) {
        const time_grid g(config(type, config::backward, false, 1.0, 3, 0.1), datetime(5.0),
                          datetime(5.0), {}, {});
        expect_values(g, {5.0});
    }
}

TEST(time_grid, fine_start_ends_on_its_limit_inside_the_first_interval)
{
    // limit = 0 + 3 * 0.35: two fine steps, then the limit itself, then the coarse walk
    // from the first date.
    const time_grid g(config(config::fixed_step, config::backward, false, 2.5, 3, 0.35),
                      datetime(0.0), datetime(10.0), {}, {});
    expect_values(g, {0.0, 0.35, 0.7, 3 * 0.35, 2.5, 5.0, 7.5, 10.0});
    EXPECT_EQ(g.date(3).as_float(), 3 * 0.35);
}

TEST(time_grid, fine_start_without_a_fine_step_is_skipped)
{
    // The fine start sits at the first date; with a zero fine step it holds no date, and
    // the coarse steps cover every interval.
    const time_grid g(config(config::fixed_step, config::backward, false, 1.0, 4, 0.0),
                      datetime(0.0), datetime(3.0), {}, dates({-2.0}));
    expect_values(g, {-2.0, -1.0, 0.0, 1.0, 2.0, 3.0});
}

// The fine steps start at the first date of the grid, also when `from` is not the earliest
// date: they used to run from the earliest date up to `from` and made one date per fine step.
TEST(time_grid, fine_start_covers_its_steps_from_the_first_date)
{
    const config c(config::fixed_step, config::backward, false, 365.0, 4, 0.01);
    const time_grid reversed(c, datetime(3650.0), datetime(0.0), {}, {});
    expect_values(reversed, {0.0, 0.01, 0.02, 0.03, 0.04, 365.0, 730.0, 1095.0, 1460.0, 1825.0,
                             2190.0, 2555.0, 2920.0, 3285.0, 3650.0});
    const time_grid earlier_date(c, datetime(0.0), datetime(3650.0), {}, dates({-365.0}));
    expect_values(earlier_date, {-365.0, -364.99, -364.98, -364.97, -364.96, 0.0, 365.0, 730.0,
                                 1095.0, 1460.0, 1825.0, 2190.0, 2555.0, 2920.0, 3285.0, 3650.0});
}

TEST(time_grid, event_rannacher_backward_flags_the_dates_leading_up_to_the_event)
{
    const time_grid g(config(config::event_rannacher, config::backward, false, 1.0, 2, 0.1),
                      datetime(0.0), datetime(10.0), dates({5.0}), {});
    expect_values(g, {0.0, 1.0, 2.0, 3.0, 4.0, 4.9, 5.0, 6.0, 7.0, 8.0, 9.0, 10.0});
    EXPECT_EQ(g.event_dates_indexs(0), 6u);
    for (std::size_t i = 0; i < g.size(); ++i)
        EXPECT_EQ(g.is_rannacher(i), i == 5 || i == 6) << i;
    EXPECT_FALSE(g.is_direction_forward());
}

TEST(time_grid, event_rannacher_forward_flags_the_dates_following_the_event)
{
    const time_grid g(config(config::event_rannacher, config::forward, false, 1.0, 2, 0.1),
                      datetime(0.0), datetime(10.0), dates({5.0}), {});
    expect_values(g, {0.0, 1.0, 2.0, 3.0, 4.0, 5.0, 5.1, 6.0, 7.0, 8.0, 9.0, 10.0});
    for (std::size_t i = 0; i < g.size(); ++i)
        EXPECT_EQ(g.is_rannacher(i), i == 5 || i == 6) << i;
    EXPECT_TRUE(g.is_direction_forward());
}

TEST(time_grid, event_rannacher_fine_step_is_limited_by_the_sub_step)
{
    // Without a time step the whole interval is one step: fine = min(2, 5 / 4) = 1.25.
    const time_grid g(config(config::event_rannacher, config::backward, false, 0.0, 4, 2.0),
                      datetime(0.0), datetime(5.0), dates({5.0}), {});
    expect_values(g, {0.0, 1.25, 2.5, 3.75, 5.0});
    for (std::size_t i = 0; i < g.size(); ++i)
        EXPECT_EQ(g.is_rannacher(i), i > 0) << i;
}

TEST(time_grid, event_rannacher_keeps_from_and_to)
{
    const time_grid backward(config(config::event_rannacher, config::backward, false, 2.0, 1, 0.5),
                             datetime(1.0), datetime(9.0), dates({4.0}), dates({6.0}));
    EXPECT_EQ(backward.dates().front(), datetime(1.0));
    EXPECT_EQ(backward.dates().back(), datetime(9.0));
    const time_grid forward(config(config::event_rannacher, config::forward, false, 2.0, 1, 0.5),
                            datetime(1.0), datetime(9.0), dates({4.0}), dates({6.0}));
    EXPECT_EQ(forward.dates().front(), datetime(1.0));
    EXPECT_EQ(forward.dates().back(), datetime(9.0));
    EXPECT_TRUE(forward.is_rannacher(forward.event_dates_indexs(0)));
}

TEST(time_grid, zero_fine_steps_keep_the_event_flag_only)
{
    const time_grid g(config(config::event_rannacher, config::backward, false, 0.0, 0, 0.1),
                      datetime(0.0), datetime(10.0), dates({4.0}), {});
    expect_values(g, {0.0, 4.0, 10.0});
    EXPECT_FALSE(g.is_rannacher(0));
    EXPECT_TRUE(g.is_rannacher(1));
    EXPECT_FALSE(g.is_rannacher(2));
}

TEST(time_grid, same_date_as_event_and_other_is_on_the_grid_once)
{
    const time_grid g(config(config::fixed_step, config::backward, false, 0.0, 0, 0.0),
                      datetime(0.0), datetime(10.0), dates({3.0}), dates({3.0}));
    expect_values(g, {0.0, 3.0, 10.0});
    EXPECT_EQ(g.event_dates_indexs(0), 1u);
}

TEST(time_grid, only_direction_one_is_forward)
{
    for (int direction : {0, 1, 2}) {
        const time_grid g(config(config::fixed_step, static_cast<config::time_grid_direction_type>(direction),
                                 false, 0.0, 0, 0.0),
                          datetime(0.0), datetime(1.0), {}, {});
        EXPECT_EQ(g.is_direction_forward(), direction == 1);
    }
}

TEST(time_grid, other_types_keep_the_given_dates)
{
    const time_grid g(config(static_cast<config::time_grid_type>(9), config::backward, false, 1.0, 2, 0.1),
                      datetime(0.0), datetime(10.0), dates({5.0}), {});
    expect_values(g, {0.0, 5.0, 10.0});
    EXPECT_FALSE(g.is_rannacher(1));
}

TEST(time_grid, day_count_is_act_365_fixed)
{
    const time_grid g(config(config::fixed_step, config::backward, false, 0.0, 0, 0.0),
                      datetime(2024, 1, 1), datetime(2025, 1, 1), {}, {});
    ASSERT_NE(g.day_count(), nullptr);
    EXPECT_EQ(g.day_count()->type(), act_365_fixed);
    EXPECT_DOUBLE_EQ(g.day_count()->fraction(g.date(0), g.date(1)), 366.0 / 365.0);
}

TEST(time_grid, refuses_nan_dates_and_negative_steps)
{
    const SourceLocation date_location{"check_dates", "Library/PDE/grid/time_grid", date_line};
    try {
        time_grid(config(config::fixed_step, config::backward, false, 1.0, 0, 0.0), datetime(0.0),
                  datetime(10.0), {datetime()}, {});
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(e.location(), date_location);
        EXPECT_EQ(e.message(), "a time grid date is NaN");
    }
    try {
        time_grid(config(config::fixed_step, config::backward, false, -1.0, 0, 0.0), datetime(0.0),
                  datetime(10.0), {}, {});
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(e.location(), (SourceLocation{"time_grid", "Library/PDE/grid/time_grid", time_step_line}));
        EXPECT_EQ(e.message(), "Expected config.time_step() >= 0.0 to be true, but got false.");
    }
    const double nan = std::numeric_limits<double>::quiet_NaN();
    try {
        time_grid(config(config::event_rannacher, config::backward, false, 1.0, 2, nan), datetime(0.0),
                  datetime(10.0), {}, {});
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(e.location(), (SourceLocation{"time_grid", "Library/PDE/grid/time_grid", rannacher_step_line}));
        EXPECT_EQ(e.message(), "Expected config.rannacher_step() >= 0.0 to be true, but got false.");
    }
    try {
        time_grid(config(config::fixed_step, config::backward, false, nan, 0, 0.0), datetime(0.0),
                  datetime(nan), {}, {});
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(e.location().line, date_line);
    }
    try {
        time_grid(config(config::fixed_step, config::backward, false, nan, 0, 0.0), datetime(0.0),
                  datetime(10.0), {}, {});
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(e.location().line, time_step_line);
    }
}

TEST(time_grid, refuses_infinite_dates_and_spans)
{
    const SourceLocation where{"check_dates", "Library/PDE/grid/time_grid", date_line};
    const config c(config::fixed_step, config::backward, false, 1.0, 0, 0.0);
    const double inf = std::numeric_limits<double>::infinity();
    testing::expect_failure([&] { time_grid(c, datetime(0.0), datetime(inf), {}, {}); }, where,
                            "a time grid date is infinite");
    testing::expect_failure([&] { time_grid(c, datetime(0.0), datetime(1.0), {}, {datetime(-inf)}); },
                            where, "a time grid date is infinite");
    testing::expect_failure([&] { time_grid(c, datetime(-1.7e308), datetime(1.7e308), {}, {}); },
                            SourceLocation{"time_grid", "Library/PDE/grid/time_grid", span_line},
                            "the time grid's dates span more days than a double holds");
}

struct oversized_grid
{
    const char* name;
    config settings;
    double from, to;
    std::vector<datetime> events;
    const char* function;
    int line;
};

std::ostream& operator<<(std::ostream& out, const oversized_grid& g) { return out << g.name; }

class time_grid_limit : public ::testing::TestWithParam<oversized_grid>
{
};

// Grids beyond the date limit are refused before any date is generated: these used to
// allocate for hours, loop without end or wrap a reserved size to zero.
TEST_P(time_grid_limit, refuses_grids_above_the_date_limit)
{
    const oversized_grid g = GetParam();
    testing::expect_failure(
        [&] { time_grid(g.settings, datetime(g.from), datetime(g.to), g.events, {}); },
        SourceLocation{g.function, "Library/PDE/grid/time_grid", g.line},
        "a time grid needs more than 10000000 dates");
}

constexpr std::size_t huge_count = std::numeric_limits<std::size_t>::max();

INSTANTIATE_TEST_SUITE_P(
    time_grid, time_grid_limit,
    ::testing::Values(
        oversized_grid{"fine_sub_steps", config(config::fixed_step, config::backward, false, 1e-3, 0, 0.0),
                       0.0, 1e5, {}, "build_fixed_step", fixed_limit_line},
        oversized_grid{"far_end", config(config::fixed_step, config::forward, true, 1.0, 0, 0.0),
                       0.0, 1e300, {}, "build_fixed_step", fixed_limit_line},
        oversized_grid{"fine_steps_past_any_count",
                       config(config::fixed_step, config::backward, false, 1.0, huge_count, 3e-16),
                       0.0, 1e4, {}, "build_fixed_step", fixed_limit_line},
        oversized_grid{"tiny_positive_step",
                       config(config::event_rannacher, config::backward, false, 1e-15, 2, 0.1),
                       0.0, 10.0, dates({5.0}), "build_event_rannacher", rannacher_limit_line},
        oversized_grid{"countless_fine_steps",
                       config(config::event_rannacher, config::forward, false, 1.0, huge_count, 0.0),
                       0.0, 10.0, dates({5.0}), "build_event_rannacher", rannacher_limit_line}),
    [](const auto& test) { return std::string(test.param.name); });

}  // namespace
}  // namespace korvex

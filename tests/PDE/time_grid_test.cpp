#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "PDE/grid/time_grid.h"
#include "core/error.h"

namespace korvex {
namespace {

using config = time_grid_config;

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
    // The start lies after the first date, so the fine start would begin below its limit and
    // never advance with a zero step. The interval up to the limit has no sub-steps either.
    const time_grid g(config(config::fixed_step, config::backward, false, 1.0, 4, 0.0),
                      datetime(0.0), datetime(3.0), {}, dates({-2.0}));
    expect_values(g, {-2.0, 0.0, 1.0, 2.0, 3.0});
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
    const SourceLocation date_location{"time_grid", "Library/PDE/grid/time_grid", 41};
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
        EXPECT_EQ(e.location(), (SourceLocation{"time_grid", "Library/PDE/grid/time_grid", 43}));
        EXPECT_EQ(e.message(), "Expected config.time_step() >= 0.0 to be true, but got false.");
    }
    const double nan = std::numeric_limits<double>::quiet_NaN();
    try {
        time_grid(config(config::event_rannacher, config::backward, false, 1.0, 2, nan), datetime(0.0),
                  datetime(10.0), {}, {});
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(e.location(), (SourceLocation{"time_grid", "Library/PDE/grid/time_grid", 44}));
        EXPECT_EQ(e.message(), "Expected config.rannacher_step() >= 0.0 to be true, but got false.");
    }
    try {
        time_grid(config(config::fixed_step, config::backward, false, nan, 0, 0.0), datetime(0.0),
                  datetime(nan), {}, {});
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(e.location().line, 41);
    }
    try {
        time_grid(config(config::fixed_step, config::backward, false, nan, 0, 0.0), datetime(0.0),
                  datetime(10.0), {}, {});
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(e.location().line, 43);
    }
}

}  // namespace
}  // namespace korvex

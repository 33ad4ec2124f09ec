#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "PDE/grid/space_grid.h"
#include "PDE/grid/space_grid_construction.h"
#include "core/error.h"
#include "math/failure_expectation.h"

namespace korvex {
namespace {

using config = space_grid_config;

// Lines of the checks in Library/PDE/grid/space_grid.cpp.
constexpr int unknown_type_line = 240;
constexpr int requested_count_line = 250;
constexpr int piece_count_line = 295;
constexpr int gap_count_line = 344;

config make_config(config::space_grid_type type, bool start = false, bool end = false,
                   config::transformation_type t = config::identity)
{
    return config(type, start, end, t, 1e-8, 1.0, 0.5);
}

bool ascending_without_duplicates(const std::vector<double>& x)
{
    return std::adjacent_find(x.begin(), x.end(), [](double a, double b) { return !(a < b); }) ==
           x.end();
}

bool is_node(const std::vector<double>& x, double p)
{
    return std::find(x.begin(), x.end(), p) != x.end();
}

TEST(space_grid_config, holds_arguments_in_their_places)
{
    const config c(config::concentrated, true, false, config::log, 1e-6, 2.0, 0.25);
    EXPECT_EQ(c.type(), config::concentrated);
    EXPECT_TRUE(c.transform_start());
    EXPECT_FALSE(c.transform_end());
    EXPECT_EQ(c.transformation(), config::log);
    EXPECT_EQ(c.tolerance(), 1e-6);
    EXPECT_EQ(c.scaling(), 2.0);
    EXPECT_EQ(c.bracket_fraction(), 0.25);
    EXPECT_EQ(c.center_dx(), 0.1);
    EXPECT_EQ(c.internal_proportion(), 0.7);
}

TEST(space_grid, uniform_has_n_evenly_spaced_points_from_lower_to_upper)
{
    const space_grid g(make_config(config::uniform), 11, -1.0, 4.0, 0.0, {});
    ASSERT_EQ(g.size(), 11u);
    EXPECT_TRUE(g.is_uniform());
    EXPECT_EQ(g.axis().front(), -1.0);
    EXPECT_EQ(g.axis().back(), 4.0);
    for (std::size_t i = 1; i < g.size(); ++i)
        EXPECT_NEAR(g.axis()[i] - g.axis()[i - 1], 0.5, 1e-15);
}

TEST(space_grid, uniform_with_exp_at_the_end_maps_every_point)
{
    const space_grid plain(make_config(config::uniform), 7, 0.0, 1.5, 0.0, {});
    const space_grid g(make_config(config::uniform, false, true, config::exp), 7, 0.0, 1.5, 0.0, {});
    EXPECT_FALSE(g.is_uniform());
    ASSERT_EQ(g.size(), 7u);
    for (std::size_t i = 0; i < 7; ++i)
        EXPECT_DOUBLE_EQ(g.axis()[i], std::exp(plain.axis()[i]));
}

TEST(space_grid, log_at_the_start_builds_between_the_logs_of_the_bounds)
{
    const space_grid g(make_config(config::uniform, true, false, config::log), 5, 50.0, 200.0, 0.0, {});
    EXPECT_EQ(g.transformation(), config::log);
    EXPECT_TRUE(g.is_uniform());
    EXPECT_DOUBLE_EQ(g.axis().front(), std::log(50.0));
    EXPECT_DOUBLE_EQ(g.axis().back(), std::log(200.0));
}

TEST(space_grid, explicit_points_are_kept_as_given)
{
    const space_grid g(make_config(config::explicit_points, true, false, config::log), 3, 1.0, 2.0,
                       0.0, {3.0, 1.0, 2.0});
    EXPECT_EQ(g.axis(), (std::vector<double>{3.0, 1.0, 2.0}));
    const space_grid empty(make_config(config::explicit_points), 3, 1.0, 2.0, 0.0, {});
    EXPECT_EQ(empty.size(), 0u);
}

TEST(space_grid, uniform_with_points_places_even_pieces_between_the_given_points)
{
    // dx = 1: the piece [0, 2.5] gets 2 points, [2.5, 10] gets 7.
    const space_grid g(make_config(config::uniform_with_points), 10, 0.0, 10.0, 0.0, {2.5});
    const std::vector<double> expected{0.0, 2.5, 3.75, 5.0, 6.25, 7.5, 8.75, 10.0};
    ASSERT_EQ(g.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_DOUBLE_EQ(g.axis()[i], expected[i]);
    EXPECT_FALSE(g.is_uniform());
}

struct piece_case
{
    double point;
    std::vector<double> expected;
};

class uniform_with_points_piece : public ::testing::TestWithParam<piece_case>
{
};

TEST_P(uniform_with_points_piece, of_one_spacing_keeps_both_its_ends)
{
    // dx = 1; a piece between one and two spacings long is just its two ends.
    const space_grid g(make_config(config::uniform_with_points), 10, 0.0, 10.0, 0.0, {GetParam().point});
    const std::vector<double>& expected = GetParam().expected;
    ASSERT_EQ(g.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_NEAR(g.axis()[i], expected[i], 1e-14) << i;
}

std::vector<double> with_even_piece(std::vector<double> head, double a, double b, int count,
                                    std::vector<double> tail)
{
    for (int i = 0; i < count; ++i)
        head.push_back(a + (b - a) * i / (count - 1));
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

INSTANTIATE_TEST_SUITE_P(
    last_and_first_pieces, uniform_with_points_piece,
    ::testing::Values(piece_case{8.5, with_even_piece({}, 0.0, 8.5, 8, {10.0})},
                      piece_case{1.5, with_even_piece({0.0}, 1.5, 10.0, 8, {})}),
    [](const ::testing::TestParamInfo<piece_case>& piece) {
        return piece.param.point > 5.0 ? std::string("last_piece") : std::string("first_piece");
    });

TEST(space_grid, uniform_with_points_clamps_points_into_the_bounds)
{
    const space_grid g(make_config(config::uniform_with_points), 8, 0.0, 4.0, 0.0,
                       {-3.0, 0.0, 4.0, 9.0, 1.3});
    EXPECT_FALSE(is_node(g.axis(), -3.0));
    EXPECT_FALSE(is_node(g.axis(), 9.0));
    EXPECT_TRUE(is_node(g.axis(), 1.3));
    EXPECT_EQ(g.axis().front(), 0.0);
    EXPECT_EQ(g.axis().back(), 4.0);
    EXPECT_TRUE(ascending_without_duplicates(g.axis()));
}

TEST(space_grid, concentrated_without_points_is_the_uniform_grid)
{
    const space_grid uniform(make_config(config::uniform), 21, 1.0, 3.0, 0.0, {});
    const space_grid g(make_config(config::concentrated), 21, 1.0, 3.0, 0.0, {});
    EXPECT_EQ(g.axis(), uniform.axis());
    EXPECT_FALSE(g.is_uniform());
}

TEST(space_grid, concentrated_refines_around_the_given_points)
{
    const space_grid g(make_config(config::concentrated), 100, 0.0, 10.0, 0.0, {4.0});
    const auto& x = g.axis();
    const auto at = std::find(x.begin(), x.end(), 4.0);
    ASSERT_NE(at, x.end());
    const double left = 4.0 - *(at - 1);
    const double right = *(at + 1) - 4.0;
    // A zone of half-width 0.1 spacing around the point. The spacing is widened from
    // 10 / 100 to 10 / 69: m = 100 - 2 = 98 steps, less (1 - 0.7) * 98 truncated = 29.
    EXPECT_NEAR(left, 0.1 * 10.0 / 69.0, 1e-12);
    EXPECT_NEAR(right, 0.1 * 10.0 / 69.0, 1e-12);
    // The spacing grows away from the point and the tails reach the bounds.
    EXPECT_GT(*(at + 3) - *(at + 2), right);
    EXPECT_EQ(x.front(), 0.0);
    EXPECT_EQ(x.back(), 10.0);
    EXPECT_TRUE(ascending_without_duplicates(x));
}

TEST(space_grid, concentrated_counts_of_gaps_and_tails)
{
    // One centre, n = 20 over [0, 10]: m = 18, widened to 13 steps (e = 5), h = 1/13, no gap,
    // tails of max(20 / 2, 15) = 15 points, plus the point itself.
    const space_grid one(make_config(config::concentrated), 20, 0.0, 10.0, 0.0, {5.0});
    EXPECT_EQ(one.size(), 31u);
    EXPECT_TRUE(is_node(one.axis(), 5.0 - 1.0 / 13.0));
    EXPECT_TRUE(is_node(one.axis(), 5.0 + 1.0 / 13.0));
    // Two centres, n = 100: dx = 10/68, a gap fill of 21 - 1 points (gap / dx = 20.2), tails
    // of (100 - 20) / 2 = 40 points each, plus both points.
    const space_grid two(make_config(config::concentrated), 100, 0.0, 10.0, 0.0, {3.0, 6.0});
    EXPECT_EQ(two.size(), 102u);
    EXPECT_TRUE(ascending_without_duplicates(two.axis()));
}

TEST(space_grid, concentrated_with_more_centres_than_points_keeps_the_base_spacing)
{
    // n = 1, r = 3 > 2n: dx stays 10, h = 1, zones (1, 3), (4, 6), (7, 9). Each gap of 1 gets
    // the graded fill of 5 (a = -0.4, b = 1: steps 0.6, 0.2, -0.2, -0.6, then 1): x0, x0 + 0.4,
    // x0 + 0.6, x0 + 1. Each tail has 4 points (raised from 0), relaxed toward a spacing of 2.
    const space_grid g(make_config(config::concentrated), 1, 0.0, 10.0, 0.0, {2.0, 5.0, 8.0});
    const std::vector<double>& x = g.axis();
    ASSERT_EQ(x.size(), 19u);
    const std::vector<double> known{0.0, 1.0, 2.0, 3.0, 3.4, 3.6, 4.0, 5.0, 6.0, 6.4, 6.6, 7.0, 8.0, 9.0, 10.0};
    const std::vector<std::size_t> at{0, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 18};
    for (std::size_t i = 0; i < known.size(); ++i)
        EXPECT_NEAR(x[at[i]], known[i], 1e-14) << at[i];
    // Twenty passes over 0, 1/3, 2/3, 1 with the target spacing 2, worked out separately.
    EXPECT_NEAR(x[1], 0.08036043416057712, 1e-14);
    EXPECT_NEAR(x[2], 0.3149839372638782, 1e-14);
    EXPECT_NEAR(x[16], 10.0 - x[2], 1e-14);
    EXPECT_NEAR(x[17], 10.0 - x[1], 1e-14);
}

TEST(space_grid, non_finite_bounds_give_ieee_values_without_failing)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (auto type : {config::uniform_with_points, config::concentrated}) {
        const space_grid g(make_config(type), 10, nan, 1.0, 0.0, {0.5, nan});
        EXPECT_GT(g.size(), 0u);
        const space_grid h(make_config(type), 10, 0.0, inf, 0.0, {0.5});
        EXPECT_GT(h.size(), 0u);
        EXPECT_TRUE(std::isnan(g.axis().back()));  // NaN sorts last
    }
}

TEST(space_grid, concentrated_keeps_only_the_first_of_two_close_points_as_centre)
{
    // c = 0.01 for dx = 0.1: 4.0 and 4.015 are closer than 2c.
    const space_grid both(make_config(config::concentrated), 100, 0.0, 10.0, 0.0, {4.015, 4.0});
    const space_grid first(make_config(config::concentrated), 100, 0.0, 10.0, 0.0, {4.0});
    std::vector<double> expected = first.axis();
    expected.push_back(4.015);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(both.axis(), expected);
}

TEST(space_grid, concentrated_point_on_a_bound_puts_no_point_outside)
{
    const space_grid g(make_config(config::concentrated), 50, 0.0, 10.0, 0.0, {0.0, 10.0, 5.0});
    EXPECT_EQ(g.axis().front(), 0.0);
    EXPECT_EQ(g.axis().back(), 10.0);
    EXPECT_TRUE(ascending_without_duplicates(g.axis()));
    EXPECT_TRUE(is_node(g.axis(), 5.0));
}

TEST(space_grid, concentrated_keeps_points_outside_the_bounds_as_nodes)
{
    const space_grid g(make_config(config::concentrated), 40, 0.0, 10.0, 0.0, {-2.0, 3.0, 12.0});
    EXPECT_EQ(g.axis().front(), -2.0);
    EXPECT_EQ(g.axis().back(), 12.0);
    EXPECT_TRUE(is_node(g.axis(), 0.0));
    EXPECT_TRUE(is_node(g.axis(), 10.0));
}

TEST(space_grid, offset_shifts_every_point_after_the_transformations)
{
    const space_grid plain(make_config(config::uniform, false, true, config::exp), 37, 0.0, 1.0, 0.0, {});
    const space_grid shifted(make_config(config::uniform, false, true, config::exp), 37, 0.0, 1.0,
                             2.5, {});
    for (std::size_t i = 0; i < plain.size(); ++i)
        EXPECT_EQ(shifted.axis()[i], plain.axis()[i] + 2.5);
    const space_grid zero(make_config(config::uniform), 37, 0.0, 1.0, 0.0, {});
    EXPECT_EQ(zero.axis().front(), 0.0);
    EXPECT_EQ(zero.axis().back(), 1.0);
}

TEST(space_grid, unknown_types_are_refused)
{
    for (int type : {3, 5, -1}) {
        try {
            space_grid(make_config(static_cast<config::space_grid_type>(type)), 10, 0.0, 1.0, 0.0, {});
            FAIL() << "type " << type << " accepted";
        } catch (const Error& e) {
            EXPECT_EQ(e.location(), (SourceLocation{"space_grid", "Library/PDE/grid/space_grid", unknown_type_line}));
            EXPECT_EQ(e.message(), "unknown space grid type " + std::to_string(type));
        }
    }
}

struct oversized_space_grid
{
    const char* name;
    config::space_grid_type type;
    std::size_t n;
    double lower, upper;
    std::vector<double> points;
    const char* function;
    int line;
};

std::ostream& operator<<(std::ostream& out, const oversized_space_grid& g) { return out << g.name; }

class space_grid_limit : public ::testing::TestWithParam<oversized_space_grid>
{
};

// Counts past the point limit are refused before the axis is allocated. They used to end in
// std::length_error, or in an allocation that AddressSanitizer aborts: a width too small for
// its spacing makes the spacing zero and the count infinite.
TEST_P(space_grid_limit, refuses_grids_above_the_point_limit)
{
    const oversized_space_grid g = GetParam();
    testing::expect_failure(
        [&] { space_grid(make_config(g.type), g.n, g.lower, g.upper, 0.0, g.points); },
        SourceLocation{g.function, "Library/PDE/grid/space_grid", g.line},
        "a space grid needs more than 10000000 points");
}

INSTANTIATE_TEST_SUITE_P(
    space_grid, space_grid_limit,
    ::testing::Values(
        oversized_space_grid{"requested_count", config::uniform, 10'000'001, 0.0, 1.0, {},
                             "space_grid", requested_count_line},
        oversized_space_grid{"largest_count", config::explicit_points,
                             std::numeric_limits<std::size_t>::max(), 0.0, 1.0, {0.5},
                             "space_grid", requested_count_line},
        oversized_space_grid{"subnormal_width_with_points", config::uniform_with_points, 10, 0.0,
                             5e-324, {}, "build_uniform_with_points", piece_count_line},
        oversized_space_grid{"subnormal_width_concentrated", config::concentrated, 10, 0.0,
                             5e-324, {0.0, 5e-324}, "build_concentrated", gap_count_line}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(space_grid, array_transformation_matches_the_scalar_one_in_blocks_and_remainder)
{
    for (auto t : {config::log, config::sqrt, config::exp, config::identity}) {
        std::vector<double> values(37);
        for (std::size_t i = 0; i < values.size(); ++i)
            values[i] = 0.1 + 0.37 * static_cast<double>(i);
        std::vector<double> expected = values;
        for (double& v : expected)
            space_grid::transform(v, t);
        space_grid::transform(values, t);
        EXPECT_EQ(values, expected);
    }
    double v = 2.0;
    space_grid::transform(v, config::log);
    EXPECT_EQ(v, std::log(2.0));
    v = -1.0;
    space_grid::transform(v, config::sqrt);
    EXPECT_TRUE(std::isnan(v));
    v = 3.0;
    space_grid::transform(v, static_cast<config::transformation_type>(7));
    EXPECT_EQ(v, 3.0);
}

TEST(space_grid_construction, graded_fill_of_the_worked_example)
{
    std::vector<double> axis;
    details::append_graded_fill(axis, 5, 0.1, 0.1, 1.2, 0.0);
    ASSERT_EQ(axis.size(), 4u);
    EXPECT_NEAR(axis[0], 0.0, 1e-15);
    EXPECT_NEAR(axis[1], 0.31, 1e-14);
    EXPECT_NEAR(axis[2], 0.69, 1e-14);
    EXPECT_NEAR(axis[3], 1.0, 1e-14);
}

TEST(space_grid_construction, graded_fill_spans_the_gap_symmetrically)
{
    std::vector<double> axis;
    details::append_graded_fill(axis, 12, 0.05, 0.05, 3.0 + 0.1, 2.0);
    ASSERT_EQ(axis.size(), 11u);
    EXPECT_EQ(axis.front(), 2.0);
    EXPECT_NEAR(axis.back(), 5.0, 1e-13);
    for (std::size_t i = 1; i < axis.size(); ++i)
        EXPECT_NEAR(axis[i] - axis[i - 1], axis[axis.size() - i] - axis[axis.size() - i - 1], 1e-13);
}

TEST(space_grid_construction, relaxations_keep_the_ends_and_grade_toward_the_zone)
{
    std::vector<double> left(16), right(16);
    for (std::size_t i = 0; i < 16; ++i)
        left[i] = right[i] = static_cast<double>(i);
    details::relax_left_tail(left, 0.1);
    details::relax_right_tail(right, 0.1);
    EXPECT_EQ(left.front(), 0.0);
    EXPECT_EQ(left.back(), 15.0);
    EXPECT_EQ(right.front(), 0.0);
    EXPECT_EQ(right.back(), 15.0);
    EXPECT_TRUE(ascending_without_duplicates(left));
    EXPECT_TRUE(ascending_without_duplicates(right));
    // Fine next to the zone, coarse away from it; the two are mirror images.
    EXPECT_LT(left[15] - left[14], 1.0);
    EXPECT_GT(left[1] - left[0], 1.0);
    for (std::size_t i = 0; i < 16; ++i)
        EXPECT_NEAR(right[i], 15.0 - left[15 - i], 1e-12);
}

TEST(space_grid_construction, relaxation_approaches_its_fixed_point)
{
    // Three points 0, 1, 2 with target 0.5: the middle spacing s next to the zone settles where
    // s = 2 (s / 2 + 1/4) / (1 + s / 2 + 1/4), that is s^2 + s / 2 - 1 = 0.
    const double s = (-0.5 + std::sqrt(4.25)) / 2.0;
    std::vector<double> left{0.0, 1.0, 2.0}, right{0.0, 1.0, 2.0};
    details::relax_left_tail(left, 0.5);
    details::relax_right_tail(right, 0.5);
    EXPECT_NEAR(left[1], 2.0 - s, 1e-8);
    EXPECT_NEAR(right[1], s, 1e-8);
}

struct grid_case
{
    config::space_grid_type type;
    bool start;
    bool end;
    config::transformation_type transformation;
};

class every_grid : public ::testing::TestWithParam<grid_case>
{
};

TEST_P(every_grid, is_ascending_holds_every_given_point_and_spans_the_bounds)
{
    const grid_case c = GetParam();
    const std::vector<double> points{2.0, 7.5, 3.3, 3.31};
    const space_grid g(make_config(c.type, c.start, c.end, c.transformation), 60, 1.0, 9.0, 0.0, points);
    const auto& x = g.axis();
    ASSERT_EQ(g.size(), x.size());
    EXPECT_TRUE(ascending_without_duplicates(x));

    double lower = 1.0, upper = 9.0;
    std::vector<double> nodes = points;
    if (c.start) {
        space_grid::transform(lower, c.transformation);
        space_grid::transform(upper, c.transformation);
        space_grid::transform(nodes, c.transformation);
    }
    if (c.end) {
        space_grid::transform(lower, c.transformation);
        space_grid::transform(upper, c.transformation);
        space_grid::transform(nodes, c.transformation);
    }
    EXPECT_DOUBLE_EQ(x.front(), lower);
    EXPECT_DOUBLE_EQ(x.back(), upper);
    if (c.type != config::uniform) {
        for (double p : nodes)
            EXPECT_TRUE(is_node(x, p)) << p;
    }
}

INSTANTIATE_TEST_SUITE_P(
    types_and_transformations, every_grid,
    ::testing::Values(grid_case{config::uniform, false, false, config::identity},
                      grid_case{config::uniform, true, false, config::log},
                      grid_case{config::uniform, false, true, config::exp},
                      grid_case{config::uniform_with_points, false, false, config::identity},
                      grid_case{config::uniform_with_points, true, false, config::sqrt},
                      grid_case{config::uniform_with_points, false, true, config::log},
                      grid_case{config::concentrated, false, false, config::identity},
                      grid_case{config::concentrated, true, false, config::log},
                      grid_case{config::concentrated, true, false, config::sqrt},
                      grid_case{config::concentrated, false, true, config::exp}));

}  // namespace
}  // namespace korvex

// European calls under the Heston model (the test cases A-D of in 't Hout and Foulon, 2010,
// K = S = 100, v0 = eta) priced by the alternating-direction schemes, against the
// semi-closed form of the pricing library, which the demo's set-up calls.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

#include "heston_model.h"

namespace korvex {
namespace {

using heston::call_option;
using heston::model;
using heston::settings;

struct heston_case
{
    const char* name;
    model parameters;  // kappa, eta, sigma, rho, r_d, r_f
    double years;
    double reference;  // semi-closed form, ten decimals
};

const heston_case cases[] = {
    {"A", {1.5, 0.04, 0.3, -0.9, 0.025, 0.0}, 1.0, 8.8948693601},
    {"B", {3.0, 0.12, 0.04, 0.6, 0.01, 0.04}, 1.0, 12.0253002793},
    {"C", {0.6067, 0.0707, 0.2928, -0.7571, 0.03, 0.0}, 3.0, 21.1089824138},
    {"D", {2.5, 0.06, 0.5, -0.1, 0.0507, 0.0469}, 0.25, 4.7349848151},
};

call_option option_of(const heston_case& c)
{
    call_option o;
    o.variance = c.parameters.eta;
    o.years = c.years;
    return o;
}

double error_of(const heston_case& c, pde_scheme_type type, std::size_t spot_points, std::size_t variance_points,
                std::size_t spot_stencil, std::size_t time_steps)
{
    settings s;
    s.type = type;
    s.spot_points = spot_points;
    s.variance_points = variance_points;
    s.spot_stencil = spot_stencil;
    s.time_steps = time_steps;
    return heston::adi_price(c.parameters, option_of(c), s) - c.reference;
}

// The demo's semi-closed form is the pricing library's on the demo's model and option: at the
// published values of the cases (case D also at T = 0.25, a fractional day count), and away
// from the money and from v0 = eta against QuantLib's AnalyticHestonEngine (ten decimals).
TEST(heston_semi_closed_form, matches_published_and_independent_values)
{
    for (const heston_case& c : cases)
        EXPECT_NEAR(heston::semi_closed_form(c.parameters, option_of(c)), c.reference, 1e-9) << c.name;
    struct point
    {
        std::size_t test_case;
        double spot;
        double variance;
        double days;
        double value;
    };
    const point points[] = {{3, 100.0, 0.06, 91.0, 4.7287986734},
                            {1, 80.0, 0.12, 365.0, 4.1261707470},
                            {1, 125.0, 0.03, 365.0, 26.2393119523},
                            {2, 80.0, 0.2828, 1095.0, 16.0891389155},
                            {3, 100.0, 0.015, 91.0, 3.0985394120}};
    for (const point& p : points) {
        call_option o = option_of(cases[p.test_case]);
        o.spot = p.spot;
        o.variance = p.variance;
        o.years = p.days / 365.0;
        EXPECT_NEAR(heston::semi_closed_form(cases[p.test_case].parameters, o), p.value, 1e-9)
            << cases[p.test_case].name << " S = " << p.spot;
    }
}

struct accuracy_case
{
    std::size_t test_case;
    pde_scheme_type type;
    std::size_t time_steps;
};

std::string accuracy_case_name(const ::testing::TestParamInfo<accuracy_case>& info)
{
    return std::string(cases[info.param.test_case].name) + "_type" + std::to_string(info.param.type);
}

class heston_call : public ::testing::TestWithParam<accuracy_case>
{
};

// Spot x variance 200 x 100 with 3-point stencils: within 1e-3 of the semi-closed form.
TEST_P(heston_call, within_a_thousandth_on_200_by_100_points)
{
    const accuracy_case p = GetParam();
    EXPECT_LT(std::fabs(error_of(cases[p.test_case], p.type, 200, 100, 3, p.time_steps)), 1e-3);
}

// Five-point stencils along the spot axis reach the same accuracy on a quarter of the points
// (the worst case and scheme errs 8.4e-4: case C with modified Craig-Sneyd).
TEST_P(heston_call, within_a_thousandth_on_100_by_50_points_with_five_point_spot_stencils)
{
    const accuracy_case p = GetParam();
    EXPECT_LT(std::fabs(error_of(cases[p.test_case], p.type, 100, 50, 5, p.time_steps)), 1e-3);
}

// Craig-Sneyd (theta 1/2) damps the stiff components little, so it takes more steps.
INSTANTIATE_TEST_SUITE_P(
    three_schemes, heston_call,
    ::testing::Values(accuracy_case{0, adi_hundsdorfer_verwer, 50}, accuracy_case{1, adi_hundsdorfer_verwer, 50},
                      accuracy_case{2, adi_hundsdorfer_verwer, 50}, accuracy_case{3, adi_hundsdorfer_verwer, 50},
                      accuracy_case{0, adi_modified_craig_sneyd, 50}, accuracy_case{1, adi_modified_craig_sneyd, 50},
                      accuracy_case{2, adi_modified_craig_sneyd, 50}, accuracy_case{3, adi_modified_craig_sneyd, 50},
                      accuracy_case{0, adi_craig_sneyd, 100}, accuracy_case{1, adi_craig_sneyd, 100},
                      accuracy_case{2, adi_craig_sneyd, 100}, accuracy_case{3, adi_craig_sneyd, 100}),
    accuracy_case_name);

// Doubling the points of both axes divides the error by about four.
TEST(heston_call, converges_at_second_order_in_space)
{
    const double coarse = error_of(cases[0], adi_modified_craig_sneyd, 50, 25, 3, 50);
    const double middle = error_of(cases[0], adi_modified_craig_sneyd, 100, 50, 3, 50);
    const double fine = error_of(cases[0], adi_modified_craig_sneyd, 200, 100, 3, 50);
    EXPECT_GT(std::log2(std::fabs(coarse / middle)), 1.7);
    EXPECT_GT(std::log2(std::fabs(middle / fine)), 1.7);
}

// Douglas is first order in time with a cross term: it converges, more slowly (twice the
// points and four times the steps divide case C's error by four; its time error dominates).
TEST(heston_call, douglas_converges)
{
    const double coarse = std::fabs(error_of(cases[2], adi_douglas, 100, 50, 3, 50));
    const double fine = std::fabs(error_of(cases[2], adi_douglas, 200, 100, 3, 200));
    EXPECT_LT(fine, 0.5 * coarse);
    EXPECT_LT(std::fabs(error_of(cases[0], adi_douglas, 200, 100, 3, 100)), 1e-3);
}

// --- stability at every step count -------------------------------------------------------

// The grids of in 't Hout and Foulon (2010): spot K + (K / 5) sinh(xi) on [0, 8 K], variance
// (5 / 500) sinh(eta) on [0, 5], xi and eta evenly spaced; the strike is not a node.
heston::grid paper_grid(std::size_t spot_points, std::size_t variance_points)
{
    heston::grid g{std::vector<double>(spot_points), std::vector<double>(variance_points)};
    const double strike = 100.0, c = strike / 5.0, d = 5.0 / 500.0;
    const double lowest = std::asinh(-strike / c), highest = std::asinh(7.0 * strike / c);
    for (std::size_t k = 0; k < spot_points; ++k)
        g.spot[k] = strike + c * std::sinh(lowest + (highest - lowest) * static_cast<double>(k) /
                                                        static_cast<double>(spot_points - 1));
    g.spot[0] = 0.0;
    for (std::size_t l = 0; l < variance_points; ++l)
        g.variance[l] = d * std::sinh(std::asinh(5.0 / d) * static_cast<double>(l) / static_cast<double>(variance_points - 1));
    return g;
}

struct grid_choice
{
    const char* name;
    bool paper;  // the paper's grids, otherwise the example's (heston::grid_of)
    std::size_t spot_points;
    std::size_t variance_points;
    std::size_t spot_stencil;
    double space_error[2];  // cases A and C: the error with 800 steps, rounded up
};

const grid_choice stability_grids[] = {
    {"paper_80x40_3", true, 80, 40, 3, {5.3e-3, 4.6e-3}},
    {"paper_40x20_5", true, 40, 20, 5, {6.0e-3, 3.0e-3}},
    {"example_40x20_5", false, 40, 20, 5, {1.2e-3, 6.5e-4}},
};

struct stability_case
{
    std::size_t grid;
    std::size_t test_case;  // A or C
    pde_scheme_type type;
};

std::string stability_case_name(const ::testing::TestParamInfo<stability_case>& info)
{
    return std::string(stability_grids[info.param.grid].name) + "_" + cases[info.param.test_case].name + "_type" +
           std::to_string(info.param.type);
}

class heston_stability : public ::testing::TestWithParam<stability_case>
{
};

// From 25 to 800 steps every scheme stays bounded by the call's bound S exp(-r_f T) <= S_max
// and within the grid's space error (1.5 times it; Douglas and Craig-Sneyd, theta 1/2, barely
// damp the payoff's kink and are also allowed 0.4 / steps). A corrector whose cross
// operator differed from the predictor's made Hundsdorfer-Verwer diverge here (case C on
// the 80 x 40 grid: 0.29 with 100 steps).
TEST_P(heston_stability, stays_bounded_and_within_the_space_error_at_every_step_count)
{
    const stability_case p = GetParam();
    const grid_choice& choice = stability_grids[p.grid];
    const heston_case& c = cases[p.test_case];
    const call_option o = option_of(c);
    settings s;
    s.type = p.type;
    s.spot_points = choice.spot_points;
    s.variance_points = choice.variance_points;
    s.spot_stencil = choice.spot_stencil;
    const heston::grid g =
        choice.paper ? paper_grid(choice.spot_points, choice.variance_points) : heston::grid_of(c.parameters, o, s);
    const bool half_theta = p.type == adi_douglas || p.type == adi_craig_sneyd;
    for (const std::size_t steps : {25u, 50u, 100u, 200u, 400u, 800u}) {
        s.time_steps = steps;
        const std::vector<double> values = heston::solve(c.parameters, o, g, s);
        double largest = 0.0;
        for (const double value : values)
            largest = std::max(largest, std::fabs(value));
        EXPECT_LE(largest, g.spot.back()) << steps << " steps";
        const double error = heston::read_off(g, values, o.spot, o.variance).value - c.reference;
        const double tolerance = 1.5 * choice.space_error[p.test_case == 0 ? 0 : 1] +
                                 (half_theta ? 0.4 / static_cast<double>(steps) : 0.0);
        EXPECT_LT(std::fabs(error), tolerance) << steps << " steps";
    }
}

std::vector<stability_case> every_stability_case()
{
    std::vector<stability_case> all;
    for (std::size_t g = 0; g < std::size(stability_grids); ++g)
        for (const std::size_t test_case : {0u, 2u})
            for (const pde_scheme_type type :
                 {adi_hundsdorfer_verwer, adi_douglas, adi_craig_sneyd, adi_modified_craig_sneyd})
                all.push_back({g, test_case, type});
    return all;
}

INSTANTIATE_TEST_SUITE_P(every_scheme, heston_stability, ::testing::ValuesIn(every_stability_case()),
                         stability_case_name);

class heston_refinement : public ::testing::TestWithParam<stability_case>
{
};

// Doubling the points of both axes and the steps never makes the error grow (the example's
// grids with 3-point stencils, 40 x 20 with 25 steps to 160 x 80 with 100). Douglas is first
// order in time with a cross term, so its steps grow fourfold (to 400): with twice the steps
// its time error (positive) and space error (negative) cross on case C.
TEST_P(heston_refinement, doubling_points_and_steps_never_makes_the_error_grow)
{
    const stability_case p = GetParam();
    double previous = std::numeric_limits<double>::infinity();
    for (const std::size_t scale : {1u, 2u, 4u}) {
        const std::size_t steps = 25 * scale * (p.type == adi_douglas ? scale : 1);
        const double error = std::fabs(error_of(cases[p.test_case], p.type, 40 * scale, 20 * scale, 3, steps));
        EXPECT_LT(error, previous) << scale;
        previous = error;
    }
}

std::string refinement_case_name(const ::testing::TestParamInfo<stability_case>& info)
{
    return std::string(cases[info.param.test_case].name) + "_type" + std::to_string(info.param.type);
}

INSTANTIATE_TEST_SUITE_P(
    every_scheme, heston_refinement,
    ::testing::Values(stability_case{0, 0, adi_hundsdorfer_verwer}, stability_case{0, 0, adi_douglas},
                      stability_case{0, 0, adi_craig_sneyd}, stability_case{0, 0, adi_modified_craig_sneyd},
                      stability_case{0, 2, adi_hundsdorfer_verwer}, stability_case{0, 2, adi_douglas},
                      stability_case{0, 2, adi_craig_sneyd}, stability_case{0, 2, adi_modified_craig_sneyd}),
    refinement_case_name);

// --- the price surface -------------------------------------------------------------------

class heston_surface : public ::testing::TestWithParam<std::size_t>
{
};

// Value, delta and gamma read off the grid of surface_settings by cubic interpolation at
// S = 50, 60, ..., 150 and v = v0 / 2, v0, 2 v0, against the semi-closed form (differentiated
// by central differences over 0.05): within 1e-3, 1e-3 and 1e-4 on every case (the worst,
// case A's gamma at S = 70, errs 8.9e-5).
TEST_P(heston_surface, greeks_read_off_the_grid_match_the_semi_closed_form)
{
    const heston_case& c = cases[GetParam()];
    const call_option o = option_of(c);
    const settings s = heston::surface_settings();
    const heston::grid g = heston::grid_of(c.parameters, o, s);
    const std::vector<double> values = heston::solve(c.parameters, o, g, s);
    const double h = 0.05;
    for (std::size_t i = 0; i <= 10; ++i) {
        for (const double scale : {0.5, 1.0, 2.0}) {
            const double spot = 50.0 + 10.0 * static_cast<double>(i);
            const auto exact = [&](double at) {
                call_option q = o;
                q.spot = at;
                q.variance = scale * o.variance;
                return heston::semi_closed_form(c.parameters, q);
            };
            const double centre = exact(spot), up = exact(spot + h), down = exact(spot - h);
            const heston::greeks r = heston::read_off(g, values, spot, scale * o.variance);
            const std::string where = "S = " + std::to_string(spot) + ", v = " + std::to_string(scale * o.variance);
            EXPECT_NEAR(r.value, centre, 1e-3) << where;
            EXPECT_NEAR(r.delta, (up - down) / (2.0 * h), 1e-3) << where;
            EXPECT_NEAR(r.gamma, (up - 2.0 * centre + down) / (h * h), 1e-4) << where;
        }
    }
}

std::string surface_case_name(const ::testing::TestParamInfo<std::size_t>& info)
{
    return cases[info.param].name;
}

INSTANTIATE_TEST_SUITE_P(cases_a_to_d, heston_surface,
                         ::testing::Values(std::size_t{0}, std::size_t{1}, std::size_t{2}, std::size_t{3}),
                         surface_case_name);

// At a node the read-out is the node's value, and the cubic's derivatives reproduce a cubic
// polynomial in S exactly.
TEST(heston_read_off, is_exact_at_nodes_and_for_cubics)
{
    const heston::grid g{{0.0, 1.0, 2.5, 4.0, 6.0, 9.0}, {0.0, 0.1, 0.3, 0.6}};
    std::vector<double> values(g.spot.size() * g.variance.size());
    const auto cubic = [](double s, double v) { return (1.0 + v) * (2.0 - s + 0.5 * s * s - 0.1 * s * s * s); };
    for (std::size_t k = 0; k < g.spot.size(); ++k)
        for (std::size_t l = 0; l < g.variance.size(); ++l)
            values[k * g.variance.size() + l] = cubic(g.spot[k], g.variance[l]);
    EXPECT_EQ(heston::read_off(g, values, 2.5, 0.3).value, cubic(2.5, 0.3));
    for (const double s : {0.3, 3.1, 8.7}) {
        const heston::greeks r = heston::read_off(g, values, s, 0.2);
        EXPECT_NEAR(r.value, cubic(s, 0.2), 1e-12) << s;
        EXPECT_NEAR(r.delta, 1.2 * (-1.0 + s - 0.3 * s * s), 1e-12) << s;
        EXPECT_NEAR(r.gamma, 1.2 * (1.0 - 0.6 * s), 1e-12) << s;
    }
}

}  // namespace
}  // namespace korvex

// European calls under the Heston model (the test cases A-D of in 't Hout and Foulon, 2010,
// K = S = 100, v0 = eta) priced by the alternating-direction schemes, against the
// semi-closed form, itself checked against published values.

#include <gtest/gtest.h>

#include <cmath>
#include <string>

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

TEST(heston_semi_closed_form, matches_published_values)
{
    for (const heston_case& c : cases)
        EXPECT_NEAR(heston::semi_closed_form(c.parameters, option_of(c)), c.reference, 1e-9) << c.name;
    call_option d = option_of(cases[3]);
    d.years = 91.0 / 365.0;
    EXPECT_NEAR(heston::semi_closed_form(cases[3].parameters, d), 4.7287986734, 1e-9);
}

// Away from the money and from v0 = eta, against QuantLib's AnalyticHestonEngine (ten
// decimals). Case B's small sigma once left the quadrature splitting on rounding noise
// without end.
TEST(heston_semi_closed_form, matches_an_independent_engine_off_the_money)
{
    struct point
    {
        std::size_t test_case;
        double spot;
        double variance;
        double days;
        double value;
    };
    const point points[] = {{1, 80.0, 0.12, 365.0, 4.1261707470},
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

}  // namespace
}  // namespace korvex

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "PDE/boundary/pde_boundary_config.h"
#include "PDE/coefficients/pde_model_coefficients.h"
#include "core/error.h"

namespace korvex {
namespace {

using bc = pde_boundary_config;

bc make(int up_type, bool up_floating, double up, int down_type, bool down_floating, double down)
{
    return bc(static_cast<bc::boundary_conditions_type>(up_type), up_floating, up,
              static_cast<bc::boundary_conditions_type>(down_type), down_floating, down);
}

TEST(pde_boundary_config, default_is_no_diffusion_and_not_floating)
{
    const bc c;
    EXPECT_EQ(c.up_type(), bc::no_diffusion);
    EXPECT_EQ(c.down_type(), bc::no_diffusion);
    EXPECT_FALSE(c.is_up_floating());
    EXPECT_FALSE(c.is_down_floating());
}

TEST(pde_boundary_config, floating_values_are_read_back)
{
    const bc c = make(0, true, 1.5, 1, true, -2.0);
    EXPECT_EQ(c.up_boundary(), 1.5);
    EXPECT_EQ(c.down_boundary(), -2.0);
    EXPECT_EQ(c.up_type(), bc::fixed_value);
}

TEST(pde_boundary_config, values_of_fixed_ends_are_refused)
{
    const char* file = "Library/PDE/boundary/pde_boundary_config";
    const bc c = make(1, false, 1.0, 1, false, 2.0);
    try {
        (void)c.up_boundary();
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(e.location(), (SourceLocation{"up_boundary", file, 50}));
        EXPECT_EQ(e.message(), "boundary value exist onley for flaoting");
    }
    try {
        (void)c.down_boundary();
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(e.location(), (SourceLocation{"down_boundary", file, 69}));
        EXPECT_EQ(e.message(), "boundary value exist onley for flaoting");
    }
}

struct ordering_case
{
    bc a;
    bc b;
    bool a_before_b;
    bool b_before_a;
};

class boundary_ordering : public ::testing::TestWithParam<ordering_case>
{
};

TEST_P(boundary_ordering, is_a_dominance_test)
{
    const ordering_case c = GetParam();
    EXPECT_EQ(c.a < c.b, c.a_before_b);
    EXPECT_EQ(c.b < c.a, c.b_before_a);
}

const double nan = std::numeric_limits<double>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(
    cases, boundary_ordering,
    ::testing::Values(ordering_case{bc(), bc(), false, false},
                      ordering_case{make(0, false, 1.0, 0, false, 1.0), make(1, false, 2.0, 1, false, 2.0), true, false},
                      ordering_case{make(0, false, 1.0, 0, false, 1.0), make(1, false, 1.0, 1, false, 2.0), false, false},
                      ordering_case{make(1, false, 1.0, 1, false, 1.0), make(1, true, 2.0, 1, true, 2.0), true, false},
                      // Equal types and flags at the lower end stop the test.
                      ordering_case{make(0, false, 1.0, 1, false, 1.0), make(1, false, 2.0, 1, false, 2.0), false, false},
                      ordering_case{make(0, false, nan, 0, false, 1.0), make(1, false, 2.0, 1, false, 2.0), false, false}));

TEST(pde_boundary_config_order, is_a_strict_total_order)
{
    const std::vector<bc> sorted{make(0, false, 1.0, 0, false, 1.0), make(0, false, 1.0, 1, false, 0.0),
                                 make(0, false, 2.0, 0, false, 0.0), make(0, true, 0.0, 0, false, 0.0),
                                 make(1, false, -1.0, 0, false, 0.0), make(1, false, nan, 0, false, 0.0)};
    const pde_boundary_config_order less;
    for (std::size_t i = 0; i < sorted.size(); ++i) {
        EXPECT_FALSE(less(sorted[i], sorted[i]));
        for (std::size_t j = i + 1; j < sorted.size(); ++j) {
            EXPECT_TRUE(less(sorted[i], sorted[j])) << i << " " << j;
            EXPECT_FALSE(less(sorted[j], sorted[i])) << i << " " << j;
        }
    }
    EXPECT_TRUE(less(std::vector<bc>{sorted[0]}, std::vector<bc>{sorted[0], sorted[1]}));
    EXPECT_TRUE(less(std::vector<bc>{sorted[0], sorted[2]}, std::vector<bc>{sorted[1]}));
}

TEST(pde_model_coefficients, one_dimension_without_correlation)
{
    const pde_model_coefficients c({101}, false);
    EXPECT_EQ(c.diffusion().size(), 101u);
    EXPECT_EQ(c.convection().size(), 101u);
    EXPECT_EQ(c.reaction().size(), 101u);
    EXPECT_EQ(c.correlation().shape(), std::vector<std::size_t>{0});
    EXPECT_EQ(c.correlation().size(), 0u);
}

TEST(pde_model_coefficients, two_dimensions_with_correlation)
{
    const pde_model_coefficients c({51, 41}, true);
    for (const tensor<double>* t : {&c.diffusion(), &c.convection(), &c.reaction(), &c.correlation()}) {
        EXPECT_EQ(t->shape(), (std::vector<std::size_t>{51, 41}));
        EXPECT_EQ(t->size(), 2091u);
    }
}

}  // namespace
}  // namespace korvex

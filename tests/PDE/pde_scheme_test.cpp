#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "PDE/scheme/pde_boundary_window.h"
#include "PDE/scheme/pde_scheme.h"
#include "PDE/scheme/pde_scheme_alternating_direction_implicit.h"
#include "PDE/scheme/pde_scheme_one_dimension.h"
#include "core/error.h"

namespace korvex {
namespace {

using bc = pde_boundary_config;
using coefficients_ptr = std::shared_ptr<pde_model_coefficients>;

constexpr const char* scheme_file = "Library/PDE/scheme/pde_scheme";
constexpr const char* one_dimension_file = "Library/PDE/scheme/pde_scheme_one_dimension";

std::shared_ptr<const time_grid> dates_0_to_10(bool forward, bool rannacher_at_end = false)
{
    const auto direction = forward ? time_grid_config::forward : time_grid_config::backward;
    if (rannacher_at_end)
        return std::make_shared<const time_grid>(
            time_grid_config(time_grid_config::event_rannacher, direction, false, 1.0, 2, 0.25),
            datetime(0.0), datetime(10.0), std::vector<datetime>{datetime(10.0)}, std::vector<datetime>{});
    return std::make_shared<const time_grid>(
        time_grid_config(time_grid_config::fixed_step, direction, false, 1.0, 0, 0.0), datetime(0.0),
        datetime(10.0), std::vector<datetime>{}, std::vector<datetime>{});
}

// n points over [0, 2]: evenly spaced, or the square roots of evenly spaced points over [0, 4].
std::shared_ptr<const space_grid> axis(bool uniform, std::size_t n = 21)
{
    if (uniform)
        return std::make_shared<const space_grid>(
            space_grid_config(space_grid_config::uniform, false, false, space_grid_config::identity, 0.0, 1.0, 0.0),
            n, 0.0, 2.0, 0.0, std::vector<double>{});
    return std::make_shared<const space_grid>(
        space_grid_config(space_grid_config::uniform, false, true, space_grid_config::sqrt, 0.0, 1.0, 0.0), n, 0.0,
        4.0, 0.0, std::vector<double>{});
}

coefficients_ptr coefficients(std::size_t n, double a, double b, double c)
{
    auto result = std::make_shared<pde_model_coefficients>(std::vector<std::size_t>{n}, false);
    for (std::size_t k = 0; k < n; ++k) {
        const double x = static_cast<double>(k) / static_cast<double>(n);
        result->diffusion_[k] = a * (1.0 + x);
        result->convection_[k] = b * (1.0 - x);
        result->reaction_[k] = c;
    }
    return result;
}

std::shared_ptr<pde_scheme_one_dimension> make_scheme(const std::shared_ptr<const time_grid>& times,
                                                      const std::shared_ptr<const space_grid>& space,
                                                      const coefficients_ptr& c, std::size_t stencil,
                                                      pde_scheme_type type, bool scale = false)
{
    return std::dynamic_pointer_cast<pde_scheme_one_dimension>(
        pde_scheme::create_scheme(times, {space}, {c}, {stencil}, {false}, type, scale, matrix<double>()));
}

// Smooth values with a bump, one row per result.
void fill(pde_storage& storage, std::size_t n)
{
    for (std::size_t r = 0; r < storage.number_of_results(); ++r)
        for (std::size_t k = 0; k < n; ++k)
            storage.result()[r * n + k] = std::sin(0.3 * static_cast<double>(k) + static_cast<double>(r)) + 2.0;
}

std::vector<double> values(const pde_storage& storage)
{
    return std::vector<double>(storage.result().data(), storage.result().data() + storage.result().size());
}

void expect_error(const std::function<void()>& f, const SourceLocation& location, const std::string& message)
{
    try {
        f();
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(e.location(), location) << e.location().function << " " << e.location().line;
        EXPECT_EQ(e.message(), message);
    }
}

TEST(create_scheme, refuses_unknown_types_with_an_empty_message)
{
    for (int type : {7, 100, -1})
        expect_error([&] { make_scheme(dates_0_to_10(false), axis(true), coefficients(21, 0, 0, 0), 3,
                                       static_cast<pde_scheme_type>(type)); },
                     {"create_scheme", scheme_file, 40}, "");
}

TEST(create_scheme, alternating_direction_types_build_the_alternating_direction_scheme)
{
    for (int type = 0; type < 4; ++type) {
        const auto scheme = pde_scheme::create_scheme(dates_0_to_10(false), {axis(true), axis(false, 9)},
                                                      {coefficients(21 * 9, 0, 0, 0), coefficients(21 * 9, 0, 0, 0)},
                                                      {3, 5}, {false, false}, static_cast<pde_scheme_type>(type),
                                                      false, matrix<double>());
        ASSERT_NE(std::dynamic_pointer_cast<pde_scheme_alternating_direction_implicit>(scheme), nullptr) << type;
        EXPECT_EQ(scheme->type(), type);
    }
}

TEST(create_scheme, one_dimension_takes_the_first_element_of_each_vector)
{
    const auto first = axis(true, 21), second = axis(false, 31);
    const auto scheme = std::dynamic_pointer_cast<pde_scheme_one_dimension>(pde_scheme::create_scheme(
        dates_0_to_10(false), {first, second}, {coefficients(21, 1, 1, 1), coefficients(31, 1, 1, 1)}, {5, 3},
        {true, false}, implicit_euler, false, matrix<double>()));
    ASSERT_NE(scheme, nullptr);
    EXPECT_EQ(scheme->space(), first);
    EXPECT_EQ(scheme->stencil_size(), 5u);
    EXPECT_EQ(scheme->type(), implicit_euler);
    EXPECT_EQ(scheme->first_derivative_weights().size(), 5u * 21u);
    EXPECT_EQ(scheme->second_derivative_weights().size(), 5u * 21u);
}

TEST(create_scheme, refuses_empty_vectors)
{
    expect_error([] { pde_scheme::create_scheme(dates_0_to_10(false), {}, {}, {}, {}, crank_nicolson, false,
                                                matrix<double>()); },
                 {"create_scheme", scheme_file, 70},
                 "Expected !space_grids.empty() && !coefficients.empty() && !stencil_sizes.empty() to be true, "
                 "but got false.  a one-dimensional scheme needs a space grid, coefficients and a stencil size");
}

TEST(pde_scheme_one_dimension, refuses_bad_construction_arguments)
{
    expect_error([] { pde_scheme_one_dimension(dates_0_to_10(false), axis(true), coefficients(21, 0, 0, 0), 3,
                                               adi_douglas, false); },
                 {"pde_scheme_one_dimension", one_dimension_file, 385}, "");
    expect_error([] { make_scheme(nullptr, axis(true), coefficients(21, 0, 0, 0), 3, implicit_euler); },
                 {"pde_scheme", scheme_file, 32}, "Expected time_grid_ != nullptr to be true, but got false.");
    expect_error([] { make_scheme(dates_0_to_10(false), nullptr, coefficients(21, 0, 0, 0), 3, implicit_euler); },
                 {"pde_scheme_one_dimension", one_dimension_file, 62},
                 "Expected space_grid_ != nullptr && coefficients != nullptr to be true, but got false.");
    expect_error([] { make_scheme(dates_0_to_10(false), axis(true), coefficients(21, 0, 0, 0), 4, implicit_euler); },
                 {"pde_scheme_one_dimension", one_dimension_file, 64},
                 "Expected stencil_size_ == 3 || stencil_size_ == 5 to be true, but got false.");
    expect_error([] { make_scheme(dates_0_to_10(false), axis(true, 4), coefficients(4, 0, 0, 0), 5, implicit_euler); },
                 {"pde_scheme_one_dimension", one_dimension_file, 66},
                 "Expected n >= stencil_size_ to be true, but got false.  an axis of 4 points is too short for a "
                 "stencil of 5");
}

TEST(pde_scheme, dates_are_nan_until_initialized_then_follow_the_direction)
{
    const auto backward = make_scheme(dates_0_to_10(false), axis(true), coefficients(21, 0, 0, 0), 3, implicit_euler);
    EXPECT_TRUE(std::isnan(backward->from().as_float()));
    EXPECT_TRUE(std::isnan(backward->to().as_float()));
    backward->initialize(4);
    EXPECT_EQ(backward->from(), datetime(4.0));
    EXPECT_EQ(backward->to(), datetime(3.0));

    const auto forward = make_scheme(dates_0_to_10(true), axis(true), coefficients(21, 0, 0, 0), 3, implicit_euler);
    forward->initialize(4);
    EXPECT_EQ(forward->from(), datetime(4.0));
    EXPECT_EQ(forward->to(), datetime(5.0));

    expect_error([&] { backward->initialize(0); }, {"initialize", scheme_file, 52},
                 "Expected has_next to be true, but got false.  no backward step from date 0 of a grid of 11 dates");
    EXPECT_THROW(forward->initialize(10), Error);
    EXPECT_THROW(backward->initialize(11), Error);
}

TEST(pde_scheme_one_dimension, step_weights_by_type_step_and_direction)
{
    const auto c = coefficients(21, 0, 0, 0);
    const auto cn = make_scheme(dates_0_to_10(false, true), axis(true), c, 3, crank_nicolson);
    EXPECT_EQ(cn->diagonal_weight(), 0.5);
    EXPECT_EQ(cn->operator_weight(), 0.25);
    const std::size_t last = cn->grid()->size() - 1;
    cn->initialize(last);  // maturity, a Rannacher date
    EXPECT_TRUE(cn->is_rannacher_step());
    EXPECT_EQ(cn->diagonal_weight(), 1.0);
    EXPECT_EQ(cn->operator_weight(), 1.0);
    EXPECT_EQ(cn->signed_operator_weight(), 1.0);
    cn->initialize(3);
    EXPECT_FALSE(cn->is_rannacher_step());
    EXPECT_EQ(cn->diagonal_weight(), 0.5);
    EXPECT_EQ(cn->signed_operator_weight(), 0.25);

    const auto cn_forward = make_scheme(dates_0_to_10(true), axis(true), c, 3, crank_nicolson);
    cn_forward->initialize(0);
    EXPECT_EQ(cn_forward->signed_operator_weight(), -0.25);

    const auto l_stable = make_scheme(dates_0_to_10(true, true), axis(true), c, 3, two_stage_l_stable);
    l_stable->initialize(l_stable->grid()->size() - 2);
    EXPECT_EQ(l_stable->diagonal_weight(), 1.0);
    EXPECT_EQ(l_stable->operator_weight(), 0.29289321881345254);
    EXPECT_EQ(l_stable->signed_operator_weight(), -0.29289321881345254);
    EXPECT_FALSE(l_stable->is_rannacher_step());

    const auto euler = make_scheme(dates_0_to_10(false), axis(true), c, 3, implicit_euler);
    EXPECT_EQ(euler->diagonal_weight(), 1.0);
    EXPECT_EQ(euler->operator_weight(), 1.0);
}

struct step_case
{
    pde_scheme_type type;
    std::size_t stencil;
    bool uniform;
};

std::string step_case_name(const ::testing::TestParamInfo<step_case>& info)
{
    return std::to_string(info.param.type) + "_bands" + std::to_string(info.param.stencil) +
           (info.param.uniform ? "_uniform" : "_nonuniform");
}

class every_step : public ::testing::TestWithParam<step_case>
{
protected:
    std::shared_ptr<pde_scheme_one_dimension> scheme(const coefficients_ptr& c, bool forward = false,
                                                     bool scale = false)
    {
        const step_case p = GetParam();
        return make_scheme(dates_0_to_10(forward), axis(p.uniform, c->diffusion().size()), c, p.stencil, p.type,
                           scale);
    }
};

TEST_P(every_step, zero_coefficients_leave_results_unchanged)
{
    const auto c = coefficients(21, 0, 0, 0);
    const auto s = scheme(c);
    pde_storage storage(2, 2, {2, 21});
    fill(storage, 21);
    const std::vector<double> before = values(storage);
    s->initialize(5);
    s->diffuse(storage, {{c, c}}, 1.0);
    const std::vector<double> after = values(storage);
    for (std::size_t i = 0; i < before.size(); ++i)
        EXPECT_NEAR(after[i], before[i], 4e-15 * std::fabs(before[i])) << i;
}

TEST_P(every_step, fixed_value_ends_keep_their_values)
{
    const auto c = coefficients(21, 0.01, 0.05, -0.02);
    const auto s = scheme(c);
    const bc held(bc::fixed_value, false, 0.0, bc::fixed_value, false, 0.0);
    pde_storage storage(1, {21}, {{held}});
    fill(storage, 21);
    const std::vector<double> before = values(storage);
    s->initialize(5);
    s->diffuse(storage, {{nullptr, nullptr}}, 1.0);
    const std::vector<double> after = values(storage);
    const std::size_t rows = GetParam().stencil / 2;
    for (std::size_t k = 0; k < rows; ++k) {
        EXPECT_NEAR(after[k], before[k], 4e-15 * before[k]);
        EXPECT_NEAR(after[20 - k], before[20 - k], 4e-15 * before[20 - k]);
    }
    EXPECT_GT(std::fabs(after[10] - before[10]), 1e-6);
}

TEST_P(every_step, convection_changes_sign_with_a_forward_grid)
{
    pde_storage backward_storage(1, 1, {21}), forward_storage(1, 1, {21}), same_sign(1, 1, {21});
    fill(backward_storage, 21);
    fill(forward_storage, 21);
    fill(same_sign, 21);
    const auto c = coefficients(21, 0.01, 0.3, -0.02);
    const auto reversed = coefficients(21, 0.01, -0.3, -0.02);
    const auto backward = scheme(c);
    const auto forward = scheme(reversed, true);
    const auto forward_same = scheme(c, true);
    backward->initialize(5);
    forward->initialize(5);
    forward_same->initialize(5);
    backward->diffuse(backward_storage, {{c, c}}, 1.0);
    forward->diffuse(forward_storage, {{reversed, reversed}}, 1.0);
    forward_same->diffuse(same_sign, {{c, c}}, 1.0);
    EXPECT_EQ(values(backward_storage), values(forward_storage));
    EXPECT_GT(std::fabs(values(backward_storage)[10] - values(same_sign)[10]), 1e-6);
}

TEST_P(every_step, step_factor_scales_only_when_asked)
{
    const auto c = coefficients(21, 0.01, 0.1, -0.02);
    pde_storage plain(1, 1, {21}), unscaled(1, 1, {21}), scaled(1, 1, {21});
    fill(plain, 21);
    fill(unscaled, 21);
    fill(scaled, 21);
    const auto s = scheme(c), with_scaling = scheme(c, false, true);
    s->initialize(5);
    with_scaling->initialize(5);
    s->diffuse(plain, {{c, c}}, 1.0);
    s->diffuse(unscaled, {{c, c}}, 3.0);
    with_scaling->diffuse(scaled, {{c, c}}, 3.0);
    EXPECT_EQ(values(plain), values(unscaled));
    for (std::size_t k = 0; k < 21; ++k)
        EXPECT_EQ(values(scaled)[k], 3.0 * values(plain)[k]);
}

TEST_P(every_step, nodes_outside_a_floating_window_keep_their_values)
{
    const auto c = coefficients(41, 0.01, 0.1, -0.02);
    const auto s = scheme(c);
    // Boundary values are untransformed coordinates: on the square-root axis 0.43 and 1.55
    // stand at 0.656 and 1.245.
    const bc barrier(bc::no_diffusion, true, 1.55, bc::fixed_value, true, 0.43);
    const pde_boundary_window::dimension window = pde_boundary_window::of(*s->space(), barrier);
    pde_storage storage(1, {41}, {{barrier}});
    fill(storage, 41);
    const std::vector<double> before = values(storage);
    s->initialize(5);
    s->diffuse(storage, {{c, c}}, 1.0);
    const std::vector<double> after = values(storage);
    // Two-stage steps keep a value up to the rounding of 2.414 v - 1.414 v.
    const double rounding = GetParam().type == two_stage_l_stable ? 4e-15 : 0.0;
    for (std::size_t k = 0; k < 41; ++k) {
        if (k <= window.lower.index || k > window.upper.index) {
            EXPECT_NEAR(after[k], before[k], rounding * before[k]) << k;
        } else if (k > window.lower.index + 2 && k + 2 < window.upper.index) {
            EXPECT_NE(after[k], before[k]) << k;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(types_and_stencils, every_step,
                         ::testing::Values(step_case{crank_nicolson, 3, true}, step_case{crank_nicolson, 3, false},
                                           step_case{crank_nicolson, 5, true}, step_case{crank_nicolson, 5, false},
                                           step_case{two_stage_l_stable, 3, true},
                                           step_case{two_stage_l_stable, 5, false},
                                           step_case{implicit_euler, 3, false}, step_case{implicit_euler, 5, true}),
                         step_case_name);

TEST(pde_scheme_one_dimension, rannacher_step_is_a_plain_implicit_step)
{
    const auto c = coefficients(21, 0.01, 0.1, -0.02);
    const auto cn = make_scheme(dates_0_to_10(false, true), axis(true), c, 3, crank_nicolson);
    const auto euler = make_scheme(dates_0_to_10(false, true), axis(true), c, 3, implicit_euler);
    pde_storage a(1, 1, {21}), b(1, 1, {21});
    fill(a, 21);
    fill(b, 21);
    a.scratch() = 7.0;
    const std::size_t last = cn->grid()->size() - 1;
    cn->initialize(last);
    euler->initialize(last);
    cn->diffuse(a, {{c, c}}, 1.0);
    euler->diffuse(b, {{c, c}}, 1.0);
    EXPECT_EQ(values(a), values(b));
    EXPECT_EQ(a.scratch()[3], 7.0);  // no copy on a Rannacher step
}

TEST(pde_scheme_one_dimension, each_group_steps_its_own_layers)
{
    const auto c = coefficients(21, 0.02, 0.1, -0.02);
    const bc held(bc::fixed_value, false, 0.0, bc::fixed_value, false, 0.0);
    const bc free_ends;
    pde_storage mixed(3, {3, 21}, {{held}, {free_ends}, {held}});
    pde_storage only_held(1, {21}, {{held}}), only_free(1, {21}, {{free_ends}});
    fill(mixed, 21);
    for (std::size_t k = 0; k < 21; ++k) {
        only_held.result()[k] = mixed.result()[k];
        only_free.result()[k] = mixed.result()[21 + k];
    }
    const double third_row_start = mixed.result()[42];
    const auto s = make_scheme(dates_0_to_10(false), axis(true), c, 3, crank_nicolson);
    s->initialize(5);
    // Groups in key order: fixed_value (type 0) before no_diffusion (type 1).
    s->diffuse(mixed, {{nullptr, nullptr}, {c, c}}, 1.0);
    s->diffuse(only_held, {{nullptr, nullptr}}, 1.0);
    s->diffuse(only_free, {{c, c}}, 1.0);
    for (std::size_t k = 0; k < 21; ++k) {
        EXPECT_EQ(mixed.result()[k], only_held.result()[k]) << k;
        EXPECT_EQ(mixed.result()[21 + k], only_free.result()[k]) << k;
    }
    EXPECT_EQ(mixed.result()[42], third_row_start);  // a fixed_value end of row 2
}

TEST(pde_scheme_one_dimension, one_group_steps_every_row_whatever_its_layer_count)
{
    const auto c = coefficients(21, 0.02, 0.1, -0.02);
    pde_storage two_rows(1, 2, {2, 21});  // one layer of default boundaries, two results
    pde_storage first(1, 1, {21}), second(1, 1, {21});
    fill(two_rows, 21);
    for (std::size_t k = 0; k < 21; ++k) {
        first.result()[k] = two_rows.result()[k];
        second.result()[k] = two_rows.result()[21 + k];
    }
    const auto s = make_scheme(dates_0_to_10(false), axis(true), c, 3, crank_nicolson);
    s->initialize(5);
    s->diffuse(two_rows, {{c, c}}, 1.0);
    s->diffuse(first, {{c, c}}, 1.0);
    s->diffuse(second, {{c, c}}, 1.0);
    for (std::size_t k = 0; k < 21; ++k) {
        EXPECT_EQ(two_rows.result()[k], first.result()[k]) << k;
        EXPECT_EQ(two_rows.result()[21 + k], second.result()[k]) << k;
    }
}

TEST(pde_scheme_one_dimension, refuses_inconsistent_steps_before_writing)
{
    const auto c = coefficients(21, 0.01, 0.1, -0.02);
    const auto s = make_scheme(dates_0_to_10(false), axis(true), c, 3, implicit_euler);
    s->initialize(5);
    pde_storage storage(1, 1, {21});
    fill(storage, 21);
    const std::vector<double> before = values(storage);

    expect_error([&] { s->diffuse(storage, {}, 1.0); }, {"check_step", one_dimension_file, 114},
                 "Expected boundary_coefficients.size() == groups.size() to be true, but got false.  0 boundary "
                 "coefficient sets for 1 boundary groups");
    expect_error([&] { s->diffuse(storage, {{c, nullptr}}, 1.0); }, {"check_step", one_dimension_file, 127},
                 "Expected has_boundary_sets to be true, but got false.  a no_diffusion end needs boundary "
                 "coefficients of 21 values");
    pde_storage wrong(1, 1, {20});
    expect_error([&] { s->diffuse(wrong, {{c, c}}, 1.0); }, {"check_step", one_dimension_file, 111},
                 "Expected rows_fit to be true, but got false.  the storage must hold rows of 21 values");
    const bc narrow(bc::fixed_value, true, 0.5, bc::fixed_value, true, 0.45);
    pde_storage narrow_storage(1, {21}, {{narrow}});
    expect_error([&] { s->diffuse(narrow_storage, {{c, c}}, 1.0); }, {"check_step", one_dimension_file, 118},
                 "Expected wide_enough to be true, but got false.  the boundary window from node 5 to node 5 is "
                 "too narrow for 3 bands");
    c->reaction_ = tensor<double>({20});
    expect_error([&] { s->diffuse(storage, {{c, c}}, 1.0); }, {"check_step", one_dimension_file, 106},
                 "Expected has_coefficients(coefficients_[0].get(), n) to be true, but got false.  the model "
                 "coefficients must hold 21 values each");
    EXPECT_EQ(values(storage), before);
}

TEST(pde_boundary_window, ends_of_the_axis_and_floating_values)
{
    const auto g = std::make_shared<const space_grid>(
        space_grid_config(space_grid_config::uniform, false, false, space_grid_config::identity, 0, 1, 0), 11, 0.0,
        10.0, 0.0, std::vector<double>{});
    const auto window = [&](const bc& config) { return pde_boundary_window::of(*g, config); };
    const auto expect_end = [](const pde_boundary_window::end& e, std::size_t index, double value, bool clipped) {
        EXPECT_EQ(e.index, index);
        EXPECT_EQ(e.value, value);
        EXPECT_EQ(e.clipped, clipped);
    };

    auto w = window(bc());
    expect_end(w.lower, 0, 0.0, false);
    expect_end(w.upper, 10, 10.0, false);

    w = window(bc(bc::no_diffusion, true, 7.5, bc::no_diffusion, true, 2.5));
    expect_end(w.lower, 3, 2.5, false);
    expect_end(w.upper, 8, 7.5, false);

    w = window(bc(bc::no_diffusion, true, 7.0, bc::no_diffusion, true, 3.0));
    expect_end(w.lower, 3, 3.0, false);
    expect_end(w.upper, 7, 7.0, false);

    w = window(bc(bc::no_diffusion, true, 12.0, bc::no_diffusion, true, -1.0));
    expect_end(w.lower, 0, 0.0, true);
    expect_end(w.upper, 10, 10.0, true);

    w = window(bc(bc::no_diffusion, false, 0.0, bc::no_diffusion, true, 11.0));
    expect_end(w.lower, 10, 10.0, true);
    expect_end(w.upper, 10, 10.0, false);

    // A lower barrier alone floats; an upper one alone is refused by down_boundary().
    w = window(bc(bc::no_diffusion, false, 0.0, bc::fixed_value, true, 4.2));
    expect_end(w.lower, 5, 4.2, false);
    expect_end(w.upper, 10, 10.0, false);
    expect_error([&] { window(bc(bc::no_diffusion, true, 4.2, bc::fixed_value, false, 0.0)); },
                 {"down_boundary", "Library/PDE/boundary/pde_boundary_config", 69},
                 "boundary value exist onley for flaoting");

    expect_error([&] { window(bc(bc::no_diffusion, true, std::nan(""), bc::no_diffusion, true, 0.0)); },
                 {"transformed_boundary", "Library/PDE/scheme/pde_boundary_window", 23},
                 "boundary value is NaN in the grid's coordinate");
}

TEST(pde_boundary_window, maps_values_through_the_grid_transformation)
{
    const auto g = std::make_shared<const space_grid>(
        space_grid_config(space_grid_config::uniform, true, false, space_grid_config::log, 0, 1, 0), 11, 1.0,
        std::exp(10.0), 0.0, std::vector<double>{});
    const pde_boundary_window w({g}, {bc(bc::no_diffusion, true, std::exp(7.5), bc::no_diffusion, true, 1.0)});
    ASSERT_EQ(w.size(), 1u);
    EXPECT_EQ(w[0].upper.index, 8u);
    EXPECT_DOUBLE_EQ(w[0].upper.value, 7.5);
    EXPECT_EQ(w[0].lower.index, 0u);
    EXPECT_FALSE(w[0].lower.clipped);
    expect_error([&] { pde_boundary_window({g, g}, {bc()}); },
                 {"pde_boundary_window", "Library/PDE/scheme/pde_boundary_window", 65},
                 "Expected configs.size() >= grids.size() to be true, but got false.  1 boundary configurations "
                 "for 2 dimensions");
}

}  // namespace
}  // namespace korvex

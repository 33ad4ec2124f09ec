// The alternating-direction schemes and their operators on two and three axes of unequal
// sizes: theta values, layout of the lines, the cross-derivative convention, second-order
// convergence on a separable heat equation, held boundaries and refused input.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

#include "PDE/discrete/pde_multi_discrete.h"
#include "PDE/discrete/pde_multi_explicit.h"
#include "PDE/scheme/pde_scheme.h"
#include "PDE/scheme/pde_scheme_alternating_direction_implicit.h"
#include "core/error.h"
#include "math/failure_expectation.h"

namespace korvex {
namespace {

using bc = pde_boundary_config;
using coefficients_ptr = std::shared_ptr<pde_model_coefficients>;
using grids = std::vector<std::shared_ptr<const space_grid>>;
using adi = pde_scheme_alternating_direction_implicit;

constexpr pde_scheme_type adi_types[] = {adi_hundsdorfer_verwer, adi_douglas, adi_craig_sneyd,
                                         adi_modified_craig_sneyd};

// `steps` equal steps over [0, 10], walked backward.
std::shared_ptr<const time_grid> backward_dates(std::size_t steps = 10)
{
    const double step = 10.0 / static_cast<double>(steps) * (1.0 - 1e-12);
    return std::make_shared<const time_grid>(
        time_grid_config(time_grid_config::fixed_step, time_grid_config::backward, false, step, 0, 0.0),
        datetime(0.0), datetime(10.0), std::vector<datetime>{}, std::vector<datetime>{});
}

// n points over [lower, upper]: evenly spaced, or denser towards the lower end.
std::shared_ptr<const space_grid> axis(std::size_t n, double lower, double upper, bool uniform = true)
{
    std::vector<double> points(n);
    for (std::size_t k = 0; k < n; ++k) {
        const double t = static_cast<double>(k) / static_cast<double>(n - 1);
        points[k] = lower + (upper - lower) * (uniform ? t : t * (0.6 + 0.4 * t));
    }
    return std::make_shared<const space_grid>(
        space_grid_config(space_grid_config::explicit_points, false, false, space_grid_config::identity, 0, 1, 0), n,
        lower, upper, 0.0, points);
}

std::vector<std::size_t> sizes_of(const grids& g)
{
    std::vector<std::size_t> dims;
    for (const auto& axis_grid : g)
        dims.push_back(axis_grid->size());
    return dims;
}

// One coefficient set per dimension, each value f(d, point).
std::vector<coefficients_ptr> coefficients_for(const grids& g,
                                               const std::function<double(std::size_t, std::size_t)>& diffusion,
                                               const std::function<double(std::size_t, std::size_t)>& convection,
                                               const std::function<double(std::size_t, std::size_t)>& reaction)
{
    std::vector<coefficients_ptr> result;
    for (std::size_t d = 0; d < g.size(); ++d) {
        auto c = std::make_shared<pde_model_coefficients>(sizes_of(g), false);
        for (std::size_t p = 0; p < c->diffusion().size(); ++p) {
            c->diffusion_[p] = diffusion(d, p);
            c->convection_[p] = convection(d, p);
            c->reaction_[p] = reaction(d, p);
        }
        result.push_back(c);
    }
    return result;
}

std::shared_ptr<adi> make_adi(const std::shared_ptr<const time_grid>& times, const grids& g,
                              const std::vector<coefficients_ptr>& c, const std::vector<std::size_t>& stencils,
                              pde_scheme_type type, const matrix<double>& correlation = matrix<double>(),
                              bool scale = false)
{
    const std::vector<std::shared_ptr<const pde_model_coefficients>> shared(c.begin(), c.end());
    return std::dynamic_pointer_cast<adi>(pde_scheme::create_scheme(
        times, g, shared, stencils, std::vector<bool>(g.size(), true), type, scale, correlation));
}

matrix<double> correlation_of(std::size_t dims, const std::vector<double>& above_diagonal)
{
    matrix<double> m(dims, dims);
    m = 1.0;
    std::size_t next = 0;
    for (std::size_t i = 0; i < dims; ++i)
        for (std::size_t j = i + 1; j < dims; ++j)
            m(i, j) = m(j, i) = above_diagonal[next++];
    return m;
}

std::vector<double> values(const pde_storage& storage)
{
    return std::vector<double>(storage.result().data(), storage.result().data() + storage.result().size());
}

void fill_smooth(pde_storage& storage)
{
    for (std::size_t p = 0; p < storage.result().size(); ++p)
        storage.result()[p] = 2.0 + std::sin(0.37 * static_cast<double>(p));
}

// The multi-index of flat position p in a row-major layout of `dims`.
std::vector<std::size_t> indices_of(std::size_t p, const std::vector<std::size_t>& dims)
{
    std::vector<std::size_t> index(dims.size());
    for (std::size_t d = dims.size(); d-- > 0;) {
        index[d] = p % dims[d];
        p /= dims[d];
    }
    return index;
}

// --- theta and construction ---------------------------------------------------------------

// The Hundsdorfer-Verwer theta D x / 2, x the root of 2 x ((D - x) / (D - 1))^(D - 1) = 1 on
// [0, 1/2], by bisection in long double.
double hundsdorfer_verwer_theta(std::size_t dims)
{
    if (dims == 1)
        return 0.5;
    const long double d = static_cast<long double>(dims);
    long double lo = 0.0L, hi = 0.5L;
    for (int i = 0; i < 200; ++i) {
        const long double mid = 0.5L * (lo + hi);
        (2.0L * mid * std::pow((d - mid) / (d - 1.0L), d - 1.0L) < 1.0L ? lo : hi) = mid;
    }
    return static_cast<double>(d * lo / 2.0L);
}

class every_dimension_count : public ::testing::TestWithParam<std::size_t>
{
};

TEST_P(every_dimension_count, theta_of_each_type)
{
    const std::size_t dims = GetParam();
    const grids g(dims, axis(6, 0.0, 1.0));
    const auto c = coefficients_for(g, [](auto, auto) { return 0.0; }, [](auto, auto) { return 0.0; },
                                    [](auto, auto) { return 0.0; });
    const std::vector<std::size_t> stencils(dims, 3);
    const double modified_craig_sneyd[] = {0.25, 0.3333333333333333, 1.5 / 3.25};
    EXPECT_NEAR(make_adi(backward_dates(), g, c, stencils, adi_hundsdorfer_verwer)->theta(),
                hundsdorfer_verwer_theta(dims), 4e-16);
    EXPECT_EQ(make_adi(backward_dates(), g, c, stencils, adi_douglas)->theta(), 0.5);
    EXPECT_EQ(make_adi(backward_dates(), g, c, stencils, adi_craig_sneyd)->theta(), 0.5);
    EXPECT_EQ(make_adi(backward_dates(), g, c, stencils, adi_modified_craig_sneyd)->theta(),
              modified_craig_sneyd[dims - 1]);
    if (dims == 2) {
        EXPECT_NEAR(hundsdorfer_verwer_theta(2), 1.0 - std::sqrt(0.5), 1e-16);
    }
}

INSTANTIATE_TEST_SUITE_P(one_to_three, every_dimension_count, ::testing::Values(1u, 2u, 3u));

TEST(pde_scheme_alternating_direction_implicit, refuses_types_outside_its_family)
{
    const grids g{axis(5, 0.0, 1.0), axis(4, 0.0, 1.0)};
    const auto c = coefficients_for(g, [](auto, auto) { return 0.0; }, [](auto, auto) { return 0.0; },
                                    [](auto, auto) { return 0.0; });
    testing::expect_failure([&] { adi(backward_dates(), g, {c[0], c[1]}, {3, 3}, {false, false}, implicit_euler, false,
                           matrix<double>()); },
                 {"initialize", "Library/PDE/scheme/pde_scheme_alternating_direction_implicit", 231}, "");
}

// --- layout and operators ------------------------------------------------------------------

// Zero coefficients: no row changes, whatever the type, the correlation or the stencils.
TEST(pde_scheme_alternating_direction_implicit, zero_coefficients_leave_every_row_unchanged)
{
    const grids g{axis(7, 0.0, 1.0, false), axis(5, -1.0, 1.0)};
    const auto c = coefficients_for(g, [](auto, auto) { return 0.0; }, [](auto, auto) { return 0.0; },
                                    [](auto, auto) { return 0.0; });
    for (const pde_scheme_type type : adi_types) {
        const auto scheme = make_adi(backward_dates(), g, c, {5, 3}, type, correlation_of(2, {0.7}));
        pde_storage storage(1, 3, {3, 7, 5});
        fill_smooth(storage);
        const std::vector<double> before = values(storage);
        scheme->initialize(4);
        scheme->diffuse(storage, {}, 1.0);
        EXPECT_EQ(values(storage), before) << type;
    }
}

struct line_case
{
    std::vector<std::size_t> sizes;
    std::size_t active;  // the only dimension with coefficients
    std::size_t stencil;
};

std::string line_case_name(const ::testing::TestParamInfo<line_case>& info)
{
    return std::to_string(info.param.sizes.size()) + "d_dimension" + std::to_string(info.param.active) + "_bands" +
           std::to_string(info.param.stencil);
}

class one_active_dimension : public ::testing::TestWithParam<line_case>
{
};

// With coefficients along one dimension only, a Douglas or Craig-Sneyd step moves every line
// along that dimension exactly as the one-axis scheme moves that line: the lines of each
// dimension are found in the layout, whatever the axis sizes.
TEST_P(one_active_dimension, steps_every_line_like_the_one_axis_scheme)
{
    const line_case p = GetParam();
    const std::size_t dims = p.sizes.size();
    grids g;
    for (std::size_t d = 0; d < dims; ++d)
        g.push_back(axis(p.sizes[d], 0.0, 1.0 + static_cast<double>(d), d != p.active));
    const auto active_only = [&](double value) {
        return [&, value](std::size_t d, std::size_t point) {
            return d == p.active ? value * (1.0 + 0.01 * static_cast<double>(point % 17)) : 0.0;
        };
    };
    const auto c = coefficients_for(g, active_only(0.02), active_only(-0.1), active_only(-0.03));
    std::vector<std::size_t> stencils(dims, 3);
    stencils[p.active] = p.stencil;

    const std::vector<std::size_t> dims_of_storage = sizes_of(g);
    const std::size_t n = dims_of_storage[p.active];
    const auto one_axis_coefficients = std::make_shared<pde_model_coefficients>(std::vector<std::size_t>{n}, false);
    for (const pde_scheme_type type : {adi_douglas, adi_craig_sneyd}) {
        const auto scheme = make_adi(backward_dates(), g, c, stencils, type, correlation_of(dims, {0.3, 0.2, 0.1}));
        const auto line_scheme = make_adi(backward_dates(), {g[p.active]}, {one_axis_coefficients}, {p.stencil}, type);
        pde_storage storage(1, 1, dims_of_storage);
        fill_smooth(storage);
        const std::vector<double> before = values(storage);
        scheme->initialize(3);
        scheme->diffuse(storage, {}, 1.0);
        line_scheme->initialize(3);

        // Every line along the active dimension: start at each point whose active index is 0.
        const std::size_t stride = storage.result().sub_sizes().size() > p.active + 1
                                       ? storage.result().sub_sizes()[p.active + 1]
                                       : 1;
        for (std::size_t start = 0; start < before.size(); ++start) {
            if (indices_of(start, dims_of_storage)[p.active] != 0)
                continue;
            pde_storage line(1, 1, {n});
            for (std::size_t k = 0; k < n; ++k) {
                const std::size_t q = start + k * stride;
                line.result()[k] = before[q];
                one_axis_coefficients->diffusion_[k] = c[p.active]->diffusion()[q];
                one_axis_coefficients->convection_[k] = c[p.active]->convection()[q];
                one_axis_coefficients->reaction_[k] = c[p.active]->reaction()[q];
            }
            line_scheme->diffuse(line, {}, 1.0);
            for (std::size_t k = 0; k < n; ++k)
                ASSERT_NEAR(storage.result()[start + k * stride], line.result()[k], 1e-14)
                    << "type " << type << " line from " << start << " node " << k;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    unequal_sizes, one_active_dimension,
    ::testing::Values(line_case{{9, 6}, 0, 3}, line_case{{9, 6}, 1, 5}, line_case{{6, 7, 5}, 0, 5},
                      line_case{{6, 7, 5}, 1, 3}, line_case{{6, 7, 5}, 2, 5}),
    line_case_name);

// For u = sum over pairs k_ij x_i x_j the centred cross difference is exact, so the cross pass
// gives rho_ij 2 sqrt(a_i a_j) k_ij at every point inside both axes of a pair: with d = 0 on
// any axes, and with the second-difference product (zero for u) on evenly spaced ones.
void expect_exact_cross_terms(const grids& g, double d)
{
    const std::vector<std::size_t> dims = sizes_of(g);
    const auto c = coefficients_for(
        g, [](std::size_t dim, std::size_t p) { return 0.1 * static_cast<double>(dim + 1) + 0.001 * static_cast<double>(p); },
        [](auto, auto) { return 0.3; }, [](auto, auto) { return 0.0; });
    const std::vector<std::shared_ptr<const pde_model_coefficients>> shared(c.begin(), c.end());
    const auto discrete = std::make_shared<pde_multi_discrete>(g, shared, std::vector<std::size_t>{3, 5, 3},
                                                               std::vector<bool>{true, true, true});
    const std::vector<bc> ends(3);
    discrete->update(ends, std::vector<pde_boundary_window::dimension>{pde_boundary_window::of(*g[0], ends[0]),
                                                                        pde_boundary_window::of(*g[1], ends[1]),
                                                                        pde_boundary_window::of(*g[2], ends[2])});
    const std::vector<double> rho{0.5, -0.25, 0.75};  // pairs (0,1), (0,2), (1,2)
    const std::size_t pairs[3][2] = {{0, 1}, {0, 2}, {1, 2}};
    const double k[] = {1.0, 2.0, -3.0};
    const std::size_t n = discrete->size();
    vector<double> u(n), out(n);
    for (std::size_t p = 0; p < n; ++p) {
        const auto i = indices_of(p, dims);
        const double x0 = g[0]->axis()[i[0]], x1 = g[1]->axis()[i[1]], x2 = g[2]->axis()[i[2]];
        u[p] = k[0] * x0 * x1 + k[1] * x0 * x2 + k[2] * x1 * x2;
    }
    pde_multi_explicit cross(discrete, 0.0, -1.0, 1.0, d, correlation_of(3, rho));
    out = 0.0;
    cross.apply_mixed(out, u);
    for (std::size_t p = 0; p < n; ++p) {
        const auto i = indices_of(p, dims);
        double expected = 0.0;
        for (std::size_t q = 0; q < 3; ++q) {
            const std::size_t a = pairs[q][0], b = pairs[q][1];
            if (i[a] > 0 && i[a] + 1 < dims[a] && i[b] > 0 && i[b] + 1 < dims[b])
                expected += rho[q] * 2.0 * std::sqrt(c[a]->diffusion()[p] * c[b]->diffusion()[p]) * k[q];
        }
        ASSERT_NEAR(out[p], expected, 1e-12) << p;
    }

    pde_multi_explicit uncorrelated(discrete, 0.0, -1.0, 1.0, d, correlation_of(3, {0.0, 0.0, 0.0}));
    out = 0.0;
    uncorrelated.apply_mixed(out, u);
    for (std::size_t p = 0; p < n; ++p)
        ASSERT_EQ(out[p], 0.0);
}

TEST(pde_multi_explicit, cross_term_is_rho_times_two_sqrt_of_the_diffusions)
{
    expect_exact_cross_terms({axis(6, 0.0, 1.0, false), axis(8, -1.0, 2.0), axis(5, 0.5, 1.5, false)}, 0.0);
    expect_exact_cross_terms({axis(6, 0.0, 1.0), axis(8, -1.0, 2.0), axis(5, 0.5, 1.5)}, 0.5);
}

struct cross_order_case
{
    std::size_t stencils[2];
    bool floating_window;  // dimension 0 between two ends that lie between nodes
};

class cross_order : public ::testing::TestWithParam<cross_order_case>
{
};

// The cross derivative is the product of the axes' own first-derivative stencils, so it is
// exact for x^m y^n (m, n = 2 with 3 points, 3 with 5: the rows next to an end take four
// points) on unevenly spaced axes, next to a window's ends too (the nodes there carry the
// ends' coordinates). A 4-point cross difference is exact for x y only.
TEST_P(cross_order, is_exact_for_polynomials_of_the_stencils_degree)
{
    const cross_order_case p = GetParam();
    const grids g{axis(11, 0.0, 1.0, false), axis(9, 0.5, 2.0, false)};
    const std::vector<std::size_t> dims = sizes_of(g);
    const auto c = coefficients_for(
        g, [](std::size_t d, std::size_t q) { return 0.2 + 0.1 * static_cast<double>(d) + 0.003 * static_cast<double>(q); },
        [](auto, auto) { return 0.0; }, [](auto, auto) { return 0.0; });
    const std::vector<std::shared_ptr<const pde_model_coefficients>> shared(c.begin(), c.end());
    const auto discrete = std::make_shared<pde_multi_discrete>(
        g, shared, std::vector<std::size_t>{p.stencils[0], p.stencils[1]}, std::vector<bool>{true, true});
    const bc window = p.floating_window ? bc(bc::fixed_value, true, 0.83, bc::fixed_value, true, 0.07) : bc();
    const std::vector<bc> ends{window, bc()};
    const std::vector<pde_boundary_window::dimension> windows{pde_boundary_window::of(*g[0], ends[0]),
                                                              pde_boundary_window::of(*g[1], ends[1])};
    discrete->update(ends, windows);

    const double m = p.stencils[0] == 3 ? 2.0 : 3.0, n = p.stencils[1] == 3 ? 2.0 : 3.0, rho = -0.6;
    // The window's end nodes stand at the ends' coordinates.
    const auto x_at = [&](std::size_t k) {
        return k == windows[0].lower.index ? windows[0].lower.value
               : k == windows[0].upper.index ? windows[0].upper.value
                                             : g[0]->axis()[k];
    };
    vector<double> u(discrete->size()), out(discrete->size());
    for (std::size_t q = 0; q < u.size(); ++q) {
        const auto i = indices_of(q, dims);
        u[q] = std::pow(x_at(i[0]), m) * std::pow(g[1]->axis()[i[1]], n);
    }
    out = 0.0;
    pde_multi_explicit(discrete, 0.0, -1.0, 1.0, 0.0, correlation_of(2, {rho})).apply_mixed(out, u);
    for (std::size_t q = 0; q < u.size(); ++q) {
        const auto i = indices_of(q, dims);
        const bool inside = i[0] > windows[0].lower.index && i[0] < windows[0].upper.index && i[1] > 0 &&
                            i[1] + 1 < dims[1];
        const double x = x_at(i[0]), y = g[1]->axis()[i[1]];
        const double expected = inside ? rho * 2.0 * std::sqrt(c[0]->diffusion()[q] * c[1]->diffusion()[q]) * m *
                                             std::pow(x, m - 1.0) * n * std::pow(y, n - 1.0)
                                       : 0.0;
        ASSERT_NEAR(out[q], expected, 1e-11 * (1.0 + std::fabs(expected))) << i[0] << ", " << i[1];
    }
}

std::string cross_order_name(const ::testing::TestParamInfo<cross_order_case>& info)
{
    return "bands" + std::to_string(info.param.stencils[0]) + std::to_string(info.param.stencils[1]) +
           (info.param.floating_window ? "_window" : "_full");
}

INSTANTIATE_TEST_SUITE_P(stencil_pairs, cross_order,
                         ::testing::Values(cross_order_case{{3, 3}, false}, cross_order_case{{5, 5}, false},
                                           cross_order_case{{5, 3}, false}, cross_order_case{{3, 5}, true},
                                           cross_order_case{{5, 5}, true}),
                         cross_order_name);

// --- convergence -----------------------------------------------------------------------------

struct heat_case
{
    pde_scheme_type type;
    bool floating_window;  // dimension 0 held between two boundaries between nodes
    std::size_t stencil;   // along dimension 0
};

std::string heat_case_name(const ::testing::TestParamInfo<heat_case>& info)
{
    return std::to_string(info.param.type) + (info.param.floating_window ? "_window" : "_full") + "_bands" +
           std::to_string(info.param.stencil);
}

class separable_heat : public ::testing::TestWithParam<heat_case>
{
protected:
    // u_t = a0 u_xx + a1 u_yy over t in [0, 1] on a rectangle whose sides hold u = 0,
    // u(0) = sin(pi (x - x0) / Lx) sin(pi y): the largest error at the interior nodes.
    double error(std::size_t nx, std::size_t steps) const
    {
        const heat_case p = GetParam();
        const double a0 = 0.08, a1 = 0.05, pi = std::numbers::pi;
        const double x0 = p.floating_window ? 0.13 : 0.0, x1 = p.floating_window ? 0.91 : 1.0;
        const double lx = x1 - x0;
        const std::size_t ny = nx * 3 / 2 + 1;
        const grids g{axis(nx, 0.0, 1.0), axis(ny, 0.0, 1.0)};
        const auto c = coefficients_for(g, [](auto, auto) { return 0.0; }, [](auto, auto) { return 0.0; },
                                        [](auto, auto) { return 0.0; });
        c[1]->reaction_ = tensor<double>({0});
        const auto scheme = make_adi(backward_dates(steps), g, c, {p.stencil, 3}, p.type, correlation_of(2, {0.0}));
        const bc held(bc::fixed_value, false, 0.0, bc::fixed_value, false, 0.0);
        const bc window(bc::fixed_value, true, x1, bc::fixed_value, true, x0);
        pde_storage storage(1, {nx, ny}, {{p.floating_window ? window : held, held}});
        const auto w = pde_boundary_window::of(*g[0], p.floating_window ? window : held);
        const auto exact = [&](std::size_t k, std::size_t l, double t) {
            if (k <= w.lower.index || k >= w.upper.index)
                return 0.0;
            const double x = g[0]->axis()[k], y = g[1]->axis()[l];
            return std::sin(pi * (x - x0) / lx) * std::sin(pi * y) * std::exp(-(a0 * pi * pi / (lx * lx) + a1 * pi * pi) * t);
        };
        for (std::size_t k = 0; k < nx; ++k)
            for (std::size_t l = 0; l < ny; ++l)
                storage.result()[k * ny + l] = exact(k, l, 0.0);
        const auto times = scheme->grid();
        for (std::size_t i = times->size() - 1; i > 0; --i) {
            scheme->initialize(i);
            const double dt = (scheme->from().as_float() - scheme->to().as_float()) / 10.0;
            c[0]->diffusion_ = a0 * dt;
            c[1]->diffusion_ = a1 * dt;
            scheme->diffuse(storage, {}, 1.0);
        }
        double worst = 0.0;
        for (std::size_t k = w.lower.index + 1; k < w.upper.index; ++k)
            for (std::size_t l = 1; l + 1 < ny; ++l)
                worst = std::max(worst, std::fabs(storage.result()[k * ny + l] - exact(k, l, 1.0)));
        return worst;
    }
};

// Space and time steps halve together, so second order in both divides the error by four.
TEST_P(separable_heat, converges_at_second_order_in_space_and_time)
{
    const double coarse = error(21, 3), middle = error(41, 6), fine = error(81, 12);
    EXPECT_LT(fine, 3e-4);
    EXPECT_GT(std::log2(coarse / middle), 1.8);
    EXPECT_GT(std::log2(middle / fine), 1.8);
}

INSTANTIATE_TEST_SUITE_P(
    every_type, separable_heat,
    ::testing::Values(heat_case{adi_hundsdorfer_verwer, false, 3}, heat_case{adi_douglas, false, 3},
                      heat_case{adi_craig_sneyd, false, 3}, heat_case{adi_modified_craig_sneyd, false, 3},
                      heat_case{adi_hundsdorfer_verwer, true, 3}, heat_case{adi_douglas, true, 5},
                      heat_case{adi_craig_sneyd, true, 3}, heat_case{adi_modified_craig_sneyd, true, 5}),
    heat_case_name);

// --- boundaries, groups and refusals ---------------------------------------------------------

class every_type : public ::testing::TestWithParam<pde_scheme_type>
{
};

// A storage of two layers with their own boundaries: each layer steps with its own group,
// held nodes (fixed_value ends and nodes outside a floating window) keep their values, and
// `step_factor` scales the stepped rows when asked.
TEST_P(every_type, each_group_steps_its_rows_and_held_nodes_keep_their_values)
{
    const grids g{axis(12, 0.0, 1.0, false), axis(9, 0.0, 2.0)};
    const auto c = coefficients_for(
        g, [](std::size_t d, std::size_t p) { return 0.002 * static_cast<double>(d + 1) + 1e-5 * static_cast<double>(p); },
        [](auto, std::size_t p) { return 0.01 * std::sin(static_cast<double>(p)); }, [](auto, auto) { return -0.01; });
    const bc held(bc::fixed_value, false, 0.0, bc::fixed_value, false, 0.0);
    const bc window(bc::fixed_value, true, 0.8, bc::no_diffusion, true, 0.2);
    const bc free_ends;
    const auto scheme = make_adi(backward_dates(), g, c, {5, 3}, GetParam(), correlation_of(2, {-0.6}), true);
    pde_storage both(2, {2, 12, 9}, {{window, held}, {free_ends, free_ends}});
    pde_storage first(1, {12, 9}, {{window, held}}), second(1, {12, 9}, {{free_ends, free_ends}});
    fill_smooth(both);
    for (std::size_t p = 0; p < 108; ++p) {
        first.result()[p] = both.result()[p];
        second.result()[p] = both.result()[108 + p];
    }
    const std::vector<double> before = values(first);
    scheme->initialize(2);
    scheme->diffuse(both, {}, 2.0);
    scheme->diffuse(first, {}, 2.0);
    scheme->diffuse(second, {}, 2.0);
    for (std::size_t p = 0; p < 108; ++p) {
        ASSERT_EQ(both.result()[p], first.result()[p]) << p;
        ASSERT_EQ(both.result()[108 + p], second.result()[p]) << p;
    }
    const auto w = pde_boundary_window::of(*g[0], window);
    for (std::size_t k = 0; k < 12; ++k) {
        for (std::size_t l = 0; l < 9; ++l) {
            const std::size_t p = k * 9 + l;
            const bool is_held = k < w.lower.index || k >= w.upper.index || l == 0 || l == 8;
            if (is_held)
                EXPECT_EQ(first.result()[p], 2.0 * before[p]) << k << " " << l;
            else
                EXPECT_NE(first.result()[p], 2.0 * before[p]) << k << " " << l;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(types, every_type, ::testing::ValuesIn(adi_types));

TEST(pde_scheme_alternating_direction_implicit, refuses_bad_correlation_matrices)
{
    const grids g{axis(5, 0.0, 1.0), axis(4, 0.0, 1.0)};
    const auto c = coefficients_for(g, [](auto, auto) { return 0.0; }, [](auto, auto) { return 0.0; },
                                    [](auto, auto) { return 0.0; });
    const char* file = "Library/PDE/discrete/pde_multi_explicit";
    const Error shape = testing::error_of([&] { make_adi(backward_dates(), g, c, {3, 3}, adi_douglas, matrix<double>(3, 3)); });
    EXPECT_STREQ(shape.location().file, file);
    EXPECT_EQ(shape.message(), "Expected shape_fits to be true, but got false.  the correlation matrix must be empty "
                               "or 2 x 2, not 3 x 3");
    for (const double bad : {std::nan(""), 1.5, -1.0000001}) {
        const Error entry = testing::error_of(
            [&] { make_adi(backward_dates(), g, c, {3, 3}, adi_hundsdorfer_verwer, correlation_of(2, {bad})); });
        EXPECT_STREQ(entry.location().file, file);
        EXPECT_NE(entry.message().find("correlation (0, 1) = "), std::string::npos) << entry.message();
    }
    matrix<double> only_below = correlation_of(2, {0.4});
    only_below(1, 0) = std::nan("");  // below the diagonal: not read
    EXPECT_NO_THROW(make_adi(backward_dates(), g, c, {3, 3}, adi_craig_sneyd, only_below));
    EXPECT_NO_THROW(make_adi(backward_dates(), g, c, {3, 3}, adi_craig_sneyd, correlation_of(2, {0.0})));
}

TEST(pde_scheme_alternating_direction_implicit, refuses_inconsistent_steps_before_any_row_changes)
{
    const grids g{axis(6, 0.0, 1.0), axis(5, 0.0, 1.0)};
    const auto c = coefficients_for(g, [](auto, auto) { return 0.01; }, [](auto, auto) { return 0.0; },
                                    [](auto, auto) { return 0.0; });
    const auto scheme = make_adi(backward_dates(), g, c, {3, 3}, adi_douglas);
    scheme->initialize(3);

    pde_storage one_config(1, {6, 5}, {{bc()}});
    fill_smooth(one_config);
    const std::vector<double> before = values(one_config);
    testing::expect_failure([&] { scheme->diffuse(one_config, {}, 1.0); },
                 {"find_windows", "Library/PDE/scheme/pde_step_plan", 26},
                 "Expected configs.size() >= grids.size() to be true, but got false.  a boundary group has 1 "
                 "configurations for 2 dimensions");
    EXPECT_EQ(values(one_config), before);

    pde_storage long_rows(1, 1, {6, 6});
    testing::expect_failure([&] { scheme->diffuse(long_rows, {}, 1.0); },
                 {"run", "Library\\Vectorization/expressions/expressions_evaluator", 30},
                 "Expected expr.size() == rhs.size() to be true, but got false.  expression has diferrent size 36 "
                 "than destination 30");

    const bc narrow(bc::fixed_value, true, 0.5, bc::fixed_value, true, 0.45);
    pde_storage narrow_storage(1, {6, 5}, {{narrow, bc()}});
    EXPECT_THROW(scheme->diffuse(narrow_storage, {}, 1.0), Error);

    c[1]->convection_ = tensor<double>({29});
    pde_storage storage(1, 1, {6, 5});
    EXPECT_THROW(scheme->diffuse(storage, {}, 1.0), Error);

    EXPECT_THROW(make_adi(backward_dates(), g, c, {3, 4}, adi_douglas), Error);
    EXPECT_THROW(make_adi(backward_dates(), {g[0], axis(4, 0.0, 1.0)}, c, {3, 5}, adi_douglas), Error);
    EXPECT_THROW(make_adi(backward_dates(), g, {c[0]}, {3, 3}, adi_douglas), Error);
}

// Rows of the right length whose axes lie the other way round (9 x 12 values for grids of
// 12 x 9) or are split otherwise are refused before any row changes.
TEST(pde_scheme_alternating_direction_implicit, refuses_a_storage_of_another_shape_before_any_row_changes)
{
    const grids g{axis(12, 0.0, 1.0), axis(9, 0.0, 1.0)};
    const auto c = coefficients_for(g, [](auto, auto) { return 0.01; }, [](auto, auto) { return 0.0; },
                                    [](auto, auto) { return 0.0; });
    for (const pde_scheme_type type : adi_types) {
        const auto scheme = make_adi(backward_dates(), g, c, {5, 3}, type, correlation_of(2, {-0.5}));
        scheme->initialize(3);
        const std::vector<std::pair<std::size_t, std::vector<std::size_t>>> shapes{
            {1, {9, 12}}, {2, {2, 9, 12}}, {1, {12, 3, 3}}};
        const char* texts[] = {"9 x 12", "2 x 9 x 12", "12 x 3 x 3"};
        for (std::size_t i = 0; i < shapes.size(); ++i) {
            pde_storage storage(1, shapes[i].first, shapes[i].second);
            fill_smooth(storage);
            const std::vector<double> before = values(storage);
            testing::expect_failure([&] { scheme->diffuse(storage, {}, 1.0); },
                                    {"check_step", "Library/PDE/scheme/pde_scheme_alternating_direction_implicit", 130},
                                    std::string("Expected same_shape to be true, but got false.  a storage of shape ") +
                                        texts[i] + " for grids of 12 x 9");
            EXPECT_EQ(values(storage), before) << texts[i];
        }
        pde_storage right(1, 2, {2, 12, 9});
        EXPECT_NO_THROW(scheme->diffuse(right, {}, 1.0));
    }
}

}  // namespace
}  // namespace korvex

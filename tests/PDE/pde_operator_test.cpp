// The operator a one-dimensional scheme assembles, checked row by row against matrices
// written out by hand (small grids) or built from textbook Lagrange weights.
//
// A step solves M v = r (implicit Euler), returns M^-1 r - r (Crank-Nicolson, M with the
// weights 0.5 and 0.25) or 2.414 M^-2 r - 1.414 M^-1 r (two-stage). Feeding the columns of
// M^2 as results therefore gives back M e_j, M e_j - M^2 e_j or 2.414 e_j - 1.414 M e_j: a
// single step reveals every entry of M.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "PDE/scheme/pde_scheme.h"
#include "PDE/scheme/pde_scheme_one_dimension.h"

namespace korvex {
namespace {

using bc = pde_boundary_config;
using dense = std::vector<std::vector<double>>;

dense zeros(std::size_t n)
{
    return dense(n, std::vector<double>(n, 0.0));
}

dense identity(std::size_t n)
{
    dense m = zeros(n);
    for (std::size_t k = 0; k < n; ++k)
        m[k][k] = 1.0;
    return m;
}

dense product(const dense& a, const dense& b)
{
    const std::size_t n = a.size();
    dense p = zeros(n);
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t k = 0; k < n; ++k)
            for (std::size_t j = 0; j < n; ++j)
                p[i][j] += a[i][k] * b[k][j];
    return p;
}

dense combine(double alpha, const dense& a, double beta, const dense& b)
{
    dense c = a;
    for (std::size_t i = 0; i < a.size(); ++i)
        for (std::size_t j = 0; j < a.size(); ++j)
            c[i][j] = alpha * a[i][j] + beta * b[i][j];
    return c;
}

// First- and second-derivative weights, one per stencil point.
struct weights
{
    std::vector<double> first;
    std::vector<double> second;
};

// The weights at points[at] of the Lagrange polynomial through `points`.
weights lagrange(const std::vector<double>& points, std::size_t at)
{
    const std::size_t m = points.size();
    weights w{std::vector<double>(m), std::vector<double>(m)};
    for (std::size_t j = 0; j < m; ++j) {
        // Coefficients (lowest degree first) of prod_{i != j} (x - x_i) / (x_j - x_i).
        std::vector<long double> poly{1.0L};
        for (std::size_t i = 0; i < m; ++i) {
            if (i == j)
                continue;
            const long double scale = 1.0L / (static_cast<long double>(points[j]) - points[i]);
            std::vector<long double> next(poly.size() + 1, 0.0L);
            for (std::size_t d = 0; d < poly.size(); ++d) {
                next[d + 1] += poly[d] * scale;
                next[d] -= poly[d] * points[i] * scale;
            }
            poly = next;
        }
        // p'(x) = sum d p_d x^(d-1), p''(x) = sum d (d-1) p_d x^(d-2).
        const long double x = points[at];
        long double d1 = 0.0L, d2 = 0.0L;
        for (std::size_t d = 1; d < poly.size(); ++d) {
            const long double k = static_cast<long double>(d);
            d1 += k * poly[d] * std::pow(x, k - 1);
            if (d >= 2)
                d2 += k * (k - 1) * poly[d] * std::pow(x, k - 2);
        }
        w.first[j] = static_cast<double>(d1);
        w.second[j] = static_cast<double>(d2);
    }
    return w;
}

struct coefficient_values
{
    std::vector<double> diffusion;
    std::vector<double> convection;
    std::vector<double> reaction;
};

std::shared_ptr<pde_model_coefficients> make_coefficients(const coefficient_values& v)
{
    const std::size_t n = v.convection.size();
    auto c = std::make_shared<pde_model_coefficients>(std::vector<std::size_t>{n}, false);
    for (std::size_t k = 0; k < n; ++k) {
        c->diffusion_[k] = v.diffusion.empty() ? 0.0 : v.diffusion[k];
        c->convection_[k] = v.convection[k];
        c->reaction_[k] = v.reaction[k];
    }
    return c;
}

// Per-node values used by every case: the model, and two boundary sets whose nodes that
// must not be read hold 9 (the lower set is read at the lower rows only, the upper set at
// the upper rows only).
coefficient_values model(std::size_t n)
{
    const std::vector<double> a{0.1, 0.2, 0.3, 0.4, 0.5, 0.6, 0.7, 0.8, 0.9};
    const std::vector<double> b{0.3, -0.2, 0.1, 0.4, -0.5, 0.2, 0.6, -0.1, 0.25};
    const std::vector<double> c{-0.01, -0.02, -0.03, -0.04, -0.05, -0.06, -0.07, -0.08, -0.09};
    return {std::vector<double>(a.begin(), a.begin() + n), std::vector<double>(b.begin(), b.begin() + n),
            std::vector<double>(c.begin(), c.begin() + n)};
}

coefficient_values lower_set(std::size_t n, std::size_t lo)
{
    coefficient_values v{{}, std::vector<double>(n, 9.0), std::vector<double>(n, 9.0)};
    v.convection[lo] = 0.7;
    v.reaction[lo] = -0.1;
    v.convection[lo + 1] = 0.3;
    v.reaction[lo + 1] = -0.05;
    return v;
}

coefficient_values upper_set(std::size_t n, std::size_t hi)
{
    coefficient_values v{{}, std::vector<double>(n, 9.0), std::vector<double>(n, 9.0)};
    v.convection[hi] = -0.6;
    v.reaction[hi] = -0.2;
    v.convection[hi - 1] = -0.4;
    v.reaction[hi - 1] = -0.15;
    return v;
}

std::shared_ptr<const time_grid> backward_grid()
{
    return std::make_shared<const time_grid>(
        time_grid_config(time_grid_config::fixed_step, time_grid_config::backward, false, 1.0, 0, 0.0),
        datetime(0.0), datetime(4.0), std::vector<datetime>{}, std::vector<datetime>{});
}

std::shared_ptr<const space_grid> uniform_axis(std::size_t n, double lower, double upper)
{
    return std::make_shared<const space_grid>(
        space_grid_config(space_grid_config::uniform, false, false, space_grid_config::identity, 0.0, 1.0, 0.0), n,
        lower, upper, 0.0, std::vector<double>{});
}

std::shared_ptr<const space_grid> explicit_axis(const std::vector<double>& points)
{
    return std::make_shared<const space_grid>(
        space_grid_config(space_grid_config::explicit_points, false, false, space_grid_config::identity, 0.0, 1.0,
                          0.0),
        points.size(), points.front(), points.back(), 0.0, points);
}

// Weights of the step: (theta_I, theta_L), theta_C = theta_L on a backward grid.
struct step_weights
{
    double diagonal;
    double op;
};

step_weights weights_of(pde_scheme_type type)
{
    switch (type) {
    case crank_nicolson: return {0.5, 0.25};
    case two_stage_l_stable: return {1.0, 0.29289321881345254};
    default: return {1.0, 1.0};
    }
}

// Runs one backward step of `type` on the columns of M^2, where M is the operator whose
// implicit-Euler form (both weights 1) is `euler`, and compares with the expected images.
// Every row of M is linear in the weights: M = (theta_I - theta_L) I + theta_L euler.
void expect_operator(pde_scheme_type type, std::size_t stencil, const std::shared_ptr<const space_grid>& axis,
                     const coefficient_values& values, const bc& config, const coefficient_values& lower,
                     const coefficient_values& upper, const dense& euler)
{
    const std::size_t n = euler.size();
    const step_weights w = weights_of(type);
    const dense m = combine(w.diagonal - w.op, identity(n), w.op, euler);
    const dense m2 = product(m, m);
    dense expected;  // column j of the expected result, stored as row j
    if (type == implicit_euler)
        expected = m;
    else if (type == crank_nicolson)
        expected = combine(1.0, m, -1.0, m2);
    else
        expected = combine(2.4142135623730945, identity(n), -1.4142135623730945, m);

    const auto c = make_coefficients(values);
    const auto scheme = pde_scheme::create_scheme(backward_grid(), {axis}, {c}, {stencil}, {false}, type, false,
                                                  matrix<double>());
    pde_storage storage(n, {n, n}, std::vector<std::vector<bc>>(n, {config}));
    for (std::size_t j = 0; j < n; ++j)
        for (std::size_t k = 0; k < n; ++k)
            storage.result()[j * n + k] = m2[k][j];
    scheme->initialize(2);
    scheme->diffuse(storage, {{make_coefficients(upper), make_coefficients(lower)}}, 1.0);

    for (std::size_t j = 0; j < n; ++j)
        for (std::size_t k = 0; k < n; ++k) {
            const double e = expected[k][j];
            EXPECT_NEAR(storage.result()[j * n + k], e, 1e-12 * std::max(1.0, std::fabs(e)))
                << "row " << k << ", column " << j;
        }
}

// Interior row k of the implicit-Euler operator from derivative weights on `nodes`.
void interior_row(dense& m, std::size_t k, const std::vector<std::size_t>& nodes, const weights& w,
                  const coefficient_values& v)
{
    for (std::size_t s = 0; s < nodes.size(); ++s)
        m[k][nodes[s]] += -v.diffusion[k] * w.second[s] - v.convection[k] * w.first[s];
    m[k][k] += 1.0 - v.reaction[k];
}

// A no_diffusion row k: P + Q D1 with P = 1 - c, Q = -b of the boundary set.
void no_diffusion_row(dense& m, std::size_t k, const std::vector<std::size_t>& nodes, const weights& w,
                      const coefficient_values& set)
{
    for (std::size_t s = 0; s < nodes.size(); ++s)
        m[k][nodes[s]] += -set.convection[k] * w.first[s];
    m[k][k] += 1.0 - set.reaction[k];
}

std::string type_name(const ::testing::TestParamInfo<pde_scheme_type>& info)
{
    return info.param == crank_nicolson ? "crank_nicolson"
                                        : (info.param == two_stage_l_stable ? "two_stage" : "implicit_euler");
}

class operator_rows : public ::testing::TestWithParam<pde_scheme_type>
{
};

TEST_P(operator_rows, three_bands_on_five_uniform_nodes)
{
    // h = 0.5: D2 = (4, -8, 4), D1 = (-1, 0, 1); rows 0 and 4 one-sided, h = 0.5.
    const dense euler{{2.5, -1.4, 0.0, 0.0, 0.0},
                      {-1.0, 2.62, -0.6, 0.0, 0.0},
                      {0.0, -1.1, 3.43, -1.3, 0.0},
                      {0.0, 0.0, -1.2, 4.24, -2.0},
                      {0.0, 0.0, 0.0, -1.2, 2.4}};
    expect_operator(GetParam(), 3, uniform_axis(5, 0.0, 2.0), model(5), bc(), lower_set(5, 0), upper_set(5, 4),
                    euler);
}

TEST_P(operator_rows, five_bands_on_five_uniform_nodes)
{
    // Row 2: D2 = (-1/12, 4/3, -5/2, 4/3, -1/12) / h^2, D1 = (1/12, -2/3, 0, 2/3, -1/12) / h.
    // Rows 0, 1: one-sided first derivatives (-3, 4, -1) and (-2/3, -1, 2, -1/3) (h = 0.5);
    // rows 3, 4: (1/3, -2, 1, 2/3) and (1, -4, 3).
    const dense euler{{3.2, -2.8, 0.7, 0.0, 0.0},
                      {0.2, 1.35, -0.6, 0.1, 0.0},
                      {1.0 / 12.0, -22.0 / 15.0, 4.03, -26.0 / 15.0, 7.0 / 60.0},
                      {0.0, 2.0 / 15.0, -0.8, 1.55, 4.0 / 15.0},
                      {0.0, 0.0, 0.6, -2.4, 3.0}};
    expect_operator(GetParam(), 5, uniform_axis(5, 0.0, 2.0), model(5), bc(), lower_set(5, 0), upper_set(5, 4),
                    euler);
}

TEST_P(operator_rows, three_bands_on_five_nonuniform_nodes)
{
    // Spacings 1, 2, 1, 2: D2 = (2/3, -1, 1/3) and D1 = (-2/3, 1/2, 1/6) at nodes 1 and 3,
    // D2 = (1/3, -1, 2/3) and D1 = (-1/6, -1/2, 2/3) at node 2.
    const dense euler{{1.8, -0.7, 0.0, 0.0, 0.0},
                      {-4.0 / 15.0, 1.32, -1.0 / 30.0, 0.0, 0.0},
                      {0.0, -1.0 / 12.0, 1.38, -4.0 / 15.0, 0.0},
                      {0.0, 0.0, 0.0, 1.24, -0.2},
                      {0.0, 0.0, 0.0, -0.3, 1.5}};
    expect_operator(GetParam(), 3, explicit_axis({0.0, 1.0, 3.0, 4.0, 6.0}), model(5), bc(), lower_set(5, 0),
                    upper_set(5, 4), euler);
}

// Rows of a fixed_value end (or of an unknown end type) hold theta_I alone: 7 uniform nodes,
// the interior rows from textbook weights.
void expect_held_ends(pde_scheme_type type, int end_type, std::size_t stencil)
{
    const std::size_t n = 7;
    const std::vector<double> x{0, 1, 2, 3, 4, 5, 6};
    const coefficient_values v = model(n);
    dense euler = identity(n);
    const std::size_t half = stencil / 2;
    for (std::size_t k = half; k + half < n; ++k) {
        euler[k][k] = 0.0;
        const std::vector<double> points(x.begin() + static_cast<long>(k - half),
                                         x.begin() + static_cast<long>(k + half + 1));
        std::vector<std::size_t> nodes;
        for (std::size_t i = k - half; i <= k + half; ++i)
            nodes.push_back(i);
        interior_row(euler, k, nodes, lagrange(points, half), v);
    }
    const auto held_type = static_cast<bc::boundary_conditions_type>(end_type);
    const bc held(held_type, false, 0.0, held_type, false, 0.0);
    expect_operator(type, stencil, uniform_axis(n, 0.0, 6.0), v, held, lower_set(n, 0), upper_set(n, n - 1),
                    euler);
}

TEST_P(operator_rows, fixed_value_and_unknown_ends_hold_their_rows)
{
    for (const int end_type : {0, 7}) {
        expect_held_ends(GetParam(), end_type, 3);
        expect_held_ends(GetParam(), end_type, 5);
    }
}

TEST_P(operator_rows, three_bands_with_both_ends_between_uniform_nodes)
{
    // Nodes 0..6; the lower end 0.4 stands at node 1, the upper end 5.5 at node 6. Row 0 is
    // outside the window; rows 2 and 5 see their outer neighbour at the boundary value.
    const std::size_t n = 7;
    const coefficient_values v = model(n);
    const coefficient_values lower = lower_set(n, 1), upper = upper_set(n, 6);
    dense euler = zeros(n);
    euler[0][0] = 1.0;
    no_diffusion_row(euler, 1, {1, 2}, lagrange({0.4, 2.0}, 0), lower);
    interior_row(euler, 2, {1, 2, 3}, lagrange({0.4, 2.0, 3.0}, 1), v);
    interior_row(euler, 3, {2, 3, 4}, lagrange({2.0, 3.0, 4.0}, 1), v);
    interior_row(euler, 4, {3, 4, 5}, lagrange({3.0, 4.0, 5.0}, 1), v);
    interior_row(euler, 5, {4, 5, 6}, lagrange({4.0, 5.0, 5.5}, 1), v);
    no_diffusion_row(euler, 6, {5, 6}, lagrange({5.0, 5.5}, 1), upper);
    const bc window(bc::no_diffusion, true, 5.5, bc::no_diffusion, true, 0.4);
    expect_operator(GetParam(), 3, uniform_axis(n, 0.0, 6.0), v, window, lower, upper, euler);
}

TEST_P(operator_rows, five_bands_with_a_lower_end_between_uniform_nodes)
{
    // Nodes 0..8, the lower end 0.4 at node 1 (no_diffusion), a fixed upper end at node 8.
    const std::size_t n = 9;
    const coefficient_values v = model(n);
    const coefficient_values lower = lower_set(n, 1), upper = upper_set(n, 8);
    dense euler = zeros(n);
    for (std::size_t k : {0u, 7u, 8u})
        euler[k][k] = 1.0;
    no_diffusion_row(euler, 1, {1, 2, 3}, lagrange({0.4, 2.0, 3.0}, 0), lower);
    no_diffusion_row(euler, 2, {1, 2, 3, 4}, lagrange({0.4, 2.0, 3.0, 4.0}, 1), lower);
    interior_row(euler, 3, {1, 2, 3, 4, 5}, lagrange({0.4, 2.0, 3.0, 4.0, 5.0}, 2), v);
    for (std::size_t k = 4; k <= 6; ++k) {
        const double xk = static_cast<double>(k);
        interior_row(euler, k, {k - 2, k - 1, k, k + 1, k + 2}, lagrange({xk - 2, xk - 1, xk, xk + 1, xk + 2}, 2),
                     v);
    }
    const bc window(bc::fixed_value, false, 0.0, bc::no_diffusion, true, 0.4);
    expect_operator(GetParam(), 5, uniform_axis(n, 0.0, 8.0), v, window, lower, upper, euler);
}

TEST_P(operator_rows, nonuniform_axis_keeps_its_own_weights_next_to_a_floating_end)
{
    // The lower end 0.5 stands at node 1; its no_diffusion row uses the spacing from 0.5,
    // while row 2 keeps the axis weights through x[1] = 1.
    const std::vector<double> x{0.0, 1.0, 3.0, 4.0, 6.0, 7.0};
    const std::size_t n = x.size();
    const coefficient_values v = model(n);
    const coefficient_values lower = lower_set(n, 1), upper = upper_set(n, 5);
    dense euler = zeros(n);
    euler[0][0] = 1.0;
    no_diffusion_row(euler, 1, {1, 2}, lagrange({0.5, 3.0}, 0), lower);
    for (std::size_t k = 2; k <= 4; ++k)
        interior_row(euler, k, {k - 1, k, k + 1}, lagrange({x[k - 1], x[k], x[k + 1]}, 1), v);
    no_diffusion_row(euler, 5, {4, 5}, lagrange({6.0, 7.0}, 1), upper);
    const bc window(bc::no_diffusion, false, 0.0, bc::no_diffusion, true, 0.5);
    expect_operator(GetParam(), 3, explicit_axis(x), v, window, lower, upper, euler);
}

TEST_P(operator_rows, five_bands_on_a_nonuniform_axis)
{
    const std::vector<double> x{0.0, 1.0, 3.0, 4.0, 6.0, 7.0, 9.0};
    const std::size_t n = x.size();
    const coefficient_values v = model(n);
    const coefficient_values lower = lower_set(n, 0), upper = upper_set(n, 6);
    dense euler = zeros(n);
    no_diffusion_row(euler, 0, {0, 1, 2}, lagrange({x[0], x[1], x[2]}, 0), lower);
    no_diffusion_row(euler, 1, {0, 1, 2, 3}, lagrange({x[0], x[1], x[2], x[3]}, 1), lower);
    for (std::size_t k = 2; k <= 4; ++k)
        interior_row(euler, k, {k - 2, k - 1, k, k + 1, k + 2},
                     lagrange({x[k - 2], x[k - 1], x[k], x[k + 1], x[k + 2]}, 2), v);
    no_diffusion_row(euler, 5, {3, 4, 5, 6}, lagrange({x[3], x[4], x[5], x[6]}, 2), upper);
    no_diffusion_row(euler, 6, {4, 5, 6}, lagrange({x[4], x[5], x[6]}, 2), upper);
    expect_operator(GetParam(), 5, explicit_axis(x), v, bc(), lower, upper, euler);
}

INSTANTIATE_TEST_SUITE_P(types, operator_rows,
                         ::testing::Values(crank_nicolson, two_stage_l_stable, implicit_euler), type_name);

}  // namespace
}  // namespace korvex

#include "PDE/scheme/pde_scheme_one_dimension.h"

#include <array>
#include <limits>

#include "PDE/discrete/pde_band_rows.h"
#include "core/check_fail.h"
#include "core/error.h"
#include "math/finite_difference.h"
#include "math/pentadiagonal_operations.h"
#include "math/tridiagonal_operations.h"

namespace korvex {

namespace {

constexpr const char* source = "Library/PDE/scheme/pde_scheme_one_dimension";
constexpr SourceLocation type_location{"pde_scheme_one_dimension", source, 385};
constexpr SourceLocation step_type_location{"diffuse", source, 492};

constexpr SourceLocation at_line(const char* function, int line)
{
    return {function, source, line};
}

constexpr double crank_nicolson_diagonal = 0.5;
constexpr double crank_nicolson_operator = 0.25;
constexpr double l_stable_operator = 0.29289321881345254;  // 1 - 1/sqrt(2)
constexpr double l_stable_new = 2.4142135623730945;        // 1 + sqrt(2)
constexpr double l_stable_old = -1.4142135623730945;       // -sqrt(2)
// Below this diffusion weight, a row next to an off-grid end whose near spacing is under a
// fifth of the far one takes the centred convection difference over both spacings.
constexpr double off_grid_diffusion_floor = 0.0012500000000000002;
constexpr double off_grid_spacing_ratio = 0.2;

using rows = details::pde_band_rows;

bool has_boundary_values(const pde_model_coefficients* c, std::size_t n)
{
    return c != nullptr && c->convection().size() == n && c->reaction().size() == n;
}

// The single line of the axis.
details::banded_layout line_of(std::size_t n)
{
    return {1, n, 1};
}

}  // namespace

pde_scheme_one_dimension::pde_scheme_one_dimension(
    const std::shared_ptr<const time_grid>& grid, const std::shared_ptr<const space_grid>& space,
    const std::shared_ptr<const pde_model_coefficients>& coefficients, std::size_t stencil_size,
    pde_scheme_type type, bool scale_results)
    : pde_scheme(grid, std::vector<std::shared_ptr<const pde_model_coefficients>>{coefficients}, type,
                 scale_results),
      space_grid_(space),
      stencil_size_(stencil_size)
{
    if (type != crank_nicolson && type != two_stage_l_stable && type != implicit_euler)
        throw Error(type_location, "");
    KORVEX_CHECK(at_line("pde_scheme_one_dimension", __LINE__),
                 space_grid_ != nullptr && coefficients != nullptr);
    KORVEX_CHECK(at_line("pde_scheme_one_dimension", __LINE__), stencil_size_ == 3 || stencil_size_ == 5);
    const std::size_t n = space_grid_->size();
    KORVEX_CHECK_MSG(at_line("pde_scheme_one_dimension", __LINE__), n >= stencil_size_, "an axis of ", n,
                     " points is too short for a stencil of ", stencil_size_);

    bands_ = matrix<double>(stencil_size_, n);
    set_step_weights(false);
    second_derivative_weights_.resize(stencil_size_ * n);
    first_derivative_weights_.resize(stencil_size_ * n);
    finite_difference::nonuniform_derivation(space_grid_->axis().data(), n,
                                             first_derivative_weights_.data(),
                                             second_derivative_weights_.data(), false, stencil_size_);
}

void pde_scheme_one_dimension::set_step_weights(bool rannacher) noexcept
{
    rannacher_step_ = type_ == crank_nicolson && rannacher;
    if (type_ == crank_nicolson && !rannacher) {
        diagonal_weight_ = crank_nicolson_diagonal;
        operator_weight_ = crank_nicolson_operator;
    } else if (type_ == two_stage_l_stable) {
        diagonal_weight_ = 1.0;
        operator_weight_ = l_stable_operator;
    } else {
        diagonal_weight_ = 1.0;
        operator_weight_ = 1.0;
    }
    // Stepping forward in time reverses the sign of the convection term.
    signed_operator_weight_ = time_grid_->is_direction_forward() ? -operator_weight_ : operator_weight_;
}

void pde_scheme_one_dimension::initialize(std::size_t i)
{
    pde_scheme::initialize(i);
    if (type_ == crank_nicolson)
        set_step_weights(time_grid_->is_rannacher(i));
}

void pde_scheme_one_dimension::check_step(
    const pde_storage& storage, const std::vector<pde_boundary_coefficients>& boundary_coefficients)
{
    const std::size_t n = space_grid_->size();
    KORVEX_CHECK_MSG(at_line("check_step", __LINE__), has_coefficients(coefficients_[0].get(), n),
                     "the model coefficients must hold ", n, " values each");
    const std::size_t results = storage.number_of_results();
    const bool rows_fit = results > 0 && storage.result().size() == results * n &&
                          storage.scratch().size() == storage.result().size();
    KORVEX_CHECK_MSG(at_line("check_step", __LINE__), rows_fit, "the storage must hold rows of ", n,
                     " values");
    const auto& groups = storage.groups();
    KORVEX_CHECK_MSG(at_line("check_step", __LINE__), boundary_coefficients.size() == groups.size(),
                     boundary_coefficients.size(), " boundary coefficient sets for ", groups.size(),
                     " boundary groups");

    plan_.find_windows(storage, {&space_grid_, 1}, {&stencil_size_, 1}, at_line("check_step", __LINE__));
    std::size_t g = 0;
    for (const auto& [configs, layers] : groups) {
        const pde_boundary_coefficients& sets = boundary_coefficients[g++];
        const bool has_boundary_sets =
            (configs[0].up_type() != pde_boundary_config::no_diffusion ||
             has_boundary_values(sets.first.get(), n)) &&
            (configs[0].down_type() != pde_boundary_config::no_diffusion ||
             has_boundary_values(sets.second.get(), n));
        KORVEX_CHECK_MSG(at_line("check_step", __LINE__), has_boundary_sets,
                         "a no_diffusion end needs boundary coefficients of ", n, " values");
    }
}

void pde_scheme_one_dimension::diffuse(pde_storage& storage,
                                       const std::vector<pde_boundary_coefficients>& boundary_coefficients,
                                       double step_factor)
{
    check_step(storage, boundary_coefficients);

    const std::size_t results = storage.number_of_results();
    matrix<double> rows = storage.result().as_matrix(results);
    matrix<double> saved_rows = storage.scratch().as_matrix(results);
    const auto advance = [&](std::size_t r) {
        vector<double> row = rows.row(r);
        vector<double> saved = saved_rows.row(r);
        step(row, saved);
        if (scale_results_)
            row = step_factor * row;
    };
    std::size_t g = 0;
    for (const auto& [configs, layers] : storage.groups()) {
        assemble(plan_.windows(g)[0], configs[0], boundary_coefficients[g]);
        ++g;
        factorise();
        pde_step_plan::for_each_row(storage, layers, advance);
    }
}

void pde_scheme_one_dimension::step(vector<double>& column, vector<double>& saved)
{
    switch (type_) {
    case crank_nicolson:
        if (rannacher_step_) {
            solve(column);
        } else {
            saved = column;
            solve(column);
            column = column - saved;
        }
        break;
    case two_stage_l_stable:
        saved = column;
        solve(column);
        column = l_stable_new * column + l_stable_old * saved;
        solve(column);
        break;
    case implicit_euler: solve(column); break;
    default: throw Error(step_type_location, "");
    }
}

void pde_scheme_one_dimension::factorise()
{
    const std::size_t n = space_grid_->size();
    if (stencil_size_ == 3)
        tridiagonal_operations::decomposition(bands_, 1, n, 1, false);
    else
        pentadiagonal_operations::decomposition(bands_, 1, n, 1, false);
}

void pde_scheme_one_dimension::solve(vector<double>& column)
{
    const std::size_t n = space_grid_->size();
    if (stencil_size_ == 3)
        tridiagonal_operations::solve_decomposed(column, bands_, column, 1, n, 1, false);
    else
        pentadiagonal_operations::solve_decomposed(column, bands_, column, 1, n, 1, false);
}

void pde_scheme_one_dimension::assemble(const pde_boundary_window::dimension& window,
                                        const pde_boundary_config& config,
                                        const pde_boundary_coefficients& boundary_coefficients)
{
    const std::size_t n = space_grid_->size();
    for (std::size_t k = 0; k < window.lower.index; ++k)
        hold_row(k);
    for (std::size_t k = window.upper.index + 1; k < n; ++k)
        hold_row(k);
    assemble_interior(window);
    if (space_grid_->is_uniform())
        assemble_off_grid_rows(window);
    assemble_lower_rows(window, config.down_type(), boundary_coefficients.second.get());
    assemble_upper_rows(window, config.up_type(), boundary_coefficients.first.get());
}

void pde_scheme_one_dimension::hold_row(std::size_t k) noexcept
{
    const std::size_t n = space_grid_->size();
    rows::hold(bands_.data(), n, stencil_size_, line_of(n), k, diagonal_weight_);
}

// The node next to a held five-band end: held too, or (fixed_value ends, when asked for) the
// three-point row through `points`, the node's two neighbours and itself in axis order.
void pde_scheme_one_dimension::hold_or_three_point_row(std::size_t k,
                                                       pde_boundary_config::boundary_conditions_type type,
                                                       const std::array<double, 3>& points)
{
    if (!three_point_next_to_fixed_ || type != pde_boundary_config::fixed_value) {
        hold_row(k);
        return;
    }
    double d1[5] = {}, d2[5] = {};
    finite_difference::nonuniform_five_points_derivative_0(points.data(), 1, d1, d2);
    write_row(k, d2, d1);
}

details::pde_band_rows::weights pde_scheme_one_dimension::row_weights() const noexcept
{
    return {diagonal_weight_, operator_weight_, signed_operator_weight_};
}

void pde_scheme_one_dimension::write_row(std::size_t k, const double* second,
                                         const double* first) noexcept
{
    const pde_model_coefficients& c = *coefficients_[0];
    const std::size_t n = space_grid_->size();
    const auto fill = stencil_size_ == 3 ? rows::fill<3, false> : rows::fill<5, false>;
    fill(bands_.data(), n, line_of(n), k, k, c.diffusion().data(), c.convection().data(),
         c.reaction().data(), second, first, row_weights());
}

void pde_scheme_one_dimension::assemble_interior(const pde_boundary_window::dimension& window)
{
    const std::size_t half = stencil_size_ / 2;
    const std::size_t lo = window.lower.index;
    const std::size_t hi = window.upper.index;
    if (hi - lo < 2 * half)
        return;
    const std::size_t first = lo + half;
    const std::size_t last = hi - half;
    const std::vector<double>& x = space_grid_->axis();
    const std::size_t n = x.size();
    const pde_model_coefficients& c = *coefficients_[0];
    const double* a = c.diffusion().data();
    const double* b = c.convection().data();
    const double* r = c.reaction().data();
    const rows::weights w = row_weights();

    if (!space_grid_->is_uniform()) {
        const auto fill = stencil_size_ == 3 ? rows::fill<3, true> : rows::fill<5, true>;
        fill(bands_.data(), n, line_of(n), first, last, a, b, r, second_derivative_weights_.data(),
             first_derivative_weights_.data(), w);
        return;
    }

    const double h = x[lo + 2] - x[lo + 1];
    if (stencil_size_ == 3) {
        const double d2[3] = {1.0 / (h * h), -2.0 / (h * h), 1.0 / (h * h)};
        const double d1[3] = {-1.0 / (2.0 * h), 0.0, 1.0 / (2.0 * h)};
        rows::fill<3, false>(bands_.data(), n, line_of(n), first, last, a, b, r, d2, d1, w);
    } else {
        constexpr double twelfth = 0.08333333333333333;
        constexpr double two_thirds = 0.6666666666666666;
        const double h2 = h * h;
        const double d2[5] = {-twelfth / h2, 2.0 * two_thirds / h2, -2.5 / h2, 2.0 * two_thirds / h2,
                              -twelfth / h2};
        const double d1[5] = {twelfth / h, -two_thirds / h, 0.0, two_thirds / h, -twelfth / h};
        rows::fill<5, false>(bands_.data(), n, line_of(n), first, last, a, b, r, d2, d1, w);
    }
}

void pde_scheme_one_dimension::assemble_off_grid_rows(const pde_boundary_window::dimension& window)
{
    const std::vector<double>& x = space_grid_->axis();
    const std::size_t lo = window.lower.index;
    const std::size_t hi = window.upper.index;
    const bool lower_off = x[lo] != window.lower.value;
    const bool upper_off = x[hi] != window.upper.value;
    if (hi - lo < 2 * (stencil_size_ / 2) || !(lower_off || upper_off))
        return;
    // The coordinate of node k, with the window's end nodes standing at the boundary values.
    const auto at = [&](std::size_t k) {
        return k == lo ? window.lower.value : (k == hi ? window.upper.value : x[k]);
    };

    if (stencil_size_ == 5) {
        const auto five_point_row = [&](std::size_t k) {
            const double points[5] = {at(k - 2), at(k - 1), x[k], at(k + 1), at(k + 2)};
            double d1[5] = {}, d2[5] = {};
            finite_difference::nonuniform_five_points_derivative_mid(points, 2, d1, d2, false);
            write_row(k, d2, d1);
        };
        if (lower_off)
            five_point_row(lo + 2);
        if (upper_off && (hi - 2 != lo + 2 || !lower_off))
            five_point_row(hi - 2);
        return;
    }

    const pde_model_coefficients& c = *coefficients_[0];
    const std::size_t n = x.size();
    const auto three_point_row = [&](std::size_t k) {
        const double h1 = x[k] - at(k - 1);
        const double h2 = at(k + 1) - x[k];
        const double denominator = h1 * h2 * (h1 + h2);
        const double diffusion = 2.0 * operator_weight_ * c.diffusion()[k] / denominator;
        const double convection = signed_operator_weight_ * c.convection()[k] / denominator;
        const double base = diagonal_weight_ - operator_weight_ * c.reaction()[k];
        double* band = bands_.data();
        if (diffusion >= off_grid_diffusion_floor || h1 / h2 >= off_grid_spacing_ratio) {
            band[k] = -diffusion * h2 + convection * h2 * h2;
            band[n + k] = base + diffusion * (h1 + h2) + convection * (h1 * h1 - h2 * h2);
            band[2 * n + k] = -(diffusion * h1 + convection * h1 * h1);
        } else {
            band[k] = -diffusion * h2 + convection * h1 * h2;
            band[n + k] = base + diffusion * (h1 + h2);
            band[2 * n + k] = -(diffusion * h1 + convection * h1 * h2);
        }
    };
    if (lower_off)
        three_point_row(lo + 1);
    if (upper_off && (hi - 1 != lo + 1 || !lower_off))
        three_point_row(hi - 1);
}

void pde_scheme_one_dimension::assemble_lower_rows(const pde_boundary_window::dimension& window,
                                                   pde_boundary_config::boundary_conditions_type type,
                                                   const pde_model_coefficients* coefficients)
{
    const std::size_t lo = window.lower.index;
    const bool five = stencil_size_ == 5;
    const std::vector<double>& x = space_grid_->axis();
    const double v = window.lower.value;
    if (type != pde_boundary_config::no_diffusion) {
        hold_row(lo);
        if (five)
            hold_or_three_point_row(lo + 1, type, {v, x[lo + 1], x[lo + 2]});
        return;
    }
    if (!five) {
        convection_row_3(lo, true, x[lo + 1] - v, coefficients);
        return;
    }
    std::array<double, 5> w{};
    const double edge[3] = {v, x[lo + 1], x[lo + 2]};
    finite_difference::nonuniform_five_points_derivative_0(edge, 0, w.data(), nullptr);
    convection_row_5(lo, w, 2, 4, coefficients);
    w = {};
    const double next[4] = {v, x[lo + 1], x[lo + 2], x[lo + 3]};
    finite_difference::nonuniform_five_points_derivative_1(next, 1, w.data(), nullptr);
    convection_row_5(lo + 1, w, 1, 4, coefficients);
}

void pde_scheme_one_dimension::assemble_upper_rows(const pde_boundary_window::dimension& window,
                                                   pde_boundary_config::boundary_conditions_type type,
                                                   const pde_model_coefficients* coefficients)
{
    const std::size_t hi = window.upper.index;
    const bool five = stencil_size_ == 5;
    const std::vector<double>& x = space_grid_->axis();
    const double v = window.upper.value;
    if (type != pde_boundary_config::no_diffusion) {
        hold_row(hi);
        if (five)
            hold_or_three_point_row(hi - 1, type, {x[hi - 2], x[hi - 1], v});
        return;
    }
    if (!five) {
        convection_row_3(hi, false, v - x[hi - 1], coefficients);
        return;
    }
    std::array<double, 5> w{};
    const double edge[3] = {x[hi - 2], x[hi - 1], v};
    finite_difference::nonuniform_five_points_derivative_0(edge, 2, w.data(), nullptr);
    convection_row_5(hi, w, 0, 2, coefficients);
    w = {};
    const double previous[4] = {x[hi - 3], x[hi - 2], x[hi - 1], v};
    finite_difference::nonuniform_five_points_derivative_1(previous, 2, w.data(), nullptr);
    convection_row_5(hi - 1, w, 0, 3, coefficients);
}

void pde_scheme_one_dimension::convection_row_3(std::size_t k, bool lower, double h,
                                                const pde_model_coefficients* coefficients) noexcept
{
    const std::size_t n = space_grid_->size();
    rows::convection_row_3(bands_.data(), n, line_of(n), k, lower, h, coefficients->convection().data(),
                           coefficients->reaction().data(), row_weights());
}

void pde_scheme_one_dimension::convection_row_5(std::size_t k, const std::array<double, 5>& w,
                                                std::size_t from, std::size_t to,
                                                const pde_model_coefficients* coefficients) noexcept
{
    const std::size_t n = space_grid_->size();
    rows::convection_row_5(bands_.data(), n, line_of(n), k, w.data(), from, to,
                           coefficients->convection().data(), coefficients->reaction().data(), row_weights(),
                           std::numeric_limits<double>::infinity());
}

}  // namespace korvex

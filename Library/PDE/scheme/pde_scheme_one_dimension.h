#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <vector>

#include "PDE/boundary/pde_boundary_config.h"
#include "PDE/discrete/pde_band_rows.h"
#include "PDE/pde_export.h"
#include "PDE/scheme/pde_boundary_window.h"
#include "PDE/scheme/pde_scheme.h"
#include "PDE/scheme/pde_step_plan.h"
#include "Vectorization/expressions/matrix.h"
#include "Vectorization/expressions/vector.h"

namespace korvex {

// Theta-type schemes on one space axis: Crank-Nicolson with fully implicit steps on the
// time grid's Rannacher dates (type 4), a two-stage L-stable scheme (type 5) and implicit
// Euler (type 6).
//
// Every step solves M v = r on the active window of the axis, with
//   M = theta_I * I - theta_L * (a D2 + c) - theta_C * b D1,
// a, b, c the diffusion, convection and reaction values of the node (already scaled to the
// step by the caller), D2, D1 the second- and first-derivative stencils (3 or 5 bands;
// weights of the non-uniform axis, or the standard constants on a uniform one), and
// theta_C = theta_L on a backward grid, -theta_L on a forward one. The weights:
//   crank_nicolson: (theta_I, theta_L) = (0.5, 0.25), on a Rannacher step (1, 1);
//     an ordinary step returns v - r = (I - L/2)^-1 (I + L/2) r;
//   two_stage_l_stable: (1, 0.29289321881345254); the step returns
//     2.4142135623730945 M^-2 r - 1.4142135623730945 M^-1 r;
//   implicit_euler: (1, 1).
//
// Boundaries, per group of the storage (see pde_storage): the group's first configuration
// gives the window (pde_boundary_window) and the treatment of its end rows, the group's
// element of `boundary_coefficients` the convection and reaction of those rows (first =
// upper end, second = lower end):
//   fixed_value: the end node keeps its value through the step (two rows with 5 bands;
//     see set_three_point_rows_next_to_fixed_ends);
//   no_diffusion: no diffusion and a one-sided convection term;
//   any other type, and every node outside the window: the node keeps its value through
//   the step (the row is theta_I on the diagonal, so even a Crank-Nicolson step, which
//   solves with 0.5 I and subtracts the old value, leaves it as it is).
// On a uniform axis the rows next to an end that stands between nodes use the true
// spacings; on a non-uniform axis the rows use the axis' own weights.
//
// Refused with Error before anything is written: a type other than 4-6 (empty message), a
// stencil size other than 3 or 5, an axis shorter than the stencil, missing or mis-sized
// coefficients, a storage whose rows are not one axis long, a `boundary_coefficients`
// vector whose size is not the number of groups, a missing boundary coefficient set where
// a no_diffusion end needs it, and a window too narrow for the boundary rows (fewer than
// 2 nodes with 3 bands, 4 with 5 bands).
class KORVEX_PDE_API pde_scheme_one_dimension : public pde_scheme
{
public:
    pde_scheme_one_dimension(const std::shared_ptr<const time_grid>& grid,
                             const std::shared_ptr<const space_grid>& space,
                             const std::shared_ptr<const pde_model_coefficients>& coefficients,
                             std::size_t stencil_size, pde_scheme_type type, bool scale_results);

    // The base dates; for Crank-Nicolson also the Rannacher decision and its weights.
    void initialize(std::size_t i) override;

    void diffuse(pde_storage& storage, const std::vector<pde_boundary_coefficients>& boundary_coefficients,
                 double step_factor) override;

    // With 5 bands a fixed_value end holds the node next to it as well, which leaves that
    // node at its starting value and makes the solution near the end first order (a
    // knock-out barrier, for one). When set, that node gets instead the interior row of the
    // three-point stencil through the end node (standing at the boundary value), so that
    // only the end node is held. Off by default, which keeps the rows described above.
    void set_three_point_rows_next_to_fixed_ends(bool on) noexcept { three_point_next_to_fixed_ = on; }

    double diagonal_weight() const noexcept { return diagonal_weight_; }
    double operator_weight() const noexcept { return operator_weight_; }
    double signed_operator_weight() const noexcept { return signed_operator_weight_; }
    bool is_rannacher_step() const noexcept { return rannacher_step_; }
    std::size_t stencil_size() const noexcept { return stencil_size_; }
    const std::shared_ptr<const space_grid>& space() const noexcept { return space_grid_; }
    const std::vector<double>& second_derivative_weights() const noexcept
    {
        return second_derivative_weights_;
    }
    const std::vector<double>& first_derivative_weights() const noexcept
    {
        return first_derivative_weights_;
    }

private:
    void set_step_weights(bool rannacher) noexcept;
    void check_step(const pde_storage& storage,
                    const std::vector<pde_boundary_coefficients>& boundary_coefficients);
    details::pde_band_rows::weights row_weights() const noexcept;
    void assemble(const pde_boundary_window::dimension& window, const pde_boundary_config& config,
                  const pde_boundary_coefficients& boundary_coefficients);
    void assemble_interior(const pde_boundary_window::dimension& window);
    void assemble_off_grid_rows(const pde_boundary_window::dimension& window);
    void assemble_lower_rows(const pde_boundary_window::dimension& window,
                             pde_boundary_config::boundary_conditions_type type,
                             const pde_model_coefficients* coefficients);
    void assemble_upper_rows(const pde_boundary_window::dimension& window,
                             pde_boundary_config::boundary_conditions_type type,
                             const pde_model_coefficients* coefficients);
    void write_row(std::size_t k, const double* second, const double* first) noexcept;
    void convection_row_3(std::size_t k, bool lower, double h,
                          const pde_model_coefficients* coefficients) noexcept;
    void convection_row_5(std::size_t k, const std::array<double, 5>& w, std::size_t from,
                          std::size_t to, const pde_model_coefficients* coefficients) noexcept;
    void hold_row(std::size_t k) noexcept;
    void hold_or_three_point_row(std::size_t k, pde_boundary_config::boundary_conditions_type type,
                                 const std::array<double, 3>& points);
    void factorise();
    void solve(vector<double>& column);
    void step(vector<double>& column, vector<double>& saved);

    matrix<double> bands_;
    std::shared_ptr<const space_grid> space_grid_;
    std::size_t stencil_size_;
    double diagonal_weight_ = 1.0;
    double operator_weight_ = 1.0;
    double signed_operator_weight_ = 1.0;
    bool rannacher_step_ = false;
    bool three_point_next_to_fixed_ = false;
    pde_step_plan plan_;
};

}  // namespace korvex

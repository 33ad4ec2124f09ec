#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "PDE/coefficients/pde_model_coefficients.h"
#include "PDE/grid/space_grid.h"
#include "PDE/grid/time_grid.h"
#include "PDE/pde_export.h"
#include "PDE/storage/pde_storage.h"
#include "Vectorization/expressions/matrix.h"
#include "util/datetime.h"

namespace korvex {

// The scheme family.
enum pde_scheme_type : std::int32_t
{
    adi_hundsdorfer_verwer = 0,
    adi_douglas = 1,
    adi_craig_sneyd = 2,
    adi_modified_craig_sneyd = 3,
    crank_nicolson = 4,      // Crank-Nicolson, fully implicit on the grid's Rannacher dates
    two_stage_l_stable = 5,  // two implicit stages and an extrapolation, L-stable
    implicit_euler = 6,
};

// The coefficients of the boundary rows of one boundary group: `first` for the upper end,
// `second` for the lower end. The one-dimensional scheme reads them only for no_diffusion
// ends; the alternating-direction scheme does not read them.
using pde_boundary_coefficients = std::pair<std::shared_ptr<const pde_model_coefficients>,
                                            std::shared_ptr<const pde_model_coefficients>>;

// A time-stepping scheme: it advances every result held in a `pde_storage` across one step
// of the time grid. The caller owns the loop: for every step, `initialize(i)` with the
// index of the date the step starts from, then refresh the coefficients for the step (the
// scheme uses them as they stand, so the caller folds the step length in; `from()` and
// `to()` give the step's dates), then `diffuse` once. The step runs from date i to date
// i + 1 on a forward grid and to date i - 1 on a backward one. The scheme keeps no solution
// state between steps; the storage does.
//
// Schemes are handed out by `create_scheme` only, inside a shared pointer, and are neither
// copied nor moved.
class KORVEX_PDE_API pde_scheme
{
public:
    virtual ~pde_scheme();
    pde_scheme(const pde_scheme&) = delete;
    pde_scheme& operator=(const pde_scheme&) = delete;

    // The current step's ends; NaN dates before the first `initialize`.
    const datetime& from() const noexcept { return from_; }
    const datetime& to() const noexcept { return to_; }

    pde_scheme_type type() const noexcept { return type_; }
    const std::shared_ptr<const time_grid>& grid() const noexcept { return time_grid_; }

    // Sets the step's dates. Refuses with Error an index without a neighbour in the
    // direction of the walk (i + 1 past the last date forward, i = 0 backward).
    virtual void initialize(std::size_t i);

    // One time step of every result of `storage`. `boundary_coefficients` holds one element
    // per boundary group of the storage, in the storage's group order. With `scale_results`
    // set, every value stepped is multiplied by `step_factor` at the end of the step.
    virtual void diffuse(pde_storage& storage,
                         const std::vector<pde_boundary_coefficients>& boundary_coefficients,
                         double step_factor) = 0;

    // Types 0-3: a `pde_scheme_alternating_direction_implicit` on every dimension of the
    // vectors (one grid, coefficient set, stencil size and dimension flag per dimension)
    // with the cross terms of `correlation` (empty, or D x D; copied).
    // Types 4-6: a `pde_scheme_one_dimension` on element 0 of `space_grids`, `coefficients`
    // and `stencil_sizes` (3 or 5 bands); `dimension_flags` and `correlation` are not read;
    // empty vectors are refused with Error.
    // Any other type raises Error with an empty message.
    static std::shared_ptr<pde_scheme> create_scheme(
        const std::shared_ptr<const time_grid>& grid,
        const std::vector<std::shared_ptr<const space_grid>>& space_grids,
        const std::vector<std::shared_ptr<const pde_model_coefficients>>& coefficients,
        const std::vector<std::size_t>& stencil_sizes, const std::vector<bool>& dimension_flags,
        pde_scheme_type type, bool scale_results, const matrix<double>& correlation);

protected:
    pde_scheme(const std::shared_ptr<const time_grid>& grid,
               const std::vector<std::shared_ptr<const pde_model_coefficients>>& coefficients,
               pde_scheme_type type, bool scale_results);
    pde_scheme(const std::shared_ptr<const time_grid>& grid,
               std::vector<std::shared_ptr<const pde_model_coefficients>>&& coefficients,
               pde_scheme_type type, bool scale_results);

    // True when the diffusion, convection and reaction tensors of `c` hold n values each; with
    // `reaction_may_be_empty` a reaction tensor without elements passes too.
    static bool has_coefficients(const pde_model_coefficients* c, std::size_t n,
                                 bool reaction_may_be_empty = false) noexcept;

    std::shared_ptr<const time_grid> time_grid_;
    std::vector<std::shared_ptr<const pde_model_coefficients>> coefficients_;
    pde_scheme_type type_;
    bool scale_results_;
    std::vector<double> second_derivative_weights_;
    std::vector<double> first_derivative_weights_;
    datetime from_;
    datetime to_;
};

}  // namespace korvex

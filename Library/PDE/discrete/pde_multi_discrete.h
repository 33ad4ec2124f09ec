#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <span>
#include <utility>
#include <vector>

#include "PDE/boundary/pde_boundary_config.h"
#include "PDE/coefficients/pde_model_coefficients.h"
#include "PDE/grid/space_grid.h"
#include "PDE/pde_export.h"
#include "PDE/scheme/pde_boundary_window.h"
#include "Vectorization/expressions/matrix.h"
#include "Vectorization/expressions/vector.h"
#include "math/banded_layout.h"

namespace korvex {

// The discretised operator of a PDE on D space axes, in the parts the alternating-direction
// scheme applies: one banded matrix per dimension and one cross-derivative coefficient per
// pair of dimensions.
//
// Layout. A grid function holds N = n_0 n_1 ... n_(D-1) values, row-major over the
// dimensions in order: dimension 0 outermost and the last dimension contiguous, as tensors
// are. The lines along dimension d are `layout(d)` = (n_0 ... n_(d-1), n_d,
// n_(d+1) ... n_(D-1)), the triple the banded routines take (tridiagonal_operations.h),
// for any axis sizes.
//
// Per dimension, `update` assembles B_d = -(a D2 + b D1) (3 or 5 bands, one column per grid
// point), a and b the diffusion and convection of coefficient set d at the point, D2 and D1
// the axis' second- and first-derivative weights (finite_difference::nonuniform_derivation,
// built once). The operator of dimension d is -B_d. Reaction is not part of the bands
// (pde_multi_explicit applies it), and the convection is used as given whatever the
// direction of the time grid: the caller's coefficients carry the sign.
//
// Boundaries, per boundary group: in every dimension the window's end nodes lo and hi stand
// at the window's values (pde_boundary_window), and
//  - a no_diffusion end row has no diffusion and a one-sided convection difference (3
//    bands: over the end spacing; 5 bands: the three-point second-order weights, and a
//    convection of magnitude 1e6 or more leaves the row zero);
//  - a fixed_value end node, a node of any other end type and every node outside the window
//    is held: it keeps its value through the step. A point held along one dimension is held
//    in all: its rows are zero in every B_d and `clear_held` zeroes it in an increment;
//  - the rows next to an end between two nodes use the end's coordinate (three-point
//    weights; with 5 bands also the centred row two nodes in), and with 5 bands the row next
//    to an end takes the one-sided four-point stencil, so no row reaches past the window.
//
// Cross derivatives. For every pair i < j, numbered (0, 1), (0, 2), ..., (0, D-1), (1, 2),
// ... in that order (`mixed_pairs`), the cross derivative at a point strictly inside both
// windows is the product of the two axes' own first-derivative stencils, D_i D_j u: the
// weights of the rows of the bands (the axis weights, and next to a window end the end rows'
// weights), so it has the order of the axes' stencils. With 3-point stencils it is the
// 9-point stencil of in 't Hout and Foulon (2010), the 4-point centred cross difference on
// evenly spaced axes; with 5-point stencils on both axes it is a 25-point stencil of fourth
// order. A 4-point cross difference next to 5-point axis stencils left the cross term the
// largest error of a correlated problem: on the Heston cases of in 't Hout and Foulon with
// correlation -0.9 and -0.76, 7e-3 and 8e-3 across the spot range K / 2 ... 3 K / 2 on
// 200 x 50 points, against 5e-4 and 6e-4 with the 25-point stencil.
// `update` keeps, per dimension, the first-derivative bands D_d (the weights of the nodes
// strictly inside the window, zero rows elsewhere) and, per pair, the cross bands
// diag(g) D_i with the cross coefficient
//   g = 2 sqrt(a_i a_j)
// at the points strictly inside both windows (zero elsewhere), so that g D_i D_j u is
// 2 sqrt(a_i a_j) times the cross derivative: with a correlation rho and a_d = sigma_d^2 dt
// / 2 this is the rho sigma_i sigma_j dt term of the PDE (pde_multi_explicit applies it as
// two banded products). The diffusions must not be negative.
//
// The object copies the pointers to the grids and coefficients and reads the coefficients
// at every `update`. Refused with Error at construction: no dimension, vectors of different
// lengths, a null grid or coefficient set, a stencil size other than 3 or 5, an axis shorter
// than its stencil, a grid of more points than a size_t counts, and (with the dimension's
// flag set) an axis that is not strictly increasing.
class KORVEX_PDE_API pde_multi_discrete
{
public:
    using pair_map = std::map<std::pair<std::size_t, std::size_t>, std::size_t>;

    // `dimension_flags[d]` asks finite_difference to check that axis d is finite and strictly
    // increasing before its weights are built.
    pde_multi_discrete(const std::vector<std::shared_ptr<const space_grid>>& space_grids,
                       const std::vector<std::shared_ptr<const pde_model_coefficients>>& coefficients,
                       const std::vector<std::size_t>& stencil_sizes,
                       const std::vector<bool>& dimension_flags);

    pde_multi_discrete(const pde_multi_discrete&) = delete;
    pde_multi_discrete& operator=(const pde_multi_discrete&) = delete;

    std::size_t size() const noexcept { return size_; }
    std::size_t dimensions() const noexcept { return grids_.size(); }

    // Re-assembles the bands and cross coefficients for one boundary group: `configs` holds
    // at least one configuration per dimension (entry d for dimension d), `windows` one
    // window per dimension, computed from those configurations. Refused with Error: fewer
    // configurations or windows, a window outside its axis or too narrow for the end rows
    // (2 nodes with 3 bands, 4 with 5 bands).
    //
    // Returns false, and leaves everything as it is, when the last update had the same
    // configurations and windows and every diffusion and convection value is unchanged
    // since then (the usual step of a problem with constant coefficients): re-assembling
    // would write the same bands, so the callers' factorisations stay valid too. Comparing
    // costs a fraction of assembling and factorising.
    bool update(const std::vector<pde_boundary_config>& configs,
                std::span<const pde_boundary_window::dimension> windows);

    const matrix<double>& bands(std::size_t d) const noexcept { return bands_[d]; }
    const details::banded_layout& layout(std::size_t d) const noexcept { return layouts_[d]; }
    std::size_t stencil_size(std::size_t d) const noexcept { return stencil_sizes_[d]; }
    const pde_model_coefficients& coefficients(std::size_t d) const noexcept { return *coefficients_[d]; }
    const std::vector<std::shared_ptr<const space_grid>>& grids() const noexcept { return grids_; }
    const std::vector<std::size_t>& stencil_sizes() const noexcept { return stencil_sizes_; }
    const pair_map& mixed_pairs() const noexcept { return mixed_pairs_; }

    // The first-derivative bands of dimension d and the cross bands of pair number `pair`
    // (see above), in the layout of `bands`.
    const matrix<double>& derivative_bands(std::size_t d) const noexcept { return derivative_bands_[d]; }
    const matrix<double>& cross_bands(std::size_t pair) const noexcept { return cross_bands_[pair]; }

    // The cross coefficients g = 2 sqrt(a_i a_j) of pair number `pair`, one per grid point;
    // defined at the points `for_each_cross_point` visits.
    const vector<double>& cross_coefficients(std::size_t pair) const noexcept { return cross_[pair]; }

    // 1 / (x[k+1] - x[k-1]) at the nodes k strictly inside the window of dimension d, with the
    // window's end coordinates.
    const std::vector<double>& inverse_spans(std::size_t d) const noexcept { return inverse_spans_[d]; }

    // visit(p, k, l) for every point p whose indices k along i and l along j lie strictly
    // inside the current windows of i and j (points held along a third dimension included:
    // callers clear them with `clear_held`). Positions come in runs of consecutive values,
    // so a simple body vectorises.
    template <class Visit>
    void for_each_cross_point(std::size_t i, std::size_t j, Visit&& visit) const
    {
        walk_pair(i, j, visit);
    }

    // Sets the held points of the current group to zero.
    void clear_held(vector<double>& increment) const noexcept;

private:
    struct range
    {
        std::size_t first = 0;
        std::size_t last = 0;
    };

    void assemble(std::size_t d, const pde_boundary_config& config,
                  const pde_boundary_window::dimension& window);
    void assemble_next_to_ends(std::size_t d, const pde_boundary_window::dimension& window);
    void assemble_ends(std::size_t d, const pde_boundary_config& config,
                       const pde_boundary_window::dimension& window);
    void write_row(std::size_t d, std::size_t k, const double* second, const double* first);
    void assemble_derivative(std::size_t d);
    void hold_across_dimensions();
    bool same_as_last_update(const std::vector<pde_boundary_config>& configs,
                             std::span<const pde_boundary_window::dimension> windows) const;
    void remember_update(const std::vector<pde_boundary_config>& configs,
                         std::span<const pde_boundary_window::dimension> windows);
    void update_cross(std::size_t i, std::size_t j, std::size_t pair,
                      std::span<const pde_boundary_window::dimension> windows);

    // visit(p, k, l) over the points of pair (i, j) described at for_each_cross_point.
    template <class Visit>
    void walk_pair(std::size_t i, std::size_t j, Visit&& visit) const
    {
        const details::banded_layout& li = layouts_[i];
        const std::size_t block_j = layouts_[j].n * layouts_[j].inner;
        const std::size_t between = li.inner / block_j;  // points of the dimensions between i and j
        const std::size_t inner_j = layouts_[j].inner;
        const range ki = inside_[i], lj = inside_[j];
        if (ki.first > ki.last || lj.first > lj.last)
            return;
        for (std::size_t o = 0; o < li.outer; ++o) {
            for (std::size_t k = ki.first; k <= ki.last; ++k) {
                for (std::size_t m = 0; m < between; ++m) {
                    const std::size_t base = ((o * li.n + k) * between + m) * block_j;
                    if (inner_j == 1) {
                        for (std::size_t l = lj.first; l <= lj.last; ++l)
                            visit(base + l, k, l);
                    } else {
                        for (std::size_t l = lj.first; l <= lj.last; ++l)
                            for (std::size_t p = base + l * inner_j; p < base + (l + 1) * inner_j; ++p)
                                visit(p, k, l);
                    }
                }
            }
        }
    }

    std::vector<std::shared_ptr<const space_grid>> grids_;
    std::vector<std::shared_ptr<const pde_model_coefficients>> coefficients_;
    std::vector<std::size_t> stencil_sizes_;
    std::vector<bool> dimension_flags_;
    pair_map mixed_pairs_;
    std::vector<std::vector<double>> second_derivative_weights_;
    std::vector<std::vector<double>> first_derivative_weights_;
    std::vector<matrix<double>> bands_;
    std::vector<details::banded_layout> layouts_;
    std::size_t size_ = 0;

    // The current group: per dimension the nodes that are not held (`active_`), the nodes
    // strictly inside the window (`inside_`), the first-derivative weights of the window's
    // rows (stencil size per node, as the axis weights), the reciprocal spans
    // 1 / (x[k+1] - x[k-1]) with the window's end coordinates and the first-derivative
    // bands; per pair the cross coefficients and the cross bands.
    std::vector<range> active_;
    std::vector<range> inside_;
    std::vector<std::vector<double>> window_first_weights_;
    std::vector<std::vector<double>> inverse_spans_;
    std::vector<matrix<double>> derivative_bands_;
    std::vector<vector<double>> cross_;
    std::vector<matrix<double>> cross_bands_;

    // What the last update read (empty before the first): the configurations and windows of
    // every dimension, and the diffusion and convection values of every dimension, in turn.
    std::vector<pde_boundary_config> last_configs_;
    std::vector<pde_boundary_window::dimension> last_windows_;
    std::vector<double> last_coefficients_;
};

}  // namespace korvex

#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "PDE/discrete/pde_multi_discrete.h"
#include "PDE/discrete/pde_multi_explicit.h"
#include "PDE/discrete/pde_multi_implicit.h"
#include "PDE/pde_export.h"
#include "PDE/scheme/pde_scheme.h"
#include "PDE/scheme/pde_step_plan.h"
#include "Vectorization/expressions/matrix.h"
#include "Vectorization/expressions/vector.h"

namespace korvex {

// Alternating-direction implicit schemes for PDEs on one or more space axes (types 0-3).
//
// The operator of the step is A = A0 + A_1 + ... + A_D: A_d = -B_d the part along axis d
// (pde_multi_discrete), A0 the cross-derivative terms and the reaction, applied
// explicitly. With X(u) the cross pass (pde_multi_explicit, without the second-difference
// product), R(u) = sum_d c_d u, F(u) = sum_d A_d u + X(u) + R(u), and Solve(x)
// the sweeps x <- (I + theta B_d)^-1 x for d = 0 ... D-1, each step works on increments
// (Z, W) of every result row u:
//   adi_douglas (theta 1/2):           Z = F(u); Solve(Z); u += Z + R(Z) / 2.
//   adi_craig_sneyd (theta 1/2):       Z = F(u); W = Z; Solve(Z);
//                                      W += X(Z) / 2 + R(Z) / 2; Solve(W); u += W.
//   adi_modified_craig_sneyd:          as Craig-Sneyd, with W also += (1/2 - theta) sum_d A_d Z;
//                                      theta 1/4 for D = 1, 1/3 for D = 2, else
//                                      max(1/4, D / 2 / ((D / (D - 1))^(D - 1) + 1)).
//   adi_hundsdorfer_verwer:            Z = F(u); W = Z; Solve(Z); W += F(Z) / 2 - Z;
//                                      Solve(W); u += Z + W; theta 1/2 for D = 1, else
//                                      D x / 2 with x the root of 2 x ((D - x) / (D - 1))^(D - 1) = 1
//                                      on [0, 1/2] (1 - sqrt(1/2) for D = 2).
// The step length is folded into the coefficients by the caller, who also gives the
// convection the sign of the time direction (the scheme uses the coefficients as given).
//
// Cross terms: `correlation` (empty, or D x D with entries above the diagonal in [-1, 1])
// gives each pair (i, j) the term rho_ij 2 sqrt(a_i a_j) d2u / dx_i dx_j, a_d the diffusion
// of dimension d: with a_d = sigma_d^2 dt / 2 this is the rho sigma_i sigma_j dt term of the
// PDE. The matrix is copied.
//
// One cross operator in every stage, without the second-difference product. The
// correctors re-apply exactly the operator of the first explicit stage: the stability
// analyses of these schemes (in 't Hout and Welfert, 2007, 2009) assume that the corrector
// re-applies the predictor's A0, and a corrector with another cross operator (the product
// term in the predictor only) made Hundsdorfer-Verwer diverge on ordinary Heston grids
// once the steps were short enough (200 x 100 sinh grids, case A, rho = -0.9: from 200
// steps; 400 x 200, case C: a growing mode at 100 steps). The cross pass is the product of
// the axes' first-derivative stencils (pde_multi_discrete), of fourth order with 5-point
// stencils; the product of second differences (d > 0 in pde_multi_explicit) is a term of
// second order that would spoil it: on the Heston cases of in 't Hout and Foulon with
// 5-point stencils on 200 x 50 points it took the largest error over K / 2 ... 3 K / 2 from
// 5e-4 to 1.9e-3 (case A, d = 1/2). With the same cross operator in every stage every
// scheme is stable from 25 to 800 steps on these cases (spot x variance 40 x 20 to
// 200 x 100 points). Hundsdorfer-Verwer with this theta is stable for moderate steps only:
// the step matrices, formed column by column on 50 x 25 points of cases A to C, have
// spectral radius at most 1 (1 exactly for the u = S mode of a call without dividends)
// from 20 to 1,280 steps for every scheme, and at 5 steps (a fifth of a year each) for all
// but Hundsdorfer-Verwer, which grows a mode where the variance convection dominates
// (spectral radius 1.85 on case B, whose sigma is 0.04; 1.05 and 1.10 on A and C); on
// 200 x 50 points with 5-point stencils its values on case B err 2e-2 and 5e-2 with 20 and
// 30 steps (1.3e-4 with 50). For few long steps take modified Craig-Sneyd.
//
// Damping: Douglas and Craig-Sneyd (theta 1/2) barely damp stiff components, such as those
// of a payoff kink: they need more steps than the other two.
//
// Boundaries, per boundary group of the storage (pde_step_plan): the window of every
// dimension from the group's configuration entry d; no_diffusion ends get one-sided
// convection rows, fixed_value ends (and other types) and nodes outside a window keep their
// values (pde_multi_discrete). `boundary_coefficients` is not read.
//
// Layout: every result row is a grid function in the layout of pde_multi_discrete
// (dimension 0 outermost, the last dimension contiguous), N values for axes of n_0 ... n_(D-1)
// points. Bands are assembled and factorised once per group and step, unless the group,
// its windows and every coefficient are those of the last assembly (then they are kept,
// pde_multi_discrete::update); the work buffers are allocated once and reused.
//
// Refused with Error: a type outside 0-3 (function "initialize", empty message), the
// failures of pde_multi_discrete (grids, coefficients, stencils and flags) and of
// pde_multi_explicit (the correlation matrix) at construction; at a step, before any row
// changes, coefficient tensors of another size than N (a reaction tensor may be empty), a
// boundary group with fewer configurations than dimensions, a window too narrow for its
// stencil, rows of another length than N (the expression layer's size check), and a
// storage whose last dimensions are not the grids' sizes n_0 ... n_(D-1) (at "check_step").
class KORVEX_PDE_API pde_scheme_alternating_direction_implicit : public pde_scheme
{
public:
    pde_scheme_alternating_direction_implicit(
        const std::shared_ptr<const time_grid>& grid,
        const std::vector<std::shared_ptr<const space_grid>>& space_grids,
        const std::vector<std::shared_ptr<const pde_model_coefficients>>& coefficients,
        const std::vector<std::size_t>& stencil_sizes, const std::vector<bool>& dimension_flags,
        pde_scheme_type type, bool scale_results, const matrix<double>& correlation);

    using pde_scheme::initialize;

    void diffuse(pde_storage& storage, const std::vector<pde_boundary_coefficients>& boundary_coefficients,
                 double step_factor) override;

    double theta() const noexcept { return implicit_->theta(); }
    const pde_multi_discrete& discrete() const noexcept { return *discrete_; }

private:
    void initialize(const matrix<double>& correlation);
    void check_step(const pde_storage& storage);
    void explicit_increment(const vector<double>& u);
    void correct(const vector<double>& increment);
    void solve(vector<double>& u);

    vector<double> increment_;
    vector<double> correction_;
    std::shared_ptr<pde_multi_discrete> discrete_;
    std::shared_ptr<pde_multi_implicit> implicit_;
    std::shared_ptr<pde_multi_explicit> explicit_;
    std::shared_ptr<pde_multi_explicit> corrector_;
    pde_step_plan plan_;
};

}  // namespace korvex

#pragma once

#include <cstdint>
#include <memory>

#include "PDE/discrete/pde_multi_discrete.h"
#include "PDE/pde_export.h"
#include "Vectorization/expressions/matrix.h"
#include "Vectorization/expressions/vector.h"

namespace korvex {

// Applies parts of a `pde_multi_discrete` operator to a grid function, adding into `out`
// (callers set `out` first), with factors fixed at construction:
//  - apply_operator: out += b * sum_d B_d in (b = -1 gives the split operators sum_d -B_d);
//  - apply_mixed: for every pair i < j with a correlation rho = correlation(i, j) other than
//    0, at every point strictly inside both windows (pde_multi_discrete),
//      out += rho c g D_i D_j u
//             + rho c d g / ((x_i[k+1] - x_i[k-1]) (x_j[l+1] - x_j[l-1]))
//               (u[+i+j] + u[-i-j] + u[-i+j] + u[+i-j] + 4 u - 2 (u[+i] + u[-i] + u[+j] + u[-j])),
//    g = 2 sqrt(a_i a_j) the pair's cross coefficient and D_i D_j the product of the axes'
//    first-derivative stencils (pde_multi_discrete): c rho 2 sqrt(a_i a_j) times the cross
//    derivative, to the order of the axes' stencils, and d times g times the product of the
//    two second differences (a term of the order of the grid spacings squared, which spoils
//    the fourth order of 5-point stencils; the alternating-direction scheme takes d = 0);
//  - apply_reaction: out += s * c_d * in element-wise for every dimension d whose reaction
//    tensor has elements.
// `a` is kept with the others and not read by the operations.
//
// The cross terms are applied as two banded products through a work vector of the grid's
// size, allocated at construction: an object is used by one thread at a time.
//
// The correlation matrix is copied: empty (no cross terms) or D x D, of which only the
// entries above the diagonal are read. Refused with Error: a null operator, a matrix of
// another shape, an entry above the diagonal that is NaN or outside [-1, 1].
class KORVEX_PDE_API pde_multi_explicit
{
public:
    pde_multi_explicit(std::shared_ptr<const pde_multi_discrete> discrete, double a, double b, double c,
                       double d, const matrix<double>& correlation);
    pde_multi_explicit(std::shared_ptr<const pde_multi_discrete> discrete, double a, std::int32_t b,
                       double c, double d, const matrix<double>& correlation);

    // `out` and `in` must be distinct grid functions of the operator's size; sizes are
    // checked by the banded routines and the expression layer.
    void apply_operator(vector<double>& out, const vector<double>& in) const;
    void apply_mixed(vector<double>& out, const vector<double>& in) const;
    void apply_reaction(vector<double>& out, double s, const vector<double>& in) const;

private:
    void apply_product(double* out, const double* in, std::size_t i, std::size_t j, std::size_t pair,
                       double rho) const;

    std::shared_ptr<const pde_multi_discrete> discrete_;
    [[maybe_unused]] double a_;  // kept, not read (see above)
    double b_;
    double c_;
    double d_;
    matrix<double> correlation_;
    mutable vector<double> derivative_;  // D_j u of the pair being applied
};

}  // namespace korvex

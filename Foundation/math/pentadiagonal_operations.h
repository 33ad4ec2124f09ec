#pragma once

#include <cstddef>

#include "Vectorization/expressions/matrix.h"
#include "Vectorization/expressions/vector.h"
#include "math/math_export.h"

namespace korvex {

// Pentadiagonal systems on every line of a multi-dimensional block: the five-band twin of
// tridiagonal_operations, with the same triple (outer, n, inner), strided sweeps,
// `check_pivots` flag, argument checks and in-place solve (see tridiagonal_operations.h).
// The factorisation is LU without pivoting.
//
// Layout. `bands` has 5 rows and one column per node of the block. For the node k of a
// line, at flat position p, band j holds the coefficient of node k + j - 2 (position
// p + (j - 2) * inner): band 2 is the diagonal. Entries that reach outside the line
// (bands 0 and 1 at k = 0, band 0 at k = 1, band 4 at k = n - 2, bands 3 and 4 at
// k = n - 1) are never read.
struct KORVEX_MATH_API pentadiagonal_operations
{
    // Factorises `bands` in place. Afterwards bands 0 and 1 hold the multipliers of the unit
    // lower factor (of nodes k - 2 and k - 1), band 2 the reciprocals of the pivots, and
    // bands 3 and 4 the upper factor's two bands divided by the pivot of their row; only
    // `solve_decomposed` reads this form.
    static void decomposition(matrix<double>& bands, std::size_t outer, std::size_t n,
                              std::size_t inner, bool check_pivots);

    // Solves the factorised system on every line, in place when `solution` is `rhs`.
    static void solve_decomposed(vector<double>& solution, const matrix<double>& bands,
                                 const vector<double>& rhs, std::size_t outer, std::size_t n,
                                 std::size_t inner, bool check_pivots);

    // Adds scale * (bands applied to operand) to result; `bands` is unfactorised.
    static void multiply(vector<double>& result, const vector<double>& operand,
                         const matrix<double>& bands, std::size_t outer, std::size_t n,
                         std::size_t inner, double scale, bool check_pivots);
};

}  // namespace korvex

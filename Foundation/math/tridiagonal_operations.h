#pragma once

#include <cstddef>

#include "Vectorization/expressions/matrix.h"
#include "Vectorization/expressions/vector.h"
#include "math/math_export.h"

namespace korvex {

// Tridiagonal systems on every line of a multi-dimensional block, solved by LU
// factorisation without pivoting (the Thomas algorithm split into a factorisation and a
// solve, so that one factorisation serves many right-hand sides).
//
// Layout. `bands` has 3 rows and one column per node of the block. The triple
// (outer, n, inner) says where the lines lie: outer * inner independent lines of n nodes,
// the node k of the line (o, i) being the flat position p = (o * n + k) * inner + i. For
// that node, band 0 holds the coefficient of node k - 1 (position p - inner), band 1 the
// diagonal and band 2 the coefficient of node k + 1 (position p + inner). Band 0 at k = 0
// and band 2 at k = n - 1 reach outside the line and are never read. A one-dimensional
// system is the triple (1, n, 1); the lines along the first axis of a 2-D grid stored row
// by row are (1, rows, columns), those along the second axis (rows, columns, 1).
//
// Strided lines (inner > 1) are swept node by node with the inner index innermost, so the
// work on inner neighbouring lines runs in vector registers and costs no more per node
// than a contiguous line.
//
// `check_pivots`: when true, `decomposition` raises Error if a pivot is zero or not finite,
// naming the first such node (the bands then hold the failed factorisation). When false
// nothing is checked, which suits the diagonally dominant systems of the finite-difference
// schemes; a zero pivot then shows as infinities or NaN in the solution. The flag has no
// other effect: `solve_decomposed` and `multiply` accept it for symmetry and ignore it.
//
// Every routine checks its arguments once per call (band count, enough columns, vector
// sizes, node count overflow, overlapping vectors) and raises Error before touching any
// value; the error names the routine and the line of its source that asks for the check.
// None allocates.
struct KORVEX_MATH_API tridiagonal_operations
{
    // Factorises `bands` in place. Afterwards band 0 holds the multipliers of the unit lower
    // factor, band 1 the reciprocals of the pivots and band 2 the upper band divided by the
    // pivot of its row; only `solve_decomposed` reads this form.
    static void decomposition(matrix<double>& bands, std::size_t outer, std::size_t n,
                              std::size_t inner, bool check_pivots);

    // Solves the factorised system on every line. `solution` and `rhs` may be the same
    // block (in-place solve) or blocks that do not share memory; views that overlap only in
    // part are refused with Error.
    static void solve_decomposed(vector<double>& solution, const matrix<double>& bands,
                                 const vector<double>& rhs, std::size_t outer, std::size_t n,
                                 std::size_t inner, bool check_pivots);

    // Adds scale * (bands applied to operand) to result, line by line; `bands` is the
    // unfactorised operator. `result` and `operand` must not share memory (refused with
    // Error).
    static void multiply(vector<double>& result, const vector<double>& operand,
                         const matrix<double>& bands, std::size_t outer, std::size_t n,
                         std::size_t inner, double scale, bool check_pivots);
};

}  // namespace korvex

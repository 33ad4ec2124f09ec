#pragma once

#include <cstddef>

#include "Vectorization/expressions/matrix.h"
#include "Vectorization/expressions/vector.h"
#include "core/source_location.h"

namespace korvex::details {

// LU factorisation without pivoting, solve and product of banded systems with `Half` bands
// on each side of the diagonal (1: tridiagonal, 2: pentadiagonal), on every line of a
// block described by (outer, n, inner); the layout and the factorised form are those
// documented in tridiagonal_operations.h and pentadiagonal_operations.h. Each routine
// checks its arguments first and reports failures at the caller's locations.
template <std::size_t Half>
struct banded_lu
{
    static constexpr std::size_t band_count = 2 * Half + 1;

    static void decomposition(const SourceLocation& arguments, const SourceLocation& pivots,
                              matrix<double>& bands, std::size_t outer, std::size_t n,
                              std::size_t inner, bool check_pivots);

    // `solution` and `rhs` are either the very same block (in-place solve) or do not share
    // memory; a partial overlap is refused at `overlap`.
    static void solve(const SourceLocation& arguments, const SourceLocation& overlap,
                      vector<double>& solution, const matrix<double>& bands,
                      const vector<double>& rhs, std::size_t outer, std::size_t n,
                      std::size_t inner);

    static void multiply(const SourceLocation& arguments, const SourceLocation& overlap,
                         vector<double>& result, const vector<double>& operand,
                         const matrix<double>& bands, std::size_t outer, std::size_t n,
                         std::size_t inner, double scale);
};

extern template struct banded_lu<1>;
extern template struct banded_lu<2>;

}  // namespace korvex::details

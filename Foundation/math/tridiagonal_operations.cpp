#include "math/tridiagonal_operations.h"

#include <cstring>

#include "core/check_fail.h"
#include "math/banded_layout.h"

namespace korvex {
namespace {

constexpr const char* source_file = "Foundation/math/tridiagonal_operations";
constexpr SourceLocation decomposition_arguments{"decomposition", source_file, 136};
constexpr SourceLocation decomposition_pivots{"decomposition", source_file, 147};
constexpr SourceLocation solve_arguments{"solve_decomposed", source_file, 156};
constexpr SourceLocation multiply_arguments{"multiply", source_file, 178};
constexpr SourceLocation multiply_overlap{"multiply", source_file, 182};

// The three bands of a block, as row pointers offset to the block's first node.
struct bands_at
{
    double* lower;
    double* diagonal;
    double* upper;
};

bands_at rows_of(const matrix<double>& bands, std::size_t offset)
{
    double* first = const_cast<double*>(bands.data()) + offset;
    return {first, first + bands.columns(), first + 2 * bands.columns()};
}

// One row of the factorisation; q is the previous node of the line. The pivot is
// d = b - a * (c_prev / d_prev); the stored forms keep the recurrence's critical path to
// one multiply-add and one division.
template <bool HasPrevious, bool HasNext>
inline void factor_node(double* __restrict lower, double* __restrict diagonal,
                        double* __restrict upper, std::size_t p, std::size_t q)
{
    double pivot = diagonal[p];
    if constexpr (HasPrevious) {
        pivot -= lower[p] * upper[q];
        lower[p] *= diagonal[q];
    }
    diagonal[p] = 1.0 / pivot;
    if constexpr (HasNext)
        upper[p] /= pivot;
}

// Factorises the inner lines of one block. `Contiguous` fixes the stride to 1 at compile
// time so the loops over the inner lines vanish.
template <bool Contiguous>
void factor_block(double* __restrict lower, double* __restrict diagonal,
                  double* __restrict upper, std::size_t n, std::size_t inner_lines)
{
    const std::size_t inner = Contiguous ? 1 : inner_lines;
    if (n == 1) {
        for (std::size_t i = 0; i < inner; ++i)
            factor_node<false, false>(lower, diagonal, upper, i, i);
        return;
    }
    for (std::size_t i = 0; i < inner; ++i)
        factor_node<false, true>(lower, diagonal, upper, i, i);
    for (std::size_t k = 1; k + 1 < n; ++k) {
        const std::size_t row = k * inner;
        for (std::size_t i = 0; i < inner; ++i)
            factor_node<true, true>(lower, diagonal, upper, row + i, row + i - inner);
    }
    const std::size_t last = (n - 1) * inner;
    for (std::size_t i = 0; i < inner; ++i)
        factor_node<true, false>(lower, diagonal, upper, last + i, last + i - inner);
}

// Forward substitution with the unit lower factor, then back substitution with the
// normalised upper factor, in place in x.
template <bool Contiguous>
void solve_block(double* __restrict x, const double* __restrict lower,
                 const double* __restrict inverse_pivot, const double* __restrict upper,
                 std::size_t n, std::size_t inner_lines)
{
    const std::size_t inner = Contiguous ? 1 : inner_lines;
    for (std::size_t k = 1; k < n; ++k) {
        const std::size_t row = k * inner;
        for (std::size_t i = row; i < row + inner; ++i)
            x[i] -= lower[i] * x[i - inner];
    }
    const std::size_t last = (n - 1) * inner;
    for (std::size_t i = last; i < last + inner; ++i)
        x[i] *= inverse_pivot[i];
    for (std::size_t k = n - 1; k-- > 0;) {
        const std::size_t row = k * inner;
        for (std::size_t i = row; i < row + inner; ++i)
            x[i] = x[i] * inverse_pivot[i] - upper[i] * x[i + inner];
    }
}

template <bool HasPrevious, bool HasNext>
inline void multiply_node(double* __restrict result, const double* __restrict x,
                          const double* __restrict lower, const double* __restrict diagonal,
                          const double* __restrict upper, double scale, std::size_t p,
                          std::size_t stride)
{
    double sum = diagonal[p] * x[p];
    if constexpr (HasPrevious)
        sum += lower[p] * x[p - stride];
    if constexpr (HasNext)
        sum += upper[p] * x[p + stride];
    result[p] += scale * sum;
}

template <bool Contiguous>
void multiply_block(double* __restrict result, const double* __restrict x,
                    const double* __restrict lower, const double* __restrict diagonal,
                    const double* __restrict upper, double scale, std::size_t n,
                    std::size_t inner_lines)
{
    const std::size_t inner = Contiguous ? 1 : inner_lines;
    if (n == 1) {
        for (std::size_t i = 0; i < inner; ++i)
            multiply_node<false, false>(result, x, lower, diagonal, upper, scale, i, inner);
        return;
    }
    for (std::size_t i = 0; i < inner; ++i)
        multiply_node<false, true>(result, x, lower, diagonal, upper, scale, i, inner);
    for (std::size_t p = inner; p < (n - 1) * inner; ++p)
        multiply_node<true, true>(result, x, lower, diagonal, upper, scale, p, inner);
    for (std::size_t p = (n - 1) * inner; p < n * inner; ++p)
        multiply_node<true, false>(result, x, lower, diagonal, upper, scale, p, inner);
}

}  // namespace

void tridiagonal_operations::decomposition(matrix<double>& bands, std::size_t outer,
                                           std::size_t n, std::size_t inner, bool check_pivots)
{
    const auto layout =
        details::banded_layout::of_bands(decomposition_arguments, bands, 3, outer, n, inner);
    if (layout.size() == 0)
        return;
    for (std::size_t o = 0; o < outer; ++o) {
        const bands_at b = rows_of(bands, o * layout.line_block());
        if (inner == 1)
            factor_block<true>(b.lower, b.diagonal, b.upper, n, inner);
        else
            factor_block<false>(b.lower, b.diagonal, b.upper, n, inner);
    }
    if (check_pivots)
        layout.check_pivots(decomposition_pivots, rows_of(bands, 0).diagonal);
}

void tridiagonal_operations::solve_decomposed(vector<double>& solution,
                                              const matrix<double>& bands,
                                              const vector<double>& rhs, std::size_t outer,
                                              std::size_t n, std::size_t inner,
                                              bool /*check_pivots*/)
{
    const auto layout = details::banded_layout::of_system(solve_arguments, bands, 3, solution,
                                                          rhs, outer, n, inner);
    if (layout.size() == 0)
        return;
    if (solution.data() != rhs.data())
        std::memcpy(solution.data(), rhs.data(), layout.size() * sizeof(double));
    for (std::size_t o = 0; o < outer; ++o) {
        const std::size_t offset = o * layout.line_block();
        const bands_at b = rows_of(bands, offset);
        double* x = solution.data() + offset;
        if (inner == 1)
            solve_block<true>(x, b.lower, b.diagonal, b.upper, n, inner);
        else
            solve_block<false>(x, b.lower, b.diagonal, b.upper, n, inner);
    }
}

void tridiagonal_operations::multiply(vector<double>& result, const vector<double>& operand,
                                      const matrix<double>& bands, std::size_t outer,
                                      std::size_t n, std::size_t inner, double scale,
                                      bool /*check_pivots*/)
{
    const auto layout = details::banded_layout::of_system(multiply_arguments, bands, 3, result,
                                                          operand, outer, n, inner);
    if (layout.size() == 0)
        return;
    KORVEX_CHECK_MSG(multiply_overlap, !details::banded_layout::overlap(result, operand),
                     "result and operand share memory");
    for (std::size_t o = 0; o < outer; ++o) {
        const std::size_t offset = o * layout.line_block();
        const bands_at b = rows_of(bands, offset);
        double* out = result.data() + offset;
        const double* x = operand.data() + offset;
        if (inner == 1)
            multiply_block<true>(out, x, b.lower, b.diagonal, b.upper, scale, n, inner);
        else
            multiply_block<false>(out, x, b.lower, b.diagonal, b.upper, scale, n, inner);
    }
}

}  // namespace korvex

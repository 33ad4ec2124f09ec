#include "math/pentadiagonal_operations.h"

#include <algorithm>
#include <cstring>

#include "core/check_fail.h"
#include "math/banded_layout.h"

namespace korvex {
namespace {

constexpr const char* source_file = "Foundation/math/pentadiagonal_operations";
constexpr SourceLocation decomposition_arguments{"decomposition", source_file, 220};
constexpr SourceLocation decomposition_pivots{"decomposition", source_file, 231};
constexpr SourceLocation solve_arguments{"solve_decomposed", source_file, 240};
constexpr SourceLocation multiply_arguments{"multiply", source_file, 262};
constexpr SourceLocation multiply_overlap{"multiply", source_file, 266};

// The five bands of a block, as row pointers offset to the block's first node: band j is
// the coefficient of node k + j - 2.
struct bands_at
{
    double* band[5];
};

bands_at rows_of(const matrix<double>& bands, std::size_t offset)
{
    double* first = const_cast<double*>(bands.data()) + offset;
    const std::size_t columns = bands.columns();
    return {{first, first + columns, first + 2 * columns, first + 3 * columns,
             first + 4 * columns}};
}

// Which neighbours of a node exist on its line: the two before and the two after.
struct reach
{
    bool back2, back1, ahead1, ahead2;

    static constexpr reach interior() { return {true, true, true, true}; }
    static reach of_node(std::size_t k, std::size_t n)
    {
        return {k >= 2, k >= 1, k + 1 < n, k + 2 < n};
    }
};

// Rows that cannot see both neighbours on each side: the first two and the last two.
std::size_t interior_begin(std::size_t n) { return std::min<std::size_t>(2, n); }
std::size_t interior_end(std::size_t n)
{
    return std::max(interior_begin(n), n - std::min<std::size_t>(2, n));
}

// One row of the factorisation L U (L unit lower, U upper with the second band unchanged).
// With g1, g2 the stored normalised upper bands of the earlier rows:
//   alpha = a - e g1[k-2]            (row k of L times the pivot of row k-1)
//   pivot = d - e g2[k-2] - alpha g1[k-1]
//   u1    = c - alpha g2[k-1]
// stored as e / pivot[k-2], alpha / pivot[k-1], 1 / pivot, u1 / pivot, f / pivot. The
// divisions are taken from the pivot directly so that the recurrence's critical path is
// one multiply-add and one division.
[[gnu::always_inline]] inline void factor_node(double* __restrict e, double* __restrict a,
                                               double* __restrict d, double* __restrict c,
                                               double* __restrict f, std::size_t p,
                                               std::size_t stride, reach r)
{
    const std::size_t q1 = p - stride;
    const std::size_t q2 = p - 2 * stride;
    double alpha = r.back1 ? a[p] : 0.0;
    double pivot = d[p];
    if (r.back2) {
        alpha -= e[p] * c[q2];
        pivot -= e[p] * f[q2];
        e[p] *= d[q2];
    }
    if (r.back1) {
        pivot -= alpha * c[q1];
        a[p] = alpha * d[q1];
    }
    d[p] = 1.0 / pivot;
    if (r.ahead1)
        c[p] = (r.back1 ? c[p] - alpha * f[q1] : c[p]) / pivot;
    if (r.ahead2)
        f[p] /= pivot;
}

template <bool Contiguous>
void factor_rows(const bands_at& b, std::size_t first, std::size_t end, std::size_t n,
                 std::size_t inner_lines)
{
    const std::size_t inner = Contiguous ? 1 : inner_lines;
    for (std::size_t k = first; k < end; ++k) {
        const reach r = reach::of_node(k, n);
        for (std::size_t p = k * inner; p < (k + 1) * inner; ++p)
            factor_node(b.band[0], b.band[1], b.band[2], b.band[3], b.band[4], p, inner, r);
    }
}

template <bool Contiguous>
void factor_interior(double* __restrict e, double* __restrict a, double* __restrict d,
                     double* __restrict c, double* __restrict f, std::size_t n,
                     std::size_t inner_lines)
{
    const std::size_t inner = Contiguous ? 1 : inner_lines;
    for (std::size_t k = interior_begin(n); k < interior_end(n); ++k)
        for (std::size_t p = k * inner; p < (k + 1) * inner; ++p)
            factor_node(e, a, d, c, f, p, inner, reach::interior());
}

template <bool Contiguous>
void factor_block(const bands_at& b, std::size_t n, std::size_t inner)
{
    factor_rows<Contiguous>(b, 0, interior_begin(n), n, inner);
    factor_interior<Contiguous>(b.band[0], b.band[1], b.band[2], b.band[3], b.band[4], n,
                                inner);
    factor_rows<Contiguous>(b, interior_end(n), n, n, inner);
}


// Forward substitution with the unit lower factor at one node.
[[gnu::always_inline]] inline void forward_node(double* __restrict x, const double* __restrict l2,
                                                const double* __restrict l1, std::size_t p,
                                                std::size_t stride, reach r)
{
    if (r.back2)
        x[p] -= l2[p] * x[p - 2 * stride];
    if (r.back1)
        x[p] -= l1[p] * x[p - stride];
}

// Back substitution with the normalised upper factor at one node.
[[gnu::always_inline]] inline void backward_node(double* __restrict x,
                                                 const double* __restrict inverse_pivot,
                                                 const double* __restrict g1,
                                                 const double* __restrict g2, std::size_t p,
                                                 std::size_t stride, reach r)
{
    double value = x[p] * inverse_pivot[p];
    if (r.ahead2)
        value -= g2[p] * x[p + 2 * stride];
    if (r.ahead1)
        value -= g1[p] * x[p + stride];
    x[p] = value;
}

template <bool Contiguous>
void solve_block(double* __restrict x, const bands_at& b, std::size_t n, std::size_t inner_lines)
{
    const std::size_t inner = Contiguous ? 1 : inner_lines;
    const double* __restrict l2 = b.band[0];
    const double* __restrict l1 = b.band[1];
    const double* __restrict inverse_pivot = b.band[2];
    const double* __restrict g1 = b.band[3];
    const double* __restrict g2 = b.band[4];
    const std::size_t begin = interior_begin(n);
    const std::size_t end = interior_end(n);

    for (std::size_t k = 0; k < begin; ++k)
        for (std::size_t p = k * inner; p < (k + 1) * inner; ++p)
            forward_node(x, l2, l1, p, inner, reach::of_node(k, n));
    for (std::size_t p = begin * inner; p < end * inner; ++p)
        forward_node(x, l2, l1, p, inner, reach::interior());
    for (std::size_t k = end; k < n; ++k)
        for (std::size_t p = k * inner; p < (k + 1) * inner; ++p)
            forward_node(x, l2, l1, p, inner, reach::of_node(k, n));

    for (std::size_t k = n; k-- > end;)
        for (std::size_t p = k * inner; p < (k + 1) * inner; ++p)
            backward_node(x, inverse_pivot, g1, g2, p, inner, reach::of_node(k, n));
    for (std::size_t k = end; k-- > begin;)
        for (std::size_t p = k * inner; p < (k + 1) * inner; ++p)
            backward_node(x, inverse_pivot, g1, g2, p, inner, reach::interior());
    for (std::size_t k = begin; k-- > 0;)
        for (std::size_t p = k * inner; p < (k + 1) * inner; ++p)
            backward_node(x, inverse_pivot, g1, g2, p, inner, reach::of_node(k, n));
}

// Adds scale * (row k of the bands applied to x) at one node.
[[gnu::always_inline]] inline void multiply_node(double* __restrict result,
                                                 const double* __restrict x,
                                                 const double* const* __restrict band,
                                                 double scale, std::size_t p,
                                                 std::size_t stride, reach r)
{
    double sum = band[2][p] * x[p];
    if (r.back2)
        sum += band[0][p] * x[p - 2 * stride];
    if (r.back1)
        sum += band[1][p] * x[p - stride];
    if (r.ahead1)
        sum += band[3][p] * x[p + stride];
    if (r.ahead2)
        sum += band[4][p] * x[p + 2 * stride];
    result[p] += scale * sum;
}

template <bool Contiguous>
void multiply_block(double* __restrict result, const double* __restrict x, const bands_at& b,
                    double scale, std::size_t n, std::size_t inner_lines)
{
    const std::size_t inner = Contiguous ? 1 : inner_lines;
    const std::size_t begin = interior_begin(n);
    const std::size_t end = interior_end(n);
    for (std::size_t k = 0; k < begin; ++k)
        for (std::size_t p = k * inner; p < (k + 1) * inner; ++p)
            multiply_node(result, x, b.band, scale, p, inner, reach::of_node(k, n));
    for (std::size_t p = begin * inner; p < end * inner; ++p)
        multiply_node(result, x, b.band, scale, p, inner, reach::interior());
    for (std::size_t k = end; k < n; ++k)
        for (std::size_t p = k * inner; p < (k + 1) * inner; ++p)
            multiply_node(result, x, b.band, scale, p, inner, reach::of_node(k, n));
}

}  // namespace

void pentadiagonal_operations::decomposition(matrix<double>& bands, std::size_t outer,
                                             std::size_t n, std::size_t inner,
                                             bool check_pivots)
{
    const auto layout =
        details::banded_layout::of_bands(decomposition_arguments, bands, 5, outer, n, inner);
    if (layout.size() == 0)
        return;
    for (std::size_t o = 0; o < outer; ++o) {
        const bands_at b = rows_of(bands, o * layout.line_block());
        if (inner == 1)
            factor_block<true>(b, n, inner);
        else
            factor_block<false>(b, n, inner);
    }
    if (check_pivots)
        layout.check_pivots(decomposition_pivots, rows_of(bands, 0).band[2]);
}

void pentadiagonal_operations::solve_decomposed(vector<double>& solution,
                                                const matrix<double>& bands,
                                                const vector<double>& rhs, std::size_t outer,
                                                std::size_t n, std::size_t inner,
                                                bool /*check_pivots*/)
{
    const auto layout = details::banded_layout::of_system(solve_arguments, bands, 5, solution,
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
            solve_block<true>(x, b, n, inner);
        else
            solve_block<false>(x, b, n, inner);
    }
}

void pentadiagonal_operations::multiply(vector<double>& result, const vector<double>& operand,
                                        const matrix<double>& bands, std::size_t outer,
                                        std::size_t n, std::size_t inner, double scale,
                                        bool /*check_pivots*/)
{
    const auto layout = details::banded_layout::of_system(multiply_arguments, bands, 5, result,
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
            multiply_block<true>(out, x, b, scale, n, inner);
        else
            multiply_block<false>(out, x, b, scale, n, inner);
    }
}

}  // namespace korvex

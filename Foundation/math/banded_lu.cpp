#include "math/banded_lu.h"

#include <cstring>

#include "core/check_fail.h"
#include "math/banded_layout.h"
#include "math/line_sweep.h"

namespace korvex::details {
namespace {

using reach = line_sweep::reach;

// The bands of one block as row pointers offset to the block's first node, named after
// their place in row k: e (node k-2), a (k-1), d (k), c (k+1), f (k+2). A tridiagonal
// system has no e and f. The pointers are writable for the factorisation; the solve and
// the product, which take the bands as const, only read through them.
template <std::size_t Half>
struct bands_at
{
    double* e;
    double* a;
    double* d;
    double* c;
    double* f;

    bands_at(const matrix<double>& bands, std::size_t offset)
    {
        double* first = const_cast<double*>(bands.data()) + offset;
        const std::size_t columns = bands.columns();
        const auto band = [&](std::size_t j) { return first + j * columns; };
        e = Half == 2 ? band(0) : nullptr;
        a = band(Half - 1);
        d = band(Half);
        c = band(Half + 1);
        f = Half == 2 ? band(4) : nullptr;
    }
};

// What a factorised row passes to the next rows: its reciprocal pivot and its upper bands
// divided by the pivot (g1, g2).
struct factored_row
{
    double inverse_pivot;
    double upper1;
    double upper2;
};

constexpr factored_row no_row{0.0, 0.0, 0.0};

// One row of the factorisation L U (L unit lower, U upper whose outermost band is f), from
// the two rows before it, with g1, g2 their normalised upper bands:
//   alpha = a - e g1[k-2]            (row k of L times the pivot of row k-1)
//   pivot = d - e g2[k-2] - alpha g1[k-1]
//   u1    = c - alpha g2[k-1]
// stored as e / pivot[k-2], alpha / pivot[k-1], 1 / pivot, u1 / pivot, f / pivot. Without
// e and f this is the Thomas algorithm. The divisions are taken from the pivot directly so
// that the recurrence's critical path is one multiply-add and one division.
template <std::size_t Half>
[[gnu::always_inline]] inline factored_row factor_node(const bands_at<Half>& b, std::size_t p,
                                                       reach r, factored_row back2,
                                                       factored_row back1)
{
    const bool has_e = Half == 2 && r.back2;
    const bool has_f = Half == 2 && r.ahead2;
    // The terms of missing neighbours are left out rather than multiplied by zero, so a
    // tridiagonal row does no pentadiagonal work.
    const double e = has_e ? b.e[p] : 0.0;
    double alpha = r.back1 ? b.a[p] : 0.0;
    double pivot = b.d[p];
    if (has_e) {
        alpha -= e * back2.upper1;
        pivot -= e * back2.upper2;
    }
    if (r.back1)
        pivot -= alpha * back1.upper1;
    double u1 = r.ahead1 ? b.c[p] : 0.0;
    if (Half == 2 && r.back1 && r.ahead1)
        u1 -= alpha * back1.upper2;
    const factored_row row{1.0 / pivot, u1 / pivot, has_f ? b.f[p] / pivot : 0.0};
    if (has_e)
        b.e[p] = e * back2.inverse_pivot;
    if (r.back1)
        b.a[p] = alpha * back1.inverse_pivot;
    b.d[p] = row.inverse_pivot;
    if (r.ahead1)
        b.c[p] = row.upper1;
    if (has_f)
        b.f[p] = row.upper2;
    return row;
}

// Forward substitution with the unit lower factor: y = rhs - l2 y[k-2] - l1 y[k-1].
template <std::size_t Half>
[[gnu::always_inline]] inline double forward_node(double* x, const bands_at<Half>& b,
                                                  std::size_t p, reach r, double back2,
                                                  double back1)
{
    double y = x[p];
    if (Half == 2 && r.back2)
        y -= b.e[p] * back2;
    if (r.back1)
        y -= b.a[p] * back1;
    x[p] = y;
    return y;
}

// Back substitution with the normalised upper factor: x = y / pivot - g2 x[k+2] - g1 x[k+1].
template <std::size_t Half>
[[gnu::always_inline]] inline double backward_node(double* x, const bands_at<Half>& b,
                                                   std::size_t p, reach r, double ahead2,
                                                   double ahead1)
{
    double value = x[p] * b.d[p];
    if (Half == 2 && r.ahead2)
        value -= b.f[p] * ahead2;
    if (r.ahead1)
        value -= b.c[p] * ahead1;
    x[p] = value;
    return value;
}

// A contiguous line carries the previous rows' values in registers, which keeps loads
// off the recurrence; strided lines read them from the previous rows, the inner lines
// giving independent work.
template <std::size_t Half>
void factor_line(const bands_at<Half>& b, std::size_t n)
{
    factored_row back2 = no_row;
    factored_row back1 = no_row;
    for (std::size_t k = 0; k < n; ++k) {
        const factored_row row = factor_node(b, k, reach::of_node(k, n), back2, back1);
        back2 = back1;
        back1 = row;
    }
}

template <std::size_t Half>
void factor_strided(const bands_at<Half>& b, std::size_t n, std::size_t inner)
{
    const auto stored = [&](std::size_t q) {
        return factored_row{b.d[q], b.c[q], Half == 2 ? b.f[q] : 0.0};
    };
    line_sweep::forward(n, inner, Half, [&](std::size_t p, reach r) {
        factor_node(b, p, r, Half == 2 && r.back2 ? stored(p - 2 * inner) : no_row,
                    r.back1 ? stored(p - inner) : no_row);
    });
}

template <std::size_t Half>
void solve_line(double* x, const bands_at<Half>& b, std::size_t n)
{
    double back2 = 0.0;
    double back1 = 0.0;
    for (std::size_t k = 0; k < n; ++k) {
        const double y = forward_node(x, b, k, reach::of_node(k, n), back2, back1);
        back2 = back1;
        back1 = y;
    }
    double ahead2 = 0.0;
    double ahead1 = 0.0;
    for (std::size_t k = n; k-- > 0;) {
        const double value = backward_node(x, b, k, reach::of_node(k, n), ahead2, ahead1);
        ahead2 = ahead1;
        ahead1 = value;
    }
}

template <std::size_t Half>
void solve_strided(double* x, const bands_at<Half>& b, std::size_t n, std::size_t inner)
{
    line_sweep::forward(n, inner, Half, [&](std::size_t p, reach r) {
        forward_node(x, b, p, r, Half == 2 && r.back2 ? x[p - 2 * inner] : 0.0,
                     r.back1 ? x[p - inner] : 0.0);
    });
    line_sweep::backward(n, inner, Half, [&](std::size_t p, reach r) {
        backward_node(x, b, p, r, Half == 2 && r.ahead2 ? x[p + 2 * inner] : 0.0,
                      r.ahead1 ? x[p + inner] : 0.0);
    });
}

// Adds scale * (row k of the bands applied to x) at one node.
template <std::size_t Half>
[[gnu::always_inline]] inline void multiply_node(double* result, const double* x,
                                                 const bands_at<Half>& b, double scale,
                                                 std::size_t p, std::size_t stride, reach r)
{
    double sum = b.d[p] * x[p];
    if (Half == 2 && r.back2)
        sum += b.e[p] * x[p - 2 * stride];
    if (r.back1)
        sum += b.a[p] * x[p - stride];
    if (r.ahead1)
        sum += b.c[p] * x[p + stride];
    if (Half == 2 && r.ahead2)
        sum += b.f[p] * x[p + 2 * stride];
    result[p] += scale * sum;
}

// `Contiguous` makes the stride the constant 1, so the loop over rows vectorises.
template <bool Contiguous, std::size_t Half>
void multiply_block(double* result, const double* x, const bands_at<Half>& b, double scale,
                    std::size_t n, std::size_t inner_lines)
{
    const std::size_t inner = Contiguous ? 1 : inner_lines;
    line_sweep::forward(n, inner, Half, [&](std::size_t p, reach r) {
        multiply_node(result, x, b, scale, p, inner, r);
    });
}

}  // namespace

template <std::size_t Half>
void banded_lu<Half>::decomposition(const SourceLocation& arguments,
                                    const SourceLocation& pivots, matrix<double>& bands,
                                    std::size_t outer, std::size_t n, std::size_t inner,
                                    bool check_pivots)
{
    const auto layout = banded_layout::of_bands(arguments, bands, band_count, outer, n, inner);
    if (layout.size() == 0)
        return;
    for (std::size_t o = 0; o < outer; ++o) {
        const bands_at<Half> b(bands, o * layout.line_block());
        if (inner == 1)
            factor_line(b, n);
        else
            factor_strided(b, n, inner);
    }
    if (check_pivots)
        layout.check_pivots(pivots, bands_at<Half>(bands, 0).d);
}

template <std::size_t Half>
void banded_lu<Half>::solve(const SourceLocation& arguments, const SourceLocation& overlap,
                            vector<double>& solution, const matrix<double>& bands,
                            const vector<double>& rhs, std::size_t outer, std::size_t n,
                            std::size_t inner)
{
    const auto layout = banded_layout::of_system(arguments, bands, band_count, solution, rhs,
                                                 outer, n, inner);
    if (layout.size() == 0)
        return;
    KORVEX_CHECK_MSG(overlap,
                     solution.data() == rhs.data() || !details::banded_layout::overlap(solution, rhs),
                     "solution and right-hand side partly share memory");
    if (solution.data() != rhs.data())
        std::memcpy(solution.data(), rhs.data(), layout.size() * sizeof(double));
    for (std::size_t o = 0; o < outer; ++o) {
        const std::size_t offset = o * layout.line_block();
        const bands_at<Half> b(bands, offset);
        double* x = solution.data() + offset;
        if (inner == 1)
            solve_line(x, b, n);
        else
            solve_strided(x, b, n, inner);
    }
}

template <std::size_t Half>
void banded_lu<Half>::multiply(const SourceLocation& arguments, const SourceLocation& overlap,
                               vector<double>& result, const vector<double>& operand,
                               const matrix<double>& bands, std::size_t outer, std::size_t n,
                               std::size_t inner, double scale)
{
    const auto layout = banded_layout::of_system(arguments, bands, band_count, result, operand,
                                                 outer, n, inner);
    if (layout.size() == 0)
        return;
    KORVEX_CHECK_MSG(overlap, !details::banded_layout::overlap(result, operand),
                     "result and operand share memory");
    for (std::size_t o = 0; o < outer; ++o) {
        const std::size_t offset = o * layout.line_block();
        const bands_at<Half> b(bands, offset);
        double* out = result.data() + offset;
        const double* x = operand.data() + offset;
        if (inner == 1)
            multiply_block<true>(out, x, b, scale, n, inner);
        else
            multiply_block<false>(out, x, b, scale, n, inner);
    }
}

template struct banded_lu<1>;
template struct banded_lu<2>;

}  // namespace korvex::details

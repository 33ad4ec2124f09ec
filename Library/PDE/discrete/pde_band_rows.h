#pragma once

#include <cmath>
#include <cstddef>

#include "math/banded_layout.h"

namespace korvex::details {

// Rows of the banded finite-difference operators that the schemes assemble, shared by the
// one-dimensional scheme and the multi-dimensional operator.
//
// A row at a node with diffusion a, convection b and reaction c is
//   identity * I - diffusion_weight * (a D2 + c) - convection_weight * b D1,
// D2 and D1 the node's second- and first-derivative stencils in band order (band j couples
// node k + j - S / 2). The one-dimensional scheme passes its step weights; the
// multi-dimensional operator B = -(a D2 + b D1) passes identity 0, both weights 1 and no
// reaction.
//
// Bands are S rows of `columns` values, one column per position of the block; the lines
// along the assembled dimension are those of `layout` (node k of line (o, i) at position
// (o * n + k) * inner + i, see tridiagonal_operations.h). Each function writes the row of
// node k (or rows first..last) of every line, reading a, b and c at the row's position.
struct pde_band_rows
{
    struct weights
    {
        double identity;
        double diffusion;
        double convection;
    };

    // Rows first..last. With `PerNode` the stencils are S weights per node (node k's at
    // k * S); otherwise one stencil serves every row. A null `c` means no reaction and no
    // identity term.
    template <std::size_t S, bool PerNode>
    static void fill(double* bands, std::size_t columns, const banded_layout& layout,
                     std::size_t first, std::size_t last, const double* a, const double* b,
                     const double* c, const double* second, const double* first_derivative,
                     const weights& w) noexcept
    {
        const auto row = [&](std::size_t p, std::size_t k) {
            const double* d2 = PerNode ? second + k * S : second;
            const double* d1 = PerNode ? first_derivative + k * S : first_derivative;
            const double diffusion = w.diffusion * a[p];
            const double convection = w.convection * b[p];
            for (std::size_t j = 0; j < S; ++j)
                bands[j * columns + p] = -diffusion * d2[j] - convection * d1[j];
            if (c != nullptr)
                bands[S / 2 * columns + p] += w.identity - w.diffusion * c[p];
        };
        // The innermost loop runs over consecutive positions: along the line when the lines
        // are contiguous, across the interleaved lines otherwise.
        for (std::size_t o = 0; o < layout.outer; ++o) {
            if (layout.inner == 1) {
                const std::size_t line_start = o * layout.n;
                for (std::size_t k = first; k <= last; ++k)
                    row(line_start + k, k);
                continue;
            }
            for (std::size_t k = first; k <= last; ++k) {
                const std::size_t line_start = (o * layout.n + k) * layout.inner;
                for (std::size_t p = line_start; p < line_start + layout.inner; ++p)
                    row(p, k);
            }
        }
    }

    // Row k zero but for `diagonal` on the centre band: the node keeps its value.
    static void hold(double* bands, std::size_t columns, std::size_t band_count,
                     const banded_layout& layout, std::size_t k, double diagonal) noexcept
    {
        for_each_position(layout, k, [&](std::size_t p) {
            for (std::size_t j = 0; j < band_count; ++j)
                bands[j * columns + p] = 0.0;
            bands[band_count / 2 * columns + p] = diagonal;
        });
    }

    // Three bands, no diffusion: the one-sided convection difference over h towards the
    // node above (`lower` end) or below (upper end).
    static void convection_row_3(double* bands, std::size_t columns, const banded_layout& layout,
                                 std::size_t k, bool lower, double h, const double* b,
                                 const double* c, const weights& w) noexcept
    {
        for_each_position(layout, k, [&](std::size_t p) {
            const double diagonal = c != nullptr ? w.identity - w.diffusion * c[p] : 0.0;
            const double q = -w.convection * b[p];
            if (lower) {
                bands[p] = 0.0;
                bands[columns + p] = diagonal - q / h;
                bands[2 * columns + p] = q / h;
            } else {
                bands[p] = -q / h;
                bands[columns + p] = diagonal + q / h;
                bands[2 * columns + p] = 0.0;
            }
        });
    }

    // Five bands, no diffusion: convection with the first-derivative weights `d1` on the
    // slots from..to (the other slots 0). A convection of magnitude `limit` or more leaves
    // the row zero.
    static void convection_row_5(double* bands, std::size_t columns, const banded_layout& layout,
                                 std::size_t k, const double* d1, std::size_t from, std::size_t to,
                                 const double* b, const double* c, const weights& w,
                                 double limit) noexcept
    {
        for_each_position(layout, k, [&](std::size_t p) {
            const double q = std::fabs(b[p]) >= limit ? 0.0 : -w.convection * b[p];
            for (std::size_t j = 0; j < 5; ++j)
                bands[j * columns + p] = j < from || j > to ? 0.0 : q * d1[j];
            if (c != nullptr)
                bands[2 * columns + p] += w.identity - w.diffusion * c[p];
        });
    }

    // visit(p) for the position p of node k of every line.
    template <class Visit>
    static void for_each_position(const banded_layout& layout, std::size_t k, Visit&& visit)
    {
        for (std::size_t o = 0; o < layout.outer; ++o) {
            const std::size_t line_start = (o * layout.n + k) * layout.inner;
            for (std::size_t p = line_start; p < line_start + layout.inner; ++p)
                visit(p);
        }
    }
};

}  // namespace korvex::details

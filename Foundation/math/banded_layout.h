#pragma once

#include <cstddef>

#include "Vectorization/expressions/matrix.h"
#include "Vectorization/expressions/vector.h"
#include "core/source_location.h"
#include "math/math_export.h"

namespace korvex::details {

// Where the lines of a banded system lie in a block of nodes: `outer` groups of `inner`
// interleaved lines, each line `n` nodes long with stride `inner`. The node k of the line
// (o, i) sits at the flat position (o * n + k) * inner + i.
//
// The factories check the arguments of the banded routines once per call and report a
// failure at the caller's location; the routines then run without bounds checks.
struct KORVEX_MATH_API banded_layout
{
    std::size_t outer = 0;
    std::size_t n = 0;
    std::size_t inner = 0;

    std::size_t size() const noexcept { return outer * n * inner; }
    std::size_t line_block() const noexcept { return n * inner; }

    // Checks that the block's node count does not overflow, that `bands` has `band_count`
    // rows and at least one column per node, and that it holds a host block.
    static banded_layout of_bands(const SourceLocation& location, const matrix<double>& bands,
                                  std::size_t band_count, std::size_t outer, std::size_t n,
                                  std::size_t inner);

    // As `of_bands`, and also checks that both vectors hold exactly one value per node.
    static banded_layout of_system(const SourceLocation& location, const matrix<double>& bands,
                                   std::size_t band_count, const vector<double>& first,
                                   const vector<double>& second, std::size_t outer,
                                   std::size_t n, std::size_t inner);

    // True when the blocks of the two vectors share memory.
    static bool overlap(const vector<double>& a, const vector<double>& b) noexcept;

    // Checks that no reciprocal pivot of a factorised block is zero or non-finite (that is,
    // that no pivot was zero or non-finite) and names the first failing node.
    void check_pivots(const SourceLocation& location, const double* inverse_pivots) const;
};

}  // namespace korvex::details

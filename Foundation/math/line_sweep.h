#pragma once

#include <algorithm>
#include <cstddef>

namespace korvex::details {

// Row-by-row traversal of the lines of one block of a banded system: n rows of `inner`
// interleaved lines, node k of line i at position k * inner + i. Each row is visited with
// the inner lines innermost, so the work on neighbouring lines is independent and
// vectorises. The `half` rows at each end, whose stencil would leave the line, get a
// `reach` telling which neighbours exist; the other rows get `reach::interior()`, a
// constant that lets the node function drop its tests.
struct line_sweep
{
    struct reach
    {
        bool back2, back1, ahead1, ahead2;

        static constexpr reach interior() { return {true, true, true, true}; }
        static constexpr reach of_node(std::size_t k, std::size_t n)
        {
            return {k >= 2, k >= 1, k + 1 < n, k + 2 < n};
        }
    };

    // Rows in increasing order; node(p, reach) for every node.
    template <class Node>
    [[gnu::always_inline]] static void forward(std::size_t n, std::size_t inner,
                                               std::size_t half, Node&& node)
    {
        const std::size_t begin = std::min(half, n);
        const std::size_t end = std::max(begin, n - begin);
        for (std::size_t k = 0; k < begin; ++k)
            row(k, inner, reach::of_node(k, n), node);
        for (std::size_t k = begin; k < end; ++k)
            row(k, inner, reach::interior(), node);
        for (std::size_t k = end; k < n; ++k)
            row(k, inner, reach::of_node(k, n), node);
    }

    // Rows in decreasing order.
    template <class Node>
    [[gnu::always_inline]] static void backward(std::size_t n, std::size_t inner,
                                                std::size_t half, Node&& node)
    {
        const std::size_t begin = std::min(half, n);
        const std::size_t end = std::max(begin, n - begin);
        for (std::size_t k = n; k-- > end;)
            row(k, inner, reach::of_node(k, n), node);
        for (std::size_t k = end; k-- > begin;)
            row(k, inner, reach::interior(), node);
        for (std::size_t k = begin; k-- > 0;)
            row(k, inner, reach::of_node(k, n), node);
    }

private:
    template <class Node>
    [[gnu::always_inline]] static void row(std::size_t k, std::size_t inner, reach r,
                                           Node& node)
    {
        for (std::size_t p = k * inner; p < (k + 1) * inner; ++p)
            node(p, r);
    }
};

}  // namespace korvex::details

#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "Vectorization/expressions/vector.h"
#include "core/check_fail.h"

namespace korvex::details {

// Output vectors of the math library take the size of their result: an owning (or empty)
// vector of another size receives a new block, as assignment does; a view keeps its block,
// so it must already have the size.
inline bool fits_or_resizable(const vector<double>& out, std::size_t size)
{
    return out.device() == 0 && (out.size() == size || out.owns() || out.data() == nullptr);
}

// Refuses, at `where`, an output that cannot take `size` elements.
inline void check_output(const SourceLocation& where, const vector<double>& out,
                         std::size_t size, const char* name)
{
    KORVEX_CHECK_MSG(where, fits_or_resizable(out, size), name, " is ",
                     out.owns() ? "a vector" : "a view", " of ", out.size(),
                     " elements on device ", out.device(), ", the result has ", size);
}

// Whether two blocks of `size` doubles share memory.
inline bool blocks_overlap(const double* a, const double* b, std::size_t size)
{
    const auto x = reinterpret_cast<std::uintptr_t>(a);
    const auto y = reinterpret_cast<std::uintptr_t>(b);
    const std::uintptr_t bytes = size * sizeof(double);
    return size != 0 && x < y + bytes && y < x + bytes;
}

// Two outputs that would write into the same memory: the same vector, or blocks that are
// kept (already of the result's size) and overlap.
inline bool share_memory(const vector<double>& a, const vector<double>& b, std::size_t size)
{
    if (&a == &b)
        return true;
    return a.size() == size && b.size() == size && blocks_overlap(a.data(), b.data(), size);
}

// Gives `out` the values, after check_output accepted it.
inline void assign_output(vector<double>& out, const std::vector<double>& values)
{
    if (out.size() != values.size())
        out = vector<double>(values.size());
    std::copy(values.begin(), values.end(), out.begin());
}

}  // namespace korvex::details

#pragma once

// The evaluator of element-wise expressions: `run` assigns an expression to a destination,
// `run_add` adds it into the destination. Both first compare every sized operand with the
// destination's size and fail without writing anything when one differs; then they process
// the whole blocks of 16 elements in one vectorised loop, then the remaining 0-15 elements.
// Each element is computed from the operands at its own position, so an operand may be the
// destination itself; an operand must not be a view of the destination's block at another
// offset.

#include <cstddef>
#include <utility>

#include "core/check_fail.h"
#include "Vectorization/expressions/expressions.h"

namespace korvex {

namespace details {

inline constexpr const char* evaluator_source = "Library\\Vectorization/expressions/expressions_evaluator";
inline constexpr SourceLocation run_assign_location{"run", evaluator_source, 30};
inline constexpr SourceLocation run_add_location{"run", evaluator_source, 68};

template <class E>
void check_expression_size(const E& expression, std::size_t destination_size,
                           const SourceLocation& location)
{
    std::size_t found = 0;
    if (expression.find_size_mismatch(destination_size, found))
        check_fail(location,
                   concat("Expected expr.size() == rhs.size() to be true, but got false.  ",
                          "expression has diferrent size ", found, " than destination ",
                          destination_size));
}

inline constexpr std::size_t evaluation_block = 16;

template <bool Accumulate, class T, class E>
void evaluate(T* out, std::size_t n, const E& expression)
{
    // Element i reads the operands at position i only, so an operand that is the
    // destination itself is read before it is written and no iteration depends on another
    // (ivdep): the whole blocks of 16 form one loop that the compiler vectorises without
    // run-time overlap checks; the remaining 0-15 elements follow one by one.
    const std::size_t blocked = n - n % evaluation_block;
#pragma GCC ivdep
    for (std::size_t i = 0; i < blocked; ++i) {
        if constexpr (Accumulate)
            out[i] = out[i] + expression[i];
        else
            out[i] = expression[i];
    }
    for (std::size_t i = blocked; i < n; ++i) {
        if constexpr (Accumulate)
            out[i] = out[i] + expression[i];
        else
            out[i] = expression[i];
    }
}

}  // namespace details

// destination = expression. `destination` is a container or a view (also a temporary view).
template <class D, class E>
void run(D&& destination, E&& expression)
{
    const auto operand = details::to_operand(std::forward<E>(expression));
    details::check_expression_size(operand, destination.size(), details::run_assign_location);
    details::evaluate<false>(destination.data(), destination.size(), operand);
}

// destination += expression.
template <class D, class E>
void run_add(D&& destination, E&& expression)
{
    const auto operand = details::to_operand(std::forward<E>(expression));
    details::check_expression_size(operand, destination.size(), details::run_add_location);
    details::evaluate<true>(destination.data(), destination.size(), operand);
}

}  // namespace korvex

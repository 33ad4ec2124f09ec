#pragma once

// Element-wise expressions over the numeric containers.
//
// Operands are containers (vector, matrix, tensor or views of them), arithmetic scalars and
// other expressions, combined with + - * / and unary minus. Building an expression computes
// nothing: an lvalue container enters as a view of its block, an rvalue container is moved
// into the expression (and freed with it), and `run` evaluates the whole expression in one
// pass. A scalar has no size; every other operand must match the destination's size.

#include <cstddef>
#include <functional>
#include <type_traits>
#include <utility>

namespace korvex {

template <class T>
class vector;
template <class T>
class matrix;
template <class T>
class tensor;

namespace details {

template <class X>
struct is_container : std::false_type {};
template <class T>
struct is_container<vector<T>> : std::true_type {};
template <class T>
struct is_container<matrix<T>> : std::true_type {};
template <class T>
struct is_container<tensor<T>> : std::true_type {};

// Base of every expression node, so that operators recognise them.
struct expression_node {};

// Reports through `found` the size of the first sized operand that differs from `n`.
template <class E>
bool find_size_mismatch(const E& e, std::size_t n, std::size_t& found)
{
    return e.find_size_mismatch(n, found);
}

template <class T>
struct view_leaf : expression_node
{
    const T* data;
    std::size_t size;

    T operator[](std::size_t i) const { return data[i]; }
    bool find_size_mismatch(std::size_t n, std::size_t& found) const
    {
        found = size;
        return size != n;
    }
};

template <class C>
struct owned_leaf : expression_node
{
    C container;

    auto operator[](std::size_t i) const { return container.data()[i]; }
    bool find_size_mismatch(std::size_t n, std::size_t& found) const
    {
        found = container.size();
        return found != n;
    }
};

template <class T>
struct scalar_leaf : expression_node
{
    T value;

    T operator[](std::size_t) const { return value; }
    bool find_size_mismatch(std::size_t, std::size_t&) const { return false; }
};

template <class Op, class L, class R>
struct binary_node : expression_node
{
    L left;
    R right;

    auto operator[](std::size_t i) const { return Op{}(left[i], right[i]); }
    bool find_size_mismatch(std::size_t n, std::size_t& found) const
    {
        return left.find_size_mismatch(n, found) || right.find_size_mismatch(n, found);
    }
};

template <class E>
struct negate_node : expression_node
{
    E operand;

    auto operator[](std::size_t i) const { return -operand[i]; }
    bool find_size_mismatch(std::size_t n, std::size_t& found) const
    {
        return operand.find_size_mismatch(n, found);
    }
};

template <class X>
using bare_t = std::remove_cvref_t<X>;

template <class X>
inline constexpr bool is_node_v = std::is_base_of_v<expression_node, bare_t<X>>;

template <class X>
inline constexpr bool is_scalar_v = std::is_arithmetic_v<bare_t<X>>;

// The expression operand for x: a view of an lvalue container, an owned rvalue container,
// an expression node as it is, or a scalar.
template <class X>
auto to_operand(X&& x)
{
    using B = bare_t<X>;
    if constexpr (is_node_v<X>)
        return B(std::forward<X>(x));
    else if constexpr (is_scalar_v<X>)
        return scalar_leaf<B>{{}, x};
    else if constexpr (std::is_lvalue_reference_v<X>)
        return view_leaf<typename B::value_type>{{}, x.data(), x.size()};
    else
        return owned_leaf<B>{{}, std::move(x)};
}

template <class X>
using operand_t = decltype(to_operand(std::declval<X>()));

}  // namespace details

// Containers and expressions (not bare scalars).
template <class X>
inline constexpr bool is_expression_operand_v =
    details::is_container<details::bare_t<X>>::value || details::is_node_v<X>;

template <class L, class R>
concept expression_operands =
    (is_expression_operand_v<L> || details::is_scalar_v<L>) &&
    (is_expression_operand_v<R> || details::is_scalar_v<R>) &&
    (is_expression_operand_v<L> || is_expression_operand_v<R>);

namespace details {

// Gives a container `c = expression;` and `c += expression;`, evaluated by `run` and
// `run_add`. Copy and move assignment from the container's own type stay the container's.
template <class Container>
class expression_assignable
{
public:
    template <class E>
        requires is_expression_operand_v<E> && (!std::is_same_v<bare_t<E>, Container>)
    Container& operator=(E&& expression)
    {
        run(self(), std::forward<E>(expression));
        return self();
    }

    template <class E>
        requires is_expression_operand_v<E>
    Container& operator+=(E&& expression)
    {
        run_add(self(), std::forward<E>(expression));
        return self();
    }

private:
    Container& self() noexcept { return static_cast<Container&>(*this); }
};

}  // namespace details

#define KORVEX_EXPRESSION_OPERATOR(symbol, functor)                                         \
    template <class L, class R>                                                             \
        requires expression_operands<L, R>                                                  \
    auto operator symbol(L&& l, R&& r)                                                      \
    {                                                                                       \
        return details::binary_node<functor, details::operand_t<L>, details::operand_t<R>>{ \
            {}, details::to_operand(std::forward<L>(l)), details::to_operand(std::forward<R>(r))}; \
    }

KORVEX_EXPRESSION_OPERATOR(+, std::plus<>)
KORVEX_EXPRESSION_OPERATOR(-, std::minus<>)
KORVEX_EXPRESSION_OPERATOR(*, std::multiplies<>)
KORVEX_EXPRESSION_OPERATOR(/, std::divides<>)

#undef KORVEX_EXPRESSION_OPERATOR

template <class E>
    requires is_expression_operand_v<E>
auto operator-(E&& e)
{
    return details::negate_node<details::operand_t<E>>{{}, details::to_operand(std::forward<E>(e))};
}

}  // namespace korvex

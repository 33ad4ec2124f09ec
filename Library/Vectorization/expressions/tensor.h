#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <limits>
#include <new>
#include <utility>
#include <vector>

#include "core/check_fail.h"
#include "Vectorization/expressions/matrix.h"
#include "Vectorization/expressions/vector.h"

namespace korvex {

namespace details {
inline constexpr SourceLocation tensor_site(const char* function, int line)
{
    return {function, "Library/Vectorization/expressions/tensor", line};
}
}  // namespace details

// Row-major array of one or more dimensions (last index fastest) over one aligned block.
// sub_sizes()[k] is the product of shape()[k] ... shape()[last], so sub_sizes()[0] is the
// element count and the flat position of (i0, ..., ik) is i0 * sub_sizes()[1] + ... + ik.
//
// A shape needs at least one dimension: an empty shape raises Error. Copy assignment from
// a tensor of another element count takes a fresh block (a view so assigned becomes an
// owner); with equal counts the existing block is reused.
template <class T>
class tensor : public details::expression_assignable<tensor<T>>
{
public:
    using value_type = T;

    tensor() = default;

    explicit tensor(std::vector<std::size_t> shape, std::uint16_t device = 0)
        : shape_(std::move(shape)),
          sub_sizes_(sub_sizes_of(shape_)),
          block_(sub_sizes_[0], device)
    {
    }

    tensor(std::initializer_list<std::size_t> shape) : tensor(std::vector<std::size_t>(shape)) {}

    // Non-owning view of a block of the given shape starting at `data`.
    static tensor view_of(T* data, std::vector<std::size_t> shape, std::uint16_t device = 0)
    {
        tensor t;
        t.sub_sizes_ = sub_sizes_of(shape);
        t.shape_ = std::move(shape);
        t.block_ = vector<T>::view_of(data, t.sub_sizes_[0], device);
        return t;
    }

    tensor(const tensor&) = default;
    tensor(tensor&& other) noexcept = default;
    tensor& operator=(const tensor& other)
    {
        if (this != &other) {
            shape_ = other.shape_;
            sub_sizes_ = other.sub_sizes_;
            block_ = other.block_;
        }
        return *this;
    }
    tensor& operator=(tensor&& other) noexcept = default;
    ~tensor() = default;

    tensor& operator=(const T& value)
    {
        block_ = value;
        return *this;
    }

    using details::expression_assignable<tensor>::operator=;
    using details::expression_assignable<tensor>::operator+=;

    const std::vector<std::size_t>& shape() const noexcept { return shape_; }
    const std::vector<std::size_t>& sub_sizes() const noexcept { return sub_sizes_; }
    T* data() noexcept { return block_.data(); }
    const T* data() const noexcept { return block_.data(); }
    std::size_t size() const noexcept { return block_.size(); }
    std::uint16_t device() const noexcept { return block_.device(); }
    bool owns() const noexcept { return block_.owns(); }

    T& operator[](std::size_t i) noexcept { return block_[i]; }
    const T& operator[](std::size_t i) const noexcept { return block_[i]; }

    // Flat position of a multi-index (no range check).
    template <class... I>
    std::size_t offset(I... indices) const noexcept
    {
        const std::size_t index[] = {static_cast<std::size_t>(indices)...};
        std::size_t position = 0;
        for (std::size_t k = 0; k < sizeof...(I); ++k)
            position += index[k] * (k + 1 < sub_sizes_.size() ? sub_sizes_[k + 1] : 1);
        return position;
    }
    template <class... I>
    T& operator()(I... indices) noexcept
    {
        return block_[offset(indices...)];
    }
    template <class... I>
    const T& operator()(I... indices) const noexcept
    {
        return block_[offset(indices...)];
    }

    // Non-owning view of the block as `rows` rows of size() / rows values; `rows` must be
    // positive and divide size().
    matrix<T> as_matrix(std::size_t rows) noexcept(false)
    {
        KORVEX_CHECK_MSG(details::tensor_site("as_matrix", __LINE__), rows != 0 && size() % rows == 0,
                         "cannot view ", size(), " elements as ", rows, " rows");
        return matrix<T>::view_of(block_.data(), rows, size() / rows, block_.device());
    }
    // Non-owning view of the whole block as a flat vector.
    vector<T> as_vector() noexcept { return block_.view(); }

private:
    static std::vector<std::size_t> sub_sizes_of(const std::vector<std::size_t>& shape)
    {
        if (shape.empty())
            details::check_fail(details::tensor_site("sub_sizes_of", __LINE__),
                                "a tensor needs at least one dimension");
        std::vector<std::size_t> sub_sizes(shape.size());
        std::size_t product = 1;
        for (std::size_t k = shape.size(); k-- > 0;) {
            if (shape[k] != 0 && product > std::numeric_limits<std::size_t>::max() / shape[k])
                throw std::bad_alloc();
            product *= shape[k];
            sub_sizes[k] = product;
        }
        return sub_sizes;
    }

    std::vector<std::size_t> shape_;
    std::vector<std::size_t> sub_sizes_;
    vector<T> block_;
};

}  // namespace korvex

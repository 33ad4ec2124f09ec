#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <new>
#include <utility>

#include "Vectorization/expressions/vector.h"

namespace korvex {

// Row-major matrix over one aligned block: element (i, j) is data()[i * columns() + j].
// Ownership, views, copies and expression assignment behave as for `vector`.
template <class T>
class matrix : public details::expression_assignable<matrix<T>>
{
public:
    using value_type = T;

    matrix() = default;

    matrix(std::size_t rows, std::size_t columns, std::uint16_t device = 0)
        : block_(element_count(rows, columns), device), rows_(rows), columns_(columns)
    {
    }

    // Non-owning view of a rows x columns block starting at `data`.
    static matrix view_of(T* data, std::size_t rows, std::size_t columns, std::uint16_t device = 0)
    {
        matrix m;
        m.block_ = vector<T>::view_of(data, element_count(rows, columns), device);
        m.rows_ = rows;
        m.columns_ = columns;
        return m;
    }

    matrix(const matrix&) = default;
    matrix(matrix&& other) noexcept
        : block_(std::move(other.block_)),
          rows_(std::exchange(other.rows_, 0)),
          columns_(std::exchange(other.columns_, 0))
    {
    }
    matrix& operator=(const matrix& other)
    {
        if (this != &other) {
            block_ = other.block_;
            rows_ = other.rows_;
            columns_ = other.columns_;
        }
        return *this;
    }
    matrix& operator=(matrix&& other) noexcept
    {
        block_ = std::move(other.block_);
        rows_ = std::exchange(other.rows_, 0);
        columns_ = std::exchange(other.columns_, 0);
        return *this;
    }
    ~matrix() = default;

    matrix& operator=(const T& value)
    {
        block_ = value;
        return *this;
    }

    using details::expression_assignable<matrix>::operator=;
    using details::expression_assignable<matrix>::operator+=;

    T* data() noexcept { return block_.data(); }
    const T* data() const noexcept { return block_.data(); }
    std::size_t size() const noexcept { return block_.size(); }
    std::uint16_t device() const noexcept { return block_.device(); }
    bool owns() const noexcept { return block_.owns(); }
    std::size_t rows() const noexcept { return rows_; }
    std::size_t columns() const noexcept { return columns_; }

    T& operator[](std::size_t i) noexcept { return block_[i]; }
    const T& operator[](std::size_t i) const noexcept { return block_[i]; }
    T& operator()(std::size_t i, std::size_t j) noexcept { return block_[i * columns_ + j]; }
    const T& operator()(std::size_t i, std::size_t j) const noexcept
    {
        return block_[i * columns_ + j];
    }

    // Non-owning view of row i (no range check).
    vector<T> row(std::size_t i) noexcept
    {
        return vector<T>::view_of(block_.data() + i * columns_, columns_, block_.device());
    }
    // Non-owning view of the whole matrix.
    matrix view() noexcept { return view_of(block_.data(), rows_, columns_, block_.device()); }

private:
    static std::size_t element_count(std::size_t rows, std::size_t columns)
    {
        if (columns != 0 && rows > std::numeric_limits<std::size_t>::max() / columns)
            throw std::bad_alloc();
        return rows * columns;
    }

    vector<T> block_;
    std::size_t rows_ = 0;
    std::size_t columns_ = 0;
};

}  // namespace korvex

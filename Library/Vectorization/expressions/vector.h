#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <limits>
#include <new>
#include <utility>

#include "core/cpu_allocator.h"
#include "Vectorization/expressions/expressions.h"

namespace korvex {

// A contiguous block of elements, 64-byte aligned, owned or viewed.
//
// An owning vector allocates its block from cpu_allocator and frees it once on destruction.
// A view (owns() false) shares another container's block and never frees it; the viewed
// container must outlive the view. `device()` names where the block lives: 0 is host
// memory, the only kind allocated here; a container on another device holds no host block.
//
// Elements are not initialised by the size constructor. Assigning a scalar fills; assigning
// or adding an element-wise expression evaluates it through `run` after a size check.
template <class T>
class vector : public details::expression_assignable<vector<T>>
{
public:
    using value_type = T;

    vector() = default;

    explicit vector(std::size_t n) : data_(allocate(n)), size_(n), owns_(true) {}

    // A container of n elements on `device`; only device 0 gets a host block.
    vector(std::size_t n, std::uint16_t device)
        : data_(device == 0 ? allocate(n) : nullptr), size_(n), device_(device), owns_(true)
    {
    }

    // Owning vector holding the listed values, e.g. vector<double>{1.0}.
    vector(std::initializer_list<T> values) : vector(values.size())
    {
        std::copy(values.begin(), values.end(), data_);
    }

    // Non-owning view of n elements starting at `data`.
    static vector view_of(T* data, std::size_t n, std::uint16_t device = 0)
    {
        vector v;
        v.data_ = data;
        v.size_ = n;
        v.device_ = device;
        v.owns_ = false;
        return v;
    }

    vector(const vector& other)
        : data_(other.device_ == 0 ? allocate(other.size_) : nullptr),
          size_(other.size_),
          device_(other.device_),
          owns_(true)
    {
        copy_elements_from(other);
    }

    vector(vector&& other) noexcept
        : data_(std::exchange(other.data_, nullptr)),
          size_(std::exchange(other.size_, 0)),
          device_(std::exchange(other.device_, 0)),
          owns_(std::exchange(other.owns_, false))
    {
    }

    // Reuses the block when the sizes agree (writing through a view), otherwise takes a
    // fresh block of the source's size.
    vector& operator=(const vector& other)
    {
        if (this == &other)
            return *this;
        if (data_ == nullptr || size_ != other.size_ || device_ != other.device_) {
            vector fresh(other);
            swap(fresh);
            return *this;
        }
        copy_elements_from(other);
        return *this;
    }

    vector& operator=(vector&& other) noexcept
    {
        vector moved(std::move(other));
        swap(moved);
        return *this;
    }

    ~vector() { release(); }

    // Fill.
    vector& operator=(const T& value)
    {
        std::fill_n(data_, data_ == nullptr ? 0 : size_, value);
        return *this;
    }

    using details::expression_assignable<vector>::operator=;
    using details::expression_assignable<vector>::operator+=;

    T* data() noexcept { return data_; }
    const T* data() const noexcept { return data_; }
    std::size_t size() const noexcept { return size_; }
    bool empty() const noexcept { return size_ == 0; }
    std::uint16_t device() const noexcept { return device_; }
    bool owns() const noexcept { return owns_; }

    T& operator[](std::size_t i) noexcept { return data_[i]; }
    const T& operator[](std::size_t i) const noexcept { return data_[i]; }

    T* begin() noexcept { return data_; }
    T* end() noexcept { return data_ + size_; }
    const T* begin() const noexcept { return data_; }
    const T* end() const noexcept { return data_ + size_; }

    // A non-owning view of the whole block.
    vector view() noexcept { return view_of(data_, size_, device_); }

    void swap(vector& other) noexcept
    {
        std::swap(data_, other.data_);
        std::swap(size_, other.size_);
        std::swap(device_, other.device_);
        std::swap(owns_, other.owns_);
    }

    // A fresh aligned block of n elements (null for 0); refuses counts whose byte size
    // overflows with std::bad_alloc.
    static T* allocate(std::size_t n)
    {
        if (n > std::numeric_limits<std::size_t>::max() / sizeof(T))
            throw std::bad_alloc();
        return static_cast<T*>(cpu_allocator::allocate(n * sizeof(T), 64));
    }

private:
    void copy_elements_from(const vector& other) noexcept
    {
        if (device_ == 0 && other.device_ == 0 && data_ != other.data_ && size_ != 0)
            std::memcpy(data_, other.data_, size_ * sizeof(T));
    }

    void release() noexcept
    {
        if (owns_)
            cpu_allocator::free(data_);
        data_ = nullptr;
    }

    T* data_ = nullptr;
    std::size_t size_ = 0;
    std::uint16_t device_ = 0;
    bool owns_ = false;
};

}  // namespace korvex

#include "Vectorization/expressions/expressions_evaluator.h"

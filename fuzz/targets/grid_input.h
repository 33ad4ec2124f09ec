#pragma once

// Reading a grid configuration from fuzz bytes, and writing one as seed bytes: fixed-size
// fields in order, zero once the bytes run out, then the rest as an array of doubles.

#include <cstdint>
#include <algorithm>
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

namespace korvex::fuzzing {

class field_reader
{
public:
    field_reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    template <class T>
    T next()
    {
        static_assert(std::is_trivially_copyable_v<T>);
        T value{};
        const std::size_t n = std::min(sizeof(T), size_ - used_);
        if (n > 0)
            std::memcpy(&value, data_ + used_, n);
        used_ += n;
        return value;
    }

    // Every remaining whole double.
    std::vector<double> rest()
    {
        std::vector<double> values((size_ - used_) / sizeof(double));
        if (!values.empty())
            std::memcpy(values.data(), data_ + used_, values.size() * sizeof(double));
        used_ = size_;
        return values;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t used_ = 0;
};

class field_writer
{
public:
    template <class T>
    field_writer& add(T value)
    {
        static_assert(std::is_trivially_copyable_v<T>);
        // Grown through a string: GCC 12 at -O3 reports a false out-of-bounds write when a
        // vector<uint8_t> is extended by a few bytes at a time.
        bytes_.append(reinterpret_cast<const char*>(&value), sizeof(T));
        return *this;
    }

    field_writer& add_all(const std::vector<double>& values)
    {
        for (double v : values)
            add(v);
        return *this;
    }

    std::vector<std::uint8_t> bytes() const { return {bytes_.begin(), bytes_.end()}; }

private:
    std::string bytes_;
};

}  // namespace korvex::fuzzing

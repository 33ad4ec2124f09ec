#include "core/multi_process_stream.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "core/check_fail.h"
#include "core/cpu_allocator.h"

namespace korvex {

namespace {

constexpr const char* source_file = "Foundation/core/multi_process_stream";

constexpr SourceLocation at_line(const char* function, int line)
{
    return {function, source_file, line};
}

enum tag : std::uint8_t
{
    tag_int = 'i',
    tag_unsigned = 'u',
    tag_double = 'd',
    tag_string = 's',
    tag_unsigned_long_long = 'q',
    tag_bool = 'b',
    tag_array = 'a',
};

const char* tag_name(std::uint8_t t)
{
    switch (t) {
    case tag_int: return "an int";
    case tag_unsigned: return "an unsigned int";
    case tag_double: return "a double";
    case tag_string: return "a string";
    case tag_unsigned_long_long: return "an unsigned long long";
    case tag_bool: return "a bool";
    case tag_array: return "a double array";
    default: return "an unknown value";
    }
}

}  // namespace

void multi_process_stream::write_tag(std::uint8_t t)
{
    data_.push_back(t);
}

void multi_process_stream::write_bytes(const void* source, std::size_t count)
{
    const auto* bytes = static_cast<const std::uint8_t*>(source);
    data_.insert(data_.end(), bytes, bytes + count);
}

template <class T>
void multi_process_stream::write_value(std::uint8_t t, const T& value)
{
    write_tag(t);
    write_bytes(&value, sizeof(T));
}

void multi_process_stream::read_bytes(void* target, std::size_t count)
{
    if (count > bytes_left())
        details::check_fail(at_line("read_bytes", __LINE__),
            details::concat("multi_process_stream: cannot read ", count, " bytes at offset ",
                position_, ", only ", bytes_left(), " left"));
    if (count != 0)
        std::memcpy(target, data_.data() + position_, count);
    position_ += count;
}

void multi_process_stream::read_tag(std::uint8_t expected)
{
    if (bytes_left() == 0)
        details::check_fail(at_line("read_tag", __LINE__),
            details::concat("multi_process_stream: expected ", tag_name(expected), " at offset ",
                position_, ", but the stream ends there"));
    const std::uint8_t found = data_[position_];
    if (found != expected)
        details::check_fail(at_line("read_tag", __LINE__),
            details::concat("multi_process_stream: expected ", tag_name(expected), " at offset ",
                position_, ", found ", tag_name(found)));
    ++position_;
}

template <class T>
void multi_process_stream::read_value(std::uint8_t t, T& value)
{
    read_tag(t);
    read_bytes(&value, sizeof(T));
}

multi_process_stream& multi_process_stream::operator<<(int value)
{
    write_value(tag_int, value);
    return *this;
}

multi_process_stream& multi_process_stream::operator<<(unsigned int value)
{
    write_value(tag_unsigned, value);
    return *this;
}

multi_process_stream& multi_process_stream::operator<<(double value)
{
    write_value(tag_double, value);
    return *this;
}

multi_process_stream& multi_process_stream::operator<<(const std::string& value)
{
    const std::uint64_t length = value.size();
    write_value(tag_string, length);
    write_bytes(value.data(), value.size());
    return *this;
}

multi_process_stream& multi_process_stream::operator<<(const char* value)
{
    return *this << std::string(value);
}

multi_process_stream& multi_process_stream::operator<<(unsigned long long value)
{
    write_value(tag_unsigned_long_long, value);
    return *this;
}

multi_process_stream& multi_process_stream::operator<<(bool value)
{
    write_tag(tag_bool);
    data_.push_back(value ? 1 : 0);
    return *this;
}

multi_process_stream& multi_process_stream::operator>>(int& value)
{
    read_value(tag_int, value);
    return *this;
}

multi_process_stream& multi_process_stream::operator>>(unsigned int& value)
{
    read_value(tag_unsigned, value);
    return *this;
}

multi_process_stream& multi_process_stream::operator>>(double& value)
{
    read_value(tag_double, value);
    return *this;
}

multi_process_stream& multi_process_stream::operator>>(bool& value)
{
    std::uint8_t byte = 0;
    read_value(tag_bool, byte);
    if (byte > 1)
        details::check_fail(at_line("operator>>", __LINE__),
            details::concat("multi_process_stream: invalid bool value ", unsigned{byte},
                " at offset ", position_ - 1));
    value = byte == 1;
    return *this;
}

multi_process_stream& multi_process_stream::operator>>(std::string& value)
{
    std::uint64_t length = 0;
    read_value(tag_string, length);
    if (length > bytes_left())
        details::check_fail(at_line("operator>>", __LINE__),
            details::concat("multi_process_stream: string length ", length, " at offset ",
                position_, " exceeds the ", bytes_left(), " bytes left"));
    const auto* first = reinterpret_cast<const char*>(data_.data() + position_);
    value.assign(first, static_cast<std::size_t>(length));
    position_ += static_cast<std::size_t>(length);
    return *this;
}

multi_process_stream& multi_process_stream::operator>>(unsigned long long& value)
{
    read_value(tag_unsigned_long_long, value);
    return *this;
}

void multi_process_stream::write_doubles(const double* values, std::size_t n)
{
    constexpr std::size_t stride = 1 + sizeof(double);
    const std::size_t start = data_.size();
    data_.resize(start + n * stride);
    std::uint8_t* out = data_.data() + start;
    for (std::size_t i = 0; i < n; ++i, out += stride) {
        out[0] = tag_double;
        std::memcpy(out + 1, values + i, sizeof(double));
    }
}

void multi_process_stream::read_doubles(double* values, std::size_t n)
{
    constexpr std::size_t stride = 1 + sizeof(double);
    // Whole values while they are all present and tagged as doubles; the first one that is
    // not goes through the single read, which reports it.
    std::size_t i = 0;
    const std::size_t complete = std::min(n, bytes_left() / stride);
    for (const std::uint8_t* in = data_.data() + position_; i < complete; ++i, in += stride) {
        if (in[0] != tag_double)
            break;
        std::memcpy(values + i, in + 1, sizeof(double));
    }
    position_ += i * stride;
    for (; i < n; ++i)
        *this >> values[i];
}

void multi_process_stream::Push(const double* values, unsigned n)
{
    write_value(tag_array, n);
    write_bytes(values, std::size_t{n} * sizeof(double));
}

void multi_process_stream::Pop(double*& values, unsigned& n)
{
    unsigned count = 0;
    read_value(tag_array, count);
    const std::size_t bytes = std::size_t{count} * sizeof(double);
    if (bytes > bytes_left())
        details::check_fail(at_line("Pop", __LINE__),
            details::concat("multi_process_stream: array of ", count, " doubles at offset ",
                position_, " exceeds the ", bytes_left(), " bytes left"));
    double* block = static_cast<double*>(cpu_allocator::allocate(bytes, 64));
    read_bytes(block, bytes);
    values = block;
    n = count;
}

void multi_process_stream::SetRawData(const std::vector<std::uint8_t>& bytes)
{
    data_ = bytes;
    position_ = 0;
}

void multi_process_stream::SetRawData(std::vector<std::uint8_t>&& bytes)
{
    data_ = std::move(bytes);
    position_ = 0;
}

}  // namespace korvex

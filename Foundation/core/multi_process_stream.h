#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/core_export.h"

namespace korvex {

// In-memory binary stream. Values come out in the order they went in.
//
// Layout: every value is one type byte followed by its payload, little-endian as the host
// (int and unsigned int 4 bytes, double and unsigned long long 8 bytes, bool 1 byte holding
// 0 or 1, string an 8-byte length then the bytes, a double array a 4-byte count then the
// doubles). The type byte lets a reader detect a stream that does not hold what it expects.
//
// Reading past the end, a wrong type byte, a length or count larger than the bytes left,
// or a bool byte other than 0 or 1 raises `Error` naming the offset; nothing is read out
// of bounds and nothing is allocated beyond what the bytes present justify.
class KORVEX_CORE_API multi_process_stream
{
public:
    multi_process_stream() = default;

    multi_process_stream& operator<<(int value);
    multi_process_stream& operator<<(unsigned int value);
    multi_process_stream& operator<<(double value);
    multi_process_stream& operator<<(const std::string& value);
    multi_process_stream& operator<<(const char* value);
    multi_process_stream& operator<<(unsigned long long value);
    multi_process_stream& operator<<(bool value);

    multi_process_stream& operator>>(int& value);
    multi_process_stream& operator>>(unsigned int& value);
    multi_process_stream& operator>>(double& value);
    multi_process_stream& operator>>(std::string& value);
    multi_process_stream& operator>>(unsigned long long& value);
    multi_process_stream& operator>>(bool& value);

    // n doubles, written and read exactly as n single `<<` / `>>` of a double, in one pass.
    void write_doubles(const double* values, std::size_t n);
    void read_doubles(double* values, std::size_t n);

    // Appends n doubles with their count.
    void Push(const double* values, unsigned n);
    // Reads an array written by Push into a new 64-byte aligned block from cpu_allocator
    // (null when n is 0); the caller releases it with cpu_allocator::free.
    void Pop(double*& values, unsigned& n);

    // The whole content, and its replacement (the read position returns to the start).
    const std::vector<std::uint8_t>& GetRawData() const { return data_; }
    void SetRawData(const std::vector<std::uint8_t>& bytes);
    void SetRawData(std::vector<std::uint8_t>&& bytes);

    // Room for `bytes` bytes in all, so that writing up to there copies nothing.
    void reserve(std::size_t bytes) { data_.reserve(bytes); }

    std::size_t read_position() const { return position_; }
    std::size_t bytes_left() const { return data_.size() - position_; }

private:
    void write_tag(std::uint8_t tag);
    void write_bytes(const void* source, std::size_t count);
    void read_tag(std::uint8_t expected);
    void read_bytes(void* target, std::size_t count);
    template <class T>
    void write_value(std::uint8_t tag, const T& value);
    template <class T>
    void read_value(std::uint8_t tag, T& value);

    std::vector<std::uint8_t> data_;
    std::size_t position_ = 0;
};

}  // namespace korvex

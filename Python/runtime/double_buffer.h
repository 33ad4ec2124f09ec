#pragma once

#include <cstddef>

#include "runtime/python_api.h"
#include "runtime/wrapping_export.h"

namespace korvex::details {

// The buffer of a Python object when it is a one-dimensional array of native doubles (a
// float64 numpy array, a vector_IdE, an array.array('d'), a memoryview of one), strided or
// not. Any other object, or another layout, leaves it unusable with no Python error set.
class KORVEX_WRAPPING_API double_buffer
{
public:
    double_buffer(PyObject* object, bool writable);
    ~double_buffer();
    double_buffer(const double_buffer&) = delete;
    double_buffer& operator=(const double_buffer&) = delete;

    bool usable() const noexcept { return usable_; }
    // The buffer's number of dimensions, or -1 when the object exports no buffer.
    int dimensions() const noexcept { return acquired_ ? view_.ndim : -1; }
    std::size_t size() const noexcept { return static_cast<std::size_t>(view_.shape[0]); }
    // The first element when the elements are adjacent, null otherwise.
    double* contiguous_data() const noexcept;

    // Copies the first n elements out of, or into, the buffer (n <= size()).
    void read(double* values, std::size_t n) const noexcept;
    void write(const double* values, std::size_t n) noexcept;

    // Hands the acquired buffer over to `target` (to keep it beyond this object's life).
    void release_to(Py_buffer& target) noexcept;

private:
    Py_buffer view_{};
    bool acquired_ = false;
    bool usable_ = false;
};

}  // namespace korvex::details

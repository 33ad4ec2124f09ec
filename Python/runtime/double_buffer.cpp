#include "runtime/double_buffer.h"

#include <bit>
#include <cstring>
#include <string_view>

namespace korvex::details {
namespace {

// Native doubles in the struct-module notation of the buffer protocol.
bool is_native_double(const char* format)
{
    const std::string_view text = format == nullptr ? "B" : format;
    return text == "d" || text == "@d" || text == "=d" ||
           (text == "<d" && std::endian::native == std::endian::little);
}

}  // namespace

double_buffer::double_buffer(PyObject* object, bool writable)
{
    if (!PyObject_CheckBuffer(object))
        return;
    const int flags = PyBUF_STRIDES | PyBUF_FORMAT | (writable ? PyBUF_WRITABLE : 0);
    if (PyObject_GetBuffer(object, &view_, flags) != 0) {
        PyErr_Clear();
        return;
    }
    acquired_ = true;
    usable_ = view_.ndim == 1 && view_.itemsize == sizeof(double) && is_native_double(view_.format);
}

double_buffer::~double_buffer()
{
    if (acquired_)
        PyBuffer_Release(&view_);
}

double* double_buffer::contiguous_data() const noexcept
{
    return view_.strides[0] == sizeof(double) ? static_cast<double*>(view_.buf) : nullptr;
}

void double_buffer::read(double* values, std::size_t n) const noexcept
{
    if (const double* data = contiguous_data()) {
        std::memcpy(values, data, n * sizeof(double));
        return;
    }
    const char* item = static_cast<const char*>(view_.buf);
    for (std::size_t i = 0; i < n; ++i, item += view_.strides[0])
        std::memcpy(values + i, item, sizeof(double));
}

void double_buffer::write(const double* values, std::size_t n) noexcept
{
    if (double* data = contiguous_data()) {
        std::memmove(data, values, n * sizeof(double));
        return;
    }
    char* item = static_cast<char*>(view_.buf);
    for (std::size_t i = 0; i < n; ++i, item += view_.strides[0])
        std::memcpy(item, values + i, sizeof(double));
}

void double_buffer::release_to(Py_buffer& target) noexcept
{
    target = view_;
    acquired_ = false;
    usable_ = false;
}

}  // namespace korvex::details

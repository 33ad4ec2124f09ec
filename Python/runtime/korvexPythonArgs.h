#pragma once

#include <cstddef>
#include <memory>

#include "runtime/python_api.h"
#include "runtime/wrapping_export.h"

namespace korvex {

// Reads the positional arguments of one wrapped call in order.
//
// The reader holds the argument tuple, the method name used in error texts, the argument
// count N, the offset M of the first real argument and the current position I. Each Get...
// consumes the argument at I and advances I. A conversion that fails returns false with a
// Python error set whose text names the method and the argument, e.g.
// "lgamma() argument 1: must be real number, not str".
class KORVEX_WRAPPING_API korvexPythonArgs
{
public:
    korvexPythonArgs(PyObject* args, const char* method_name);

    const char* GetMethodName() const noexcept { return method_name_; }
    // The number of real arguments, N - M.
    Py_ssize_t GetArgCount() const noexcept { return count_ - offset_; }
    // True while arguments remain to be read (I below N).
    bool ArgsLeft() const noexcept { return position_ < count_; }
    // The zero-based index of the argument read last, I - M - 1.
    Py_ssize_t GetLastArgIndex() const noexcept { return position_ - offset_ - 1; }

    // A float (int and objects with __float__ or __index__ are accepted).
    bool GetValue(double& value);
    // A non-negative int (objects with __index__, bool included).
    bool GetValue(unsigned long long& value);
    // A bool (an int or an object with __index__: zero is false).
    bool GetValue(bool& value);
    // A value of the enumeration registered as `enum_name`; only its own values are
    // accepted. Sets `ok` and returns the integer value.
    int GetArgAsEnum(const char* enum_name, bool& ok);
    // The next argument itself (borrowed), for conversions done by the caller.
    PyObject* GetNextArg();
    // Argument i (zero-based, borrowed) without moving the position.
    PyObject* GetArgument(Py_ssize_t i) const { return argument(i); }

    // The length of argument i (zero-based) when it is a sequence or a one-dimensional
    // buffer, 0 otherwise (no error set).
    Py_ssize_t GetArgSize(Py_ssize_t i) const;
    // Reads the next argument, a sequence or buffer of n numbers, into `values`.
    bool GetArray(double* values, std::size_t n);
    // Writes n values into argument i, a writable buffer of doubles or a mutable sequence.
    bool SetArray(Py_ssize_t i, const double* values, std::size_t n);

    // Checks that the count lies in [minimum, maximum]; raises the count error otherwise.
    bool CheckArgCount(Py_ssize_t minimum, Py_ssize_t maximum);
    // TypeError "name() takes exactly 1 argument (2 given)", "... at least 5 arguments (4
    // given)" or "... at most 7 arguments (8 given)".
    void ArgCountError(Py_ssize_t minimum, Py_ssize_t maximum);
    // TypeError "no overload of name() takes 2 arguments", for overloaded methods.
    static void ArgCountError(Py_ssize_t count, const char* name);

    // Names argument `index` (zero-based) in the pending TypeError, ValueError,
    // OverflowError or BufferError: "name() argument <index + 1>: <text>". Without a pending
    // error sets TypeError "name() argument <index + 1>: expected a valid <type_name>".
    void RefineArgTypeError(Py_ssize_t index, const char* type_name = nullptr) const;

    // A new reference to None.
    static PyObject* BuildNone();

    // A scratch block of n elements, freed with the reader's caller.
    template <class T>
    class Array
    {
    public:
        explicit Array(std::size_t n) : data_(n == 0 ? nullptr : new T[n]), size_(n) {}
        T* Data() noexcept { return data_.get(); }
        std::size_t Size() const noexcept { return size_; }

    private:
        std::unique_ptr<T[]> data_;
        std::size_t size_;
    };

private:
    PyObject* argument(Py_ssize_t i) const { return PyTuple_GET_ITEM(args_, offset_ + i); }
    PyObject* next() { return PyTuple_GET_ITEM(args_, position_++); }
    bool fail_last() const;

    PyObject* args_;
    const char* method_name_;
    Py_ssize_t count_;
    Py_ssize_t offset_ = 0;
    Py_ssize_t position_ = 0;
};

}  // namespace korvex

#pragma once

#include <array>
#include <cstddef>
#include <optional>

#include "pybind/broadcast.h"
#include "pybind/module_setup.h"

namespace korvex::python {

// Module functions called by CPython directly through the vectorcall protocol
// (METH_FASTCALL | METH_KEYWORDS), for the element-wise functions whose scalar calls must
// cost little more than the computation: pybind11's dispatcher spends about 0.4 us on six
// positional arguments and 2 to 3 us on keywords, more than a whole analytic price.

// A parameter: its name and, for an optional one, its default.
struct parameter
{
    const char* name;
    std::optional<double> default_value = std::nullopt;
};

// Matches the arguments of a call to `count` parameters, positionally then by keyword, as
// Python does; slots[k] receives the argument of parameter k (borrowed), null when a default
// applies. False with TypeError set (too many arguments, an unknown or repeated keyword, a
// missing required argument), in CPython's words.
bool bind_arguments(const char* function, const parameter* parameters, std::size_t count,
                    PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames, PyObject** slots);

// The body of an element-wise module function of N float-or-array parameters: binds the
// arguments, converts them (number_operand) and broadcasts `kernel` over them. Returns a new
// reference, or null with the Python error set.
template <std::size_t N, class Kernel, class Block = no_block_kernel>
PyObject* elementwise_call(const char* function, const std::array<parameter, N>& parameters,
                           PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames, Kernel kernel,
                           Block block = {})
{
    std::array<PyObject*, N> slots{};
    if (!bind_arguments(function, parameters.data(), N, args, nargs, kwnames, slots.data()))
        return nullptr;
    try {
        // The common scalar call, straight from the Python floats.
        std::array<double, N> values;
        std::size_t floats = 0;
        for (; floats < N && (slots[floats] == nullptr || PyFloat_CheckExact(slots[floats])); ++floats)
            values[floats] = slots[floats] == nullptr ? *parameters[floats].default_value
                                                      : PyFloat_AS_DOUBLE(slots[floats]);
        if (floats == N)
            return PyFloat_FromDouble(kernel(values));
        std::array<operand, N> operands;
        for (std::size_t k = 0; k < N; ++k)
            operands[k] = slots[k] == nullptr ? scalar_operand(*parameters[k].default_value)
                                              : number_operand(slots[k], function, parameters[k].name);
        return broadcast(operands, function, kernel, block).release().ptr();
    } catch (...) {
        set_python_error();
        return nullptr;
    }
}

}  // namespace korvex::python

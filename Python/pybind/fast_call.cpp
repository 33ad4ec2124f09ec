#include "pybind/fast_call.h"

namespace korvex::python {
namespace {

// The position of the parameter named `keyword`, or count.
std::size_t find_parameter(PyObject* keyword, const parameter* parameters, std::size_t count)
{
    for (std::size_t k = 0; k < count; ++k)
        if (PyUnicode_CompareWithASCIIString(keyword, parameters[k].name) == 0)
            return k;
    return count;
}

}  // namespace

bool bind_arguments(const char* function, const parameter* parameters, std::size_t count,
                    PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames, PyObject** slots)
{
    const auto positional = static_cast<std::size_t>(PyVectorcall_NARGS(nargs));
    if (positional > count) {
        PyErr_Format(PyExc_TypeError, "%s() takes at most %zu arguments (%zu given)", function, count, positional);
        return false;
    }
    for (std::size_t k = 0; k < positional; ++k)
        slots[k] = args[k];
    const Py_ssize_t keywords = kwnames == nullptr ? 0 : PyTuple_GET_SIZE(kwnames);
    for (Py_ssize_t i = 0; i < keywords; ++i) {
        PyObject* keyword = PyTuple_GET_ITEM(kwnames, i);
        const std::size_t k = find_parameter(keyword, parameters, count);
        if (k == count) {
            PyErr_Format(PyExc_TypeError, "%s() got an unexpected keyword argument '%U'", function, keyword);
            return false;
        }
        if (slots[k] != nullptr) {
            PyErr_Format(PyExc_TypeError, "%s() got multiple values for argument '%s'", function, parameters[k].name);
            return false;
        }
        slots[k] = args[positional + static_cast<std::size_t>(i)];
    }
    for (std::size_t k = 0; k < count; ++k)
        if (slots[k] == nullptr && !parameters[k].default_value) {
            PyErr_Format(PyExc_TypeError, "%s() missing required argument '%s' (pos %zu)", function,
                         parameters[k].name, k + 1);
            return false;
        }
    return true;
}

}  // namespace korvex::python

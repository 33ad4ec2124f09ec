#pragma once

#include <optional>
#include <vector>

#include "runtime/PyKORVEXSpecialType.h"
#include "runtime/PyKORVEXVector.h"
#include "runtime/korvexPythonArgs.h"
#include "runtime/korvexPythonUtil.h"

// What the wrapped classes of korvexmodules.Math share: their type objects, their
// registration, and the reading of wrapped arguments.
namespace korvex::details {

// Every method is a static function of its class, callable on the class itself
// (normalDistribution.cdfnorm(0.0)); the classes are never instantiated.
constexpr int static_method = METH_VARARGS | METH_STATIC;

// The type object of a class of static functions named `name` ("korvexmodules.Math.
// normalDistribution"): the run-time's 72-byte object layout, unhashable instances, and a
// constructor that refuses with TypeError "this class cannot be instantiated".
PyTypeObject static_function_class(const char* name, const char* documentation);

// repr of a wrapped object: the object, the library object it wraps and its type's name.
PyObject* wrapped_repr(PyObject* self);

// Registers `type` with the run-time and publishes it in `dict` as `python_name`.
void add_class(PyObject* dict, PyTypeObject* type, PyMethodDef* methods,
               PyMethodDef* constructors, PyKORVEXCopyFunction copy, const char* python_name);

// The temporaries made for the constant-reference arguments of one call, released when the
// call returns.
class call_temporaries
{
public:
    call_temporaries() = default;
    call_temporaries(const call_temporaries&) = delete;
    call_temporaries& operator=(const call_temporaries&) = delete;
    ~call_temporaries();

    void keep(PyObject* object) { objects_.push_back(object); }

private:
    std::vector<PyObject*> objects_;
};

// Reads the next argument as an object of the registered class `class_name`: an object of
// that class (or a subclass) as it is; for a constant reference (`is_const`), also any object
// a conversion constructor of the class accepts, converted into a temporary. Returns the
// object whose library object to use, or null with the error set and naming the argument:
// "method requires a <class>, a <type> was provided." or "cannot pass <type> as a non-const
// <class> reference".
PyObject* read_wrapped_argument(korvexPythonArgs& args, const char* class_name, bool is_const,
                                call_temporaries& temporaries);

// A vector_IdE argument taken by constant reference, or null with the error set.
const vector<double>* read_input_vector(korvexPythonArgs& args, call_temporaries& temporaries);

// A vector_IdE argument taken by non-constant reference (an output), or nothing with the
// error set.
std::optional<vector_output> read_output_vector(korvexPythonArgs& args,
                                                call_temporaries& temporaries);

// Before the library call: every output can take the result's `size` (BufferError for a
// shared vector of another size).
template <class... Outputs>
bool prepare_outputs(const korvexPythonArgs& args, std::size_t size, Outputs&... outputs)
{
    return (outputs->prepare(args, size) && ...);
}

// After the library call: the shared outputs hold the results.
template <class... Outputs>
bool commit_outputs(const korvexPythonArgs& args, Outputs&... outputs)
{
    return (outputs->commit(args) && ...);
}

// Releases the GIL for the pure C++ work of a call, which touches no Python object: the
// memory it reads and writes is its own, or buffers whose exports the call holds.
class gil_released
{
public:
    gil_released() : state_(PyEval_SaveThread()) {}
    gil_released(const gil_released&) = delete;
    gil_released& operator=(const gil_released&) = delete;
    ~gil_released() { PyEval_RestoreThread(state_); }

private:
    PyThreadState* state_;
};

// Runs the body of a wrapper; a C++ exception becomes the Python error that stands for it.
template <class Body>
PyObject* guarded_call(Body body)
{
    try {
        return body();
    } catch (...) {
        korvexPythonUtil::SetErrorFromException();
        return nullptr;
    }
}

// The result of a wrapper: null when a Python error is set, else the float or None.
PyObject* float_result(double value);
PyObject* none_result();

// Wrappers of the static functions double f(double) and double f(double, double).
template <const char* Name, double (*Function)(double)>
PyObject* wrap_unary(PyObject*, PyObject* args)
{
    return guarded_call([args]() -> PyObject* {
        korvexPythonArgs reader(args, Name);
        double x = 0.0;
        if (!reader.CheckArgCount(1, 1) || !reader.GetValue(x))
            return nullptr;
        return float_result(Function(x));
    });
}

template <const char* Name, double (*Function)(double, double)>
PyObject* wrap_binary(PyObject*, PyObject* args)
{
    return guarded_call([args]() -> PyObject* {
        korvexPythonArgs reader(args, Name);
        double x = 0.0, y = 0.0;
        if (!reader.CheckArgCount(2, 2) || !reader.GetValue(x) || !reader.GetValue(y))
            return nullptr;
        return float_result(Function(x, y));
    });
}

}  // namespace korvex::details

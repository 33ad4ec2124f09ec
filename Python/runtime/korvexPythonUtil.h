#pragma once

#include "runtime/python_api.h"
#include "runtime/wrapping_export.h"

namespace korvex {

struct PyKORVEXSpecialType;

// Process-wide bookkeeping of the package: the registered classes and enumerations, the
// modules loaded, and the translation of C++ exceptions into Python errors.
class KORVEX_WRAPPING_API korvexPythonUtil
{
public:
    // Called once by korvexmodules.Core with its exception class `Error`, which library
    // errors are raised as from then on.
    static void Initialize(PyObject* error_type);
    static bool IsInitialized();

    // Imports a module of the package (a full dotted name) and reports success. A failed
    // import leaves no Python error set; the caller reports it in its own words. `dict` is
    // the importing module's dictionary; nothing is added to it.
    static bool ImportModule(const char* name, PyObject* dict);

    // Records that the extension module `name` has finished its initialisation.
    static void AddModule(const char* name);
    // The recorded module names, in the order they were added (a new list).
    static PyObject* LoadedModules();

    // The registered class of the short name `name`, or null.
    static PyKORVEXSpecialType* getInfo(const char* name);
    // The registered enumeration of the name `name`, or null.
    static PyTypeObject* FindEnum(const char* name);

    // The part of a type name after its last dot: "numpy.ndarray" gives "ndarray".
    static const char* StripModule(const char* type_name);

    // Call inside a catch block: sets the Python error that stands for the exception in
    // flight. korvex::NotImplementedError becomes NotImplementedError; korvex::Error the
    // package's Error (RuntimeError before Initialize) with the attributes message,
    // function, file and line; the standard exceptions map as Python users know them from
    // other C++ extensions: std::bad_alloc MemoryError, std::invalid_argument,
    // std::domain_error, std::length_error and std::range_error ValueError,
    // std::out_of_range IndexError, std::overflow_error OverflowError, anything else
    // RuntimeError.
    static void SetErrorFromException();
};

}  // namespace korvex

#pragma once

#include <pybind11/pybind11.h>

namespace korvex::python {

// Prepares a pybind11 module of korvexmodules: imports korvexmodules.Core, whose Error class
// the package's run-time raises for every library Error, and routes the library errors that
// reach pybind11 through that same run-time. A korvex::Error thus becomes
// korvexmodules.Core.Error (attributes message, function, file, line) and a
// korvex::NotImplementedError Python's NotImplementedError, whichever mechanism raised it.
void prepare_module(pybind11::module_& module);

// The Python error for the C++ exception being handled, for functions called by CPython
// directly (not through pybind11): pybind11's own exceptions as pybind11 raises them, the
// library's and the standard ones as the run-time does. Call inside a catch block.
void set_python_error();

}  // namespace korvex::python

#pragma once

#include <pybind11/pybind11.h>

// A pybind11 module korvexmodules.X is made of: Python/X/CMakeLists.txt with
// korvex_python_module(X PYBIND SOURCES ... LINKS <its korvex libraries>), a source with
// PYBIND11_MODULE(X, module) that calls prepare_module(module) first, its stub
// Python/korvexmodules/X.pyi, X in __all__ of the package's __init__.py, and its libraries in
// the package_libraries bundled into wheels (Python/CMakeLists.txt). Element-wise functions
// use broadcast() (pybind/broadcast.h) over number_operand / date_operand arguments.
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

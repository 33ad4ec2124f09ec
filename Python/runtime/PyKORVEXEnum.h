#pragma once

#include "runtime/python_api.h"
#include "runtime/wrapping_export.h"

namespace korvex {

// Enumerations are subclasses of int whose values live in the type's dictionary.

// A new value of the enumeration type `type` (an int subclass) equal to `value`.
KORVEX_WRAPPING_API PyObject* PyKORVEXEnum_New(PyTypeObject* type, int value);

// Registers the enumeration under `name`, so that arguments can be read as its values
// (korvexPythonArgs::GetArgAsEnum). Returns 0, or -1 with a Python error set.
KORVEX_WRAPPING_API int PyKORVEXEnum_Add(PyTypeObject* type, const char* name);

}  // namespace korvex

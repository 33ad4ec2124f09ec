#pragma once

#include "runtime/python_api.h"
#include "runtime/wrapping_export.h"

namespace korvex {

class KORVEX_WRAPPING_API korvexPythonOverload
{
public:
    // The first entry of a conversion-constructor table (see PyKORVEXSpecialType) that takes
    // `argument` as its single argument, or null. Explicit entries are never chosen.
    static PyMethodDef* FindConversionMethod(PyMethodDef* constructors, PyObject* argument);
};

}  // namespace korvex

#pragma once

#include "runtime/python_api.h"

// The exported entry points of the extension module korvexmodules.Math (unmangled, default
// visibility): the module's initialisation, and one function per wrapped class that
// registers the class (and its enumerations) into a module dictionary, so that a combined
// module could register them too.
#define KORVEX_MATH_MODULE_API extern "C" __attribute__((visibility("default")))

KORVEX_MATH_MODULE_API PyObject* real_initMath(const char* unused);
KORVEX_MATH_MODULE_API void PyKORVEXAddFile_gamma_distribution(PyObject* dict);
KORVEX_MATH_MODULE_API void PyKORVEXAddFile_hartman_watson_distribution(PyObject* dict);
KORVEX_MATH_MODULE_API void PyKORVEXAddFile_inverse_gaussian_distribution(PyObject* dict);
KORVEX_MATH_MODULE_API void PyKORVEXAddFile_normal_distribution(PyObject* dict);
KORVEX_MATH_MODULE_API void PyKORVEXAddFile_laplace_inverter_gaver_stehfest(PyObject* dict);
KORVEX_MATH_MODULE_API void PyKORVEXAddFile_gaussian_quadrature(PyObject* dict);

#pragma once

// The CPython C API, with Py_ssize_t lengths in every format-based call. Include this header
// before any standard header in a file that uses Python.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

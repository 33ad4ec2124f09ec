#pragma once

#include <string>

#include "runtime/python_api.h"
#include "runtime/wrapping_export.h"

namespace korvex {

// Duplicates a library object (a new object owned by the caller), or returns null for null.
using PyKORVEXCopyFunction = void* (*)(const void*);

// A wrapped class known to the run-time, under its short class name ("vector_IdE",
// "laplaceInverterGaverStehfest").
//
// `constructors` is a table of one-argument conversion functions closed by an empty entry,
// or null. Each entry's documentation starts with '@' followed by the argument's code:
//   "@W <class>"  an object of the wrapped class <class> (or of a subclass),
//   "@Q"          a sequence of numbers or a buffer,
//   "@d"          a float (or an int),
//   "@K"          an int.
// A '-' right after the '@' marks an explicit constructor, never used to convert an argument
// (the size constructor of a vector, for one). The function receives a one-element tuple and
// returns a new wrapped object, or null with a Python error set.
struct PyKORVEXSpecialType
{
    std::string name;
    PyTypeObject* py_type = nullptr;
    PyMethodDef* methods = nullptr;
    PyMethodDef* constructors = nullptr;
    PyKORVEXCopyFunction copy = nullptr;
};

// Registers `type` under its short name (the last dotted part of tp_name), installs the method
// table into the type when it has none, and completes its flags with Py_TPFLAGS_DEFAULT.
// Returns a new reference to the type to publish; registering the same name twice returns
// the type registered first.
KORVEX_WRAPPING_API PyObject* PyKORVEXSpecialType_Add(PyTypeObject* type, PyMethodDef* methods,
                                                      PyMethodDef* constructors,
                                                      PyKORVEXCopyFunction copy);

namespace details {

// A static type object with every slot empty, to be filled in field by field.
inline PyTypeObject blank_type_object()
{
    PyTypeObject type{};
    Py_SET_REFCNT(reinterpret_cast<PyObject*>(&type), 1);
    return type;
}

}  // namespace details
}  // namespace korvex

#pragma once

#include <cstddef>
#include <memory>

#include "runtime/python_api.h"
#include "runtime/wrapping_export.h"

namespace korvex {

struct PyKORVEXSpecialType;

// Owns one library object. The first word is the raw object pointer, so the modules read the
// wrapped object without knowing its type; `owner` keeps it alive (and destroys it with its
// last reference).
struct PyKORVEXHolder
{
    void* object = nullptr;
    std::shared_ptr<void> owner;

    template <class T>
    static PyKORVEXHolder* make(std::shared_ptr<T> value)
    {
        auto* holder = new PyKORVEXHolder;
        holder->object = value.get();
        holder->owner = std::move(value);
        return holder;
    }
};

// The layout of every wrapped object: the Python header followed by seven words (72 bytes in
// all on a 64-bit machine). The modules fill and read these fields directly.
struct PyKORVEXObject
{
    PyObject_HEAD
    PyKORVEXSpecialType* class_info;  // the registered class of the object
    PyKORVEXHolder* holder;           // owns the library object
    void* auxiliary;                  // freed with PyMem_Free at deallocation when set
    Py_hash_t hash_cache;             // -1 while unset
    PyObject* weak_references;        // list of weak references (tp_weaklistoffset)
    PyObject* dictionary;             // instance dictionary (tp_dictoffset)
    Py_ssize_t borrowed;              // zero when the object owns its holder
};

static_assert(sizeof(PyKORVEXObject) == 72);
static_assert(offsetof(PyKORVEXObject, weak_references) == 48);
static_assert(offsetof(PyKORVEXObject, dictionary) == 56);

// The library object of a wrapped object, or null.
inline void* PyKORVEXObject_GetPointer(PyObject* object)
{
    auto* wrapped = reinterpret_cast<PyKORVEXObject*>(object);
    return wrapped->holder == nullptr ? nullptr : wrapped->holder->object;
}

// The registered class of the given class name ("laplaceInverterGaverStehfest"), or null.
KORVEX_WRAPPING_API PyKORVEXSpecialType* PyKORVEXObject_find(const char* class_name);

// "<korvexmodules.Math.laplaceInverterGaverStehfest object at 0x... wrapping 0x...>": the
// Python object, the library object it wraps, and the type's name.
KORVEX_WRAPPING_API PyObject* PyKORVEXObject_Repr_impl(
    PyObject* object, const void* wrapped, PyTypeObject* type, const char* type_name);

}  // namespace korvex

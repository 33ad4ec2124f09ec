#include "runtime/PyKORVEXEnum.h"

#include "runtime/registry.h"

namespace korvex {

PyObject* PyKORVEXEnum_New(PyTypeObject* type, int value)
{
    // int's own constructor builds instances of int subclasses; the enumeration type itself
    // refuses instantiation from Python.
    PyObject* args = Py_BuildValue("(i)", value);
    if (args == nullptr)
        return nullptr;
    PyObject* result = PyLong_Type.tp_new(type, args, nullptr);
    Py_DECREF(args);
    return result;
}

int PyKORVEXEnum_Add(PyTypeObject* type, const char* name)
{
    if (!PyType_IsSubtype(type, &PyLong_Type)) {
        PyErr_Format(PyExc_TypeError, "enumeration %s must be a subclass of int", name);
        return -1;
    }
    details::the_registry().enumerations.insert_or_assign(name, type);
    return 0;
}

}  // namespace korvex

#include "runtime/PyKORVEXSpecialType.h"

#include "runtime/korvexPythonUtil.h"
#include "runtime/registry.h"

namespace korvex {

PyObject* PyKORVEXSpecialType_Add(PyTypeObject* type, PyMethodDef* methods,
                                  PyMethodDef* constructors, PyKORVEXCopyFunction copy)
{
    const char* name = korvexPythonUtil::StripModule(type->tp_name);
    auto& classes = details::the_registry().classes;
    auto [entry, added] = classes.try_emplace(name);
    if (added) {
        entry->second = PyKORVEXSpecialType{name, type, methods, constructors, copy};
        if (type->tp_methods == nullptr)
            type->tp_methods = methods;
        type->tp_flags |= Py_TPFLAGS_DEFAULT;
    }
    PyTypeObject* published = entry->second.py_type;
    Py_INCREF(published);
    return reinterpret_cast<PyObject*>(published);
}

}  // namespace korvex

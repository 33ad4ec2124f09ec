#include "runtime/PyKORVEXObject.h"

#include "runtime/PyKORVEXSpecialType.h"
#include "runtime/korvexPythonUtil.h"

namespace korvex {

PyKORVEXSpecialType* PyKORVEXObject_find(const char* class_name)
{
    return korvexPythonUtil::getInfo(class_name);
}

PyObject* PyKORVEXObject_Repr_impl(PyObject* object, const void* wrapped, PyTypeObject* /*type*/,
                                   const char* type_name)
{
    if (wrapped == nullptr)
        return PyUnicode_FromFormat("<%s object at %p, empty>", type_name, object);
    return PyUnicode_FromFormat("<%s object at %p wrapping %p>", type_name, object, wrapped);
}

}  // namespace korvex

#include "wrapped_class.h"

#include <cstdio>

#include "runtime/korvexPythonOverload.h"

namespace korvex::details {
namespace {

constexpr const char* vector_class = "vector_IdE";

PyObject* refuse_instantiation(PyTypeObject*, PyObject*, PyObject*)
{
    PyErr_SetString(PyExc_TypeError, "this class cannot be instantiated");
    return nullptr;
}

void free_object(PyObject* self) { PyObject_Free(self); }

int visit_nothing(PyObject*, visitproc, void*) { return 0; }

void set_type_error(const char* format, const char* first, const char* second)
{
    char text[2048];
    std::snprintf(text, sizeof text, format, first, second);
    PyErr_SetString(PyExc_TypeError, text);
}

// Converts `argument` with a conversion constructor of `info`. Returns the new object, or
// null: with no error set when no constructor applies or one refused the argument with
// TypeError, with the error set otherwise.
PyObject* convert(const PyKORVEXSpecialType& info, PyObject* argument)
{
    PyMethodDef* constructor =
        korvexPythonOverload::FindConversionMethod(info.constructors, argument);
    if (constructor == nullptr)
        return nullptr;
    PyObject* one = PyTuple_Pack(1, argument);
    PyObject* made = one == nullptr ? nullptr : constructor->ml_meth(nullptr, one);
    Py_XDECREF(one);
    PyObject* error = PyErr_Occurred();
    if (made == nullptr && error != nullptr && PyErr_GivenExceptionMatches(error, PyExc_TypeError))
        PyErr_Clear();
    return made;
}

// The steps of read_wrapped_argument before the argument is named in the error.
PyObject* find_wrapped_object(PyObject* argument, const char* class_name, bool is_const,
                              call_temporaries& temporaries)
{
    const PyKORVEXSpecialType* info = korvexPythonUtil::getInfo(class_name);
    const char* argument_type = korvexPythonUtil::StripModule(Py_TYPE(argument)->tp_name);
    if (info != nullptr && PyObject_TypeCheck(argument, info->py_type))
        return argument;
    PyObject* converted = info == nullptr ? nullptr : convert(*info, argument);
    if (converted != nullptr && is_const) {
        temporaries.keep(converted);
        return converted;
    }
    if (converted != nullptr) {
        Py_DECREF(converted);
        set_type_error("cannot pass %.500s as a non-const %.500s reference", argument_type,
                       class_name);
        return nullptr;
    }
    if (!PyErr_Occurred())
        set_type_error("method requires a %.500s, a %.500s was provided.", class_name,
                       argument_type);
    return nullptr;
}

PyObject* read_vector(korvexPythonArgs& args, bool is_const, call_temporaries& temporaries)
{
    return read_wrapped_argument(args, vector_class, is_const, temporaries);
}

}  // namespace

PyTypeObject static_function_class(const char* name, const char* documentation)
{
    PyTypeObject type = blank_type_object();
    type.tp_name = name;
    type.tp_basicsize = sizeof(PyKORVEXObject);
    type.tp_itemsize = 0;
    type.tp_dealloc = free_object;
    type.tp_repr = wrapped_repr;
    type.tp_hash = PyObject_HashNotImplemented;
    type.tp_getattro = PyObject_GenericGetAttr;
    type.tp_setattro = PyObject_GenericSetAttr;
    type.tp_flags = 0;
    type.tp_doc = documentation;
    type.tp_traverse = visit_nothing;
    type.tp_weaklistoffset = offsetof(PyKORVEXObject, weak_references);
    type.tp_dictoffset = offsetof(PyKORVEXObject, dictionary);
    type.tp_new = refuse_instantiation;
    type.tp_free = PyObject_Free;
    return type;
}

PyObject* wrapped_repr(PyObject* self)
{
    PyTypeObject* type = Py_TYPE(self);
    return PyKORVEXObject_Repr_impl(self, PyKORVEXObject_GetPointer(self), type, type->tp_name);
}

void add_class(PyObject* dict, PyTypeObject* type, PyMethodDef* methods,
               PyMethodDef* constructors, PyKORVEXCopyFunction copy, const char* python_name)
{
    PyObject* published = PyKORVEXSpecialType_Add(type, methods, constructors, copy);
    if ((PyType_GetFlags(type) & Py_TPFLAGS_READY) == 0)
        PyType_Ready(type);
    if (published != nullptr && PyDict_SetItemString(dict, python_name, published) != 0)
        Py_DECREF(published);
}

call_temporaries::~call_temporaries()
{
    for (PyObject* object : objects_)
        Py_DECREF(object);
}

PyObject* read_wrapped_argument(korvexPythonArgs& args, const char* class_name, bool is_const,
                                call_temporaries& temporaries)
{
    PyObject* object =
        find_wrapped_object(args.GetNextArg(), class_name, is_const, temporaries);
    if (object != nullptr && PyKORVEXObject_GetPointer(object) != nullptr)
        return object;
    args.RefineArgTypeError(args.GetLastArgIndex(), class_name);
    return nullptr;
}

const vector<double>* read_input_vector(korvexPythonArgs& args, call_temporaries& temporaries)
{
    PyObject* object = read_vector(args, true, temporaries);
    return object == nullptr ? nullptr : &PyKORVEXVector_Get(object);
}

std::optional<vector_output> read_output_vector(korvexPythonArgs& args,
                                                call_temporaries& temporaries)
{
    PyObject* object = read_vector(args, false, temporaries);
    if (object == nullptr)
        return std::nullopt;
    return std::optional<vector_output>(std::in_place, object, args.GetLastArgIndex());
}

PyObject* float_result(double value)
{
    return PyErr_Occurred() != nullptr ? nullptr : PyFloat_FromDouble(value);
}

PyObject* none_result()
{
    return PyErr_Occurred() != nullptr ? nullptr : korvexPythonArgs::BuildNone();
}

}  // namespace korvex::details

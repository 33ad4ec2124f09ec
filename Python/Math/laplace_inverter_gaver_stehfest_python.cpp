// korvexmodules.Math.laplaceInverterGaverStehfest over laplace_inverter_gaver_stehfest: the one
// constructible class, built from (size, shift) or copied from another object.
#include <memory>

#include "Math.h"
#include "math/laplace_inverter_gaver_stehfest.h"
#include "wrapped_class.h"

namespace korvex::details {
namespace {

constexpr const char* class_name = "laplaceInverterGaverStehfest";
constexpr const char* constructor_name = "laplace_inverter_gaver_stehfest";

using inverter = laplace_inverter_gaver_stehfest;

// A new Python object owning the inverter that `make()` returns; on failure everything made
// so far is freed and the error propagates.
template <class Make>
PyObject* new_object(Make make)
{
    PyKORVEXSpecialType* info = PyKORVEXObject_find(class_name);
    if (info == nullptr) {
        PyErr_SetString(PyExc_TypeError, "laplaceInverterGaverStehfest is not registered");
        return nullptr;
    }
    PyObject* object = _PyObject_New(info->py_type);
    if (object == nullptr)
        return nullptr;
    auto* wrapped = reinterpret_cast<PyKORVEXObject*>(object);
    wrapped->class_info = info;
    wrapped->holder = nullptr;
    wrapped->auxiliary = nullptr;
    wrapped->hash_cache = -1;
    wrapped->weak_references = nullptr;
    wrapped->borrowed = 0;
    wrapped->dictionary = PyDict_New();
    try {
        if (wrapped->dictionary != nullptr)
            wrapped->holder = PyKORVEXHolder::make(make());
    } catch (...) {
        korvexPythonUtil::SetErrorFromException();
    }
    if (wrapped->holder == nullptr) {
        Py_DECREF(object);
        return nullptr;
    }
    return object;
}

// The copy constructor: laplaceInverterGaverStehfest(other).
PyObject* copy_constructor(PyObject*, PyObject* args)
{
    return guarded_call([args]() -> PyObject* {
        korvexPythonArgs reader(args, constructor_name);
        call_temporaries temporaries;
        if (!reader.CheckArgCount(1, 1))
            return nullptr;
        PyObject* source = read_wrapped_argument(reader, class_name, true, temporaries);
        if (source == nullptr)
            return nullptr;
        const auto& other = *static_cast<const inverter*>(PyKORVEXObject_GetPointer(source));
        return new_object([&other] { return std::make_shared<inverter>(other); });
    });
}

// laplaceInverterGaverStehfest(size, shift).
PyObject* size_shift_constructor(PyObject* args)
{
    return guarded_call([args]() -> PyObject* {
        korvexPythonArgs reader(args, constructor_name);
        unsigned long long size = 0;
        double shift = 0.0;
        if (!reader.GetValue(size) || !reader.GetValue(shift))
            return nullptr;
        return new_object([size, shift] { return std::make_shared<inverter>(size, shift); });
    });
}

PyObject* dispatch_constructor(PyTypeObject*, PyObject* args, PyObject* kwargs)
{
    if (kwargs != nullptr && PyDict_Size(kwargs) != 0) {
        PyErr_SetString(PyExc_TypeError, "this function takes no keyword arguments");
        return nullptr;
    }
    const Py_ssize_t count = PyTuple_GET_SIZE(args);
    if (count == 1)
        return copy_constructor(nullptr, args);
    if (count == 2)
        return size_shift_constructor(args);
    korvexPythonArgs::ArgCountError(count, constructor_name);
    return nullptr;
}

void* copy_inverter(const void* source)
{
    return source == nullptr ? nullptr : new inverter(*static_cast<const inverter*>(source));
}

void deallocate(PyObject* self)
{
    auto* wrapped = reinterpret_cast<PyKORVEXObject*>(self);
    // Weak references must not outlive the object they point to.
    if (wrapped->weak_references != nullptr)
        PyObject_ClearWeakRefs(self);
    if (wrapped->borrowed == 0 && wrapped->holder != nullptr)
        delete wrapped->holder;
    wrapped->holder = nullptr;
    Py_XDECREF(wrapped->dictionary);
    if (wrapped->auxiliary != nullptr)
        PyMem_Free(wrapped->auxiliary);
    PyObject_Free(self);
}

PyMethodDef methods[] = {{nullptr, nullptr, 0, nullptr}};

PyMethodDef constructors[] = {
    {nullptr, copy_constructor, METH_VARARGS, "@W laplaceInverterGaverStehfest"},
    {nullptr, nullptr, 0, nullptr}};

PyTypeObject make_type()
{
    PyTypeObject type = static_function_class(
        "korvexmodules.Math.laplaceInverterGaverStehfest",
        "laplace_inverter_gaver_stehfest(size:int, shift:float)\n"
        "    -> laplace_inverter_gaver_stehfest\n"
        "C++: laplace_inverter_gaver_stehfest(size_t size, double shift)\n"
        "laplace_inverter_gaver_stehfest(__a:laplaceInverterGaverStehfest)\n"
        "    -> laplace_inverter_gaver_stehfest\n"
        "C++: laplace_inverter_gaver_stehfest(\n"
        "    const &laplace_inverter_gaver_stehfest)\n"
        "\n"
        "laplace_inverter_gaver_stehfest - no description provided.\n"
        "\n");
    type.tp_dealloc = deallocate;
    type.tp_new = dispatch_constructor;
    return type;
}

PyTypeObject type = make_type();

}  // namespace
}  // namespace korvex::details

void PyKORVEXAddFile_laplace_inverter_gaver_stehfest(PyObject* dict)
{
    using namespace korvex::details;
    add_class(dict, &type, methods, constructors, copy_inverter, "laplaceInverterGaverStehfest");
}

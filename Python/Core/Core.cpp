// korvexmodules.Core: initialises the wrapping run-time and holds the package's exception.
#include "runtime/python_api.h"

#include "runtime/korvexPythonUtil.h"

namespace {

using korvex::korvexPythonUtil;

PyObject* loaded_modules(PyObject*, PyObject*) { return korvexPythonUtil::LoadedModules(); }

PyMethodDef core_methods[] = {
    {"loaded_modules", loaded_modules, METH_NOARGS,
     "loaded_modules() -> list\n\n"
     "The names of the korvexmodules extension modules initialised so far, in order."},
    {nullptr, nullptr, 0, nullptr}};

PyModuleDef core_module = {
    PyModuleDef_HEAD_INIT,
    "Core",
    "The run-time of the korvexmodules package.\n\n"
    "Error: raised when a korvex library function refuses its input. Besides the text (the\n"
    "message followed by where the check stands) it carries the attributes message,\n"
    "function, file and line.",
    0,
    core_methods,
    nullptr,
    nullptr,
    nullptr,
    nullptr};

}  // namespace

PyMODINIT_FUNC PyInit_Core()
{
    PyObject* module = PyModule_Create(&core_module);
    if (module == nullptr)
        return nullptr;
    PyObject* error = PyErr_NewExceptionWithDoc(
        "korvexmodules.Core.Error",
        "A korvex library function refused its input or failed a check.",
        PyExc_RuntimeError, nullptr);
    if (error == nullptr || PyModule_AddObjectRef(module, "Error", error) != 0) {
        Py_XDECREF(error);
        Py_DECREF(module);
        return nullptr;
    }
    korvexPythonUtil::Initialize(error);
    Py_DECREF(error);
    korvexPythonUtil::AddModule("Core");
    return module;
}

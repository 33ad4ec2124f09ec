// korvexmodules.Vectorization: registers the special type vector_IdE over vector<double>.
#include "runtime/python_api.h"

#include "runtime/PyKORVEXSpecialType.h"
#include "runtime/korvexPythonUtil.h"
#include "vector_IdE.h"

namespace {

using korvex::korvexPythonUtil;

PyMethodDef no_functions[] = {{nullptr, nullptr, 0, nullptr}};

PyModuleDef vectorization_module = {
    PyModuleDef_HEAD_INIT,
    "Vectorization",
    "vector_IdE, the vector of doubles that korvex library functions take and fill.",
    0,
    no_functions,
    nullptr,
    nullptr,
    nullptr,
    nullptr};

}  // namespace

PyMODINIT_FUNC PyInit_Vectorization()
{
    PyObject* module = PyModule_Create(&vectorization_module);
    if (module == nullptr)
        return nullptr;
    PyObject* dict = PyModule_GetDict(module);
    if (!korvexPythonUtil::ImportModule("korvexmodules.Core", dict)) {
        Py_DECREF(module);
        PyErr_Format(PyExc_ImportError, "Failed to load Vectorization: No module named %s",
                     "korvexmodules.Core");
        return nullptr;
    }
    PyTypeObject* vector_type = korvex::details::vector_IdE_type();
    PyObject* type = korvex::PyKORVEXSpecialType_Add(
        vector_type, nullptr, korvex::details::vector_IdE_constructors(),
        korvex::details::vector_IdE_copy);
    if (PyType_Ready(vector_type) != 0 || PyDict_SetItemString(dict, "vector_IdE", type) != 0) {
        Py_DECREF(type);
        Py_DECREF(module);
        return nullptr;
    }
    Py_DECREF(type);
    korvexPythonUtil::AddModule("Vectorization");
    return module;
}

// korvexmodules.Math: the module object and its initialisation.
#include "Math.h"

#include "runtime/korvexPythonUtil.h"

namespace {

using korvex::korvexPythonUtil;

PyMethodDef no_functions[] = {{nullptr, nullptr, 0, nullptr}};

PyModuleDef math_module = {
    PyModuleDef_HEAD_INIT, "Math", nullptr, 0, no_functions, nullptr, nullptr, nullptr, nullptr};

constexpr int api_version = 1013;

// The sibling modules whose run-time and special types the classes rely on, in import order.
constexpr const char* dependencies[] = {"korvexmodules.Core", "korvexmodules.Vectorization"};

}  // namespace

PyMODINIT_FUNC PyInit_Math() { return real_initMath(nullptr); }

PyObject* real_initMath(const char*)
{
    PyObject* module = PyModule_Create2(&math_module, api_version);
    if (module == nullptr)
        return nullptr;
    PyObject* dict = PyModule_GetDict(module);
    if (dict == nullptr)
        _Py_FatalErrorFunc("real_initMath", "can't get dictionary for module Math");
    for (const char* dependency : dependencies) {
        if (!korvexPythonUtil::ImportModule(dependency, dict)) {
            Py_DECREF(module);
            PyErr_Format(PyExc_ImportError, "Failed to load Math: No module named %s", dependency);
            return nullptr;
        }
    }
    if (!korvexPythonUtil::IsInitialized()) {
        Py_DECREF(module);
        PyErr_Format(PyExc_ImportError, "Initialization failed for Math, not compatible with %s",
                     "korvexmodules.Core");
        return nullptr;
    }
    PyKORVEXAddFile_gamma_distribution(dict);
    PyKORVEXAddFile_hartman_watson_distribution(dict);
    PyKORVEXAddFile_inverse_gaussian_distribution(dict);
    PyKORVEXAddFile_normal_distribution(dict);
    PyKORVEXAddFile_laplace_inverter_gaver_stehfest(dict);
    PyKORVEXAddFile_gaussian_quadrature(dict);
    // A class that could not be registered leaves its error set: report it instead of
    // returning a module with an exception pending.
    if (PyErr_Occurred() != nullptr) {
        Py_DECREF(module);
        return nullptr;
    }
    korvexPythonUtil::AddModule("Math");
    return module;
}

#include "pybind/module_setup.h"

#include <exception>

#include "core/error.h"
#include "runtime/korvexPythonUtil.h"

namespace py = pybind11;

namespace korvex::python {

void prepare_module(py::module_& module)
{
    (void)module;
    // Imported for its Error class, which the run-time raises once Core is initialised.
    py::module_::import("korvexmodules.Core");
    py::register_local_exception_translator([](std::exception_ptr raised) {
        try {
            if (raised)
                std::rethrow_exception(raised);
        } catch (const Error&) {
            korvexPythonUtil::SetErrorFromException();
        }
    });
}

void set_python_error()
{
    try {
        throw;
    } catch (py::error_already_set& error) {
        error.restore();
    } catch (const py::builtin_exception& error) {
        error.set_error();
    } catch (...) {
        korvexPythonUtil::SetErrorFromException();
    }
}

}  // namespace korvex::python

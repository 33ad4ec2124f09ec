#include "runtime/korvexPythonUtil.h"

#include <cstring>
#include <new>
#include <stdexcept>

#include "core/error.h"
#include "runtime/registry.h"

namespace korvex {

namespace details {

registry& the_registry()
{
    static registry tables;
    return tables;
}

}  // namespace details

namespace {

// Raises the package's Error for a library error, with its parts as attributes.
void set_library_error(const Error& error)
{
    PyObject* type = details::the_registry().error_type;
    if (type == nullptr) {
        PyErr_SetString(PyExc_RuntimeError, error.what());
        return;
    }
    PyObject* exception = PyObject_CallFunction(type, "s", error.what());
    if (exception == nullptr)
        return;
    const SourceLocation& where = error.location();
    PyObject* attributes[] = {PyUnicode_FromString(error.message().c_str()),
                              PyUnicode_FromString(where.function),
                              PyUnicode_FromString(where.file), PyLong_FromLong(where.line)};
    const char* names[] = {"message", "function", "file", "line"};
    bool complete = true;
    for (int i = 0; i < 4; ++i) {
        complete = complete && attributes[i] != nullptr &&
                   PyObject_SetAttrString(exception, names[i], attributes[i]) == 0;
        Py_XDECREF(attributes[i]);
    }
    if (complete)
        PyErr_SetObject(type, exception);
    Py_DECREF(exception);
}

}  // namespace

void korvexPythonUtil::Initialize(PyObject* error_type)
{
    auto& tables = details::the_registry();
    Py_XINCREF(error_type);
    Py_XSETREF(tables.error_type, error_type);
}

bool korvexPythonUtil::IsInitialized() { return details::the_registry().error_type != nullptr; }

bool korvexPythonUtil::ImportModule(const char* name, PyObject* /*dict*/)
{
    PyObject* module = PyImport_ImportModule(name);
    if (module == nullptr) {
        PyErr_Clear();
        return false;
    }
    Py_DECREF(module);
    return true;
}

void korvexPythonUtil::AddModule(const char* name)
{
    details::the_registry().modules.emplace_back(name);
}

PyObject* korvexPythonUtil::LoadedModules()
{
    const auto& modules = details::the_registry().modules;
    PyObject* list = PyList_New(static_cast<Py_ssize_t>(modules.size()));
    for (std::size_t i = 0; list != nullptr && i < modules.size(); ++i) {
        PyObject* name = PyUnicode_FromString(modules[i].c_str());
        if (name == nullptr) {
            Py_CLEAR(list);
            break;
        }
        PyList_SET_ITEM(list, static_cast<Py_ssize_t>(i), name);
    }
    return list;
}

PyKORVEXSpecialType* korvexPythonUtil::getInfo(const char* name)
{
    auto& classes = details::the_registry().classes;
    const auto found = classes.find(std::string_view(name));
    return found == classes.end() ? nullptr : &found->second;
}

PyTypeObject* korvexPythonUtil::FindEnum(const char* name)
{
    auto& enumerations = details::the_registry().enumerations;
    const auto found = enumerations.find(std::string_view(name));
    return found == enumerations.end() ? nullptr : found->second;
}

const char* korvexPythonUtil::StripModule(const char* type_name)
{
    const char* dot = std::strrchr(type_name, '.');
    return dot == nullptr ? type_name : dot + 1;
}

void korvexPythonUtil::SetErrorFromException()
{
    try {
        throw;
    } catch (const NotImplementedError& e) {
        PyErr_SetString(PyExc_NotImplementedError, e.message().c_str());
    } catch (const Error& e) {
        set_library_error(e);
    } catch (const std::bad_alloc&) {
        PyErr_NoMemory();
    } catch (const std::out_of_range& e) {
        PyErr_SetString(PyExc_IndexError, e.what());
    } catch (const std::overflow_error& e) {
        PyErr_SetString(PyExc_OverflowError, e.what());
    } catch (const std::invalid_argument& e) {
        PyErr_SetString(PyExc_ValueError, e.what());
    } catch (const std::domain_error& e) {
        PyErr_SetString(PyExc_ValueError, e.what());
    } catch (const std::length_error& e) {
        PyErr_SetString(PyExc_ValueError, e.what());
    } catch (const std::range_error& e) {
        PyErr_SetString(PyExc_ValueError, e.what());
    } catch (const std::exception& e) {
        PyErr_SetString(PyExc_RuntimeError, e.what());
    } catch (...) {
        PyErr_SetString(PyExc_RuntimeError, "unknown C++ exception");
    }
}

}  // namespace korvex

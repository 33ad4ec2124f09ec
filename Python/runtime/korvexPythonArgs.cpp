#include "runtime/korvexPythonArgs.h"

#include "runtime/double_buffer.h"
#include "runtime/korvexPythonUtil.h"

namespace korvex {
namespace {

const char* plural(Py_ssize_t n) { return n == 1 ? "" : "s"; }

bool is_refinable(PyObject* error)
{
    return PyErr_GivenExceptionMatches(error, PyExc_TypeError) ||
           PyErr_GivenExceptionMatches(error, PyExc_ValueError) ||
           PyErr_GivenExceptionMatches(error, PyExc_OverflowError) ||
           PyErr_GivenExceptionMatches(error, PyExc_BufferError);
}

bool set_size_error(std::size_t expected, Py_ssize_t given)
{
    PyErr_Format(PyExc_ValueError, "expected %zu values, got %zd", expected, given);
    return false;
}

// Reads a sequence of exactly n numbers.
bool read_sequence(PyObject* object, double* values, std::size_t n)
{
    if (!PySequence_Check(object)) {
        PyErr_Format(PyExc_TypeError, "must be a sequence of floats, not %.200s",
                     Py_TYPE(object)->tp_name);
        return false;
    }
    PyObject* items = PySequence_Fast(object, "must be a sequence of floats");
    if (items == nullptr)
        return false;
    const Py_ssize_t count = PySequence_Fast_GET_SIZE(items);
    bool ok = static_cast<std::size_t>(count) == n || set_size_error(n, count);
    PyObject** item = PySequence_Fast_ITEMS(items);
    for (std::size_t i = 0; ok && i < n; ++i) {
        values[i] = PyFloat_AsDouble(item[i]);
        ok = !(values[i] == -1.0 && PyErr_Occurred());
    }
    Py_DECREF(items);
    return ok;
}

// Writes n numbers into a mutable sequence of at least n items.
bool write_sequence(PyObject* object, const double* values, std::size_t n)
{
    const bool is_list = PyList_Check(object);
    for (std::size_t i = 0; i < n; ++i) {
        PyObject* number = PyFloat_FromDouble(values[i]);
        if (number == nullptr)
            return false;
        const auto position = static_cast<Py_ssize_t>(i);
        if (is_list && position < PyList_GET_SIZE(object)) {
            PyList_SetItem(object, position, number);  // steals the reference
            continue;
        }
        const int status = PySequence_SetItem(object, position, number);
        Py_DECREF(number);
        if (status != 0)
            return false;
    }
    return true;
}

}  // namespace

korvexPythonArgs::korvexPythonArgs(PyObject* args, const char* method_name)
    : args_(args), method_name_(method_name), count_(PyTuple_GET_SIZE(args))
{
}

bool korvexPythonArgs::fail_last() const
{
    RefineArgTypeError(GetLastArgIndex());
    return false;
}

bool korvexPythonArgs::GetValue(double& value)
{
    const double read = PyFloat_AsDouble(next());
    if (read == -1.0 && PyErr_Occurred())
        return fail_last();
    value = read;
    return true;
}

bool korvexPythonArgs::GetValue(unsigned long long& value)
{
    PyObject* index = PyNumber_Index(next());
    if (index == nullptr)
        return fail_last();
    const unsigned long long read = PyLong_AsUnsignedLongLong(index);
    Py_DECREF(index);
    if (read == static_cast<unsigned long long>(-1) && PyErr_Occurred())
        return fail_last();
    value = read;
    return true;
}

bool korvexPythonArgs::GetValue(bool& value)
{
    PyObject* object = next();
    if (!PyIndex_Check(object)) {
        PyErr_Format(PyExc_TypeError, "must be bool, not %.200s", Py_TYPE(object)->tp_name);
        return fail_last();
    }
    const int truth = PyObject_IsTrue(object);
    if (truth < 0)
        return fail_last();
    value = truth == 1;
    return true;
}

int korvexPythonArgs::GetArgAsEnum(const char* enum_name, bool& ok)
{
    PyObject* object = next();
    PyTypeObject* type = korvexPythonUtil::FindEnum(enum_name);
    ok = type != nullptr && PyObject_TypeCheck(object, type);
    if (!ok) {
        PyErr_Format(PyExc_TypeError, "must be %s, not %.200s", enum_name,
                     Py_TYPE(object)->tp_name);
        fail_last();
        return 0;
    }
    return static_cast<int>(PyLong_AsLong(object));
}

PyObject* korvexPythonArgs::GetNextArg() { return next(); }

Py_ssize_t korvexPythonArgs::GetArgSize(Py_ssize_t i) const
{
    if (i < 0 || i >= GetArgCount())
        return 0;
    PyObject* object = argument(i);
    const details::double_buffer buffer(object, false);
    if (buffer.usable())
        return static_cast<Py_ssize_t>(buffer.size());
    if (!PySequence_Check(object))
        return 0;
    const Py_ssize_t size = PySequence_Size(object);
    if (size < 0) {
        PyErr_Clear();
        return 0;
    }
    return size;
}

bool korvexPythonArgs::GetArray(double* values, std::size_t n)
{
    PyObject* object = next();
    const details::double_buffer buffer(object, false);
    bool ok = true;
    if (!buffer.usable())
        ok = read_sequence(object, values, n);
    else if (buffer.size() != n)
        ok = set_size_error(n, static_cast<Py_ssize_t>(buffer.size()));
    else
        buffer.read(values, n);
    return ok || fail_last();
}

bool korvexPythonArgs::SetArray(Py_ssize_t i, const double* values, std::size_t n)
{
    PyObject* object = argument(i);
    details::double_buffer buffer(object, true);
    if (buffer.usable() && buffer.size() >= n) {
        buffer.write(values, n);
        return true;
    }
    if (write_sequence(object, values, n))
        return true;
    RefineArgTypeError(i);
    return false;
}

bool korvexPythonArgs::CheckArgCount(Py_ssize_t minimum, Py_ssize_t maximum)
{
    const Py_ssize_t given = GetArgCount();
    if (given >= minimum && given <= maximum)
        return true;
    ArgCountError(minimum, maximum);
    return false;
}

void korvexPythonArgs::ArgCountError(Py_ssize_t minimum, Py_ssize_t maximum)
{
    const Py_ssize_t given = GetArgCount();
    const char* bound = minimum == maximum ? "exactly" : given < minimum ? "at least" : "at most";
    const Py_ssize_t expected = given < minimum ? minimum : maximum;
    PyErr_Format(PyExc_TypeError, "%s() takes %s %zd argument%s (%zd given)", method_name_, bound,
                 expected, plural(expected), given);
}

void korvexPythonArgs::ArgCountError(Py_ssize_t count, const char* name)
{
    PyErr_Format(PyExc_TypeError, "no overload of %s() takes %zd argument%s", name, count,
                 plural(count));
}

void korvexPythonArgs::RefineArgTypeError(Py_ssize_t index, const char* type_name) const
{
    PyObject* pending = PyErr_Occurred();
    if (pending == nullptr) {
        PyErr_Format(PyExc_TypeError, "%s() argument %zd: expected a valid %s", method_name_,
                     index + 1, type_name == nullptr ? "object" : type_name);
        return;
    }
    if (!is_refinable(pending))
        return;
    PyObject *type, *value, *traceback;
    PyErr_Fetch(&type, &value, &traceback);
    PyErr_NormalizeException(&type, &value, &traceback);
    PyObject* text = value == nullptr ? nullptr : PyObject_Str(value);
    if (text == nullptr) {
        PyErr_Restore(type, value, traceback);
        return;
    }
    PyErr_Format(type, "%s() argument %zd: %U", method_name_, index + 1, text);
    Py_DECREF(text);
    Py_XDECREF(type);
    Py_XDECREF(value);
    Py_XDECREF(traceback);
}

PyObject* korvexPythonArgs::BuildNone() { Py_RETURN_NONE; }

}  // namespace korvex

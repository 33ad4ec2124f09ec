#include "vector_IdE.h"

#include <cstddef>
#include <memory>
#include <string>
#include <utility>

#include "runtime/PyKORVEXSpecialType.h"
#include "runtime/PyKORVEXVector.h"
#include "runtime/double_buffer.h"
#include "runtime/korvexPythonUtil.h"

namespace korvex::details {
namespace {

constexpr const char* class_name = "vector_IdE";
// Vectors longer than this show their first and last three values only.
constexpr std::size_t repr_full_length = 10;

PyKORVEXVector* as_vector(PyObject* object) { return reinterpret_cast<PyKORVEXVector*>(object); }

// A new vector_IdE of type `type` holding `values`; when `source` is given, `values` views
// its buffer, which the new object keeps until it dies.
PyObject* wrap(PyTypeObject* type, vector<double>&& values, double_buffer* source = nullptr)
{
    PyObject* object = type->tp_alloc(type, 0);
    if (object == nullptr)
        return nullptr;
    PyKORVEXVector* v = as_vector(object);
    v->base.class_info = PyKORVEXObject_find(class_name);
    v->base.hash_cache = -1;
    try {
        v->base.holder = PyKORVEXHolder::make(std::make_shared<vector<double>>(std::move(values)));
    } catch (...) {
        korvexPythonUtil::SetErrorFromException();
        Py_DECREF(object);
        return nullptr;
    }
    if (source != nullptr)
        source->release_to(v->source);
    return object;
}

// A new owning vector_IdE filled by `fill(vector<double>&)`, which returns false with a Python
// error set when it cannot.
template <class Fill>
PyObject* make_owning(PyTypeObject* type, std::size_t n, Fill fill)
{
    try {
        vector<double> values(n);
        if (!fill(values))
            return nullptr;
        return wrap(type, std::move(values));
    } catch (...) {
        korvexPythonUtil::SetErrorFromException();
        return nullptr;
    }
}

PyObject* from_size(PyTypeObject* type, PyObject* size_object)
{
    const Py_ssize_t n = PyNumber_AsSsize_t(size_object, PyExc_OverflowError);
    if (n == -1 && PyErr_Occurred())
        return nullptr;
    if (n < 0) {
        PyErr_Format(PyExc_ValueError, "vector_IdE size must not be negative, got %zd", n);
        return nullptr;
    }
    return make_owning(type, static_cast<std::size_t>(n), [](vector<double>& values) {
        values = 0.0;
        return true;
    });
}

PyObject* from_items(PyTypeObject* type, PyObject* object)
{
    if (Py_TYPE(object)->tp_iter == nullptr && !PySequence_Check(object)) {
        PyErr_Format(PyExc_TypeError,
                     "vector_IdE() takes a size, a sequence of numbers or a buffer, not %.200s",
                     Py_TYPE(object)->tp_name);
        return nullptr;
    }
    PyObject* items = PySequence_Fast(object, "vector_IdE() takes an iterable of numbers");
    if (items == nullptr)
        return nullptr;
    const auto n = static_cast<std::size_t>(PySequence_Fast_GET_SIZE(items));
    PyObject* result = make_owning(type, n, [items, n](vector<double>& values) {
        PyObject** item = PySequence_Fast_ITEMS(items);
        for (std::size_t i = 0; i < n; ++i) {
            values[i] = PyFloat_AsDouble(item[i]);
            if (values[i] == -1.0 && PyErr_Occurred())
                return false;
        }
        return true;
    });
    Py_DECREF(items);
    return result;
}

// A view of a writable contiguous buffer of doubles, a copy of any other buffer of doubles or
// sequence of numbers, a copy of another vector_IdE.
PyObject* from_object(PyTypeObject* type, PyObject* object)
{
    PyTypeObject* own_type = vector_IdE_type();
    if (PyObject_TypeCheck(object, own_type)) {
        const vector<double>& source = PyKORVEXVector_Get(object);
        return make_owning(type, source.size(), [&source](vector<double>& values) {
            values = source;
            return true;
        });
    }
    {
        double_buffer writable(object, true);
        if (writable.usable() && writable.contiguous_data() != nullptr)
            return wrap(type, vector<double>::view_of(writable.contiguous_data(), writable.size()),
                        &writable);
    }
    const double_buffer readable(object, false);
    if (readable.usable())
        return make_owning(type, readable.size(), [&readable](vector<double>& values) {
            readable.read(values.data(), values.size());
            return true;
        });
    if (readable.dimensions() > 1) {
        PyErr_Format(PyExc_TypeError,
                     "vector_IdE() takes a one-dimensional buffer, not one of %d dimensions",
                     readable.dimensions());
        return nullptr;
    }
    return from_items(type, object);
}

bool is_size(PyObject* object)
{
    return PyLong_Check(object) || (PyIndex_Check(object) && !PySequence_Check(object));
}

PyObject* vector_new(PyTypeObject* type, PyObject* args, PyObject* kwargs)
{
    if (kwargs != nullptr && PyDict_GET_SIZE(kwargs) != 0) {
        PyErr_SetString(PyExc_TypeError, "vector_IdE() takes no keyword arguments");
        return nullptr;
    }
    const Py_ssize_t count = PyTuple_GET_SIZE(args);
    if (count == 0)
        return make_owning(type, 0, [](vector<double>&) { return true; });
    if (count > 1) {
        PyErr_Format(PyExc_TypeError, "vector_IdE() takes at most 1 argument (%zd given)", count);
        return nullptr;
    }
    PyObject* argument = PyTuple_GET_ITEM(args, 0);
    return is_size(argument) ? from_size(type, argument) : from_object(type, argument);
}

void vector_dealloc(PyObject* self)
{
    PyKORVEXVector* v = as_vector(self);
    if (v->base.weak_references != nullptr)
        PyObject_ClearWeakRefs(self);
    if (v->base.borrowed == 0)
        delete v->base.holder;
    v->base.holder = nullptr;
    if (v->source.obj != nullptr)
        PyBuffer_Release(&v->source);
    Py_CLEAR(v->base.dictionary);
    PyMem_Free(v->base.auxiliary);
    Py_TYPE(self)->tp_free(self);
}

Py_ssize_t vector_length(PyObject* self)
{
    return static_cast<Py_ssize_t>(PyKORVEXVector_Get(self).size());
}

// The position of index `i` (negative ones count from the end), or -1 with IndexError.
Py_ssize_t position(PyObject* self, Py_ssize_t i)
{
    const Py_ssize_t n = vector_length(self);
    if (i < 0)
        i += n;
    if (i < 0 || i >= n) {
        PyErr_SetString(PyExc_IndexError, "vector_IdE index out of range");
        return -1;
    }
    return i;
}

// The position of the index object `key`, or -1 with an error set.
Py_ssize_t key_position(PyObject* self, PyObject* key)
{
    if (!PyIndex_Check(key)) {
        PyErr_Format(PyExc_TypeError, "vector_IdE indices must be integers, not %.200s",
                     Py_TYPE(key)->tp_name);
        return -1;
    }
    const Py_ssize_t i = PyNumber_AsSsize_t(key, PyExc_IndexError);
    if (i == -1 && PyErr_Occurred())
        return -1;
    return position(self, i);
}

PyObject* item_at(PyObject* self, Py_ssize_t i)
{
    return i < 0 ? nullptr : PyFloat_FromDouble(PyKORVEXVector_Get(self)[static_cast<std::size_t>(i)]);
}

int set_item_at(PyObject* self, Py_ssize_t i, PyObject* value)
{
    if (i < 0)
        return -1;
    if (value == nullptr) {
        PyErr_SetString(PyExc_TypeError, "vector_IdE items cannot be deleted");
        return -1;
    }
    const double x = PyFloat_AsDouble(value);
    if (x == -1.0 && PyErr_Occurred())
        return -1;
    PyKORVEXVector_Get(self)[static_cast<std::size_t>(i)] = x;
    return 0;
}

PyObject* vector_item(PyObject* self, Py_ssize_t i) { return item_at(self, position(self, i)); }

int vector_set_item(PyObject* self, Py_ssize_t i, PyObject* value)
{
    return set_item_at(self, position(self, i), value);
}

PyObject* vector_subscript(PyObject* self, PyObject* key)
{
    return item_at(self, key_position(self, key));
}

int vector_set_subscript(PyObject* self, PyObject* key, PyObject* value)
{
    return set_item_at(self, key_position(self, key), value);
}

bool append_number(std::string& text, double x)
{
    char* digits = PyOS_double_to_string(x, 'r', 0, Py_DTSF_ADD_DOT_0, nullptr);
    if (digits == nullptr)
        return false;
    text += digits;
    PyMem_Free(digits);
    return true;
}

PyObject* vector_repr(PyObject* self)
{
    const vector<double>& values = PyKORVEXVector_Get(self);
    const std::size_t n = values.size();
    const bool abridged = n > repr_full_length;
    std::string text = "vector_IdE([";
    for (std::size_t i = 0; i < n; ++i) {
        if (abridged && i == 3) {
            text += "..., ";
            i = n - 3;
        }
        if (!append_number(text, values[i]))
            return nullptr;
        if (i + 1 < n)
            text += ", ";
    }
    text += "]";
    if (abridged)
        text += ", size=" + std::to_string(n);
    text += ")";
    return PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size()));
}

int vector_get_buffer(PyObject* self, Py_buffer* view, int flags)
{
    // An empty vector has no block; its buffer still needs a valid address.
    static double empty_block = 0.0;
    PyKORVEXVector* v = as_vector(self);
    vector<double>& values = PyKORVEXVector_Get(self);
    v->shape = static_cast<Py_ssize_t>(values.size());
    v->stride = sizeof(double);
    view->obj = Py_NewRef(self);
    view->buf = values.data() == nullptr ? &empty_block : values.data();
    view->len = v->shape * v->stride;
    view->readonly = 0;
    view->itemsize = sizeof(double);
    view->format = (flags & PyBUF_FORMAT) != 0 ? const_cast<char*>("d") : nullptr;
    view->ndim = 1;
    view->shape = (flags & PyBUF_ND) != 0 ? &v->shape : nullptr;
    view->strides = (flags & PyBUF_STRIDES) == PyBUF_STRIDES ? &v->stride : nullptr;
    view->suboffsets = nullptr;
    view->internal = nullptr;
    ++v->exports;
    return 0;
}

void vector_release_buffer(PyObject* self, Py_buffer*) { --as_vector(self)->exports; }

PyObject* convert_sequence(PyObject*, PyObject* args)
{
    return from_object(vector_IdE_type(), PyTuple_GET_ITEM(args, 0));
}

PyObject* convert_size(PyObject*, PyObject* args)
{
    return from_size(vector_IdE_type(), PyTuple_GET_ITEM(args, 0));
}

PyMethodDef constructors[] = {
    {nullptr, convert_sequence, METH_VARARGS, "@Q"},
    {nullptr, convert_size, METH_VARARGS, "@-K"},
    {nullptr, nullptr, 0, nullptr}};

PySequenceMethods sequence_methods = {
    vector_length, nullptr, nullptr, vector_item, nullptr, vector_set_item, nullptr, nullptr,
    nullptr,       nullptr};

PyMappingMethods mapping_methods = {vector_length, vector_subscript, vector_set_subscript};

PyBufferProcs buffer_methods = {vector_get_buffer, vector_release_buffer};

constexpr const char* documentation =
    "vector_IdE(size:int=0) -> vector_IdE\n"
    "vector_IdE(values:sequence or buffer) -> vector_IdE\n"
    "C++: vector<double>\n\n"
    "A vector of doubles, as the korvex library functions take and fill them.\n\n"
    "vector_IdE(n) holds n zeros. vector_IdE(values) copies a sequence or iterable of\n"
    "numbers or another vector_IdE; from a writable one-dimensional contiguous buffer of\n"
    "doubles (a float64 numpy array) it is a view instead: no copy, its writes go to the\n"
    "array, which it keeps alive.\n\n"
    "len(v), v[i], v[i] = x (negative i counts from the end), iteration and the buffer\n"
    "protocol: numpy.asarray(v) shares the vector's memory.\n\n"
    "An output argument of a library function that must change the vector's size gets a\n"
    "new block when the vector owns its memory and no buffer of it is alive. A view, or a\n"
    "vector whose memory numpy.asarray(v) or memoryview(v) still holds, keeps its block:\n"
    "the call raises BufferError instead.";

PyTypeObject make_type()
{
    PyTypeObject type = blank_type_object();
    type.tp_name = "korvexmodules.Vectorization.vector_IdE";
    type.tp_basicsize = sizeof(PyKORVEXVector);
    type.tp_dealloc = vector_dealloc;
    type.tp_repr = vector_repr;
    type.tp_as_sequence = &sequence_methods;
    type.tp_as_mapping = &mapping_methods;
    type.tp_hash = PyObject_HashNotImplemented;
    type.tp_as_buffer = &buffer_methods;
    type.tp_flags = Py_TPFLAGS_DEFAULT | Py_TPFLAGS_BASETYPE;
    type.tp_doc = documentation;
    type.tp_weaklistoffset = offsetof(PyKORVEXObject, weak_references);
    type.tp_new = vector_new;
    return type;
}

PyTypeObject vector_type = make_type();

}  // namespace

PyTypeObject* vector_IdE_type() { return &vector_type; }

PyMethodDef* vector_IdE_constructors() { return constructors; }

void* vector_IdE_copy(const void* source)
{
    return source == nullptr ? nullptr
                             : new vector<double>(*static_cast<const vector<double>*>(source));
}

}  // namespace korvex::details

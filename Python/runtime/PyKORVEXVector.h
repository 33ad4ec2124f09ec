#pragma once

#include "runtime/PyKORVEXObject.h"
#include "Vectorization/expressions/vector.h"

namespace korvex {

class korvexPythonArgs;

// A "vector_IdE" object (korvexmodules.Vectorization): the wrapped-object layout, whose holder
// owns a vector<double>, followed by what tells whether its memory is shared.
//
// The vector either owns its block or views the buffer of another object (a numpy array),
// kept in `source` until the vector dies. `exports` counts the buffers handed out through
// the buffer protocol (numpy.asarray(v), memoryview(v)) that are still alive; `shape` and
// `stride` are what those buffers describe (they cannot change while a buffer is alive).
struct PyKORVEXVector
{
    PyKORVEXObject base;
    Py_ssize_t exports;
    Py_ssize_t shape;
    Py_ssize_t stride;
    Py_buffer source;
};

inline vector<double>& PyKORVEXVector_Get(PyObject* object)
{
    return *static_cast<vector<double>*>(PyKORVEXObject_GetPointer(object));
}

// True when the vector's block may not be replaced: it views another object's buffer, or a
// buffer of it is exported.
inline bool PyKORVEXVector_IsShared(PyObject* object)
{
    const auto* v = reinterpret_cast<const PyKORVEXVector*>(object);
    return v->source.obj != nullptr || v->exports > 0;
}

namespace details {

// An output argument of a wrapped call that takes a vector<double>&.
//
// The library gives an output the size of its result: an owning vector of another size
// receives a new block. A vector that owns its block and has no exported buffer is handed to
// the library itself and takes whatever it is given. A shared vector must already have the
// result's size (BufferError otherwise, before the call: numpy would keep a pointer to freed
// memory) and is handed over as a view of its block, which the library can only write into.
class KORVEX_WRAPPING_API vector_output
{
public:
    // `vector_object` is argument `index` (zero-based) of the call.
    vector_output(PyObject* vector_object, Py_ssize_t index);

    // Call before the library, with the GIL held: false with BufferError naming the argument
    // when the vector is shared and its size is not the result's `size`. Whether the vector is
    // shared is decided here, so a call that computes its results with the GIL released
    // prepares its outputs only once it holds the GIL again (another thread may have exported
    // the vector's buffer meanwhile).
    bool prepare(const korvexPythonArgs& args, std::size_t size);

    vector<double>& target() noexcept { return shared_ ? view_ : *vector_; }

    // Call after the library returned: a shared vector whose view was given a new block of
    // its own size gets the values copied back; another size raises BufferError.
    bool commit(const korvexPythonArgs& args);

private:
    bool refuse_size(const korvexPythonArgs& args, std::size_t size) const;

    PyObject* object_;
    vector<double>* vector_;
    vector<double> view_;
    Py_ssize_t index_;
    bool shared_ = false;
};

}  // namespace details
}  // namespace korvex

#pragma once

#include "runtime/python_api.h"

namespace korvex::details {

// The Python type "vector_IdE" over vector<double>, ready to be registered.
//
// vector_IdE()            an empty vector
// vector_IdE(n)           n zeros
// vector_IdE(v)           a copy of another vector_IdE
// vector_IdE(buffer)      a view of a writable one-dimensional contiguous buffer of doubles
//                         (a float64 numpy array): no copy, writes go to the array, which
//                         stays alive as long as the vector
// vector_IdE(sequence)    a copy of any other sequence, iterable or buffer of numbers
//
// len(v), v[i] and v[i] = x with negative indices counted from the end and IndexError
// outside, iteration, repr, and the buffer protocol (format "d", one dimension, writable):
// numpy.asarray(v) shares the vector's memory.
//
// Outputs of the library functions: a call that must give an output vector another size
// replaces its block when the vector owns it and no buffer of it is exported. A view of
// another buffer, or a vector whose buffer is exported (numpy.asarray(v) alive), keeps its
// block: the call raises BufferError rather than leave numpy with freed memory.
PyTypeObject* vector_IdE_type();
PyMethodDef* vector_IdE_constructors();
void* vector_IdE_copy(const void* source);

}  // namespace korvex::details

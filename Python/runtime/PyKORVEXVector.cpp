#include "runtime/PyKORVEXVector.h"

#include <cstring>

#include "runtime/korvexPythonArgs.h"

namespace korvex::details {

vector_output::vector_output(PyObject* vector_object, Py_ssize_t index)
    : object_(vector_object), vector_(&PyKORVEXVector_Get(vector_object)), index_(index)
{
}

bool vector_output::prepare(const korvexPythonArgs& args, std::size_t size)
{
    shared_ = PyKORVEXVector_IsShared(object_);
    if (shared_)
        view_ = vector_->view();
    return !shared_ || vector_->size() == size || refuse_size(args, size);
}

bool vector_output::commit(const korvexPythonArgs& args)
{
    if (!shared_ || view_.data() == vector_->data())
        return true;
    if (view_.size() != vector_->size())
        return refuse_size(args, view_.size());
    if (!view_.empty())
        std::memcpy(vector_->data(), view_.data(), view_.size() * sizeof(double));
    return true;
}

bool vector_output::refuse_size(const korvexPythonArgs& args, std::size_t size) const
{
    PyErr_Format(PyExc_BufferError,
                 "cannot resize vector_IdE from %zu to %zu values while its memory is shared "
                 "(a view of another object's buffer, or a buffer of it is exported)",
                 vector_->size(), size);
    args.RefineArgTypeError(index_);
    return false;
}

}  // namespace korvex::details

#include "pybind/broadcast.h"

#include <algorithm>
#include <exception>
#include <string>
#include <thread>

namespace py = pybind11;

namespace korvex::python {
namespace {

// Each thread takes at least this many elements, so that starting it pays off.
constexpr std::size_t chunk_size = std::size_t{1} << 14;

// Aligned, C-contiguous float64: what the loops read through a double pointer.
using double_array = py::array_t<double, py::array::forcecast | py::array::c_style |
                                             py::detail::npy_api::NPY_ARRAY_ALIGNED_>;

bool is_number_kind(char kind) { return kind == 'f' || kind == 'i' || kind == 'u' || kind == 'b'; }

std::string shape_text(const std::vector<py::ssize_t>& shape)
{
    std::string text = "(";
    for (std::size_t i = 0; i < shape.size(); ++i)
        text += std::to_string(shape[i]) + (shape.size() == 1 ? "," : i + 1 < shape.size() ? ", " : "");
    return text + ")";
}

std::vector<py::ssize_t> shape_of(const py::array& a) { return {a.shape(), a.shape() + a.ndim()}; }

}  // namespace

operand scalar_operand(double value)
{
    operand o;
    o.value = value;
    return o;
}

operand array_operand(py::array_t<double> values)
{
    operand o;
    o.array = double_array::ensure(values);
    return o;
}

operand number_operand(py::handle object, const char* function, const char* name)
{
    PyObject* p = object.ptr();
    if (PyFloat_Check(p))
        return scalar_operand(PyFloat_AS_DOUBLE(p));
    if (PyLong_Check(p)) {
        const double value = PyLong_AsDouble(p);
        if (value == -1.0 && PyErr_Occurred())
            throw py::error_already_set();
        return scalar_operand(value);
    }
    const py::array any = py::array::ensure(object);
    if (!any || !is_number_kind(any.dtype().kind()))
        throw py::type_error(std::string(function) + "() argument '" + name +
                             "' must be a float or an array of numbers, not " +
                             Py_TYPE(p)->tp_name);
    return array_operand(any);
}

std::vector<double> numbers_from(py::handle object, const char* function, const char* name)
{
    const operand numbers = number_operand(object, function, name);
    if (numbers.is_scalar() || numbers.values().ndim() != 1)
        throw py::type_error(std::string(function) + "() argument '" + name +
                             "' must be a one-dimensional array or sequence of numbers");
    return std::vector<double>(numbers.data(), numbers.data() + numbers.values().size());
}

std::vector<py::ssize_t> broadcast_shape(operand* operands, std::size_t count, const char* function)
{
    std::vector<py::ssize_t> shape;
    for (std::size_t k = 0; k < count; ++k) {
        if (operands[k].is_scalar())
            continue;
        const std::vector<py::ssize_t> own = shape_of(operands[k].values());
        if (own.size() > shape.size())
            shape.insert(shape.begin(), own.size() - shape.size(), 1);
        for (std::size_t d = 0; d < own.size(); ++d) {
            py::ssize_t& dim = shape[shape.size() - own.size() + d];
            if (dim == 1 || own[d] == dim)
                dim = own[d];
            else if (own[d] != 1)
                throw py::value_error(std::string(function) +
                                      "(): operands could not be broadcast together with shapes " +
                                      shape_text(shape) + " " + shape_text(own));
        }
    }
    py::ssize_t size = 1;
    for (py::ssize_t dim : shape)
        size *= dim;
    for (std::size_t k = 0; k < count; ++k) {
        operand& o = operands[k];
        if (o.is_scalar() || o.values().size() == 1)
            continue;
        if (o.values().size() != size) {
            const py::module_ numpy = py::module_::import("numpy");
            py::tuple full_shape(shape.size());
            for (std::size_t d = 0; d < shape.size(); ++d)
                full_shape[d] = shape[d];
            o.array = double_array::ensure(numpy.attr("ascontiguousarray")(numpy.attr("broadcast_to")(o.array, full_shape)));
        }
        o.step = 1;
    }
    return shape;
}

void run_chunks(std::size_t n, const std::function<void(std::size_t, std::size_t)>& work)
{
    const std::size_t threads =
        std::min<std::size_t>(std::max(1u, std::thread::hardware_concurrency()), n / chunk_size);
    if (threads <= 1) {
        work(0, n);
        return;
    }
    std::vector<std::exception_ptr> errors(threads);
    const auto run = [&](std::size_t t) {
        try {
            work(n * t / threads, n * (t + 1) / threads);
        } catch (...) {
            errors[t] = std::current_exception();
        }
    };
    std::vector<std::thread> helpers;
    for (std::size_t t = 1; t < threads; ++t)
        helpers.emplace_back(run, t);
    run(0);
    for (std::thread& helper : helpers)
        helper.join();
    for (const std::exception_ptr& error : errors)
        if (error)
            std::rethrow_exception(error);
}

}  // namespace korvex::python

#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <functional>
#include <type_traits>
#include <vector>

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

namespace korvex::python {

// One argument of an element-wise function: a scalar, or a C-contiguous array of doubles.
struct operand
{
    double value = 0.0;
    // float64, aligned and C-contiguous; null for a scalar (a default pybind11::array is not
    // null but empty, hence an object).
    pybind11::object array;
    // Distance between the elements the function reads, in the flat output: 0 for a scalar
    // or a single element, 1 for an array of the output's shape (see broadcast_shape()).
    std::size_t step = 0;

    bool is_scalar() const { return !array; }
    const pybind11::array& values() const { return static_cast<const pybind11::array&>(array); }
    const double* data() const { return is_scalar() ? &value : static_cast<const double*>(values().data()); }
};

operand scalar_operand(double value);

// A float, an int, a bool, a numpy array of any real or integer dtype (converted to float64;
// never a copy for an aligned float64 array), anything the buffer protocol exposes (a
// vector_IdE, an array.array) or a sequence of numbers. Anything else raises TypeError
// naming the argument: "<function>() argument '<name>' must be a float or an array of
// numbers, not <type>".
operand number_operand(pybind11::handle object, const char* function, const char* name);

// A list of numbers: one-dimensional, as number_operand reads it.
std::vector<double> numbers_from(pybind11::handle object, const char* function, const char* name);

// The same for the doubles already converted (by date_operand) into `values`.
operand array_operand(pybind11::array_t<double> values);

// Runs work(begin, end) over [0, n): in the calling thread for small n, otherwise split
// into contiguous chunks over the machine's cores. The GIL must be released by the caller.
// When chunks throw, the exception of the first chunk that threw is rethrown after all
// have ended, which is that of the first element that failed.
void run_chunks(std::size_t n, const std::function<void(std::size_t, std::size_t)>& work);

// The operands' broadcast shape (numpy's rule); ValueError when they do not broadcast.
// Operands that are neither scalars nor of the full shape are expanded to it (a copy), so
// that every operand reads its i-th value at data()[i * step].
std::vector<pybind11::ssize_t> broadcast_shape(operand* operands, std::size_t count, const char* function);

// Arrays at least this long are computed with the GIL released.
constexpr std::size_t gil_release_size = 1024;

// The absence of a block kernel in broadcast().
struct no_block_kernel
{
};

// result[i] = kernel(values of the operands at i) over the broadcast shape. All scalars give
// a Python float, otherwise a new float64 array of the broadcast shape. The first element
// that throws ends the call with its exception. With a `block` kernel, arrays are computed
// by block(columns, count, out) instead: columns[k] holds the values of operand k at count
// consecutive elements, whose results go to out[0 ... count-1].
template <std::size_t N, class Kernel, class Block = no_block_kernel>
pybind11::object broadcast(std::array<operand, N>& operands, const char* function, Kernel kernel,
                           Block block = {})
{
    bool all_scalars = true;
    for (const operand& o : operands)
        all_scalars = all_scalars && o.is_scalar();
    std::vector<pybind11::ssize_t> shape;
    if (!all_scalars)
        shape = broadcast_shape(operands.data(), N, function);
    std::array<const double*, N> data;
    std::array<std::size_t, N> steps;
    for (std::size_t k = 0; k < N; ++k) {
        data[k] = operands[k].data();
        steps[k] = operands[k].step;
    }
    const auto values_at = [&data, &steps](std::size_t i) {
        std::array<double, N> values;
        for (std::size_t k = 0; k < N; ++k)
            values[k] = data[k][i * steps[k]];
        return values;
    };
    if (all_scalars)
        return pybind11::float_(kernel(values_at(0)));
    pybind11::array_t<double> result(shape);
    double* out = result.mutable_data();
    const auto n = static_cast<std::size_t>(result.size());
    const auto work = [&](std::size_t begin, std::size_t end) {
        if constexpr (std::is_same_v<Block, no_block_kernel>) {
            for (std::size_t i = begin; i < end; ++i)
                out[i] = kernel(values_at(i));
        } else {
            // Blocks of the operands' values side by side, for block(columns, count, out): an
            // array's own values where they lie (no copy), a scalar's repeated once.
            constexpr std::size_t size = 256;
            std::array<std::array<double, size>, N> repeated;
            std::array<const double*, N> columns;
            for (std::size_t k = 0; k < N; ++k)
                if (steps[k] == 0) {
                    repeated[k].fill(data[k][0]);
                    columns[k] = repeated[k].data();
                }
            for (std::size_t i = begin; i < end; i += size) {
                for (std::size_t k = 0; k < N; ++k)
                    if (steps[k] != 0)
                        columns[k] = data[k] + i;
                block(columns, std::min(size, end - i), out + i);
            }
        }
    };
    if (n < gil_release_size) {
        work(0, n);
    } else {
        pybind11::gil_scoped_release unlocked;
        run_chunks(n, work);
    }
    if (shape.empty())
        return pybind11::float_(out[0]);
    return result;
}

}  // namespace korvex::python

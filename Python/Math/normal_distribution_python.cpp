// korvexmodules.Math.normalDistribution over normal_distribution.
#include <cstring>
#include <functional>
#include <optional>

#include "Math.h"
#include "math/normal_distribution.h"
#include "runtime/double_buffer.h"
#include "wrapped_class.h"

namespace korvex::details {
namespace {

constexpr char density_function_name[] = "density_function";
constexpr char cdfnorm_name[] = "cdfnorm";
constexpr char cdf_over_density_name[] = "cdf_over_density";
constexpr char cdfnorminv_name[] = "cdfnorminv";
constexpr char cdfnorminv_fast_name[] = "cdfnorminv_fast";
// Transforms of at least this many values run with the GIL released.
constexpr unsigned long long gil_release_size = 1024;

// The array transform, with the GIL released when it is long. The arrays are the call's own
// or buffers whose exports the call holds, so no other thread can free them meanwhile.
void transform(unsigned long long size, const double* uniform, double* gaussian)
{
    if (size < gil_release_size) {
        normal_distribution::cdfnorminv(size, uniform, gaussian);
        return;
    }
    gil_released unlocked;
    normal_distribution::cdfnorminv(size, uniform, gaussian);
}

// The library may not read or write past either sequence.
bool check_size(unsigned long long size, Py_ssize_t uniform_length, Py_ssize_t gaussian_length)
{
    const char* shorter = size > static_cast<unsigned long long>(uniform_length)    ? "uniform"
                          : size > static_cast<unsigned long long>(gaussian_length) ? "gaussian"
                                                                                    : nullptr;
    if (shorter == nullptr)
        return true;
    PyErr_Format(PyExc_ValueError, "cdfnorminv() size %llu exceeds the length of %s (%zd)", size,
                 shorter, shorter[0] == 'u' ? uniform_length : gaussian_length);
    return false;
}

bool partly_overlap(const double* a, const double* b, std::size_t n)
{
    return a != b && std::less<const double*>()(a, b + n) && std::less<const double*>()(b, a + n);
}

// cdfnorminv(size, uniform, gaussian) straight on the memory of two buffers of doubles (numpy
// arrays, vector_IdE), when gaussian is writable and both are contiguous. The library checks
// every uniform before it writes, so the outcome equals that of the general path. Nothing
// when the arguments are not such buffers, else the call's result.
std::optional<PyObject*> transform_buffers(PyObject* uniform_object, PyObject* gaussian_object,
                                           unsigned long long size)
{
    const double_buffer uniform(uniform_object, false);
    double_buffer gaussian(gaussian_object, true);
    const double* in = uniform.usable() ? uniform.contiguous_data() : nullptr;
    double* out = gaussian.usable() ? gaussian.contiguous_data() : nullptr;
    if (in == nullptr || out == nullptr)
        return std::nullopt;
    if (!check_size(size, static_cast<Py_ssize_t>(uniform.size()),
                    static_cast<Py_ssize_t>(gaussian.size())))
        return nullptr;
    if (partly_overlap(in, out, size))
        return std::nullopt;
    transform(size, in, out);
    return none_result();
}

// cdfnorminv(size, uniform, gaussian): reads both sequences, transforms, and writes gaussian
// back only when the library changed it.
PyObject* cdfnorminv_sequences(korvexPythonArgs& reader)
{
    unsigned long long size = 0;
    if (!reader.GetValue(size))
        return nullptr;
    if (auto result = transform_buffers(reader.GetArgument(1), reader.GetArgument(2), size))
        return *result;
    const Py_ssize_t uniform_length = reader.GetArgSize(1);
    const Py_ssize_t gaussian_length = reader.GetArgSize(2);
    const auto gaussian_count = static_cast<std::size_t>(gaussian_length);
    korvexPythonArgs::Array<double> uniform(static_cast<std::size_t>(uniform_length));
    // The second half keeps what the caller passed, to tell whether the library changed it.
    korvexPythonArgs::Array<double> gaussian(2 * gaussian_count);
    double* computed = gaussian.Data();
    double* saved = computed + gaussian_count;
    if (!reader.GetArray(uniform.Data(), uniform.Size()) ||
        !reader.GetArray(computed, gaussian_count) ||
        !check_size(size, uniform_length, gaussian_length))
        return nullptr;
    const std::size_t gaussian_bytes = gaussian_count * sizeof(double);
    if (gaussian_bytes != 0)
        std::memcpy(saved, computed, gaussian_bytes);
    transform(size, uniform.Data(), computed);
    if (gaussian_bytes != 0 && std::memcmp(computed, saved, gaussian_bytes) != 0 &&
        PyErr_Occurred() == nullptr && !reader.SetArray(2, computed, gaussian_count))
        return nullptr;
    return none_result();
}

PyObject* cdfnorminv(PyObject*, PyObject* args)
{
    return guarded_call([args]() -> PyObject* {
        korvexPythonArgs reader(args, cdfnorminv_name);
        switch (reader.GetArgCount()) {
        case 1: {
            double p = 0.0;
            if (!reader.GetValue(p))
                return nullptr;
            return float_result(normal_distribution::cdfnorminv(p));
        }
        case 3:
            return cdfnorminv_sequences(reader);
        default:
            korvexPythonArgs::ArgCountError(reader.GetArgCount(), cdfnorminv_name);
            return nullptr;
        }
    });
}

PyMethodDef methods[] = {
    {density_function_name,
     wrap_unary<density_function_name, &normal_distribution::density_function>, static_method,
     "density_function(x:float) -> float\n"
     "C++: static double density_function(double x)//tex: // "
     "$$n(x)=\\frac{\\exp{(-\\frac{z^2}{2})}}{\\sqrt{2\\pi}}$$*"},
    {cdfnorm_name, wrap_unary<cdfnorm_name, &normal_distribution::cdfnorm>, static_method,
     "cdfnorm(z:float) -> float\n"
     "C++: static double cdfnorm(double z)//tex:\n"
     "//$$N(x)=\\int_{-\\infty}^{x}\\frac{\\exp{(-\\frac{u^2}{2})}}{qrt{2\\pi}}du$$*"},
    {cdf_over_density_name,
     wrap_unary<cdf_over_density_name, &normal_distribution::cdf_over_density>, static_method,
     "cdf_over_density(z:float) -> float\n"
     "C++: static double cdf_over_density(double z)//tex: //$$\\frac{N(x)}{n(x)}$$*"},
    {cdfnorminv_name, cdfnorminv, static_method,
     "cdfnorminv(p:float) -> float\n"
     "C++: static double cdfnorminv(double p)\n"
     "cdfnorminv(size:int, uniform:(float, ...), gaussian:[float, ...])\n"
     "-> None\n"
     "C++: static void cdfnorminv(size_t size, const double *uniform,\n"
     "    double *gaussian)//tex: //$$N^{-1}(x)$$*"},
    {cdfnorminv_fast_name,
     wrap_unary<cdfnorminv_fast_name, &normal_distribution::cdfnorminv_fast>, static_method,
     "cdfnorminv_fast(p:float) -> float\n"
     "C++: static double cdfnorminv_fast(double p)"},
    {nullptr, nullptr, 0, nullptr}};

PyTypeObject type = static_function_class("korvexmodules.Math.normalDistribution",
                                          "normal_distribution - no description provided.\n\n");

}  // namespace
}  // namespace korvex::details

void PyKORVEXAddFile_normal_distribution(PyObject* dict)
{
    using namespace korvex::details;
    add_class(dict, &type, methods, nullptr, nullptr, "normalDistribution");
}

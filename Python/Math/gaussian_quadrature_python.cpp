// korvexmodules.Math.gaussianQuadrature over gaussian_quadrature. Every vector argument is an
// output, so it must be a vector_IdE; it receives the rule's n points (2n + 1 for
// Gauss-Kronrod). Rules of thousands of points take milliseconds: they are computed into
// vectors of the call's own with the GIL released, then handed to the outputs.
#include <array>
#include <limits>
#include <utility>

#include "Math.h"
#include "math/gaussian_quadrature.h"
#include "wrapped_class.h"

namespace korvex::details {
namespace {

constexpr double epsilon = std::numeric_limits<double>::epsilon();
constexpr unsigned long long default_max_iter = 20;

// Runs compute(results) with the GIL released, then prepares the outputs for `size` values
// (now that the GIL is held again) and moves the results into them.
template <class Compute, class... Outputs>
PyObject* compute_rule(const korvexPythonArgs& reader, std::size_t size, Compute compute, Outputs&... outputs)
{
    std::array<vector<double>, sizeof...(Outputs)> results;
    {
        gil_released unlocked;
        compute(results);
    }
    if (!prepare_outputs(reader, size, outputs...))
        return nullptr;
    std::size_t k = 0;
    ((outputs->target() = std::move(results[k++])), ...);
    return commit_outputs(reader, outputs...) ? none_result() : nullptr;
}

// Reads the trailing optional arguments that are present, in order.
template <class... Values>
bool read_optional(korvexPythonArgs& reader, Values&... values)
{
    return ((!reader.ArgsLeft() || reader.GetValue(values)) && ...);
}

PyObject* gauss_hermite_coefficients(PyObject*, PyObject* args)
{
    return guarded_call([args]() -> PyObject* {
        korvexPythonArgs reader(args, "gauss_hermite_coefficients");
        call_temporaries temporaries;
        unsigned long long np = 0, max_iter = default_max_iter;
        bool use_precomputed = true;
        double tolerance = epsilon;
        if (!reader.CheckArgCount(3, 6) || !reader.GetValue(np))
            return nullptr;
        auto points = read_output_vector(reader, temporaries);
        auto weights = points ? read_output_vector(reader, temporaries) : std::nullopt;
        if (!weights || !read_optional(reader, use_precomputed, tolerance, max_iter))
            return nullptr;
        return compute_rule(
            reader, np,
            [&](auto& r) {
                gaussian_quadrature::gauss_hermite_coefficients(np, r[0], r[1], use_precomputed, tolerance, max_iter);
            },
            points, weights);
    });
}

PyObject* gauss_laguerre_coefficients(PyObject*, PyObject* args)
{
    return guarded_call([args]() -> PyObject* {
        korvexPythonArgs reader(args, "gauss_laguerre_coefficients");
        call_temporaries temporaries;
        double alpha = 0.0, tolerance = epsilon;
        unsigned long long n = 0, max_iter = default_max_iter;
        if (!reader.CheckArgCount(4, 6) || !reader.GetValue(alpha) || !reader.GetValue(n))
            return nullptr;
        auto points = read_output_vector(reader, temporaries);
        auto weights = points ? read_output_vector(reader, temporaries) : std::nullopt;
        if (!weights || !read_optional(reader, tolerance, max_iter))
            return nullptr;
        return compute_rule(
            reader, n,
            [&](auto& r) {
                gaussian_quadrature::gauss_laguerre_coefficients(alpha, n, r[0], r[1], tolerance, max_iter);
            },
            points, weights);
    });
}

PyObject* gauss_legendre_coefficients(PyObject*, PyObject* args)
{
    return guarded_call([args]() -> PyObject* {
        korvexPythonArgs reader(args, "gauss_legendre_coefficients");
        call_temporaries temporaries;
        unsigned long long n = 0;
        double tolerance = 1.e-14;
        if (!reader.CheckArgCount(3, 4) || !reader.GetValue(n))
            return nullptr;
        auto points = read_output_vector(reader, temporaries);
        auto weights = points ? read_output_vector(reader, temporaries) : std::nullopt;
        if (!weights || !read_optional(reader, tolerance))
            return nullptr;
        return compute_rule(
            reader, n, [&](auto& r) { gaussian_quadrature::gauss_legendre_coefficients(n, r[0], r[1], tolerance); },
            points, weights);
    });
}

PyObject* gauss_kronrod(PyObject*, PyObject* args)
{
    return guarded_call([args]() -> PyObject* {
        korvexPythonArgs reader(args, "gauss_kronrod");
        call_temporaries temporaries;
        unsigned long long n = 0, max_iter = default_max_iter;
        double tolerance = 1.e-14;
        if (!reader.CheckArgCount(4, 6) || !reader.GetValue(n))
            return nullptr;
        auto x = read_output_vector(reader, temporaries);
        auto w1 = x ? read_output_vector(reader, temporaries) : std::nullopt;
        auto w2 = w1 ? read_output_vector(reader, temporaries) : std::nullopt;
        if (!w2 || !read_optional(reader, tolerance, max_iter))
            return nullptr;
        return compute_rule(
            reader, 2 * n + 1,
            [&](auto& r) { gaussian_quadrature::gauss_kronrod(n, r[0], r[1], r[2], tolerance, max_iter); }, x, w1,
            w2);
    });
}

PyMethodDef methods[] = {
    {"gauss_hermite_coefficients", gauss_hermite_coefficients, static_method,
     "gauss_hermite_coefficients(np:int, points:vector_IdE,\n"
     "    weights:vector_IdE, use_precomputed:bool=True,\n"
     "    tolerance:float=..., max_iter:int=20) -> None\n"
     "C++: static void gauss_hermite_coefficients(size_t np,\n"
     "    vector<double> &points, vector<double> &weights,\n"
     "    bool use_precomputed=true,\n"
     "    double tolerance=std::numeric_limits<double>::epsilon(),\n"
     "    size_t max_iter=20)"},
    {"gauss_laguerre_coefficients", gauss_laguerre_coefficients, static_method,
     "gauss_laguerre_coefficients(alpha:float, n:int, points:vector_IdE,\n"
     "     weights:vector_IdE, tolerance:float=..., max_iter:int=20)\n"
     "    -> None\n"
     "C++: static void gauss_laguerre_coefficients(double alpha,\n"
     "    size_t n, vector<double> &points, vector<double> &weights,\n"
     "    double tolerance=std::numeric_limits<double>::epsilon(),\n"
     "    size_t max_iter=20)"},
    {"gauss_legendre_coefficients", gauss_legendre_coefficients, static_method,
     "gauss_legendre_coefficients(n:int, points:vector_IdE,\n"
     "    weights:vector_IdE, tolerance:float=1.e-14) -> None\n"
     "C++: static void gauss_legendre_coefficients(size_t n,\n"
     "    vector<double> &points, vector<double> &weights,\n"
     "    double tolerance=1.e-14)"},
    {"gauss_kronrod", gauss_kronrod, static_method,
     "gauss_kronrod(n:int, x:vector_IdE, w1:vector_IdE, w2:vector_IdE,\n"
     "    tolerance:float=1.e-14, max_iter:int=20) -> None\n"
     "C++: static void gauss_kronrod(size_t n, vector<double> &x,\n"
     "    vector<double> &w1, vector<double> &w2,\n"
     "    double tolerance=1.e-14, size_t max_iter=20)"},
    {nullptr, nullptr, 0, nullptr}};

PyTypeObject type = static_function_class("korvexmodules.Math.gaussianQuadrature",
                                          "gaussian_quadrature - no description provided.\n\n");

}  // namespace
}  // namespace korvex::details

void PyKORVEXAddFile_gaussian_quadrature(PyObject* dict)
{
    using namespace korvex::details;
    add_class(dict, &type, methods, nullptr, nullptr, "gaussianQuadrature");
}

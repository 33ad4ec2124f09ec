// korvexmodules.Math timed from Python beside scipy, in one embedded interpreter: the inverse
// normal over 10^6 values (from a numpy array, a vector_IdE and a list) and per scalar call
// against scipy.special.ndtri, and quadrature rules of 10, 100 and 1000 points against scipy's
// roots_legendre, roots_hermite and roots_genlaguerre. Every timed operation is one call of a
// Python callable with prepared arguments, made the same way for both libraries.
//
// Counters of the quadrature benchmarks give each rule's accuracy, measured here in long
// double from the three-term recurrence: node_error, the largest Newton correction of a node
// (relative to max(1, |x|)), and weight_error, the largest relative error of a weight against
// the Christoffel number at the corrected node (weights below the smallest double skipped, a
// weight that is not finite counted as an infinite error). With repetitions, the statistic
// "min" gives the fastest run, the figure to read on a shared machine.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <numbers>
#include <string_view>
#include <vector>

namespace {

// Inputs and the calls to time, by name: (function, arguments, preparation or None). A
// preparation returns fresh arguments before each call, outside the timing (a new output
// list, since an unchanged list is not written back). `rules` gives (points, weights) of each
// quadrature benchmark for the accuracy counters.
constexpr const char* setup = R"(
import numpy as np
import scipy.special as sc
from korvexmodules.Math import gaussianQuadrature as Q, normalDistribution as N
from korvexmodules.Vectorization import vector_IdE

n = 1_000_000
alpha = 0.5
uniform = np.random.default_rng(7).random(n)
uniform_list = uniform.tolist()
uniform_vector = vector_IdE(uniform_list)
gaussian = np.empty(n)
gaussian_vector = vector_IdE(n)

calls = {
    "korvex/cdfnorminv/numpy": (N.cdfnorminv, (n, uniform, gaussian), None),
    "korvex/cdfnorminv/vector_IdE": (N.cdfnorminv, (n, uniform_vector, gaussian_vector), None),
    "korvex/cdfnorminv/list": (N.cdfnorminv, None, lambda: (n, uniform_list, [0.0] * n)),
    "scipy/ndtri/numpy": (sc.ndtri, (uniform,), None),
    "scipy/ndtri/numpy_out": (sc.ndtri, (uniform, gaussian), None),
    "scipy/ndtri/list": (sc.ndtri, (uniform_list,), None),
    "korvex/cdfnorminv/scalar": (N.cdfnorminv, (0.975,), None),
    "korvex/cdfnorminv_fast/scalar": (N.cdfnorminv_fast, (0.975,), None),
    "scipy/ndtri/scalar": (sc.ndtri, (0.975,), None),
}
rules = {}

def korvex_rule(name, function, *args):
    points, weights = vector_IdE(), vector_IdE()
    calls[name] = (function, (*args, points, weights), None)
    rules[name] = lambda: (function(*args, points, weights), (np.asarray(points), np.asarray(weights)))[1]

def scipy_rule(name, function, *args):
    calls[name] = (function, args, None)
    rules[name] = lambda: function(*args)

for size in (10, 100, 1000):
    korvex_rule(f"korvex/legendre/{size}", Q.gauss_legendre_coefficients, size)
    scipy_rule(f"scipy/roots_legendre/{size}", sc.roots_legendre, size)
    korvex_rule(f"korvex/hermite/{size}", Q.gauss_hermite_coefficients, size)
    scipy_rule(f"scipy/roots_hermite/{size}", sc.roots_hermite, size)
    korvex_rule(f"korvex/laguerre/{size}", Q.gauss_laguerre_coefficients, alpha, size)
    scipy_rule(f"scipy/roots_genlaguerre/{size}", sc.roots_genlaguerre, size, alpha)
)";

[[noreturn]] void fail(const char* what)
{
    PyErr_Print();
    std::fprintf(stderr, "bench_python_math: %s\n", what);
    std::exit(1);
}

// The interpreter, started once with the package of this build on sys.path.
class python_session
{
public:
    static python_session& get()
    {
        static python_session session;
        return session;
    }

    // (function, arguments, preparation), borrowed.
    PyObject* call(const char* name) const { return lookup("calls", name); }
    // The rule's (points, weights) as a new reference.
    PyObject* rule(const char* name) const
    {
        PyObject* result = PyObject_CallNoArgs(lookup("rules", name));
        if (result == nullptr)
            fail(name);
        return result;
    }

private:
    python_session()
    {
        Py_InitializeEx(0);
        PyObject* path = PySys_GetObject("path");
        PyObject* folder = PyUnicode_FromString(KORVEX_PYTHON_DIR);
        if (path == nullptr || folder == nullptr || PyList_Insert(path, 0, folder) != 0)
            fail("cannot extend sys.path");
        Py_DECREF(folder);
        globals_ = PyDict_New();
        PyDict_SetItemString(globals_, "__builtins__", PyEval_GetBuiltins());
        PyObject* result = PyRun_String(setup, Py_file_input, globals_, globals_);
        if (result == nullptr)
            fail("setup failed");
        Py_DECREF(result);
    }

    PyObject* lookup(const char* table, const char* name) const
    {
        PyObject* entry = PyDict_GetItemString(PyDict_GetItemString(globals_, table), name);
        if (entry == nullptr)
            fail(name);
        return entry;
    }

    PyObject* globals_ = nullptr;
};

void time_call(benchmark::State& state, const char* name)
{
    PyObject* entry = python_session::get().call(name);
    PyObject* function = PyTuple_GET_ITEM(entry, 0);
    PyObject* prepared = PyTuple_GET_ITEM(entry, 1);
    PyObject* prepare = PyTuple_GET_ITEM(entry, 2);
    for (auto _ : state) {
        PyObject* args = prepared;
        if (prepare != Py_None) {
            state.PauseTiming();
            args = PyObject_CallNoArgs(prepare);
            state.ResumeTiming();
        }
        PyObject* result = args == nullptr ? nullptr : PyObject_Call(function, args, nullptr);
        if (result == nullptr)
            fail(name);
        Py_DECREF(result);
        if (prepare != Py_None) {
            state.PauseTiming();
            Py_DECREF(args);
            state.ResumeTiming();
        }
    }
}

// Accuracy of a rule from its orthonormal three-term recurrence, in long double.
struct recurrence_value
{
    long double p, derivative, previous;
};

struct rule_family
{
    // p_n(x), p_n'(x) and p_{n-1}(x).
    std::function<recurrence_value(long double x, int n)> evaluate;
    // The Christoffel number at a node from those values.
    std::function<long double(long double x, const recurrence_value&, int n)> weight;
};

recurrence_value legendre_values(long double x, int n)
{
    long double previous = 1.0L, current = x;
    for (int k = 1; k < n; ++k) {
        const long double next = ((2 * k + 1) * x * current - k * previous) / (k + 1);
        previous = current;
        current = next;
    }
    if (n == 0)
        current = 1.0L;
    return {current, n * (previous - x * current) / (1.0L - x * x), previous};
}

recurrence_value hermite_values(long double x, int n)
{
    long double previous = 0.0L, current = std::pow(std::numbers::pi_v<long double>, -0.25L);
    for (int k = 0; k < n; ++k) {
        const long double next =
            x * std::sqrt(2.0L / (k + 1)) * current - std::sqrt(static_cast<long double>(k) / (k + 1)) * previous;
        previous = current;
        current = next;
    }
    return {current, std::sqrt(2.0L * n) * previous, previous};
}

recurrence_value laguerre_values(long double x, int n, long double alpha)
{
    long double previous = 1.0L, current = 1.0L + alpha - x;
    for (int k = 1; k < n; ++k) {
        const long double next = ((2 * k + 1 + alpha - x) * current - (k + alpha) * previous) / (k + 1);
        previous = current;
        current = next;
    }
    return {current, (n * current - (n + alpha) * previous) / x, previous};
}

constexpr long double laguerre_alpha = 0.5L;

rule_family family_of(const char* name)
{
    const std::string_view text(name);
    if (text.find("legendre") != std::string_view::npos)
        return {legendre_values, [](long double x, const recurrence_value& v, int) {
                    return 2.0L / ((1.0L - x * x) * v.derivative * v.derivative);
                }};
    if (text.find("hermite") != std::string_view::npos)
        return {hermite_values, [](long double, const recurrence_value& v, int n) {
                    return 1.0L / (n * v.previous * v.previous);
                }};
    return {[](long double x, int n) { return laguerre_values(x, n, laguerre_alpha); },
            [](long double x, const recurrence_value& v, int n) {
                const long double scale = std::exp(std::lgamma(n + laguerre_alpha + 1.0L) -
                                                   std::lgamma(n + 1.0L));
                return scale / (x * v.derivative * v.derivative);
            }};
}

void measure_accuracy(benchmark::State& state, const char* name)
{
    PyObject* rule = python_session::get().rule(name);
    Py_buffer points{}, weights{};
    if (PyObject_GetBuffer(PyTuple_GET_ITEM(rule, 0), &points, PyBUF_C_CONTIGUOUS) != 0 ||
        PyObject_GetBuffer(PyTuple_GET_ITEM(rule, 1), &weights, PyBUF_C_CONTIGUOUS) != 0)
        fail(name);
    const auto* x = static_cast<const double*>(points.buf);
    const auto* w = static_cast<const double*>(weights.buf);
    const int n = static_cast<int>(points.len / static_cast<Py_ssize_t>(sizeof(double)));
    const rule_family family = family_of(name);
    long double node_error = 0.0L, weight_error = 0.0L;
    for (int i = 0; i < n; ++i) {
        const recurrence_value at_node = family.evaluate(x[i], n);
        const long double step = at_node.p / at_node.derivative;
        node_error = std::max(node_error, std::fabs(step) / std::max(1.0L, std::fabs((long double)x[i])));
        const long double corrected = x[i] - step;
        const long double exact = family.weight(corrected, family.evaluate(corrected, n), n);
        if (!std::isfinite(w[i]))
            weight_error = INFINITY;
        else if (exact > DBL_MIN)
            weight_error = std::max(weight_error, std::fabs(w[i] - exact) / exact);
    }
    PyBuffer_Release(&points);
    PyBuffer_Release(&weights);
    Py_DECREF(rule);
    state.counters["node_error"] = static_cast<double>(node_error);
    state.counters["weight_error"] = static_cast<double>(weight_error);
}

void time_rule(benchmark::State& state, const char* name)
{
    time_call(state, name);
    measure_accuracy(state, name);
}

double fastest(const std::vector<double>& times) { return *std::min_element(times.begin(), times.end()); }

}  // namespace

#define KORVEX_PYTHON_CALL(id, name) \
    BENCHMARK_CAPTURE(time_call, id, name)->Unit(benchmark::kMillisecond)->ComputeStatistics("min", fastest)
#define KORVEX_PYTHON_SCALAR(id, name) \
    BENCHMARK_CAPTURE(time_call, id, name)->Unit(benchmark::kNanosecond)->ComputeStatistics("min", fastest)
#define KORVEX_PYTHON_RULE(id, name) \
    BENCHMARK_CAPTURE(time_rule, id, name)->Unit(benchmark::kMillisecond)->ComputeStatistics("min", fastest)

KORVEX_PYTHON_CALL(korvex_cdfnorminv_numpy, "korvex/cdfnorminv/numpy");
KORVEX_PYTHON_CALL(korvex_cdfnorminv_vector_IdE, "korvex/cdfnorminv/vector_IdE");
KORVEX_PYTHON_CALL(scipy_ndtri_numpy, "scipy/ndtri/numpy");
KORVEX_PYTHON_CALL(scipy_ndtri_numpy_out, "scipy/ndtri/numpy_out");
KORVEX_PYTHON_CALL(korvex_cdfnorminv_list, "korvex/cdfnorminv/list");
KORVEX_PYTHON_CALL(scipy_ndtri_list, "scipy/ndtri/list");
KORVEX_PYTHON_SCALAR(korvex_cdfnorminv_scalar, "korvex/cdfnorminv/scalar");
KORVEX_PYTHON_SCALAR(korvex_cdfnorminv_fast_scalar, "korvex/cdfnorminv_fast/scalar");
KORVEX_PYTHON_SCALAR(scipy_ndtri_scalar, "scipy/ndtri/scalar");
KORVEX_PYTHON_RULE(korvex_legendre_10, "korvex/legendre/10");
KORVEX_PYTHON_RULE(scipy_roots_legendre_10, "scipy/roots_legendre/10");
KORVEX_PYTHON_RULE(korvex_hermite_10, "korvex/hermite/10");
KORVEX_PYTHON_RULE(scipy_roots_hermite_10, "scipy/roots_hermite/10");
KORVEX_PYTHON_RULE(korvex_laguerre_10, "korvex/laguerre/10");
KORVEX_PYTHON_RULE(scipy_roots_genlaguerre_10, "scipy/roots_genlaguerre/10");
KORVEX_PYTHON_RULE(korvex_legendre_100, "korvex/legendre/100");
KORVEX_PYTHON_RULE(scipy_roots_legendre_100, "scipy/roots_legendre/100");
KORVEX_PYTHON_RULE(korvex_legendre_1000, "korvex/legendre/1000");
KORVEX_PYTHON_RULE(scipy_roots_legendre_1000, "scipy/roots_legendre/1000");
KORVEX_PYTHON_RULE(korvex_hermite_100, "korvex/hermite/100");
KORVEX_PYTHON_RULE(scipy_roots_hermite_100, "scipy/roots_hermite/100");
KORVEX_PYTHON_RULE(korvex_hermite_1000, "korvex/hermite/1000");
KORVEX_PYTHON_RULE(scipy_roots_hermite_1000, "scipy/roots_hermite/1000");
KORVEX_PYTHON_RULE(korvex_laguerre_100, "korvex/laguerre/100");
KORVEX_PYTHON_RULE(scipy_roots_genlaguerre_100, "scipy/roots_genlaguerre/100");
KORVEX_PYTHON_RULE(korvex_laguerre_1000, "korvex/laguerre/1000");
KORVEX_PYTHON_RULE(scipy_roots_genlaguerre_1000, "scipy/roots_genlaguerre/1000");

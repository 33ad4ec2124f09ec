// korvexmodules.Analytics: the analytic pricers (Black, Bachelier, Hagan's shifted SABR) and
// the normal distribution as element-wise functions over floats and numpy arrays.
//
// Every argument is a float or an array (any real or integer dtype, a vector_IdE, a
// sequence); arrays broadcast as numpy broadcasts and the result is a float when every
// argument is a scalar, otherwise a float64 array of the broadcast shape. Arguments keep the
// C++ names and defaults and may be given by keyword. The first element the library refuses
// raises korvexmodules.Core.Error with the library's message. Arrays of 1024 elements or
// more are computed with the GIL released, long ones split over the machine's cores.
//
// The functions are vectorcall functions (see pybind/fast_call.h) so that a scalar call
// costs little more than the formula; the module itself is set up by pybind11.
#include <algorithm>
#include <cmath>
#include <limits>
#include <span>
#include <string>

#include <pybind11/pybind11.h>

#include "core/check_fail.h"
#include "math/normal_distribution.h"
#include "pybind/fast_call.h"
#include "pybind/module_setup.h"
#include "util/bachelier.h"
#include "util/black_scholes.h"
#include "util/analytics_common.h"
#include "util/sabr_analytics.h"

namespace py = pybind11;

namespace korvex::python {
namespace {

constexpr const char* source = "Python/Analytics/Analytics";
constexpr double epsilon = std::numeric_limits<double>::epsilon();

// The iteration count of an implied volatility, given as a float: a whole number that an
// int holds (the library refuses a negative one with its own message).
int iteration_count(double value, int line)
{
    if (!(value == std::floor(value) && std::fabs(value) <= std::numeric_limits<int>::max()))
        details::check_fail(SourceLocation{"black_scholes_implied_volatility", source, line},
                            "The iteration count must be a whole number, not " + details::exact_number(value));
    return static_cast<int>(value);
}

#define KORVEX_ELEMENTWISE(name, parameters, ...)                                                          \
    PyObject* name(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames)                  \
    {                                                                                                      \
        return elementwise_call(#name, parameters, args, nargs, kwnames, [](const auto& x) { return __VA_ARGS__; }); \
    }

// clang-format off
const std::array<parameter, 6> price_parameters{
    {{"strike"}, {"forward"}, {"expiry"}, {"volatility"}, {"annuity"}, {"sign"}}};
const std::array<parameter, 8> black_implied_parameters{
    {{"strike"}, {"forward"}, {"expiry"}, {"price"}, {"annuity"}, {"sign"}, {"tolerance", epsilon},
     {"iterations", 20.0}}};
const std::array<parameter, 6> bachelier_implied_parameters{
    {{"strike"}, {"forward"}, {"expiry"}, {"price"}, {"annuity"}, {"sign"}}};
const std::array<parameter, 11> sabr_price_parameters{
    {{"strike"}, {"forward"}, {"expiry"}, {"annuity"}, {"sign"}, {"alpha"}, {"beta"}, {"nu"}, {"rho"}, {"shift"},
     {"is_skew_dampening"}}};
const std::array<parameter, 9> sabr_volatility_parameters{
    {{"strike"}, {"forward"}, {"expiry"}, {"alpha"}, {"beta"}, {"nu"}, {"rho"}, {"shift"}, {"is_skew_dampening"}}};
const std::array<parameter, 1> x_parameter{{{"x"}}};
const std::array<parameter, 1> q_parameter{{{"q"}}};
// clang-format on

KORVEX_ELEMENTWISE(black_scholes_price, price_parameters,
                   black_scholes::price(x[0], x[1], x[2], x[3], x[4], x[5]))
// Arrays go through the library's function over many options, a block at a time (one
// tolerance and iteration count per block; otherwise option by option).
void black_implied_block(const std::array<const double*, 8>& x, std::size_t count, double* out)
{
    const auto constant = [count](const double* values) {
        return std::all_of(values, values + count, [values](double v) { return v == values[0]; });
    };
    if (!(constant(x[6]) && constant(x[7]))) {
        for (std::size_t i = 0; i < count; ++i)
            out[i] = black_scholes::implied_volatility(x[0][i], x[1][i], x[2][i], x[3][i], x[4][i], x[5][i], x[6][i],
                                                       iteration_count(x[7][i], __LINE__));
        return;
    }
    const auto column = [count](const double* values) { return std::span<const double>(values, count); };
    black_scholes::implied_volatilities(column(x[0]), column(x[1]), column(x[2]), column(x[3]), column(x[4]),
                                        column(x[5]), std::span<double>(out, count), x[6][0],
                                        iteration_count(x[7][0], __LINE__));
}

PyObject* black_scholes_implied_volatility(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames)
{
    return elementwise_call(
        "black_scholes_implied_volatility", black_implied_parameters, args, nargs, kwnames,
        [](const auto& x) {
            return black_scholes::implied_volatility(x[0], x[1], x[2], x[3], x[4], x[5], x[6],
                                                     iteration_count(x[7], __LINE__));
        },
        black_implied_block);
}
KORVEX_ELEMENTWISE(bachelier_price, price_parameters, bachelier::price(x[0], x[1], x[2], x[3], x[4], x[5]))
KORVEX_ELEMENTWISE(bachelier_implied_volatility, bachelier_implied_parameters,
                   bachelier::implied_volatility(x[0], x[1], x[2], x[3], x[4], x[5]))
KORVEX_ELEMENTWISE(sabr_price, sabr_price_parameters,
                   sabr_analytics::price(x[0], x[1], x[2], x[3], x[4], x[5], x[6], x[7], x[8], x[9], x[10] != 0.0))
KORVEX_ELEMENTWISE(sabr_volatility, sabr_volatility_parameters,
                   sabr_analytics::volatility(x[0], x[1], x[2], x[3], x[4], x[5], x[6], x[7], x[8] != 0.0))
KORVEX_ELEMENTWISE(norm_cdf, x_parameter, normal_distribution::cdfnorm(x[0]))
KORVEX_ELEMENTWISE(norm_pdf, x_parameter, normal_distribution::density_function(x[0]))
KORVEX_ELEMENTWISE(norm_ppf, q_parameter, normal_distribution::cdfnorminv(x[0]))

#undef KORVEX_ELEMENTWISE

constexpr int fast_call = METH_FASTCALL | METH_KEYWORDS;

template <class Function>
PyCFunction as_method(Function function)
{
    return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(function));
}

// Each documentation starts with the signature that inspect.signature reads.
PyMethodDef functions[] = {
    {"black_scholes_price", as_method(black_scholes_price), fast_call,
     "black_scholes_price(strike, forward, expiry, volatility, annuity, sign)\n--\n\n"
     "Black's price of an option on a forward: annuity * sign * (F N(sign d1) - K N(sign d2)),\n"
     "d1,2 = ln(F/K) / s +- s/2, s = volatility * sqrt(expiry); sign +1 a call, -1 a put.\n"
     "Strike and forward positive, expiry and volatility non-negative, all finite."},
    {"black_scholes_implied_volatility", as_method(black_scholes_implied_volatility), fast_call,
     "black_scholes_implied_volatility(strike, forward, expiry, price, annuity, sign, "
     "tolerance=2.220446049250313e-16, iterations=20)\n--\n\n"
     "The Black volatility that reprices `price` (Jaeckel's \"Let's Be Rational\"), as accurate\n"
     "as the price allows. A price at the intrinsic value gives 0; one below it, or at or above\n"
     "the upper bound (annuity * forward for a call, annuity * strike for a put), raises Error."},
    {"bachelier_price", as_method(bachelier_price), fast_call,
     "bachelier_price(strike, forward, expiry, volatility, annuity, sign)\n--\n\n"
     "Bachelier's (normal) price: annuity * ((F - K) sign N(sign d) + s n(d)), d = (F - K) / s,\n"
     "s = volatility * sqrt(expiry). Strike and forward may be negative."},
    {"bachelier_implied_volatility", as_method(bachelier_implied_volatility), fast_call,
     "bachelier_implied_volatility(strike, forward, expiry, price, annuity, sign)\n--\n\n"
     "The normal volatility that reprices `price`, to a few eps. A price below the intrinsic\n"
     "value raises Error."},
    {"sabr_price", as_method(sabr_price), fast_call,
     "sabr_price(strike, forward, expiry, annuity, sign, alpha, beta, nu, rho, shift, "
     "is_skew_dampening)\n--\n\n"
     "Black's price of the shifted strike and forward at sabr_volatility(...)."},
    {"sabr_volatility", as_method(sabr_volatility), fast_call,
     "sabr_volatility(strike, forward, expiry, alpha, beta, nu, rho, shift, is_skew_dampening)\n--\n\n"
     "Hagan's lognormal SABR volatility of the shifted strike and forward (strike + shift,\n"
     "forward + shift). is_skew_dampening caps Hagan's local-volatility factor at 4, which\n"
     "bounds the far wings and leaves the smile unchanged near the money."},
    {"norm_cdf", as_method(norm_cdf), fast_call,
     "norm_cdf(x)\n--\n\nThe standard normal cumulative distribution N(x), as scipy.special.ndtr."},
    {"norm_pdf", as_method(norm_pdf), fast_call,
     "norm_pdf(x)\n--\n\nThe standard normal density exp(-x^2/2) / sqrt(2 pi)."},
    {"norm_ppf", as_method(norm_ppf), fast_call,
     "norm_ppf(q)\n--\n\nThe inverse of N, as scipy.special.ndtri: -inf at 0, +inf at 1; a q outside\n"
     "[0, 1] raises Error."},
    {nullptr, nullptr, 0, nullptr}};

}  // namespace
}  // namespace korvex::python

PYBIND11_MODULE(Analytics, module)
{
    module.doc() =
        "Analytic option prices and implied volatilities (Black, Bachelier, Hagan's shifted\n"
        "SABR) and the normal distribution, element-wise over floats and numpy arrays with\n"
        "numpy's broadcasting. Errors of the library raise korvexmodules.Core.Error.";
    korvex::python::prepare_module(module);
    if (PyModule_AddFunctions(module.ptr(), korvex::python::functions) != 0)
        throw py::error_already_set();
}

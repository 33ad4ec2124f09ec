#pragma once

// What the files of korvexmodules.Pricing share: enumerations by value or name, the reading
// of instruments, markets and settings, the pieces of the settings' and results' classes,
// the result arrays of a list priced in one call, and the loop that prices such a list.

#include <cstddef>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include "PDE/scheme/pde_scheme.h"
#include "Pricing/black_scholes/price_black_scholes.h"
#include "Pricing/heston/price_heston.h"
#include "Pricing/instruments/barrier_option.h"
#include "Pricing/instruments/vanilla_option.h"
#include "Pricing/market/black_scholes_market.h"
#include "Pricing/market/market.h"

namespace korvex::python {

// A value of the enumeration `T` registered with pybind11: the enumeration value itself, its
// name (case ignored) or its integer value. ValueError naming the argument and the accepted
// names otherwise: "<function>() argument '<name>' must be one of 'call', 'put', not 'x'".
template <class T>
T enum_from(pybind11::handle value, const char* function, const char* name,
            std::initializer_list<std::pair<const char*, T>> names);
// The same without the error: nullopt for a value that names none of `names`.
template <class T>
std::optional<T> enum_value(pybind11::handle value, std::initializer_list<std::pair<const char*, T>> names);

// The names of the instruments' enumerations, in the order of their values.
inline const std::initializer_list<std::pair<const char*, pricing::option_type>> option_types{
    {"call", pricing::option_type::call}, {"put", pricing::option_type::put}};
inline const std::initializer_list<std::pair<const char*, pricing::exercise_type>> exercise_types{
    {"european", pricing::exercise_type::european}, {"american", pricing::exercise_type::american}};
inline const std::initializer_list<std::pair<const char*, pricing::barrier_direction>> directions{
    {"down", pricing::barrier_direction::down}, {"up", pricing::barrier_direction::up}};
inline const std::initializer_list<std::pair<const char*, pricing::barrier_kind>> barrier_kinds{
    {"knock_out", pricing::barrier_kind::knock_out}, {"knock_in", pricing::barrier_kind::knock_in}};
inline const std::initializer_list<std::pair<const char*, pricing::rebate_payment>> payments{
    {"at_hit", pricing::rebate_payment::at_hit}, {"at_expiry", pricing::rebate_payment::at_expiry}};

// The name of an enumeration value, "?" for one outside `names`.
template <class T>
const char* name_of(T value, std::initializer_list<std::pair<const char*, T>> names)
{
    for (const auto& [text, v] : names)
        if (v == value)
            return text;
    return "?";
}

// The text of enum_from's ValueError, for a value outside `names`.
template <class T>
std::string refused_name_text(pybind11::handle value, const char* function, const char* name,
                              std::initializer_list<std::pair<const char*, T>> names)
{
    std::string accepted;
    for (const auto& [text, v] : names)
        accepted += (accepted.empty() ? "'" : ", '") + std::string(text) + "'";
    return std::string(function) + "() argument '" + name + "' must be one of " + accepted + ", not " +
           pybind11::repr(value).cast<std::string>();
}

// An instrument the pricers take: a vanilla_option or a barrier_option (TypeError naming
// `function` and `name` otherwise).
using instrument = std::variant<pricing::vanilla_option, pricing::barrier_option>;
instrument instrument_from(pybind11::handle option, const char* function, const char* name);
// The instruments of a sequence, in order.
std::vector<instrument> instruments_from(pybind11::handle options, const char* function);

// For each of n instruments its market: one object of type M for all of them, or a sequence
// of n (TypeError, ValueError otherwise).
template <class M>
std::vector<std::shared_ptr<M>> markets_for(pybind11::handle markets, std::size_t n, const char* function,
                                            const char* type_name);
// The `market` argument of a column pricer: any market (TypeError otherwise).
std::shared_ptr<const pricing::market> market_from(pybind11::handle market, const char* function);

// A scheme of the PDE engine: a pde_scheme_type or its name. `function` names the caller
// in the ValueError for another name.
pde_scheme_type scheme_from(pybind11::handle value, const char* function);
// The scheme's name, "crank_nicolson" and so on.
const char* scheme_name(pde_scheme_type scheme);
// The scheme argument of a settings class: None leaves the choice to the accuracy rule.
std::optional<pde_scheme_type> optional_scheme_from(pybind11::handle value, const char* function);
// An optional scheme for Python (None when absent) and as a repr writes it ('name' or None).
pybind11::object scheme_or_none(const std::optional<pde_scheme_type>& scheme);
std::string scheme_text(const std::optional<pde_scheme_type>& scheme);

// The fields of a pickled object: `state` must be a tuple of `size` items (ValueError
// naming `type_name` otherwise).
pybind11::tuple pickled_fields(pybind11::handle state, std::size_t size, const char* type_name);

// Pickling for a class whose state is the tuple `fields` makes and which `make` rebuilds
// from that tuple's items, each converted to make's parameter type.
template <class T, class... Args>
auto pickled_by(pybind11::tuple (*fields)(const T&), T (*make)(Args...), const char* type_name)
{
    return pybind11::pickle(fields, [make, type_name](const pybind11::tuple& state) {
        const pybind11::tuple f = pickled_fields(state, sizeof...(Args), type_name);
        return [&]<std::size_t... i>(std::index_sequence<i...>) {
            return make(f[i].template cast<std::decay_t<Args>>()...);
        }(std::index_sequence_for<Args...>{});
    });
}

// repr of a float, as Python writes it.
std::string float_text(double value);

// A read-only float64 array over `values`, whose memory `owner` keeps alive (no copy).
pybind11::array_t<double> array_view(const std::vector<double>& values, pybind11::handle owner);

// The getter of a property that shows the member `values` of a C as such an array.
template <class C>
auto array_property(std::vector<double> C::*values)
{
    return [values](pybind11::object self) { return array_view(self.cast<const C&>().*values, self); };
}

// The price and the Greeks every result has: as read-only properties, and as its repr writes
// them ("price=..., delta=..., gamma=..., theta=...").
template <class Result>
void add_greeks(pybind11::class_<Result>& result)
{
    result.def_readonly("price", &Result::price)
        .def_readonly("delta", &Result::delta)
        .def_readonly("gamma", &Result::gamma)
        .def_readonly("theta", &Result::theta);
}
template <class Result>
std::string greeks_text(const Result& r)
{
    return "price=" + float_text(r.price) + ", delta=" + float_text(r.delta) + ", gamma=" + float_text(r.gamma) +
           ", theta=" + float_text(r.theta);
}

// The prices and Greeks of a list of instruments priced in one call. Row i holds the i-th
// instrument's values and an empty error text, or NaN values and the text of the error that
// stopped it.
struct batch_result
{
    explicit batch_result(std::size_t n);

    // Row i from a pricer's result (vega stays NaN for a result without one).
    template <class Result>
    void set(std::size_t i, const Result& r)
    {
        price[i] = r.price;
        delta[i] = r.delta;
        gamma[i] = r.gamma;
        theta[i] = r.theta;
        if constexpr (requires { r.vega; })
            vega[i] = r.vega;
    }

    std::vector<double> price, delta, gamma, theta, vega;
    std::vector<std::string> errors;
};

// The values price_row(i, result) writes into row i.
using row_pricer = std::function<void(std::size_t, batch_result&)>;

// Prices rows 0 to n - 1 with the GIL released, on thread_count(n, threads) threads,
// each taking the next row left. A row that throws keeps NaN values and gets the exception's
// text (a library Error's "<message> [<function> at <file>:<line>]").
batch_result price_rows(std::size_t n, std::size_t threads, const row_pricer& price_row);

// The threads a call of n rows uses: `threads` (0 meaning the machine's cores), at most n
// and at most the machine's cores.
std::size_t thread_count(std::size_t n, std::size_t threads);

// The settings argument of a pricer, of the class S that Python knows as `type_name`: None
// gives the defaults, another type raises TypeError naming `function`.
template <class S>
S settings_from(pybind11::handle settings, const char* function, const char* type_name)
{
    if (settings.is_none())
        return {};
    if (!pybind11::isinstance<S>(settings))
        throw pybind11::type_error(std::string(function) + "() argument 'settings' must be " + type_name + ", not " +
                                   Py_TYPE(settings.ptr())->tp_name);
    return settings.cast<S>();
}

// The pricers, each over both kinds of instrument: price(option, inputs...) with the
// instrument's own overload.
inline constexpr auto black_scholes_pricer = [](const auto&... a) { return pricing::price_black_scholes(a...); };
inline constexpr auto heston_pricer = [](const auto&... a) { return pricing::price_heston(a...); };

template <class Pricer, class... Inputs>
auto price_instrument(const instrument& option, const Pricer& price, const Inputs&... inputs)
{
    return std::visit([&](const auto& o) { return price(o, inputs...); }, option);
}

// A pricer's Python form for one instrument: the option and the settings (of class S, known
// to Python as `settings_type`) read with the GIL held, the price solved without it.
template <class S, class Pricer, class... Inputs>
auto price_one(const char* function, const char* settings_type, const Pricer& price, pybind11::handle option,
               pybind11::handle settings, const Inputs&... inputs)
{
    const instrument o = instrument_from(option, function, "option");
    const S s = settings_from<S>(settings, function, settings_type);
    pybind11::gil_scoped_release unlocked;
    return price_instrument(o, price, inputs..., s);
}

void add_instruments(pybind11::module_& module);
void add_markets(pybind11::module_& module);
void add_batch_result(pybind11::module_& module);
void add_black_scholes(pybind11::module_& module);
void add_black_scholes_columns(pybind11::module_& module);
void add_heston(pybind11::module_& module);

// --- implementation of enum_from ---

template <class T>
T enum_from(pybind11::handle value, const char* function, const char* name,
            std::initializer_list<std::pair<const char*, T>> names)
{
    if (const std::optional<T> v = enum_value(value, names))
        return *v;
    throw pybind11::value_error(refused_name_text(value, function, name, names));
}

template <class T>
std::optional<T> enum_value(pybind11::handle value, std::initializer_list<std::pair<const char*, T>> names)
{
    namespace py = pybind11;
    if (py::isinstance<T>(value))
        return value.cast<T>();
    if (py::isinstance<py::str>(value)) {
        const std::string given = py::str(value).attr("lower")().cast<std::string>();
        for (const auto& [text, v] : names)
            if (given == text)
                return v;
        return std::nullopt;
    }
    // An integer code (numpy's integers too), not a bool.
    if (PyBool_Check(value.ptr()) || !PyIndex_Check(value.ptr()))
        return std::nullopt;
    const py::object index = py::reinterpret_steal<py::object>(PyNumber_Index(value.ptr()));
    int overflow = 0;
    const long code = index ? PyLong_AsLongAndOverflow(index.ptr(), &overflow) : -1;
    if (PyErr_Occurred())
        PyErr_Clear();
    if (overflow != 0)
        return std::nullopt;
    for (const auto& [text, v] : names)
        if (static_cast<long>(v) == code)
            return v;
    return std::nullopt;
}


template <class M>
std::vector<std::shared_ptr<M>> markets_for(pybind11::handle markets, std::size_t n, const char* function,
                                            const char* type_name)
{
    namespace py = pybind11;
    if (py::isinstance<M>(markets))
        return std::vector<std::shared_ptr<M>>(n, markets.cast<std::shared_ptr<M>>());
    std::vector<std::shared_ptr<M>> each;
    if (py::isinstance<py::sequence>(markets) && !py::isinstance<py::str>(markets)) {
        for (py::handle m : markets) {
            if (!py::isinstance<M>(m))
                throw py::type_error(std::string(function) + "() argument 'markets' must hold " + type_name +
                                     " objects, not " + Py_TYPE(m.ptr())->tp_name);
            each.push_back(m.cast<std::shared_ptr<M>>());
        }
    } else {
        throw py::type_error(std::string(function) + "() argument 'markets' must be a " + type_name +
                             " or a sequence of them, not " + Py_TYPE(markets.ptr())->tp_name);
    }
    if (each.size() != n)
        throw py::value_error(std::string(function) + "() got " + std::to_string(n) + " options and " +
                              std::to_string(each.size()) + " markets");
    return each;
}

}  // namespace korvex::python

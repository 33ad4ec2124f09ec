// price_black_scholes_columns and price_heston_columns: a table of options, one argument per
// column, priced in one call.
#include <cmath>
#include <limits>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

#include <pybind11/pybind11.h>

#include "Pricing/black_scholes/price_black_scholes.h"
#include "Pricing/heston/price_heston.h"
#include "pricing_bindings.h"
#include "pybind/broadcast.h"
#include "pybind/dates.h"

namespace py = pybind11;

namespace korvex::python {
namespace {

using namespace korvex::pricing;

constexpr const char* black_scholes_columns = "price_black_scholes_columns";
constexpr const char* heston_columns = "price_heston_columns";

// A column of numbers: one value for every row, or one per row.
struct number_column
{
    std::vector<double> values;

    std::size_t rows() const { return values.size(); }
    double at(std::size_t row) const { return values[values.size() == 1 ? 0 : row]; }
};

number_column column_of(const operand& numbers, const char* function, const char* name)
{
    if (numbers.is_scalar())
        return {{numbers.value}};
    if (numbers.values().ndim() > 1)
        throw py::type_error(std::string(function) + "() argument '" + name +
                             "' must be a number or a one-dimensional array, not an array of " +
                             std::to_string(numbers.values().ndim()) + " dimensions");
    return {{numbers.data(), numbers.data() + numbers.values().size()}};
}

// A column of enumeration values (names, codes or the values themselves): one for every row
// or one per row. An entry that names no value refuses its row only, with enum_from's text.
// Where None is allowed it stands for "no value" (nullopt).
template <class T>
struct code_column
{
    std::vector<std::optional<T>> values;
    std::unordered_map<std::size_t, std::string> refused;

    std::size_t rows() const { return values.size(); }
    std::optional<T> at(std::size_t row) const
    {
        const std::size_t k = values.size() == 1 ? 0 : row;
        if (const auto r = refused.find(k); r != refused.end())
            throw std::invalid_argument(r->second);
        return values[k];
    }
};

template <class T>
code_column<T> codes_of(py::handle column, const char* function, const char* name,
                        std::initializer_list<std::pair<const char*, T>> names, bool none_allowed = false)
{
    code_column<T> codes;
    const auto add = [&](py::handle item) {
        const bool absent = none_allowed && item.is_none();
        const std::optional<T> value = absent ? std::nullopt : enum_value(item, names);
        if (!value && !absent)
            codes.refused.emplace(codes.values.size(), refused_name_text(item, function, name, names));
        codes.values.push_back(value);
    };
    if (py::isinstance<py::str>(column) || !py::isinstance<py::iterable>(column)) {
        add(column);
        return codes;
    }
    if (py::isinstance<py::array>(column) && column.cast<py::array>().ndim() != 1)
        throw py::type_error(std::string(function) + "() argument '" + name +
                             "' must be one value or a one-dimensional array or sequence of values");
    for (py::handle item : column)
        add(item);
    return codes;
}

// The table's rows: the length of every column that is not of length one (all equal), else 1.
using column_lengths = std::vector<std::pair<const char*, std::size_t>>;

std::size_t row_count(const char* function, const column_lengths& columns)
{
    const char* first = nullptr;
    std::size_t rows = 1;
    for (const auto& [name, length] : columns) {
        if (length == 1)
            continue;
        if (first == nullptr) {
            first = name;
            rows = length;
        } else if (length != rows) {
            throw py::value_error(std::string(function) + "() argument '" + name + "' has " + std::to_string(length) +
                                  " rows, '" + first + "' has " + std::to_string(rows));
        }
    }
    return rows;
}

number_column numbers(py::handle column, const char* function, const char* name)
{
    return column_of(number_operand(column, function, name), function, name);
}

// A column that may be None: then one NaN for every row.
number_column numbers_or_nan(py::handle column, const char* function, const char* name)
{
    return column.is_none() ? number_column{{std::numeric_limits<double>::quiet_NaN()}}
                            : numbers(column, function, name);
}

number_column dates(py::handle column, const char* function)
{
    return column_of(date_operand(column, function, "expiry"), function, "expiry");
}

// The instrument columns of both pricers, as read from Python with the GIL held; the rows'
// options are built and priced without it.
struct option_columns
{
    code_column<option_type> type;
    number_column strike;
    number_column expiry;
    code_column<exercise_type> exercise;
    number_column barrier;
    code_column<barrier_direction> direction;
    code_column<barrier_kind> kind;
    number_column rebate;
    code_column<rebate_payment> payment;

    column_lengths lengths() const
    {
        return {{"type", type.rows()},         {"strike", strike.rows()}, {"expiry", expiry.rows()},
                {"exercise", exercise.rows()}, {"barrier", barrier.rows()}, {"direction", direction.rows()},
                {"kind", kind.rows()},         {"rebate", rebate.rows()}, {"payment", payment.rows()}};
    }

    // Row i's option: a vanilla where its barrier is NaN, else a barrier option whose
    // direction, when not given, is where the level lies from the spot.
    instrument option(std::size_t i, double spot) const
    {
        const vanilla_option vanilla{*type.at(i), strike.at(i), datetime(expiry.at(i)), *exercise.at(i)};
        const double level = barrier.at(i);
        if (std::isnan(level))
            return vanilla;
        const barrier_direction side =
            direction.at(i).value_or(level < spot ? barrier_direction::down : barrier_direction::up);
        return barrier_option{vanilla, side, *kind.at(i), level, rebate.at(i), *payment.at(i)};
    }
};

// The instrument arguments of a column pricer, in the order both take them.
struct option_arguments
{
    py::handle type, strike, expiry, exercise, barrier, direction, kind, rebate, payment;

    option_columns read(const char* f) const
    {
        return {codes_of(type, f, "type", option_types),
                numbers(strike, f, "strike"),
                dates(expiry, f),
                codes_of(exercise, f, "exercise", exercise_types),
                numbers_or_nan(barrier, f, "barrier"),
                codes_of(direction, f, "direction", directions, true),
                codes_of(kind, f, "kind", barrier_kinds),
                numbers(rebate, f, "rebate"),
                codes_of(payment, f, "payment", payments)};
    }
};

// The Black-Scholes market of every row: `market` itself, or where a volatility column is
// given the market's curves with the row's volatility.
struct black_scholes_markets
{
    std::shared_ptr<const market> base;
    std::shared_ptr<const black_scholes_market> fixed;  // when no volatility column is given
    number_column volatility;

    black_scholes_market at(std::size_t i) const
    {
        return fixed ? *fixed : black_scholes_market(*base, volatility.at(i));
    }
};

black_scholes_markets black_scholes_markets_from(py::handle market_object, bool volatility_given)
{
    if (volatility_given)
        return {market_from(market_object, black_scholes_columns), nullptr, {}};
    if (!py::isinstance<black_scholes_market>(market_object))
        throw py::type_error(std::string(black_scholes_columns) +
                             "() argument 'market' must be a black_scholes_market when no volatility is given, not " +
                             Py_TYPE(market_object.ptr())->tp_name);
    const auto fixed = market_object.cast<std::shared_ptr<black_scholes_market>>();
    return {fixed, fixed, {}};
}

batch_result price_black_scholes_table(py::handle market_object, py::handle type, py::handle strike,
                                       py::handle expiry, py::handle exercise, py::handle volatility,
                                       py::handle barrier, py::handle direction, py::handle kind, py::handle rebate,
                                       py::handle payment, py::handle settings, std::size_t threads)
{
    const char* f = black_scholes_columns;
    black_scholes_markets markets = black_scholes_markets_from(market_object, !volatility.is_none());
    const option_columns options =
        option_arguments{type, strike, expiry, exercise, barrier, direction, kind, rebate, payment}.read(f);
    markets.volatility = numbers_or_nan(volatility, f, "volatility");
    const auto s = settings_from<black_scholes_settings>(settings, f, "black_scholes_settings");
    column_lengths lengths = options.lengths();
    lengths.emplace_back("volatility", markets.volatility.rows());
    const double spot = markets.base->spot();
    return price_rows(row_count(f, lengths), threads, [&](std::size_t i, batch_result& out) {
        out.set(i, price_instrument(options.option(i, spot), black_scholes_pricer, markets.at(i), s));
    });
}

// The Heston parameters of every row.
struct heston_parameter_columns
{
    number_column v0, kappa, eta, sigma, rho;

    column_lengths lengths() const
    {
        return {{"v0", v0.rows()}, {"kappa", kappa.rows()}, {"eta", eta.rows()}, {"sigma", sigma.rows()},
                {"rho", rho.rows()}};
    }
    heston_parameters at(std::size_t i) const { return {v0.at(i), kappa.at(i), eta.at(i), sigma.at(i), rho.at(i)}; }
};

batch_result price_heston_table(py::handle market_object, py::handle type, py::handle strike, py::handle expiry,
                                py::handle exercise, py::handle v0, py::handle kappa, py::handle eta, py::handle sigma,
                                py::handle rho, py::handle settings, std::size_t threads, py::handle barrier,
                                py::handle direction, py::handle kind, py::handle rebate, py::handle payment)
{
    const char* f = heston_columns;
    const auto base = market_from(market_object, f);
    const option_columns options =
        option_arguments{type, strike, expiry, exercise, barrier, direction, kind, rebate, payment}.read(f);
    const heston_parameter_columns heston{numbers(v0, f, "v0"), numbers(kappa, f, "kappa"), numbers(eta, f, "eta"),
                                          numbers(sigma, f, "sigma"), numbers(rho, f, "rho")};
    const auto s = settings_from<heston_settings>(settings, f, "heston_settings");
    // The parameters' lengths after the vanilla columns', in the order of the arguments.
    column_lengths lengths = options.lengths();
    const column_lengths parameters = heston.lengths();
    lengths.insert(lengths.begin() + 4, parameters.begin(), parameters.end());
    return price_rows(row_count(f, lengths), threads, [&](std::size_t i, batch_result& out) {
        out.set(i, price_instrument(options.option(i, base->spot()), heston_pricer, *base, heston.at(i), s));
    });
}

}  // namespace

void add_black_scholes_columns(py::module_& module)
{
    module.def(
        "price_black_scholes_columns", &price_black_scholes_table, py::arg("market"), py::arg("type"), py::arg("strike"),
        py::arg("expiry"), py::arg("exercise") = "european", py::arg("volatility") = py::none(),
        py::arg("barrier") = py::none(), py::arg("direction") = py::none(), py::arg("kind") = "knock_out",
        py::arg("rebate") = 0.0, py::arg("payment") = "at_expiry", py::arg("settings") = py::none(),
        py::arg("threads") = 0,
        "Prices a table of options given by columns, as price_black_scholes does row by row, in one\n"
        "call with the GIL released, the rows shared among `threads` threads (0, or more than the\n"
        "cores: one per core).\n"
        "Every column is one value for all rows or a one-dimensional array or sequence (a numpy\n"
        "array, a pandas Series, a list) with one value per row; columns longer than one must have\n"
        "the same length, the number of rows.\n"
        "  type, exercise, direction, kind, payment: names ('call', 'PUT'), the enumeration values\n"
        "    or their integer codes (call 0, put 1; european 0, american 1; down 0, up 1;\n"
        "    knock_out 0, knock_in 1; at_hit 0, at_expiry 1);\n"
        "  strike, barrier (the level), rebate, volatility: numbers;\n"
        "  expiry: dates as korvexmodules.Market accepts them (serial numbers, numpy.datetime64,\n"
        "    datetime.date); NaT refuses its row.\n"
        "market: a black_scholes_market, or with a volatility column any market (its spot, rate and\n"
        "carry curves; a black_scholes_market's own volatility is then replaced row by row).\n"
        "A row whose barrier is NaN (or every row, barrier None) is a vanilla option; otherwise a\n"
        "barrier option whose direction, where None, is where the level lies from the market's spot\n"
        "(below: down, above: up). settings: black_scholes_settings for every row.\n"
        "Returns a batch_result in the rows' order: a row that cannot be priced (a value the\n"
        "library refuses, a name that names nothing) gets its error text and NaN values, and the\n"
        "other rows are priced. Arguments that are not columns of one of these forms, or columns of\n"
        "different lengths, raise TypeError or ValueError before anything is priced.");
    module.def(
        "price_heston_columns", &price_heston_table, py::arg("market"), py::arg("type"), py::arg("strike"),
        py::arg("expiry"), py::arg("exercise"), py::arg("v0"), py::arg("kappa"), py::arg("eta"),
        py::arg("sigma"), py::arg("rho"), py::arg("settings") = py::none(), py::arg("threads") = 0, py::kw_only(),
        py::arg("barrier") = py::none(), py::arg("direction") = py::none(), py::arg("kind") = "knock_out",
        py::arg("rebate") = 0.0, py::arg("payment") = "at_expiry",
        "Prices a table of options given by columns under the Heston model, as price_heston does\n"
        "row by row, in one call with the GIL released, the rows shared among `threads` threads\n"
        "(0, or more than the cores: one per core). The columns are of the forms\n"
        "price_black_scholes_columns takes (one value for all rows, or one per row): type,\n"
        "exercise (names or codes), strike, expiry (dates), the model's parameters v0, kappa, eta,\n"
        "sigma, rho of each row, and, by keyword only, the barrier columns barrier, direction,\n"
        "kind, rebate, payment: a row whose barrier is NaN (or every row, barrier None) is a\n"
        "vanilla option, another a barrier option as price_black_scholes_columns makes it, which\n"
        "goes to price_heston's barrier_option overload. market: any market (its spot, rate and\n"
        "carry curves); settings: heston_settings for every row.\n"
        "Returns a batch_result in the rows' order (vega NaN): a row that cannot be priced gets\n"
        "its error text and NaN values, and the other rows are priced.");
}

}  // namespace korvex::python

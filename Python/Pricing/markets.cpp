// The market inputs of the pricers: a spot with its rate and carry curves, and the same with
// a Black-Scholes volatility.
#include <memory>
#include <string>

#include <pybind11/pybind11.h>

#include "Market/equity/equity_spot/equity_spot.h"
#include "Market/fx/fx_spot/fx_spot.h"
#include "Pricing/market/black_scholes_market.h"
#include "Pricing/market/market.h"
#include "pricing_bindings.h"
#include "pybind/dates.h"

namespace py = pybind11;

namespace korvex::python {
namespace {

using pricing::black_scholes_market;
using pricing::market;

// A market on an equity_spot or an fx_spot of korvexmodules.Market (None reaches the
// library, which refuses it).
std::shared_ptr<market> make_market(py::handle spot, std::shared_ptr<discount_curve> rate,
                                    std::shared_ptr<discount_curve> carry, const char* function)
{
    if (py::isinstance<fx_spot>(spot))
        return std::make_shared<market>(spot.cast<std::shared_ptr<fx_spot>>(), std::move(rate), std::move(carry));
    if (spot.is_none() || py::isinstance<equity_spot>(spot))
        return std::make_shared<market>(spot.cast<std::shared_ptr<equity_spot>>(), std::move(rate),
                                        std::move(carry));
    throw py::type_error(std::string(function) +
                         "() argument 'spot' must be a korvexmodules.Market.equity_spot or fx_spot, not " +
                         Py_TYPE(spot.ptr())->tp_name);
}

std::string market_text(const market& m)
{
    return "spot=" + float_text(m.spot()) + ", valuation_date=" + py::repr(date_object(m.valuation_date())).cast<std::string>();
}

}  // namespace

void add_markets(py::module_& module)
{
    py::class_<market, std::shared_ptr<market>>(
        module, "market",
        "What every pricer reads from the market: a spot (korvexmodules.Market.equity_spot or\n"
        "fx_spot) and its valuation date, the discount curve of the payoff (rate) and the curve of\n"
        "the carry (an equity's dividend yield, the foreign rate of an exchange rate); the forward\n"
        "to T is spot * carry.df(T) / rate.df(T). The curves' valuation dates must be the spot's.")
        .def(py::init([](py::handle spot, std::shared_ptr<discount_curve> rate, std::shared_ptr<discount_curve> carry) {
                 return make_market(spot, std::move(rate), std::move(carry), "market");
             }),
             py::arg("spot"), py::arg("rate"), py::arg("carry"))
        .def_property_readonly("spot", &market::spot, "The spot value.")
        .def_property_readonly(
            "valuation_date", [](const market& m) { return date_object(m.valuation_date()); },
            "The spot's valuation date.")
        .def("__repr__", [](const market& m) { return "market(" + market_text(m) + ")"; });

    py::class_<black_scholes_market, market, std::shared_ptr<black_scholes_market>>(
        module, "black_scholes_market",
        "A market with a constant Black-Scholes volatility (per year of ACT/365 Fixed), from a\n"
        "market or from its spot, rate and carry. The volatility must be positive and finite.")
        .def(py::init([](const market& base, double volatility) {
                 return std::make_shared<black_scholes_market>(base, volatility);
             }),
             py::arg("market"), py::arg("volatility"))
        .def(py::init([](py::handle spot, std::shared_ptr<discount_curve> rate, std::shared_ptr<discount_curve> carry,
                         double volatility) {
                 return std::make_shared<black_scholes_market>(
                     *make_market(spot, std::move(rate), std::move(carry), "black_scholes_market"), volatility);
             }),
             py::arg("spot"), py::arg("rate"), py::arg("carry"), py::arg("volatility"))
        .def_property_readonly("volatility", &black_scholes_market::volatility, "The volatility.")
        .def("__repr__", [](const black_scholes_market& m) {
            return "black_scholes_market(" + market_text(m) + ", volatility=" + float_text(m.volatility()) + ")";
        });
}

}  // namespace korvex::python

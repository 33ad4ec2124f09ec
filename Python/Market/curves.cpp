// Discount and survival curves, equity and FX spots.
#include <pybind11/pybind11.h>

#include "Market/credit/survival_curve/survival_curve_flat.h"
#include "Market/credit/survival_curve/survival_curve_piecewise_constant.h"
#include "Market/equity/equity_spot/equity_spot.h"
#include "Market/fx/fx_spot/fx_spot.h"
#include "Market/ir/discount_curve/discount_curve_flat.h"
#include "Market/ir/discount_curve/discount_curve_piecewise_constant.h"
#include "market_bindings.h"
#include "persistence.h"

namespace py = pybind11;

namespace korvex::python {
namespace {

// The end of the documentation of every query over two dates.
#define KORVEX_FROM_VALUATION_DATE                                                                \
    "Element-wise over d1 and d2 (dates or arrays of dates, broadcast); with d1 alone, from the\n" \
    "valuation date to d1."

std::string curve_repr(const char* name, const market_data& curve, const std::string& content,
                       const day_count_convention* convention)
{
    return std::string(name) + "(valuation_date=" + curve.valuation_date().to_string() + ", " + content +
           ", convention='" + (convention ? day_count_name(*convention) : "none") + "')";
}

// The pillars of a piecewise curve in a repr.
template <class Curve>
std::string pillars_text(const Curve& curve)
{
    const auto& pillars = curve.rates_term_structure()->x();
    if (pillars.empty())
        return "no pillars";
    return std::to_string(pillars.size()) + " pillars from " + pillars.front().to_string() + " to " +
           pillars.back().to_string();
}

// The pillar dates and rates of a piecewise curve: the dates as datetime64[us], the rates a
// read-only view of the curve's own (no copy), which keeps the curve alive.
template <class Curve, class Class>
void def_pillars(Class& cls)
{
    cls.def_property_readonly(
           "dates", [](const Curve& curve) { return datetime64_array(curve.rates_term_structure()->x()); },
           "The pillar dates, datetime64[us].")
        .def_property_readonly(
            "rates",
            [](py::object self) {
                const auto& rates = self.cast<const Curve&>().rates_term_structure()->y();
                py::array_t<double> view(static_cast<py::ssize_t>(rates.size()), rates.data(), self);
                view.attr("setflags")(py::arg("write") = false);
                return view;
            },
            "The rates, one per pillar: a read-only view of the curve's own.")
        .def_property_readonly("convention", [](const Curve& curve) { return held(curve.convention()); });
}

template <class Spot>
void add_spot(py::module_& module, const char* name, const char* doc)
{
    derived_class<Spot, market_data> spot(module, name, doc);
    spot.def(py::init([name](py::handle valuation_date, double value) {
                 return std::make_shared<Spot>(date_from(valuation_date, name, "valuation_date"), value);
             }),
             py::arg("valuation_date"), py::arg("spot"))
        .def(
            "spot",
            [name](const Spot& s, py::handle dates) -> py::object {
                if (dates.is_none())
                    return py::float_(s.spot());
                std::array<operand, 1> at{date_operand(dates, name, "dates")};
                const double value = s.spot();
                return broadcast(at, name, [value](const std::array<double, 1>&) { return value; });
            },
            py::arg("dates") = py::none(),
            "The spot; with dates, an array of their shape filled with it.")
        .def("__repr__", [name](const Spot& s) {
            return std::string(name) + "(valuation_date=" + s.valuation_date().to_string() +
                   ", spot=" + number_text(s.spot()) + ")";
        });
    def_persistence<Spot>(spot);
}

}  // namespace

void add_curves(py::module_& module)
{
    class_<market_data> base(module, "market_data", "The base of market objects: a valuation date.");
    base.def_property_readonly(
        "valuation_date", [](const market_data& m) { return date_object(m.valuation_date()); },
        "A datetime.date (datetime.datetime with a time of day; a float when not a date).");

    derived_class<discount_curve, market_data>(module, "discount_curve", "A discount curve.")
        .def(
            "df",
            [](const discount_curve& c, py::handle d1, py::handle d2) {
                return date_query(c.valuation_date(), d1, d2, "df",
                                  [&c](const datetime& a, const datetime& b) { return c.df(a, b); });
            },
            py::arg("d1"), py::arg("d2") = py::none(),
            "The discount factor from d1 to d2. " KORVEX_FROM_VALUATION_DATE)
        .def(
            "log_df",
            [](const discount_curve& c, py::handle d1, py::handle d2) {
                return date_query(c.valuation_date(), d1, d2, "log_df",
                                  [&c](const datetime& a, const datetime& b) { return c.log_df(a, b); });
            },
            py::arg("d1"), py::arg("d2") = py::none(),
            "The logarithm of the discount factor from d1 to d2. " KORVEX_FROM_VALUATION_DATE);

    derived_class<discount_curve_flat, discount_curve> flat(
        module, "discount_curve_flat",
        "One continuously compounded rate: df(d1, d2) = exp(-rate * fraction(d1, d2)).");
    flat.def(py::init([](py::handle valuation_date, double rate, py::handle convention) {
                 return std::make_shared<discount_curve_flat>(
                     date_from(valuation_date, "discount_curve_flat", "valuation_date"), rate, day_count_from(convention));
             }),
             py::arg("valuation_date"), py::arg("rate"), py::arg("convention") = "ACT/365F")
        .def_property_readonly("rate", &discount_curve_flat::rate)
        .def_property_readonly("convention", [](const discount_curve_flat& c) { return held(c.convention()); })
        .def("__repr__", [](const discount_curve_flat& c) {
            return curve_repr("discount_curve_flat", c, "rate=" + number_text(c.rate()), c.convention().get());
        });
    def_persistence<discount_curve_flat>(flat);

    derived_class<discount_curve_piecewise_constant, discount_curve> piecewise(
        module, "discount_curve_piecewise_constant",
        "Continuously compounded rates constant between pillar dates: the rate of pillar k holds\n"
        "on (dates[k-1], dates[k]], the first before the first pillar, the last after the last.");
    piecewise
        .def(py::init([](py::handle valuation_date, py::handle dates, py::handle rates, py::handle convention) {
                 const char* name = "discount_curve_piecewise_constant";
                 return std::make_shared<discount_curve_piecewise_constant>(
                     date_from(valuation_date, name, "valuation_date"), dates_from(dates, name, "dates"),
                     numbers_from(rates, name, "rates"), day_count_from(convention));
             }),
             py::arg("valuation_date"), py::arg("dates"), py::arg("rates"), py::arg("convention") = "ACT/365F")
        .def("__repr__", [](const discount_curve_piecewise_constant& c) {
            return curve_repr("discount_curve_piecewise_constant", c, pillars_text(c), c.convention().get());
        });
    def_pillars<discount_curve_piecewise_constant>(piecewise);
    def_persistence<discount_curve_piecewise_constant>(piecewise);

    derived_class<survival_curve, market_data>(module, "survival_curve", "A credit (survival) curve.")
        .def(
            "survival_probability",
            [](const survival_curve& c, py::handle d1, py::handle d2) {
                return date_query(c.valuation_date(), d1, d2, "survival_probability",
                                  [&c](const datetime& a, const datetime& b) { return c.survival_probability(a, b); });
            },
            py::arg("d1"), py::arg("d2") = py::none(),
            "The probability of surviving from d1 to d2. " KORVEX_FROM_VALUATION_DATE)
        .def(
            "log_survival_probability",
            [](const survival_curve& c, py::handle d1, py::handle d2) {
                return date_query(c.valuation_date(), d1, d2, "log_survival_probability",
                                  [&c](const datetime& a, const datetime& b) {
                                      return c.log_survival_probability(a, b);
                                  });
            },
            py::arg("d1"), py::arg("d2") = py::none(),
            "The logarithm of the survival probability. " KORVEX_FROM_VALUATION_DATE);

    derived_class<survival_curve_flat, survival_curve> survival_flat(
        module, "survival_curve_flat", "One hazard rate: exp(-rate * fraction(d1, d2)).");
    survival_flat
        .def(py::init([](py::handle valuation_date, double rate, py::handle convention) {
                 return std::make_shared<survival_curve_flat>(
                     date_from(valuation_date, "survival_curve_flat", "valuation_date"), rate, day_count_from(convention));
             }),
             py::arg("valuation_date"), py::arg("rate"), py::arg("convention") = "ACT/365F")
        .def_property_readonly("rate", &survival_curve_flat::rate)
        .def_property_readonly("convention", [](const survival_curve_flat& c) { return held(c.convention()); })
        .def("__repr__", [](const survival_curve_flat& c) {
            return curve_repr("survival_curve_flat", c, "rate=" + number_text(c.rate()), c.convention().get());
        });
    def_persistence<survival_curve_flat>(survival_flat);

    derived_class<survival_curve_piecewise_constant, survival_curve> survival_piecewise(
        module, "survival_curve_piecewise_constant",
        "Hazard rates constant between pillar dates: the rate of pillar k holds on\n"
        "[dates[k], dates[k+1]), the first before the first pillar, the last from the last on.");
    survival_piecewise
        .def(py::init([](py::handle valuation_date, py::handle dates, py::handle rates, py::handle convention) {
                 const char* name = "survival_curve_piecewise_constant";
                 return std::make_shared<survival_curve_piecewise_constant>(
                     date_from(valuation_date, name, "valuation_date"), dates_from(dates, name, "dates"),
                     numbers_from(rates, name, "rates"), day_count_from(convention));
             }),
             py::arg("valuation_date"), py::arg("dates"), py::arg("rates"), py::arg("convention") = "ACT/365F")
        .def("__repr__", [](const survival_curve_piecewise_constant& c) {
            return curve_repr("survival_curve_piecewise_constant", c, pillars_text(c), c.convention().get());
        });
    def_pillars<survival_curve_piecewise_constant>(survival_piecewise);
    def_persistence<survival_curve_piecewise_constant>(survival_piecewise);

    add_spot<equity_spot>(module, "equity_spot", "The spot price of an equity at the valuation date.");
    add_spot<fx_spot>(module, "fx_spot", "An exchange rate at the valuation date.");
}

}  // namespace korvex::python

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

// A query (Curve::*Query)(d1, d2) of a curve over arrays of dates, named `name`.
template <class Curve, double (Curve::*Query)(const datetime&, const datetime&) const, class Class>
void def_query(Class& cls, const char* name, const char* doc)
{
    cls.def(
        name,
        [name](const Curve& curve, py::handle d1, py::handle d2) {
            return date_query(curve.valuation_date(), d1, d2, name,
                              [&curve](const datetime& a, const datetime& b) { return (curve.*Query)(a, b); });
        },
        py::arg("d1"), py::arg("d2") = py::none(), doc);
}

// The same for a query from the valuation date that the curve also answers over many
// dates at once: (Curve::*Batch)(dates, out).
template <class Curve, double (Curve::*Query)(const datetime&, const datetime&) const,
          void (Curve::*Batch)(std::span<const datetime>, std::span<double>) const, class Class>
void def_batch_query(Class& cls, const char* name, const char* doc)
{
    cls.def(
        name,
        [name](const Curve& curve, py::handle d1, py::handle d2) {
            return date_query(
                curve.valuation_date(), d1, d2, name,
                [&curve](const datetime& a, const datetime& b) { return (curve.*Query)(a, b); },
                [&curve](std::span<const datetime> dates, std::span<double> out) { (curve.*Batch)(dates, out); });
        },
        py::arg("d1"), py::arg("d2") = py::none(), doc);
}

template <class Curve>
std::string curve_repr(const char* name, const Curve& curve, const std::string& content)
{
    const day_count_convention* convention = curve.convention().get();
    return std::string(name) + "(valuation_date=" + curve.valuation_date().to_string() + ", " + content +
           ", convention='" + (convention ? day_count_name(*convention) : "none") + "')";
}

// A flat curve: valuation date, rate and convention.
template <class Curve, class Base>
void add_flat_curve(py::module_& module, const char* name, const char* doc)
{
    derived_class<Curve, Base> cls(module, name, doc);
    cls.def(py::init([name](py::handle valuation_date, double rate, py::handle convention) {
                return std::make_shared<Curve>(date_from(valuation_date, name, "valuation_date"), rate,
                                               day_count_from(convention));
            }),
            py::arg("valuation_date"), py::arg("rate"), py::arg("convention") = "ACT/365F")
        .def_property_readonly("rate", &Curve::rate)
        .def_property_readonly("convention", [](const Curve& c) { return held(c.convention()); })
        .def("__repr__", [name](const Curve& c) { return curve_repr(name, c, "rate=" + number_text(c.rate())); });
    def_persistence<Curve>(cls);
}

// A piecewise-constant curve: valuation date, pillar dates, rates and convention. Its dates
// come back as datetime64[us], its rates as a read-only view of the curve's own (no copy),
// which keeps the curve alive.
template <class Curve, class Base>
void add_piecewise_curve(py::module_& module, const char* name, const char* doc)
{
    derived_class<Curve, Base> cls(module, name, doc);
    cls.def(py::init([name](py::handle valuation_date, py::handle dates, py::handle rates, py::handle convention) {
                return std::make_shared<Curve>(date_from(valuation_date, name, "valuation_date"),
                                               dates_from(dates, name, "dates"), numbers_from(rates, name, "rates"),
                                               day_count_from(convention));
            }),
            py::arg("valuation_date"), py::arg("dates"), py::arg("rates"), py::arg("convention") = "ACT/365F")
        .def_property_readonly(
            "dates", [](const Curve& c) { return datetime64_array(c.rates_term_structure()->x()); },
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
        .def_property_readonly("convention", [](const Curve& c) { return held(c.convention()); })
        .def("__repr__", [name](const Curve& c) {
            const auto& pillars = c.rates_term_structure()->x();
            return curve_repr(name, c,
                              pillars.empty() ? std::string("no pillars")
                                              : std::to_string(pillars.size()) + " pillars from " +
                                                    pillars.front().to_string() + " to " + pillars.back().to_string());
        });
    def_persistence<Curve>(cls);
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
            py::arg("dates") = py::none(), "The spot; with dates, an array of their shape filled with it.")
        .def("__repr__", [name](const Spot& s) {
            return std::string(name) + "(valuation_date=" + s.valuation_date().to_string() +
                   ", spot=" + number_text(s.spot()) + ")";
        });
    def_persistence<Spot>(spot);
}

}  // namespace

void add_curves(py::module_& module)
{
    class_<market_data>(module, "market_data", "The base of market objects: a valuation date.")
        .def_property_readonly(
            "valuation_date", [](const market_data& m) { return date_object(m.valuation_date()); },
            "A datetime.date (datetime.datetime with a time of day; a float when not a date).");

    derived_class<discount_curve, market_data> discount(module, "discount_curve", "A discount curve.");
    def_batch_query<discount_curve, &discount_curve::df, &discount_curve::dfs>(
        discount, "df", "The discount factor from d1 to d2. " KORVEX_FROM_VALUATION_DATE);
    def_query<discount_curve, &discount_curve::log_df>(
        discount, "log_df", "The logarithm of the discount factor from d1 to d2. " KORVEX_FROM_VALUATION_DATE);
    add_flat_curve<discount_curve_flat, discount_curve>(
        module, "discount_curve_flat", "One continuously compounded rate: df(d1, d2) = exp(-rate * fraction(d1, d2)).");
    add_piecewise_curve<discount_curve_piecewise_constant, discount_curve>(
        module, "discount_curve_piecewise_constant",
        "Continuously compounded rates constant between pillar dates: the rate of pillar k holds\n"
        "on (dates[k-1], dates[k]], the first before the first pillar, the last after the last.");

    derived_class<survival_curve, market_data> survival(module, "survival_curve", "A credit (survival) curve.");
    def_batch_query<survival_curve, &survival_curve::survival_probability, &survival_curve::survival_probabilities>(
        survival, "survival_probability", "The probability of surviving from d1 to d2. " KORVEX_FROM_VALUATION_DATE);
    def_query<survival_curve, &survival_curve::log_survival_probability>(
        survival, "log_survival_probability",
        "The logarithm of the survival probability from d1 to d2. " KORVEX_FROM_VALUATION_DATE);
    add_flat_curve<survival_curve_flat, survival_curve>(module, "survival_curve_flat",
                                                        "One hazard rate: exp(-rate * fraction(d1, d2)).");
    add_piecewise_curve<survival_curve_piecewise_constant, survival_curve>(
        module, "survival_curve_piecewise_constant",
        "Hazard rates constant between pillar dates: the rate of pillar k holds on\n"
        "[dates[k], dates[k+1]), the first before the first pillar, the last from the last on.");

    add_spot<equity_spot>(module, "equity_spot", "The spot price of an equity at the valuation date.");
    add_spot<fx_spot>(module, "fx_spot", "An exchange rate at the valuation date.");
}

}  // namespace korvex::python

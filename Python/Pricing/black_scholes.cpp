// price_black_scholes for one instrument and for a list, its settings and its result.
#include <memory>
#include <string>

#include <pybind11/pybind11.h>

#include "Pricing/black_scholes/price_black_scholes.h"
#include "pricing_bindings.h"

namespace py = pybind11;

namespace korvex::python {
namespace {

using namespace korvex::pricing;

black_scholes_settings make_settings(double accuracy, std::size_t space_points, std::size_t time_steps,
                                     py::handle scheme, bool vega)
{
    return {accuracy, space_points, time_steps, optional_scheme_from(scheme, "black_scholes_settings"), vega};
}

py::tuple settings_fields(const black_scholes_settings& s)
{
    return py::make_tuple(s.accuracy, s.space_points, s.time_steps, scheme_or_none(s.scheme), s.vega);
}

std::string settings_text(const black_scholes_settings& s)
{
    return "black_scholes_settings(accuracy=" + float_text(s.accuracy) +
           ", space_points=" + std::to_string(s.space_points) + ", time_steps=" + std::to_string(s.time_steps) +
           ", scheme=" + scheme_text(s.scheme) + ", vega=" + (s.vega ? "True" : "False") + ")";
}

batch_result price_batch(py::handle options, py::handle markets, py::handle settings, std::size_t threads)
{
    const char* function = "price_black_scholes_batch";
    const std::vector<instrument> all = instruments_from(options, function);
    const auto each = markets_for<black_scholes_market>(markets, all.size(), function, "black_scholes_market");
    const auto s = settings_from<black_scholes_settings>(settings, function, "black_scholes_settings");
    return price_rows(all.size(), threads, [&](std::size_t i, batch_result& out) {
        out.set(i, price_instrument(all[i], black_scholes_pricer, *each[i], s));
    });
}

std::string result_text(const black_scholes_result& r)
{
    return "black_scholes_result(" + greeks_text(r) + ", vega=" + float_text(r.vega) +
           ", space_points=" + std::to_string(r.space_points) + ", time_steps=" + std::to_string(r.time_steps) +
           ", scheme='" + scheme_name(r.scheme) + "', extrapolated=" + (r.extrapolated ? "True" : "False") + ")";
}

}  // namespace

void add_black_scholes(py::module_& module)
{
    py::class_<black_scholes_settings>(
        module, "black_scholes_settings",
        "How price_black_scholes solves. accuracy: the absolute price error aimed at, from which the\n"
        "grid follows; space_points (at least 5), time_steps (at least 2) and scheme (a\n"
        "pde_scheme_type or its name: crank_nicolson, two_stage_l_stable, implicit_euler), when\n"
        "given (non-zero, not None), replace that rule's choices one by one; vega False skips the\n"
        "two extra solves that give the vega of barrier and American options (NaN then).")
        .def(py::init(&make_settings), py::arg("accuracy") = 1e-4, py::arg("space_points") = 0,
             py::arg("time_steps") = 0, py::arg("scheme") = py::none(), py::arg("vega") = true)
        .def_readonly("accuracy", &black_scholes_settings::accuracy)
        .def_readonly("space_points", &black_scholes_settings::space_points)
        .def_readonly("time_steps", &black_scholes_settings::time_steps)
        .def_property_readonly("scheme", [](const black_scholes_settings& s) { return scheme_or_none(s.scheme); })
        .def_readonly("vega", &black_scholes_settings::vega)
        .def(pickled_by(&settings_fields, &make_settings, "black_scholes_settings"))
        .def("__repr__", &settings_text);

    py::class_<black_scholes_result> result(
        module, "black_scholes_result",
        "A Black-Scholes price at the valuation date with delta (dV/dS), gamma, theta (dV/dt per\n"
        "year, calendar time running forward) and vega (dV/dsigma); spots and values: the grid's\n"
        "nodes and the option's values on them, read-only float64 arrays over the result's own\n"
        "memory; space_points, time_steps, scheme and extrapolated: the grid that was solved.");
    add_greeks(result);
    result.def_readonly("vega", &black_scholes_result::vega)
        .def_property_readonly("spots", array_property(&black_scholes_result::spots), "The grid's spot values, ascending.")
        .def_property_readonly("values", array_property(&black_scholes_result::values), "The option's values at the spots.")
        .def_readonly("space_points", &black_scholes_result::space_points)
        .def_readonly("time_steps", &black_scholes_result::time_steps)
        .def_readonly("scheme", &black_scholes_result::scheme)
        .def_readonly("extrapolated", &black_scholes_result::extrapolated)
        .def("__repr__", &result_text);

    const auto price_single = [](py::handle option, const black_scholes_market& market, py::handle settings) {
        return price_one<black_scholes_settings>("price_black_scholes", "black_scholes_settings", black_scholes_pricer,
                                                 option, settings, market);
    };
    module.def("price_black_scholes", price_single, py::arg("option"), py::arg("market"),
               py::arg("settings") = py::none(),
               "The price and Greeks of a vanilla_option or barrier_option under Black-Scholes, by\n"
               "finite differences (the GIL released while it solves). market: a black_scholes_market;\n"
               "settings: black_scholes_settings (None: the defaults, accuracy 1e-4). Refused input\n"
               "raises korvexmodules.Core.Error with the library's message.");
    module.def("price_black_scholes_batch", &price_batch, py::arg("options"), py::arg("markets"),
               py::arg("settings") = py::none(), py::arg("threads") = 0,
               "Prices a sequence of options (vanilla_option and barrier_option mixed) in one call with\n"
               "the GIL released, as price_black_scholes does one by one: markets is one\n"
               "black_scholes_market for all or a sequence of one per option; threads the threads that\n"
               "share the options (0, or more than the cores: one per core). Returns a batch_result: an\n"
               "option that cannot be priced gets its error text and NaN values, the others are priced.");
}

}  // namespace korvex::python

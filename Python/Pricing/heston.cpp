// price_heston and heston_semi_closed_form for one instrument, the model's parameters, the
// settings and the result.
#include <optional>
#include <string>
#include <vector>

#include <pybind11/pybind11.h>

#include "Pricing/heston/price_heston.h"
#include "pricing_bindings.h"

namespace py = pybind11;

namespace korvex::python {
namespace {

using namespace korvex::pricing;

heston_settings make_settings(double accuracy, std::size_t spot_points, std::size_t variance_points,
                              std::size_t time_steps, py::handle scheme)
{
    return {accuracy, spot_points, variance_points, time_steps, optional_scheme_from(scheme, "heston_settings")};
}

py::tuple settings_fields(const heston_settings& s)
{
    return py::make_tuple(s.accuracy, s.spot_points, s.variance_points, s.time_steps, scheme_or_none(s.scheme));
}

std::string settings_text(const heston_settings& s)
{
    return "heston_settings(accuracy=" + float_text(s.accuracy) + ", spot_points=" + std::to_string(s.spot_points) +
           ", variance_points=" + std::to_string(s.variance_points) + ", time_steps=" + std::to_string(s.time_steps) +
           ", scheme=" + scheme_text(s.scheme) + ")";
}

heston_parameters make_parameters(double v0, double kappa, double eta, double sigma, double rho)
{
    return {v0, kappa, eta, sigma, rho};
}

py::tuple parameters_fields(const heston_parameters& h)
{
    return py::make_tuple(h.v0(), h.kappa(), h.eta(), h.sigma(), h.rho());
}

std::string parameters_text(const heston_parameters& h)
{
    return "heston_parameters(v0=" + float_text(h.v0()) + ", kappa=" + float_text(h.kappa()) +
           ", eta=" + float_text(h.eta()) + ", sigma=" + float_text(h.sigma()) + ", rho=" + float_text(h.rho()) + ")";
}

std::string result_text(const heston_result& r)
{
    return "heston_result(" + greeks_text(r) + ", spot_points=" + std::to_string(r.spots.size()) +
           ", variance_points=" + std::to_string(r.variances.size()) + ", time_steps=" + std::to_string(r.time_steps) +
           ", scheme='" + scheme_name(r.scheme) + "')";
}

heston_result price_single(py::handle option, const market& market, const heston_parameters& heston,
                           py::handle settings)
{
    return price_one<heston_settings>("price_heston", "heston_settings", heston_pricer, option, settings, market, heston);
}

double semi_closed_form(const vanilla_option& option, const market& market, const heston_parameters& heston)
{
    py::gil_scoped_release unlocked;
    return heston_semi_closed_form(option, market, heston);
}

void add_settings(py::module_& module)
{
    py::class_<heston_settings>(
        module, "heston_settings",
        "How price_heston solves. accuracy: the absolute price error aimed at, from which the grid\n"
        "follows; spot_points (at least 8), variance_points (at least 5), time_steps (at least 1)\n"
        "and scheme (a pde_scheme_type or its name: adi_modified_craig_sneyd, adi_craig_sneyd,\n"
        "adi_hundsdorfer_verwer, adi_douglas), when given (non-zero, not None), replace that rule's\n"
        "choices one by one.")
        .def(py::init(&make_settings), py::arg("accuracy") = 1e-3, py::arg("spot_points") = 0,
             py::arg("variance_points") = 0, py::arg("time_steps") = 0, py::arg("scheme") = py::none())
        .def_readonly("accuracy", &heston_settings::accuracy)
        .def_readonly("spot_points", &heston_settings::spot_points)
        .def_readonly("variance_points", &heston_settings::variance_points)
        .def_readonly("time_steps", &heston_settings::time_steps)
        .def_property_readonly("scheme", [](const heston_settings& s) { return scheme_or_none(s.scheme); })
        .def(pickled_by(&settings_fields, &make_settings, "heston_settings"))
        .def("__repr__", &settings_text);
}

void add_parameters(py::module_& module)
{
    py::class_<heston_parameters>(
        module, "heston_parameters",
        "The Heston model's parameters: v0 the initial variance, kappa the speed of mean reversion,\n"
        "eta the long-run variance, sigma the volatility of the variance, rho the correlation of\n"
        "spot and variance (variances and kappa per year). Feller's condition is not required.\n"
        "v0, kappa or eta negative, sigma not positive or rho not strictly between -1 and 1 raise\n"
        "korvexmodules.Core.Error.")
        .def(py::init<double, double, double, double, double>(), py::arg("v0"), py::arg("kappa"), py::arg("eta"),
             py::arg("sigma"), py::arg("rho"))
        .def_property_readonly("v0", &heston_parameters::v0)
        .def_property_readonly("kappa", &heston_parameters::kappa)
        .def_property_readonly("eta", &heston_parameters::eta)
        .def_property_readonly("sigma", &heston_parameters::sigma)
        .def_property_readonly("rho", &heston_parameters::rho)
        .def(pickled_by(&parameters_fields, &make_parameters, "heston_parameters"))
        .def("__repr__", &parameters_text);
}

void add_result(py::module_& module)
{
    const auto view = array_property<heston_result>;
    py::class_<heston_result> result(
        module, "heston_result",
        "A Heston price at the valuation date and v0 with delta (dV/dS), gamma and theta (dV/dt per\n"
        "year, calendar time running forward); spots and variances: the grid's nodes (ascending),\n"
        "values: the option's values on them, spot index outer (the value at spots[i], variances[j]\n"
        "is values[i * len(variances) + j]), read-only float64 arrays over the result's own memory;\n"
        "time_steps and scheme: how the grid was solved.");
    add_greeks(result);
    result.def_property_readonly("spots", view(&heston_result::spots), "The grid's spot values, ascending.")
        .def_property_readonly("variances", view(&heston_result::variances), "The grid's variances, ascending.")
        .def_property_readonly("values", view(&heston_result::values), "The option's values on the grid.")
        .def_readonly("time_steps", &heston_result::time_steps)
        .def_readonly("scheme", &heston_result::scheme)
        .def("__repr__", &result_text);
}

}  // namespace

void add_heston(py::module_& module)
{
    add_parameters(module);
    add_settings(module);
    add_result(module);
    module.def("price_heston", &price_single, py::arg("option"), py::arg("market"), py::arg("heston"),
               py::arg("settings") = py::none(),
               "The price and Greeks of a vanilla_option or barrier_option under the Heston model, by\n"
               "finite differences on a spot x variance grid (the GIL released while it solves).\n"
               "market: any market (its spot, rate and carry curves; a black_scholes_market's\n"
               "volatility is not read); heston: heston_parameters; settings: heston_settings (None:\n"
               "the defaults, accuracy 1e-3). Refused input (an American knock-in among others) raises\n"
               "korvexmodules.Core.Error with the library's message.");
    module.def("heston_semi_closed_form", &semi_closed_form, py::arg("option"), py::arg("market"), py::arg("heston"),
               "The price of a European vanilla_option under the Heston model in semi-closed form (one\n"
               "Fourier integral, to an absolute 1e-12). An American option and other refused input\n"
               "raise korvexmodules.Core.Error.");
}

}  // namespace korvex::python

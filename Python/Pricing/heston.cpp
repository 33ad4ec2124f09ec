// price_heston and heston_semi_closed_form for one instrument, the model's parameters, the
// settings and the result.
#include <optional>
#include <string>
#include <variant>
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
    heston_settings s{accuracy, spot_points, variance_points, time_steps, std::nullopt};
    if (!scheme.is_none())
        s.scheme = scheme_from(scheme, "heston_settings");
    return s;
}

py::object scheme_or_none(const heston_settings& s) { return s.scheme ? py::cast(*s.scheme) : py::none(); }

std::string settings_text(const heston_settings& s)
{
    return "heston_settings(accuracy=" + float_text(s.accuracy) + ", spot_points=" + std::to_string(s.spot_points) +
           ", variance_points=" + std::to_string(s.variance_points) + ", time_steps=" + std::to_string(s.time_steps) +
           ", scheme=" + (s.scheme ? "'" + std::string(scheme_name(*s.scheme)) + "'" : std::string("None")) + ")";
}

std::string parameters_text(const heston_parameters& h)
{
    return "heston_parameters(v0=" + float_text(h.v0()) + ", kappa=" + float_text(h.kappa()) +
           ", eta=" + float_text(h.eta()) + ", sigma=" + float_text(h.sigma()) + ", rho=" + float_text(h.rho()) + ")";
}

std::string result_text(const heston_result& r)
{
    return "heston_result(price=" + float_text(r.price) + ", delta=" + float_text(r.delta) +
           ", gamma=" + float_text(r.gamma) + ", theta=" + float_text(r.theta) +
           ", spot_points=" + std::to_string(r.spots.size()) + ", variance_points=" + std::to_string(r.variances.size()) +
           ", time_steps=" + std::to_string(r.time_steps) + ", scheme='" + scheme_name(r.scheme) + "')";
}

heston_result price_one(py::handle option, const market& market, const heston_parameters& heston, py::handle settings)
{
    const instrument o = instrument_from(option, "price_heston", "option");
    const heston_settings s = heston_settings_from(settings, "price_heston");
    py::gil_scoped_release unlocked;
    return price_heston_instrument(o, market, heston, s);
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
        .def_property_readonly("scheme", &scheme_or_none)
        .def(py::pickle(
            [](const heston_settings& s) {
                return py::make_tuple(s.accuracy, s.spot_points, s.variance_points, s.time_steps, scheme_or_none(s));
            },
            [](py::tuple state) {
                const py::tuple f = pickled_fields(state, 5, "heston_settings");
                return make_settings(f[0].cast<double>(), f[1].cast<std::size_t>(), f[2].cast<std::size_t>(),
                                     f[3].cast<std::size_t>(), f[4]);
            }))
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
        .def(py::pickle(
            [](const heston_parameters& h) { return py::make_tuple(h.v0(), h.kappa(), h.eta(), h.sigma(), h.rho()); },
            [](py::tuple state) {
                const py::tuple f = pickled_fields(state, 5, "heston_parameters");
                return heston_parameters(f[0].cast<double>(), f[1].cast<double>(), f[2].cast<double>(),
                                         f[3].cast<double>(), f[4].cast<double>());
            }))
        .def("__repr__", &parameters_text);
}

void add_result(py::module_& module)
{
    const auto view = [](std::vector<double> heston_result::*member) {
        return [member](py::object self) { return array_view(self.cast<const heston_result&>().*member, self); };
    };
    py::class_<heston_result>(
        module, "heston_result",
        "A Heston price at the valuation date and v0 with delta (dV/dS), gamma and theta (dV/dt per\n"
        "year, calendar time running forward); spots and variances: the grid's nodes (ascending),\n"
        "values: the option's values on them, spot index outer (the value at spots[i], variances[j]\n"
        "is values[i * len(variances) + j]), read-only float64 arrays over the result's own memory;\n"
        "time_steps and scheme: how the grid was solved.")
        .def_readonly("price", &heston_result::price)
        .def_readonly("delta", &heston_result::delta)
        .def_readonly("gamma", &heston_result::gamma)
        .def_readonly("theta", &heston_result::theta)
        .def_property_readonly("spots", view(&heston_result::spots), "The grid's spot values, ascending.")
        .def_property_readonly("variances", view(&heston_result::variances), "The grid's variances, ascending.")
        .def_property_readonly("values", view(&heston_result::values), "The option's values on the grid.")
        .def_readonly("time_steps", &heston_result::time_steps)
        .def_readonly("scheme", &heston_result::scheme)
        .def("__repr__", &result_text);
}

}  // namespace

heston_settings heston_settings_from(py::handle settings, const char* function)
{
    if (settings.is_none())
        return {};
    if (!py::isinstance<heston_settings>(settings))
        throw py::type_error(std::string(function) + "() argument 'settings' must be heston_settings, not " +
                             Py_TYPE(settings.ptr())->tp_name);
    return settings.cast<heston_settings>();
}

heston_result price_heston_instrument(const instrument& option, const market& market, const heston_parameters& heston,
                                      const heston_settings& settings)
{
    return std::visit([&](const auto& o) { return price_heston(o, market, heston, settings); }, option);
}

void add_heston(py::module_& module)
{
    add_parameters(module);
    add_settings(module);
    add_result(module);
    module.def("price_heston", &price_one, py::arg("option"), py::arg("market"), py::arg("heston"),
               py::arg("settings") = py::none(),
               "The price and Greeks of a vanilla_option under the Heston model, by finite differences\n"
               "on a spot x variance grid (the GIL released while it solves). market: any market (its\n"
               "spot, rate and carry curves; a black_scholes_market's volatility is not read); heston:\n"
               "heston_parameters; settings: heston_settings (None: the defaults, accuracy 1e-3).\n"
               "Barrier options and other refused input raise korvexmodules.Core.Error with the\n"
               "library's message.");
    module.def("heston_semi_closed_form", &semi_closed_form, py::arg("option"), py::arg("market"), py::arg("heston"),
               "The price of a European vanilla_option under the Heston model in semi-closed form (one\n"
               "Fourier integral, to an absolute 1e-12). An American option and other refused input\n"
               "raise korvexmodules.Core.Error.");
}

}  // namespace korvex::python

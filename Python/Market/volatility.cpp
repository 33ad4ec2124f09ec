// The SABR model, surfaces over pairs of dates and interest-rate volatility surfaces.
#include <pybind11/pybind11.h>

#include "Market/common/volatility_model/volatility_model_sabr.h"
#include "Market/ir/volatility_surface/ir_volatility_surface.h"
#include "Market/ir/volatility_surface/volatility_data/ir_volatility_data_sabr.h"
#include "market_bindings.h"
#include "persistence.h"
#include "util/surface_term_structure.h"

namespace py = pybind11;

namespace korvex::python {
namespace {

// A volatility_type, its name ("normal", "lognormal") or its number (the library refuses
// other numbers).
volatility_type volatility_type_from(py::handle type)
{
    if (py::isinstance<py::str>(type)) {
        const auto name = type.cast<std::string>();
        if (name == "normal" || name == "lognormal")
            return name == "normal" ? normal : lognormal;
        throw py::value_error("unknown volatility type '" + name + "'; expected 'normal' or 'lognormal'");
    }
    return static_cast<volatility_type>(py::int_(py::reinterpret_borrow<py::object>(type)).cast<int>());
}

// The values of a surface as a read-only view of its own matrix, which keeps the surface alive.
py::array_t<double> matrix_view(py::object surface)
{
    const matrix<double>& z = surface.cast<const surface_term_structure&>().z();
    py::array_t<double> values({static_cast<py::ssize_t>(z.rows()), static_cast<py::ssize_t>(z.columns())}, z.data(),
                               surface);
    values.attr("setflags")(py::arg("write") = false);
    return values;
}

matrix<double> matrix_from(py::handle values)
{
    const auto z = py::array_t<double, py::array::c_style | py::array::forcecast>::ensure(values);
    if (!z || z.ndim() != 2)
        throw py::type_error("surface_term_structure() argument 'z' must be a two-dimensional array of numbers");
    matrix<double> m(static_cast<std::size_t>(z.shape(0)), static_cast<std::size_t>(z.shape(1)));
    std::copy(z.data(), z.data() + z.size(), m.data());
    return m;
}

std::string sabr_text(const volatility_model_sabr& m)
{
    return "volatility_model_sabr(alpha=" + number_text(m.alpha()) + ", beta=" + number_text(m.beta()) +
           ", nu=" + number_text(m.nu()) + ", rho=" + number_text(m.rho()) + ", shift=" + number_text(m.shift()) +
           ", is_skew_dampening=" + (m.is_skew_dampening() ? "True" : "False") + ")";
}

std::shared_ptr<volatility_model_sabr> make_sabr(double alpha, double beta, double nu, double rho, double shift,
                                                 bool is_skew_dampening)
{
    return std::make_shared<volatility_model_sabr>(alpha, beta, nu, rho, shift, is_skew_dampening);
}

}  // namespace

void add_volatility(py::module_& module)
{
    py::enum_<volatility_type>(module, "volatility_type", "The kind of implied volatility.")
        .value("normal", normal, "Bachelier's model")
        .value("lognormal", lognormal, "Black's model");

    class_<volatility_model>(module, "volatility_model", "An option pricing model behind a volatility surface.")
        .def(
            "price",
            [](const volatility_model& m, py::handle strike, py::handle forward, py::handle expiry, py::handle annuity,
               py::handle sign) {
                std::array<operand, 5> x{number_operand(strike, "price", "strike"),
                                         number_operand(forward, "price", "forward"),
                                         number_operand(expiry, "price", "expiry"),
                                         number_operand(annuity, "price", "annuity"),
                                         number_operand(sign, "price", "sign")};
                return broadcast(x, "price", [&m](const std::array<double, 5>& v) {
                    return m.price(v[0], v[1], v[2], v[3], v[4]);
                });
            },
            py::arg("strike"), py::arg("forward"), py::arg("expiry"), py::arg("annuity"), py::arg("sign"),
            "annuity times the undiscounted price (sign +1 a call, -1 a put), element-wise.")
        .def(
            "implied_volatility",
            [](const volatility_model& m, py::handle strike, py::handle forward, py::handle expiry, py::handle type) {
                const volatility_type kind = volatility_type_from(type);
                std::array<operand, 3> x{number_operand(strike, "implied_volatility", "strike"),
                                         number_operand(forward, "implied_volatility", "forward"),
                                         number_operand(expiry, "implied_volatility", "expiry")};
                return broadcast(x, "implied_volatility", [&m, kind](const std::array<double, 3>& v) {
                    return m.implied_volatility(v[0], v[1], v[2], kind);
                });
            },
            py::arg("strike"), py::arg("forward"), py::arg("expiry"), py::arg("type"),
            "The normal or lognormal implied volatility of the model's out-of-the-money price,\n"
            "element-wise; type is a volatility_type or its name.");

    derived_class<volatility_model_sabr, volatility_model>(
        module, "volatility_model_sabr",
        "A SABR model with fixed parameters (Hagan's expansion with a shift). The constructor\n"
        "refuses alpha not above 0, beta outside [0, 1], nu below 0 and rho * rho not below 1.")
        .def(py::init(&make_sabr), py::arg("alpha"), py::arg("beta"), py::arg("nu"), py::arg("rho"), py::arg("shift"),
             py::arg("is_skew_dampening"))
        .def_property_readonly("alpha", &volatility_model_sabr::alpha)
        .def_property_readonly("beta", &volatility_model_sabr::beta)
        .def_property_readonly("nu", &volatility_model_sabr::nu)
        .def_property_readonly("rho", &volatility_model_sabr::rho)
        .def_property_readonly("shift", &volatility_model_sabr::shift)
        .def_property_readonly("is_skew_dampening", &volatility_model_sabr::is_skew_dampening)
        .def("__repr__", &sabr_text)
        .def(py::pickle(
            [](const volatility_model_sabr& m) {
                return py::make_tuple(m.alpha(), m.beta(), m.nu(), m.rho(), m.shift(), m.is_skew_dampening());
            },
            [](const py::tuple& p) {
                return make_sabr(p[0].cast<double>(), p[1].cast<double>(), p[2].cast<double>(), p[3].cast<double>(),
                                 p[4].cast<double>(), p[5].cast<bool>());
            }));

    class_<surface_term_structure>(
        module, "surface_term_structure",
        "Values over pairs of dates: z[i, j] belongs to (x[i], y[j]). at(d1, d2) interpolates\n"
        "bilinearly and is flat outside the axes. Axes strictly ascending, values finite.")
        .def(py::init([](py::handle x, py::handle y, py::handle z) {
                 return std::make_shared<surface_term_structure>(dates_from(x, "surface_term_structure", "x"),
                                                                 dates_from(y, "surface_term_structure", "y"),
                                                                 matrix_from(z));
             }),
             py::arg("x"), py::arg("y"), py::arg("z"))
        .def_property_readonly("x", [](const surface_term_structure& s) { return datetime64_array(s.x()); })
        .def_property_readonly("y", [](const surface_term_structure& s) { return datetime64_array(s.y()); })
        .def_property_readonly("z", &matrix_view, "The values, a read-only view of the surface's own.")
        .def(
            "at",
            [](const surface_term_structure& s, py::handle d1, py::handle d2) {
                std::array<operand, 2> dates{date_operand(d1, "at", "d1"), date_operand(d2, "at", "d2")};
                return broadcast(dates, "at", [&s](const std::array<double, 2>& v) {
                    return s.at(datetime(v[0]), datetime(v[1]));
                });
            },
            py::arg("d1"), py::arg("d2"), "The interpolated value at (d1, d2), element-wise.")
        .def("__repr__",
             [](const surface_term_structure& s) {
                 return "surface_term_structure(" + std::to_string(s.x().size()) + " x " +
                        std::to_string(s.y().size()) + " points)";
             })
        .def(py::pickle(
            [](py::object self) {
                const auto& s = self.cast<const surface_term_structure&>();
                return py::make_tuple(datetime64_array(s.x()), datetime64_array(s.y()), matrix_view(self));
            },
            [](const py::tuple& p) {
                return std::make_shared<surface_term_structure>(dates_from(p[0], "surface_term_structure", "x"),
                                                                dates_from(p[1], "surface_term_structure", "y"),
                                                                matrix_from(p[2]));
            }));

    class_<ir_volatility_data>(module, "ir_volatility_data", "Interest-rate volatility data.")
        .def(
            "model",
            [](const ir_volatility_data& data, py::handle d1, py::handle d2) {
                return held(data.model(date_from(d1, "model", "d1"), date_from(d2, "model", "d2")));
            },
            py::arg("d1"), py::arg("d2"),
            "The pricing model for a pair of dates (an option's expiry and its underlying's end).");

    derived_class<ir_volatility_data_sabr, ir_volatility_data> sabr_data(
        module, "ir_volatility_data_sabr",
        "SABR parameters over pairs of dates, each a surface_term_structure, and one skew\n"
        "dampening flag; model(d1, d2) builds a volatility_model_sabr from the values at (d1, d2).");
    using surface = std::shared_ptr<surface_term_structure>;
    sabr_data
        .def(py::init([](const surface& alpha, const surface& beta, const surface& rho, const surface& nu,
                         const surface& shift, bool is_skew_dampening) {
                 return std::make_shared<ir_volatility_data_sabr>(alpha, beta, rho, nu, shift, is_skew_dampening);
             }),
             py::arg("alpha"), py::arg("beta"), py::arg("rho"), py::arg("nu"), py::arg("shift"),
             py::arg("is_skew_dampening"))
        .def_property_readonly("alpha", [](const ir_volatility_data_sabr& d) { return held(d.alpha()); })
        .def_property_readonly("beta", [](const ir_volatility_data_sabr& d) { return held(d.beta()); })
        .def_property_readonly("rho", [](const ir_volatility_data_sabr& d) { return held(d.rho()); })
        .def_property_readonly("nu", [](const ir_volatility_data_sabr& d) { return held(d.nu()); })
        .def_property_readonly("shift", [](const ir_volatility_data_sabr& d) { return held(d.shift()); })
        .def_property_readonly("is_skew_dampening", &ir_volatility_data_sabr::is_skew_dampening)
        .def("__repr__", [](const ir_volatility_data_sabr& d) {
            return std::string("ir_volatility_data_sabr(is_skew_dampening=") + (d.is_skew_dampening() ? "True" : "False") +
                   ")";
        });
    def_persistence<ir_volatility_data_sabr>(sabr_data);

    derived_class<ir_volatility_surface, market_data> surface_class(
        module, "ir_volatility_surface", "The interest-rate volatility market object: a valuation date and its data.");
    surface_class
        .def(py::init([](py::handle valuation_date, const std::shared_ptr<ir_volatility_data>& data) {
                 return std::make_shared<ir_volatility_surface>(
                     date_from(valuation_date, "ir_volatility_surface", "valuation_date"), data);
             }),
             py::arg("valuation_date"), py::arg("data"))
        .def_property_readonly("data", [](const ir_volatility_surface& s) { return held(s.data()); })
        .def("__repr__", [](const ir_volatility_surface& s) {
            return "ir_volatility_surface(valuation_date=" + s.valuation_date().to_string() + ")";
        });
    def_persistence<ir_volatility_surface>(surface_class);
}

}  // namespace korvex::python

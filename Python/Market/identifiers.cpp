// Currencies, discount definitions and the identifiers of market data.
#include <pybind11/operators.h>
#include <pybind11/pybind11.h>

#include "Market/common/currency.h"
#include "Market/common/discount_definition.h"
#include "Market/credit/id/default_id.h"
#include "Market/fx/id/fx_spot_id.h"
#include "Market/ir/id/discount_id.h"
#include "market_bindings.h"
#include "persistence.h"

namespace py = pybind11;

namespace korvex::python {
namespace {

std::string quoted(const std::string& text) { return py::repr(py::str(text)).cast<std::string>(); }

}  // namespace

void add_identifiers(py::module_& module)
{
    class_<currency> ccy(module, "currency", "A currency code; any non-empty text.");
    ccy.def(py::init([](const std::string& code) { return std::make_shared<currency>(key(code)); }), py::arg("ccy"))
        .def_property_readonly("ccy", [](const currency& c) { return c.to_string(); })
        .def("__str__", &currency::to_string)
        .def("__repr__", [](const currency& c) { return "currency(" + quoted(c.to_string()) + ")"; });
    def_persistence<currency>(ccy);

    class_<discount_definition> definition(module, "discount_definition",
                                           "The name of a discounting convention (a curve family); any non-empty text.");
    definition.def(py::init([](const std::string& id) { return std::make_shared<discount_definition>(key(id)); }),
                   py::arg("id"))
        .def_property_readonly("id", [](const discount_definition& d) { return d.to_string(); })
        .def("__str__", &discount_definition::to_string)
        .def("__repr__", [](const discount_definition& d) { return "discount_definition(" + quoted(d.to_string()) + ")"; });
    def_persistence<discount_definition>(definition);

    class_<data_id>(module, "data_id",
                    "An identifier of market data. Identifiers are equal when of the same class with equal\n"
                    "hashes, and ordered by their hashes; they serve as keys of dictionaries and of\n"
                    "any_container.")
        .def("__str__", [](data_id& id) { return id.to_string(); })
        .def("__hash__", [](const data_id& id) { return id.hash(); })
        .def_property_readonly("hash", &data_id::hash, "The identifier's 64-bit hash.")
        .def(py::self == py::self)
        .def(py::self != py::self)
        .def(py::self < py::self)
        .def(py::self <= py::self)
        .def(py::self > py::self)
        .def(py::self >= py::self);
    derived_class<market_data_id, data_id>(module, "market_data_id", "An identifier of a market object.");

    derived_class<discount_id, market_data_id> discount(module, "discount_id",
                                                        "Discounting data: a discount definition in a currency.");
    discount.def(py::init([](const std::string& id, const std::string& ccy_code) {
                     return std::make_shared<discount_id>(key(id), key(ccy_code));
                 }),
                 py::arg("id"), py::arg("ccy"))
        .def_property_readonly("id", [](const discount_id& d) { return d.id()->to_string(); })
        .def_property_readonly("ccy", [](const discount_id& d) { return d.ccy()->to_string(); })
        .def("__repr__", [](const discount_id& d) {
            return "discount_id(" + quoted(d.id()->to_string()) + ", " + quoted(d.ccy()->to_string()) + ")";
        });
    def_persistence<discount_id>(discount);

    derived_class<default_id, market_data_id> credit(
        module, "default_id",
        "A credit default reference: issuer name, currency, seniority, restructuring clause and\n"
        "ISDA definitions.");
    credit
        .def(py::init([](const std::string& name, const std::string& ccy_code, const std::string& seniority,
                         const std::string& restructuring, const std::string& isda) {
                 return std::make_shared<default_id>(key(name), key(ccy_code), key(seniority), key(restructuring),
                                                     key(isda));
             }),
             py::arg("name"), py::arg("ccy"), py::arg("seniority"), py::arg("restructuring"), py::arg("isda"))
        .def_property_readonly("name", [](const default_id& d) { return d.name().to_string(); })
        .def_property_readonly("ccy", [](const default_id& d) { return d.ccy()->to_string(); })
        .def_property_readonly("seniority", [](const default_id& d) { return d.seniority().to_string(); })
        .def_property_readonly("restructuring", [](const default_id& d) { return d.restructuring().to_string(); })
        .def_property_readonly("isda", [](const default_id& d) { return d.isda().to_string(); })
        .def("__repr__", [](const default_id& d) {
            return "default_id(" + quoted(d.name().to_string()) + ", " + quoted(d.ccy()->to_string()) + ", " +
                   quoted(d.seniority().to_string()) + ", " + quoted(d.restructuring().to_string()) + ", " +
                   quoted(d.isda().to_string()) + ")";
        });
    def_persistence<default_id>(credit);

    derived_class<fx_spot_id, market_data_id> fx(module, "fx_spot_id",
                                                 "A currency pair (domestic, foreign); the order matters.");
    fx.def(py::init([](const std::string& domestic, const std::string& foreign) {
               return std::make_shared<fx_spot_id>(key(domestic), key(foreign));
           }),
           py::arg("ccy_domestic"), py::arg("ccy_foreign"))
        .def_property_readonly("ccy_domestic", [](const fx_spot_id& f) { return f.ccy_domestic()->to_string(); })
        .def_property_readonly("ccy_foreign", [](const fx_spot_id& f) { return f.ccy_foreign()->to_string(); })
        .def("__repr__", [](const fx_spot_id& f) {
            return "fx_spot_id(" + quoted(f.ccy_domestic()->to_string()) + ", " + quoted(f.ccy_foreign()->to_string()) +
                   ")";
        });
    def_persistence<fx_spot_id>(fx);
}

}  // namespace korvex::python

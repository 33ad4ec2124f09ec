// korvexmodules.Market: the market objects of libMarket for Python.
#include <pybind11/pybind11.h>

#include "market_bindings.h"
#include "pybind/module_setup.h"

PYBIND11_MODULE(Market, module)
{
    module.doc() =
        "Market data: day count conventions and calendars, discount and survival curves, equity\n"
        "and FX spots, identifiers, the SABR model, interest-rate volatility surfaces and the\n"
        "any_container that maps identifiers to objects, with their JSON and binary files and\n"
        "pickling. Dates are datetime.date or datetime.datetime, numpy.datetime64 (scalars and\n"
        "arrays) or serial day numbers (days since 1899-12-30); queries take arrays of dates and\n"
        "broadcast them as numpy does. Errors of the library raise korvexmodules.Core.Error.";
    namespace kp = korvex::python;
    kp::prepare_module(module);
    kp::add_conventions(module);
    kp::add_curves(module);
    kp::add_identifiers(module);
    kp::add_volatility(module);
    kp::add_container(module);
}

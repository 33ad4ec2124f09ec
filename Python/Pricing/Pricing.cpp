// korvexmodules.Pricing: the pricers of libPricing for Python, on the market objects of
// korvexmodules.Market.
#include <pybind11/pybind11.h>

#include "pricing_bindings.h"
#include "pybind/module_setup.h"

PYBIND11_MODULE(Pricing, module)
{
    module.doc() =
        "Option pricing by finite differences: vanilla and barrier options (instruments), the\n"
        "market inputs on the spots and curves of korvexmodules.Market, and the pricers with their\n"
        "settings and results. Each pricer prices one instrument, or many in one call with the GIL\n"
        "released and the options shared among threads: a list of instruments (the *_batch form)\n"
        "or a table given by columns (the *_columns form), where an option that cannot be priced\n"
        "gets its error text and does not stop the others. Errors of the library raise\n"
        "korvexmodules.Core.Error.";
    namespace kp = korvex::python;
    kp::prepare_module(module);
    pybind11::module_::import("korvexmodules.Market");
    kp::add_instruments(module);
    kp::add_markets(module);
    kp::add_batch_result(module);
    kp::add_black_scholes(module);
    kp::add_black_scholes_columns(module);
    kp::add_heston(module);
}

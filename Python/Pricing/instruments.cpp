// The instruments: vanilla and barrier options, and the enumerations they are made of.
#include <optional>
#include <string>

#include <pybind11/pybind11.h>

#include "Pricing/instruments/barrier_option.h"
#include "Pricing/instruments/vanilla_option.h"
#include "pricing_bindings.h"
#include "pybind/dates.h"

namespace py = pybind11;

namespace korvex::python {
namespace {

using namespace korvex::pricing;

vanilla_option make_vanilla(py::handle type, double strike, py::handle expiry, py::handle exercise)
{
    const char* f = "vanilla_option";
    return vanilla_option{enum_from(type, f, "type", option_types), strike, date_from(expiry, f, "expiry"),
                          enum_from(exercise, f, "exercise", exercise_types)};
}

py::tuple vanilla_fields(const vanilla_option& o)
{
    return py::make_tuple(o.type, o.strike, o.expiry.as_float(), o.exercise);
}

std::string vanilla_text(const vanilla_option& o)
{
    return "type='" + std::string(name_of(o.type, option_types)) + "', strike=" + float_text(o.strike) +
           ", expiry=" + py::repr(date_object(o.expiry)).cast<std::string>() + ", exercise='" +
           name_of(o.exercise, exercise_types) + "'";
}

barrier_option make_barrier(const vanilla_option& option, py::handle direction, py::handle kind, double level,
                            double rebate, py::handle payment)
{
    const char* f = "barrier_option";
    return barrier_option{option, enum_from(direction, f, "direction", directions),
                          enum_from(kind, f, "kind", barrier_kinds), level, rebate,
                          enum_from(payment, f, "payment", payments)};
}

py::tuple barrier_fields(const barrier_option& b)
{
    return py::make_tuple(b.option, b.direction, b.kind, b.level, b.rebate, b.payment);
}

std::string barrier_text(const barrier_option& b)
{
    return "barrier_option(option=vanilla_option(" + vanilla_text(b.option) + "), direction='" +
           name_of(b.direction, directions) + "', kind='" + name_of(b.kind, barrier_kinds) +
           "', level=" + float_text(b.level) + ", rebate=" + float_text(b.rebate) + ", payment='" +
           name_of(b.payment, payments) + "')";
}

const std::initializer_list<std::pair<const char*, pde_scheme_type>> schemes{
    {"adi_hundsdorfer_verwer", adi_hundsdorfer_verwer},
    {"adi_douglas", adi_douglas},
    {"adi_craig_sneyd", adi_craig_sneyd},
    {"adi_modified_craig_sneyd", adi_modified_craig_sneyd},
    {"crank_nicolson", crank_nicolson},
    {"two_stage_l_stable", two_stage_l_stable},
    {"implicit_euler", implicit_euler}};

template <class T>
void add_enum(py::module_& module, const char* name, const char* doc,
              std::initializer_list<std::pair<const char*, T>> names)
{
    py::enum_<T> e(module, name, doc);
    for (const auto& [text, value] : names)
        e.value(text, value);
}

}  // namespace

instrument instrument_from(py::handle option, const char* function, const char* name)
{
    if (py::isinstance<vanilla_option>(option))
        return option.cast<vanilla_option>();
    if (py::isinstance<barrier_option>(option))
        return option.cast<barrier_option>();
    throw py::type_error(std::string(function) + "() argument '" + name +
                         "' must be a vanilla_option or a barrier_option, not " + Py_TYPE(option.ptr())->tp_name);
}

std::vector<instrument> instruments_from(py::handle options, const char* function)
{
    if (!py::isinstance<py::sequence>(options) || py::isinstance<py::str>(options))
        throw py::type_error(std::string(function) + "() argument 'options' must be a sequence of options, not " +
                             Py_TYPE(options.ptr())->tp_name);
    std::vector<instrument> all;
    all.reserve(py::len(options));
    for (py::handle option : options)
        all.push_back(instrument_from(option, function, "options"));
    return all;
}

pde_scheme_type scheme_from(py::handle value, const char* function)
{
    return enum_from(value, function, "scheme", schemes);
}

const char* scheme_name(pde_scheme_type scheme) { return name_of(scheme, schemes); }

std::optional<pde_scheme_type> optional_scheme_from(py::handle value, const char* function)
{
    if (value.is_none())
        return std::nullopt;
    return scheme_from(value, function);
}

py::object scheme_or_none(const std::optional<pde_scheme_type>& scheme)
{
    return scheme ? py::cast(*scheme) : py::none();
}

std::string scheme_text(const std::optional<pde_scheme_type>& scheme)
{
    return scheme ? "'" + std::string(scheme_name(*scheme)) + "'" : std::string("None");
}

void add_instruments(py::module_& module)
{
    add_enum(module, "pde_scheme_type",
             "The time-stepping schemes of the PDE engine: one-dimensional (crank_nicolson,\n"
             "two_stage_l_stable, implicit_euler) and alternating-direction (adi_*).",
             schemes);
    add_enum(module, "option_type", "A call or a put.", option_types);
    add_enum(module, "exercise_type", "European (at expiry) or American (at any time up to expiry) exercise.",
             exercise_types);
    add_enum(module, "barrier_direction", "Where the barrier lies: below (down) or above (up) the spot.", directions);
    add_enum(module, "barrier_kind", "Whether touching the barrier ends (knock_out) or starts (knock_in) the option.",
             barrier_kinds);
    add_enum(module, "rebate_payment", "When a rebate is paid: when the barrier is touched or at expiry.", payments);

    py::class_<vanilla_option>(module, "vanilla_option",
                               "A call or a put on the market's spot, exercised at expiry (european) or at any\n"
                               "time up to it (american). type, exercise: the enumeration or its name; expiry: a\n"
                               "date as korvexmodules.Market accepts it. The pricers check the values.")
        .def(py::init(&make_vanilla), py::arg("type"), py::arg("strike"), py::arg("expiry"),
             py::arg("exercise") = "european")
        .def_readonly("type", &vanilla_option::type)
        .def_readonly("strike", &vanilla_option::strike)
        .def_property_readonly(
            "expiry", [](const vanilla_option& o) { return date_object(o.expiry); }, "The expiry date.")
        .def_readonly("exercise", &vanilla_option::exercise)
        .def(pickled_by(&vanilla_fields, &make_vanilla, "vanilla_option"))
        .def("__repr__", [](const vanilla_option& o) { return "vanilla_option(" + vanilla_text(o) + ")"; });

    py::class_<barrier_option>(
        module, "barrier_option",
        "A vanilla option with one barrier monitored continuously up to expiry. A knock-out pays the\n"
        "option's payoff unless the spot touches level, then rebate (at_hit or at_expiry); a\n"
        "knock-in pays the payoff once the spot has touched level, else rebate at expiry.\n"
        "direction, kind, payment: the enumeration or its name.")
        .def(py::init(&make_barrier), py::arg("option"), py::arg("direction"), py::arg("kind"), py::arg("level"),
             py::arg("rebate") = 0.0, py::arg("payment") = "at_expiry")
        .def_readonly("option", &barrier_option::option)
        .def_readonly("direction", &barrier_option::direction)
        .def_readonly("kind", &barrier_option::kind)
        .def_readonly("level", &barrier_option::level)
        .def_readonly("rebate", &barrier_option::rebate)
        .def_readonly("payment", &barrier_option::payment)
        .def(pickled_by(&barrier_fields, &make_barrier, "barrier_option"))
        .def("__repr__", &barrier_text);
}

}  // namespace korvex::python

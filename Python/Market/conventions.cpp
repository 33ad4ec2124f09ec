// calendar and day_count_convention.
#include <pybind11/pybind11.h>

#include "market_bindings.h"
#include "util/calendar.h"

namespace py = pybind11;

namespace korvex::python {

void add_conventions(py::module_& module)
{
    class_<calendar>(module, "calendar",
                     "A business-day calendar: Saturdays and Sundays off (use_weekends) and a list of\n"
                     "holidays, whole days. It serves the years 1 to 9999.")
        .def(py::init([](py::handle holidays, bool use_weekends) {
                 return std::make_shared<calendar>(
                     use_weekends, holidays.is_none() ? std::vector<datetime>() : dates_from(holidays, "calendar", "holidays"));
             }),
             py::arg("holidays") = py::none(), py::arg("use_weekends") = true)
        .def_property_readonly("holidays", [](const calendar& c) { return datetime64_array(c.holidays()); },
                               "The holidays, sorted, as datetime64[us].")
        .def_property_readonly("use_weekends", &calendar::use_weekends)
        .def(
            "is_business_day",
            [](const calendar& c, py::handle date) { return c.is_business_day(date_from(date, "is_business_day", "date")); },
            py::arg("date"), "True when the date is neither a weekend day (with use_weekends) nor a holiday.")
        .def("__repr__", [](const calendar& c) {
            return "calendar(" + std::to_string(c.holidays().size()) +
                   " holidays, use_weekends=" + (c.use_weekends() ? "True" : "False") + ")";
        });

    class_<day_count_convention>(
        module, "day_count_convention",
        "A day count convention: ACT/365F (the default), ACT/360, 30/360 (US bond basis),\n"
        "ACT/ACT ISDA, or BUS/252 (the business days of the calendar, Monday to Friday\n"
        "without one). Wherever a convention is taken, its name may be given instead.")
        .def(py::init([](py::handle name, std::shared_ptr<calendar> holidays) {
                 return std::make_shared<day_count_convention>(day_count_from(name)->type(), holidays);
             }),
             py::arg("name") = "ACT/365F", py::arg("calendar") = nullptr)
        .def_property_readonly("name", [](const day_count_convention& c) { return day_count_name(c); })
        .def_property_readonly("calendar",
                               [](const day_count_convention& c) { return held(c.holiday_calendar()); })
        .def(
            "fraction",
            [](const day_count_convention& c, py::handle d1, py::handle d2) {
                if (d2.is_none())
                    throw py::type_error("fraction() argument 'd2' must be a date, not None");
                return date_query(datetime(), d1, d2, "fraction",
                                  [&c](const datetime& a, const datetime& b) { return c.fraction(a, b); });
            },
            py::arg("d1"), py::arg("d2"), "The signed year fraction from d1 to d2, element-wise.")
        .def("__repr__", [](const day_count_convention& c) {
            return std::string("day_count_convention('") + day_count_name(c) + "')";
        });
}

}  // namespace korvex::python

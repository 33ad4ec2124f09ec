#include "pybind/dates.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <utility>

#include <datetime.h>

namespace py = pybind11;

namespace korvex::python {
namespace {

// Serial number of 1970-01-01, the epoch of numpy.datetime64.
constexpr double unix_epoch_serial = 25569.0;
constexpr double microseconds_per_day = 86400e6;

void import_datetime_api()
{
    if (PyDateTimeAPI == nullptr) {
        PyDateTime_IMPORT;
        if (PyDateTimeAPI == nullptr)
            throw py::error_already_set();
    }
}

double serial_of_date_object(PyObject* object)
{
    double serial = static_cast<double>(datetime::serial_of(
        PyDateTime_GET_YEAR(object), PyDateTime_GET_MONTH(object), PyDateTime_GET_DAY(object)));
    if (PyDateTime_Check(object)) {
        const double seconds = PyDateTime_DATE_GET_HOUR(object) * 3600.0 + PyDateTime_DATE_GET_MINUTE(object) * 60.0 +
                               PyDateTime_DATE_GET_SECOND(object) + PyDateTime_DATE_GET_MICROSECOND(object) * 1e-6;
        serial += seconds / 86400.0;
    }
    return serial;
}

[[noreturn]] void refuse(py::handle object, const char* function, const char* name)
{
    throw py::type_error(std::string(function) + "() argument '" + name +
                         "' must be a date, a numpy.datetime64, a serial number or an array of them, not " +
                         Py_TYPE(object.ptr())->tp_name);
}

// The ticks of a datetime64 array per day, for the units of fixed length down to the
// nanosecond; 0 for the others (months and years are not of fixed length).
double ticks_per_day(const py::array& dates)
{
    const py::tuple unit = py::module_::import("numpy").attr("datetime_data")(dates.dtype());
    const auto name = unit[0].cast<std::string>();
    const double count = unit[1].cast<double>();
    static const std::pair<const char*, double> units[] = {{"W", 1.0 / 7}, {"D", 1.0},     {"h", 24.0},
                                                           {"m", 1440.0},  {"s", 86400.0}, {"ms", 86.4e6},
                                                           {"us", 86.4e9}, {"ns", 86.4e12}};
    for (const auto& [text, ticks] : units)
        if (name == text)
            return ticks / count;
    return 0.0;
}

// A numpy datetime64 array as serial numbers, read straight from its ticks when its unit has a
// fixed length, otherwise through microseconds.
py::array_t<double> serials_of_datetime64(const py::array& dates)
{
    double per_day = ticks_per_day(dates);
    py::array ticks = dates;
    if (per_day == 0.0) {
        ticks = dates.attr("astype")("datetime64[us]");
        per_day = microseconds_per_day;
    }
    const auto values = py::array_t<std::int64_t, py::array::c_style | py::array::forcecast>::ensure(
        ticks.attr("view")("int64"));
    py::array_t<double> serials(std::vector<py::ssize_t>(dates.shape(), dates.shape() + dates.ndim()));
    const std::int64_t* in = values.data();
    double* out = serials.mutable_data();
    for (py::ssize_t i = 0; i < serials.size(); ++i)
        out[i] = in[i] == std::numeric_limits<std::int64_t>::min()
                     ? std::numeric_limits<double>::quiet_NaN()
                     : unix_epoch_serial + static_cast<double>(in[i]) / per_day;
    return serials;
}

// An array of Python objects (dates, numbers), element by element.
py::array_t<double> serials_of_objects(const py::array& objects, const char* function, const char* name)
{
    const py::array flat = objects.attr("ravel")();
    py::array_t<double> serials(std::vector<py::ssize_t>(objects.shape(), objects.shape() + objects.ndim()));
    double* out = serials.mutable_data();
    for (py::ssize_t i = 0; i < serials.size(); ++i)
        out[i] = date_from(flat[py::int_(i)], function, name).as_float();
    return serials;
}

}  // namespace

operand date_operand(py::handle object, const char* function, const char* name)
{
    import_datetime_api();
    PyObject* p = object.ptr();
    if (PyDate_Check(p))
        return scalar_operand(serial_of_date_object(p));
    if (PyBool_Check(p))
        refuse(object, function, name);
    if (PyFloat_Check(p) || PyLong_Check(p))
        return number_operand(object, function, name);
    const py::array any = py::array::ensure(object);
    if (!any)
        refuse(object, function, name);
    switch (any.dtype().kind()) {
    case 'M':
        return array_operand(serials_of_datetime64(any));
    case 'f':
    case 'i':
    case 'u':
        return array_operand(any);
    case 'O':
        return array_operand(serials_of_objects(any, function, name));
    default:
        refuse(object, function, name);
    }
}

datetime date_from(py::handle object, const char* function, const char* name)
{
    const operand date = date_operand(object, function, name);
    if (!date.is_scalar() && date.values().ndim() != 0)
        throw py::type_error(std::string(function) + "() argument '" + name + "' must be one date, not an array");
    return datetime(*date.data());
}

std::vector<datetime> dates_from(py::handle object, const char* function, const char* name)
{
    const operand dates = date_operand(object, function, name);
    if (dates.is_scalar() || dates.values().ndim() != 1)
        throw py::type_error(std::string(function) + "() argument '" + name +
                             "' must be a one-dimensional array or sequence of dates");
    const double* serials = dates.data();
    return std::vector<datetime>(serials, serials + dates.values().size());
}

py::object date_object(const datetime& date)
{
    import_datetime_api();
    const double serial = date.as_float();
    if (!date.is_in_calendar_range())
        return py::float_(serial);
    const double day = std::floor(serial);
    const auto microseconds = static_cast<long long>(std::llround((serial - day) * microseconds_per_day));
    const datetime midnight(day);
    PyObject* made = nullptr;
    if (microseconds == 0)
        made = PyDate_FromDate(midnight.year(), midnight.month(), midnight.day());
    else if (microseconds >= static_cast<long long>(microseconds_per_day))
        return date_object(datetime(day + 1.0));
    else
        made = PyDateTime_FromDateAndTime(midnight.year(), midnight.month(), midnight.day(),
                                          static_cast<int>(microseconds / 3600'000'000),
                                          static_cast<int>(microseconds / 60'000'000 % 60),
                                          static_cast<int>(microseconds / 1'000'000 % 60),
                                          static_cast<int>(microseconds % 1'000'000));
    if (made == nullptr)
        throw py::error_already_set();
    return py::reinterpret_steal<py::object>(made);
}

py::array datetime64_array(const std::vector<datetime>& dates)
{
    py::array_t<std::int64_t> microseconds(static_cast<py::ssize_t>(dates.size()));
    std::int64_t* out = microseconds.mutable_data();
    for (std::size_t i = 0; i < dates.size(); ++i) {
        const double offset = (dates[i].as_float() - unix_epoch_serial) * microseconds_per_day;
        out[i] = std::isfinite(offset) && std::fabs(offset) < 9e18 ? std::llround(offset)
                                                                    : std::numeric_limits<std::int64_t>::min();
    }
    return microseconds.attr("view")("datetime64[us]");
}

}  // namespace korvex::python

#pragma once

#include <cstddef>
#include <vector>

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include "pybind/broadcast.h"
#include "util/datetime.h"

namespace korvex::python {

// Dates from Python, as korvex serial day numbers (days since 1899-12-30, the fraction the
// time of day):
//  - datetime.date and datetime.datetime (pandas.Timestamp too): the day, plus the time of
//    day as written (a time zone, if any, is not applied);
//  - numpy.datetime64 scalars and arrays of any unit (pandas DatetimeIndex and Series turn
//    into those); NaT gives NaN;
//  - numbers and numeric arrays (a vector_IdE too): serial numbers as they are;
//  - sequences of any of these (a list of datetime.date).
// Anything else raises TypeError naming the argument: "<function>() argument '<name>' must
// be a date, a numpy.datetime64, a serial number or an array of them, not <type>".
operand date_operand(pybind11::handle object, const char* function, const char* name);

// One date, the scalar case of date_operand (an array of one element is refused).
datetime date_from(pybind11::handle object, const char* function, const char* name);

// A list of dates: one-dimensional, as date_operand reads it.
std::vector<datetime> dates_from(pybind11::handle object, const char* function, const char* name);

// A serial day number for Python: a datetime.date for a whole day, a datetime.datetime
// (to the microsecond) with a time of day, the float itself outside the years 1 to 9999 or
// when not finite (the +inf valuation date of an object read from a null record).
pybind11::object date_object(const datetime& date);

// Serial day numbers as a numpy datetime64[us] array (NaT for non-finite ones).
pybind11::array datetime64_array(const std::vector<datetime>& dates);

}  // namespace korvex::python

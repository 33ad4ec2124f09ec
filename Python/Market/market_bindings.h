#pragma once

// What the files of korvexmodules.Market share.
//
// Market objects are immutable: the library hands them out as std::shared_ptr<const T> and
// Python holds them as std::shared_ptr<T> (pybind11 holders cannot be const), through which
// only const members are ever called.

#include <algorithm>
#include <array>
#include <memory>
#include <span>
#include <string>

#include <pybind11/pybind11.h>

#include "pybind/broadcast.h"
#include "pybind/dates.h"
#include "util/datetime.h"
#include "util/day_count_convention.h"

namespace korvex::python {

template <class T>
using class_ = pybind11::class_<T, std::shared_ptr<T>>;
template <class T, class Base>
using derived_class = pybind11::class_<T, Base, std::shared_ptr<T>>;

template <class T>
std::shared_ptr<T> held(std::shared_ptr<const T> object)
{
    return std::const_pointer_cast<T>(std::move(object));
}

// A file path: a str or an os.PathLike naming one.
std::string path_text(pybind11::handle path);

// A day count convention: a day_count_convention object, a name ("ACT/365F", "ACT/360",
// "30/360", "ACT/ACT ISDA", "BUS/252", or act_365_fixed, act_360, thirty_360, act_act_isda,
// business_252; case ignored) or the convention's number. ValueError for another name.
std::shared_ptr<const day_count_convention> day_count_from(pybind11::handle convention);
// The convention's name, "ACT/365F" and so on.
const char* day_count_name(const day_count_convention& convention);

// repr of a float, as Python writes it.
std::string number_text(double value);

// query(d1, d2) element-wise over two arguments of dates, broadcast; without d2, from
// `from` (the valuation date) to d1.
template <class Query>
pybind11::object date_query(const datetime& from, pybind11::handle d1, pybind11::handle d2, const char* name,
                            Query query)
{
    std::array<operand, 2> dates;
    if (d2.is_none()) {
        dates = {scalar_operand(from.as_float()), date_operand(d1, name, "d1")};
    } else {
        dates = {date_operand(d1, name, "d1"), date_operand(d2, name, "d2")};
    }
    return broadcast(dates, name, [&query](const std::array<double, 2>& x) {
        return query(datetime(x[0]), datetime(x[1]));
    });
}

// date_query(from, d1, d2, name, query), except that an array d1 without d2 goes to
// batch(dates, out), the object's own query over many dates from the valuation date, in
// blocks of dates copied from the array (chunks over the cores for long arrays).
template <class Query, class Batch>
pybind11::object date_query(const datetime& from, pybind11::handle d1, pybind11::handle d2, const char* name,
                            Query query, Batch batch)
{
    if (!d2.is_none())
        return date_query(from, d1, d2, name, query);
    const operand dates = date_operand(d1, name, "d1");
    if (dates.is_scalar())
        return pybind11::float_(query(from, datetime(dates.value)));
    const pybind11::array& serials = dates.values();
    pybind11::array_t<double> result(std::vector<pybind11::ssize_t>(serials.shape(), serials.shape() + serials.ndim()));
    const double* in = dates.data();
    double* out = result.mutable_data();
    const auto work = [&](std::size_t begin, std::size_t end) {
        constexpr std::size_t block = 512;
        std::array<datetime, block> chunk;
        for (std::size_t i = begin; i < end; i += block) {
            const std::size_t count = std::min(block, end - i);
            for (std::size_t k = 0; k < count; ++k)
                chunk[k] = in[i + k];
            batch(std::span<const datetime>(chunk.data(), count), std::span<double>(out + i, count));
        }
    };
    const auto n = static_cast<std::size_t>(result.size());
    if (n < gil_release_size) {
        work(0, n);
    } else {
        pybind11::gil_scoped_release unlocked;
        run_chunks(n, work);
    }
    return result;
}

void add_conventions(pybind11::module_& module);
void add_curves(pybind11::module_& module);
void add_identifiers(pybind11::module_& module);
void add_volatility(pybind11::module_& module);
void add_container(pybind11::module_& module);

}  // namespace korvex::python

#include "util/surface_term_structure.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "core/check_fail.h"

namespace korvex {

namespace {

constexpr const char* source_file = "Foundation/util/surface_term_structure";

void check_axis(const std::vector<datetime>& axis, const char* name)
{
    if (axis.empty())
        details::check_fail("check_axis", source_file, __LINE__,
                            details::concat("The surface axis ", name, " has no dates"));
    for (std::size_t k = 0; k < axis.size(); ++k) {
        if (!std::isfinite(axis[k].as_float()))
            details::check_fail("check_axis", source_file, __LINE__,
                                details::concat("The surface axis ", name, " holds the date ",
                                                axis[k].as_float(), " at position ", k,
                                                ", which is not finite"));
        if (k > 0 && !(axis[k - 1] < axis[k]))
            details::check_fail("check_axis", source_file, __LINE__,
                                details::concat("The surface axis ", name,
                                                " is not strictly ascending at position ", k));
    }
}

// The cell of an axis holding d: the last position k with axis[k] <= d (0 before the
// first date) and the weight of axis[k + 1] in [0, 1), which is 0 on a date of the axis
// and outside the axis.
struct cell
{
    std::size_t k;
    double weight;
};

cell locate(const std::vector<datetime>& axis, const datetime& d)
{
    const auto above = std::upper_bound(axis.begin(), axis.end(), d);
    if (above == axis.begin())
        return {0, 0.0};
    if (above == axis.end())
        return {axis.size() - 1, 0.0};
    const std::size_t k = static_cast<std::size_t>(above - axis.begin()) - 1;
    return {k, (d - axis[k]) / (axis[k + 1] - axis[k])};
}

// a + w (b - a): exactly a when w is 0 or when a equals b.
double between(double a, double b, double w) { return w == 0.0 ? a : a + w * (b - a); }

}  // namespace

surface_term_structure::surface_term_structure(std::vector<datetime> x, std::vector<datetime> y,
                                               matrix<double> z)
    : x_(std::move(x)), y_(std::move(y)), z_(std::move(z))
{
    initialize();
}

void surface_term_structure::initialize() const
{
    check_axis(x_, "x");
    check_axis(y_, "y");
    if (z_.rows() != x_.size() || z_.columns() != y_.size())
        details::check_fail("initialize", source_file, __LINE__,
                            details::concat("The surface has ", x_.size(), " x dates and ", y_.size(),
                                            " y dates but a ", z_.rows(), " x ", z_.columns(),
                                            " matrix of values"));
    for (std::size_t i = 0; i < z_.size(); ++i)
        if (!std::isfinite(z_[i]))
            details::check_fail("initialize", source_file, __LINE__,
                                details::concat("The surface value ", z_[i], " at row ", i / z_.columns(),
                                                ", column ", i % z_.columns(), " is not finite"));
}

double surface_term_structure::at(const datetime& d1, const datetime& d2) const
{
    if (x_.empty() || y_.empty())
        details::check_fail("at", source_file, __LINE__, "The surface has no values");
    if (std::isnan(d1.as_float()) || std::isnan(d2.as_float()))
        details::check_fail("at", source_file, __LINE__,
                            details::concat("The surface cannot be read at the dates ", d1.as_float(),
                                            " and ", d2.as_float()));
    const cell row = locate(x_, d1);
    const cell column = locate(y_, d2);
    const std::size_t next_row = row.weight == 0.0 ? row.k : row.k + 1;
    const std::size_t next_column = column.weight == 0.0 ? column.k : column.k + 1;
    const double lower = between(z_(row.k, column.k), z_(row.k, next_column), column.weight);
    const double upper = between(z_(next_row, column.k), z_(next_row, next_column), column.weight);
    return between(lower, upper, row.weight);
}

}  // namespace korvex

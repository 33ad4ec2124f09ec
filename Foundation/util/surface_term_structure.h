#pragma once

#include <cstddef>
#include <vector>

#include "Vectorization/expressions/matrix.h"
#include "util/datetime.h"
#include "util/util_export.h"

namespace korvex {

namespace details {
struct serialization_access;
struct surface_term_structure_record;
}  // namespace details

// Values over pairs of dates: z(i, j) belongs to the pair (x[i], y[j]), so z has one row
// per date of x and one column per date of y.
//
// at(d1, d2) interpolates bilinearly between the four surrounding points and is flat
// outside the axes (a date before the first or after the last date of an axis takes
// that end's value). On a grid point it returns the stored value exactly, and a surface
// whose values are all equal returns that value exactly everywhere.
//
// The constructor and initialize() refuse with Error an axis that is empty, holds a date
// that is not finite or is not strictly ascending, a matrix whose shape differs from the
// axes, and a value that is not finite. at() refuses a NaN date.
class KORVEX_UTIL_API surface_term_structure
{
public:
    surface_term_structure(std::vector<datetime> x, std::vector<datetime> y, matrix<double> z);

    double at(const datetime& d1, const datetime& d2) const;

    const std::vector<datetime>& x() const noexcept { return x_; }
    const std::vector<datetime>& y() const noexcept { return y_; }
    const matrix<double>& z() const noexcept { return z_; }

private:
    friend struct details::serialization_access;
    friend struct details::surface_term_structure_record;

    // Empty axes: the state a reader starts from.
    surface_term_structure() = default;
    void initialize() const;

    std::vector<datetime> x_;
    std::vector<datetime> y_;
    matrix<double> z_;
};

}  // namespace korvex

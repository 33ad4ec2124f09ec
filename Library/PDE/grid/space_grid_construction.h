#pragma once

#include <cstddef>
#include <vector>

#include "PDE/pde_export.h"

// Building blocks of the concentrated space grid, shared with its tests.
namespace korvex::details {

// Appends m - 1 points from x0 (m >= 5) whose spacings follow a quadratic profile of total
// length `length`, continuing a spacing h1 before x0 and h2 after the last point. With
// h1 = h2 = h and length = gap + 2h the points run from x0 to x0 + gap.
KORVEX_PDE_API void append_graded_fill(std::vector<double>& axis, std::size_t m, double h1,
                                       double h2, double length, double x0);

// Twenty smoothing passes over a tail whose refined zone lies to its right (left tail) or to
// its left (right tail). Each pass replaces every spacing by the mean of itself and its
// neighbour toward the zone, the spacing next to the zone by the mean of itself and
// `target`, and rescales so that the tail keeps its length; both end points stay fixed.
KORVEX_PDE_API void relax_left_tail(std::vector<double>& x, double target);
KORVEX_PDE_API void relax_right_tail(std::vector<double>& x, double target);

}  // namespace korvex::details

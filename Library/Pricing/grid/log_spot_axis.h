#pragma once

#include <cstddef>
#include <vector>

namespace korvex::pricing::details {

// `n` (at least 2) ascending nodes from `lower` to `upper`, both ends exact, placed by the map
//     x(u) = centre + width * sinh(a + (b - a) u),  u = j / (n - 1),
// a = asinh((lower - centre) / width), b = asinh((upper - centre) / width) (Tavella and
// Randall, "Pricing Financial Instruments: The Finite Difference Method", 2000): the spacing
// is smallest at `centre` (clamped into the ends) and grows about linearly with the
// distance once that exceeds `width`. The map is smooth, so stencils keep their order.
std::vector<double> concentrated_axis(std::size_t n, double lower, double upper, double centre, double width);

}  // namespace korvex::pricing::details

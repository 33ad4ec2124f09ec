#pragma once

#include <cstddef>
#include <vector>

namespace korvex::details {

// The tabulated Gauss-Hermite rule of n points (1 <= n <= 32), nodes increasing: fills
// nodes and weights and returns true, or returns false for other sizes.
bool tabulated_gauss_hermite_rule(std::size_t n, std::vector<double>& nodes,
                                  std::vector<double>& weights);

}  // namespace korvex::details

#pragma once

#include <array>
#include <cstddef>
#include <vector>

namespace korvex::pricing::details {

// The weights that give the value and the first and second derivatives at z of the quartic
// through the values at the five consecutive nodes x[first] ... x[first + 4] nearest z
// (Fornberg, "Calculation of weights in finite difference formulas", SIAM Review 40, 1998).
// The axis holds at least five ascending nodes; z may lie anywhere, usually between them.
struct five_point_weights
{
    std::size_t first = 0;
    std::array<double, 5> value{};
    std::array<double, 5> first_derivative{};
    std::array<double, 5> second_derivative{};

    static five_point_weights at(const std::vector<double>& x, double z);

    // The weighted sums over u[first] ... u[first + 4].
    double apply(const std::array<double, 5>& weights, const double* u) const noexcept
    {
        double sum = 0.0;
        for (std::size_t j = 0; j < 5; ++j)
            sum += weights[j] * u[first + j];
        return sum;
    }
};

}  // namespace korvex::pricing::details

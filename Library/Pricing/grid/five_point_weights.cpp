#include "Pricing/grid/five_point_weights.h"

#include <algorithm>

#include "math/finite_difference.h"

namespace korvex::pricing::details {

five_point_weights five_point_weights::at(const std::vector<double>& x, double z)
{
    constexpr std::size_t points = 5;
    // The nearest node, then the window of five around it, kept inside the axis.
    const std::size_t above = static_cast<std::size_t>(std::lower_bound(x.begin(), x.end(), z) - x.begin());
    std::size_t nearest = std::min(above, x.size() - 1);
    if (nearest > 0 && z - x[nearest - 1] < x[nearest] - z)
        --nearest;
    five_point_weights w;
    w.first = std::min(nearest >= 2 ? nearest - 2 : 0, x.size() - points);

    double c[points][3];
    finite_difference::interpolation_weights(z, x.data() + w.first, points, c);
    for (std::size_t j = 0; j < points; ++j) {
        w.value[j] = c[j][0];
        w.first_derivative[j] = c[j][1];
        w.second_derivative[j] = c[j][2];
    }
    return w;
}

}  // namespace korvex::pricing::details

#include "Pricing/grid/five_point_weights.h"

#include <algorithm>

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
    const double* p = x.data() + w.first;

    // Fornberg's recursion: c[j][m] weighs the value at p[j] in the m-th derivative.
    double c[points][3] = {};
    c[0][0] = 1.0;
    double c1 = 1.0;
    double c4 = p[0] - z;
    for (std::size_t i = 1; i < points; ++i) {
        const std::size_t orders = std::min<std::size_t>(i, 2);
        double c2 = 1.0;
        const double c5 = c4;
        c4 = p[i] - z;
        for (std::size_t j = 0; j < i; ++j) {
            const double c3 = p[i] - p[j];
            c2 *= c3;
            if (j == i - 1) {
                for (std::size_t m = orders; m >= 1; --m)
                    c[i][m] = c1 * (static_cast<double>(m) * c[i - 1][m - 1] - c5 * c[i - 1][m]) / c2;
                c[i][0] = -c1 * c5 * c[i - 1][0] / c2;
            }
            for (std::size_t m = orders; m >= 1; --m)
                c[j][m] = (c4 * c[j][m] - static_cast<double>(m) * c[j][m - 1]) / c3;
            c[j][0] = c4 * c[j][0] / c3;
        }
        c1 = c2;
    }
    for (std::size_t j = 0; j < points; ++j) {
        w.value[j] = c[j][0];
        w.first_derivative[j] = c[j][1];
        w.second_derivative[j] = c[j][2];
    }
    return w;
}

}  // namespace korvex::pricing::details

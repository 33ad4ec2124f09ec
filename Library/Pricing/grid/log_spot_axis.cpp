#include "Pricing/grid/log_spot_axis.h"

#include <algorithm>
#include <cmath>

namespace korvex::pricing::details {

std::vector<double> concentrated_axis(std::size_t n, double lower, double upper, double centre, double width)
{
    centre = std::clamp(centre, lower, upper);
    const double a = std::asinh((lower - centre) / width);
    const double b = std::asinh((upper - centre) / width);
    const double last = static_cast<double>(n - 1);
    std::vector<double> x(n);
    for (std::size_t j = 0; j < n; ++j)
        x[j] = centre + width * std::sinh(a + (b - a) * (static_cast<double>(j) / last));
    x.front() = lower;
    x.back() = upper;
    return x;
}

}  // namespace korvex::pricing::details

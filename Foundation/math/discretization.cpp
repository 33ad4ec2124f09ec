#include "math/discretization.h"

namespace korvex {

void discretization::uniform(double* out, std::size_t count, double a, double b, double /*middle*/)
{
    if (count == 0)
        return;
    const std::size_t last = count - 1;
    const double step = last == 0 ? 0.0 : (b - a) / static_cast<double>(last);
    for (std::size_t k = 0; k <= last; ++k)
        out[k] = 2 * k <= last ? a + static_cast<double>(k) * step
                               : b - static_cast<double>(last - k) * step;
}

}  // namespace korvex

#include "Pricing/grid/smoothed_payoff.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>

namespace korvex::pricing::details {

namespace {

constexpr double support = 3.0;  // the kernel vanishes outside [-3, 3]

// Six-point Gauss-Legendre rule on [-1, 1].
constexpr std::array<double, 6> gauss_points{-0.9324695142031521, -0.6612093864662645, -0.2386191860831969,
                                             0.2386191860831969,  0.6612093864662645,  0.9324695142031521};
constexpr std::array<double, 6> gauss_weights{0.1713244923791704, 0.3607615730481386, 0.4679139345726910,
                                              0.4679139345726910, 0.3607615730481386, 0.1713244923791704};

// The centred cubic B-spline (support [-2, 2], unit mass).
double cubic_b_spline(double s)
{
    s = std::fabs(s);
    if (s >= 2.0)
        return 0.0;
    if (s >= 1.0)
        return (2.0 - s) * (2.0 - s) * (2.0 - s) / 6.0;
    return (4.0 - 6.0 * s * s + 3.0 * s * s * s) / 6.0;
}

double kreiss_kernel(double s)
{
    return 4.0 / 3.0 * cubic_b_spline(s) - (cubic_b_spline(s - 1.0) + cubic_b_spline(s + 1.0)) / 6.0;
}

double payoff(double x, double strike, double sign)
{
    return std::max(sign * (std::exp(x) - strike), 0.0);
}

// The integral of payoff(centre + h s) K(s) over s in [a, b].
double piece(double a, double b, double centre, double h, double strike, double sign)
{
    const double half = 0.5 * (b - a);
    const double middle = 0.5 * (a + b);
    double sum = 0.0;
    for (std::size_t i = 0; i < gauss_points.size(); ++i) {
        const double s = middle + half * gauss_points[i];
        sum += gauss_weights[i] * payoff(centre + h * s, strike, sign) * kreiss_kernel(s);
    }
    return half * sum;
}

double smoothed_value(double centre, double h, double strike, double sign)
{
    const double kink = (std::log(strike) - centre) / h;
    double total = 0.0;
    for (double knot = -support; knot < support; knot += 1.0) {
        const double end = knot + 1.0;
        if (kink > knot && kink < end)
            total += piece(knot, kink, centre, h, strike, sign) + piece(kink, end, centre, h, strike, sign);
        else
            total += piece(knot, end, centre, h, strike, sign);
    }
    return total;
}

// The local spacing at node k: the mean of its two gaps, the one gap at an end.
double local_spacing(const std::vector<double>& x, std::size_t k)
{
    const std::size_t n = x.size();
    if (n < 2)
        return 0.0;
    if (k == 0)
        return x[1] - x[0];
    if (k == n - 1)
        return x[n - 1] - x[n - 2];
    return 0.5 * (x[k + 1] - x[k - 1]);
}

}  // namespace

std::vector<double> smoothed_payoff(const std::vector<double>& x, double strike, double sign)
{
    const std::size_t n = x.size();
    const double kink = std::log(strike);
    std::vector<double> values(n);
    for (std::size_t k = 0; k < n; ++k) {
        const double h = local_spacing(x, k);
        const bool near_kink = h > 0.0 && kink > x.front() && kink < x.back() && std::fabs(x[k] - kink) < support * h;
        values[k] = near_kink ? smoothed_value(x[k], h, strike, sign) : payoff(x[k], strike, sign);
    }
    return values;
}

}  // namespace korvex::pricing::details

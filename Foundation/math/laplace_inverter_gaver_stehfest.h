#pragma once

#include <cmath>
#include <cstddef>
#include <numbers>
#include <vector>

#include "math/math_export.h"

namespace korvex {

// Gaver-Stehfest inversion of a Laplace transform F(s) = integral_0^inf e^{-st} f(t) dt from
// its values on the real axis (Stehfest 1970):
//   f(t) ~ e^{a t} (ln 2 / t) sum_{k=1}^{N} V_k F(k ln 2 / t + a),
//   V_k = (-1)^{k + N/2} sum_{j = floor((k+1)/2)}^{min(k, N/2)}
//           j^{N/2} (2j)! / ((N/2 - j)! j! (j - 1)! (k - j)! (2j - k)!),
// N = `size` (even) and a = `shift`: for f(t) = e^{a t} g(t), G(s) = F(s + a) is inverted
// and multiplied back, so a transform whose original grows like e^{a t} is inverted through
// a decaying one.
//
// Accuracy in double precision: the weights grow like 10^{N/2} with alternating signs, so
// rounding and truncation balance near N = 14 to 16. Measured relative errors at N = 14
// (N = 16): 3e-9 (6e-8) for 1/s, 4e-7 (4e-8) for 1/s^2 at t = 2, and for 1/(s + a), whose
// original decays, 2.6e-6 (2.1e-7) at a t = 1 and 7.5e-5 (1.1e-5) at a t = 2. Faster decay
// or oscillation fares worse (7e-3 (2e-3) for 1/(s + 1) at t = 5, where f = e^{-5}); sizes
// above about 20 only add rounding noise.
//
// The weights are summed from positive terms in long double and rounded once. An odd or zero
// size, or one above `max_size` (where the weights approach 1e270), and a non-finite shift
// raise Error.
class KORVEX_MATH_API laplace_inverter_gaver_stehfest
{
public:
    static constexpr std::size_t max_size = 400;

    laplace_inverter_gaver_stehfest(std::size_t size, double shift);

    // f(t) for the transform F, any callable double(double); t must be positive and finite.
    template <class Transform>
    double invert(const Transform& transform, double t) const
    {
        check_time(t);
        const double step = std::numbers::ln2 / t;
        double sum = 0.0;
        for (std::size_t k = 0; k < weights_.size(); ++k)
            sum += weights_[k] * transform(static_cast<double>(k + 1) * step + shift_);
        return std::exp(shift_ * t) * step * sum;
    }

    double shift() const noexcept { return shift_; }
    // V_1 ... V_N.
    const std::vector<double>& weights() const noexcept { return weights_; }

    bool operator==(const laplace_inverter_gaver_stehfest&) const = default;

private:
    static void check_time(double t);

    double shift_;
    std::vector<double> weights_;
};

}  // namespace korvex

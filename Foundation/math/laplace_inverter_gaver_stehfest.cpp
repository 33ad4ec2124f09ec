#include "math/laplace_inverter_gaver_stehfest.h"

#include <algorithm>

#include "core/check_fail.h"

namespace korvex {
namespace {

constexpr const char* source_file = "Foundation/math/laplace_inverter_gaver_stehfest";

constexpr SourceLocation here(const char* function, int line)
{
    return {function, source_file, line};
}

// V_1 ... V_N; every term of the inner sum is positive, so long double keeps about 18 digits.
std::vector<double> stehfest_weights(std::size_t size)
{
    const std::size_t half = size / 2;
    std::vector<long double> factorial(size + 1, 1.0L);
    for (std::size_t i = 1; i <= size; ++i)
        factorial[i] = factorial[i - 1] * static_cast<long double>(i);
    std::vector<double> weights(size);
    for (std::size_t k = 1; k <= size; ++k) {
        long double sum = 0.0L;
        for (std::size_t j = (k + 1) / 2; j <= std::min(k, half); ++j) {
            const long double power = std::pow(static_cast<long double>(j), half);
            sum += power * factorial[2 * j] /
                   (factorial[half - j] * factorial[j] * factorial[j - 1] * factorial[k - j] *
                    factorial[2 * j - k]);
        }
        weights[k - 1] = static_cast<double>((k + half) % 2 == 0 ? sum : -sum);
    }
    return weights;
}

}  // namespace

laplace_inverter_gaver_stehfest::laplace_inverter_gaver_stehfest(std::size_t size, double shift)
    : shift_(shift)
{
    KORVEX_CHECK_MSG(here("laplace_inverter_gaver_stehfest", __LINE__),
                     size > 0 && size % 2 == 0 && size <= max_size, "size = ", size);
    KORVEX_CHECK_MSG(here("laplace_inverter_gaver_stehfest", __LINE__), std::isfinite(shift),
                     "shift = ", shift);
    weights_ = stehfest_weights(size);
}

void laplace_inverter_gaver_stehfest::check_time(double t)
{
    KORVEX_CHECK_MSG(here("check_time", __LINE__), t > 0.0 && std::isfinite(t), "t = ", t);
}

}  // namespace korvex

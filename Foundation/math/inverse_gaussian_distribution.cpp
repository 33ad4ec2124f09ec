#include "math/inverse_gaussian_distribution.h"

#include <cmath>
#include <numbers>

#include "core/check_fail.h"
#include "math/error_function.h"
#include "math/exponential_of_square.h"

namespace korvex {
namespace {

constexpr const char* source_file = "Foundation/math/inverse_gaussian_distribution";

constexpr SourceLocation here(const char* function, int line)
{
    return {function, source_file, line};
}

bool positive_and_finite(double lambda) { return lambda > 0.0 && std::isfinite(lambda); }

}  // namespace

double inverse_gaussian_distribution::density(double x, double lambda)
{
    KORVEX_CHECK_MSG(here("density", __LINE__), positive_and_finite(lambda), "lambda = ", lambda);
    if (!(x > 0.0) || std::isinf(x))
        return std::isnan(x) ? x : 0.0;
    const double u_minus = std::sqrt(lambda / (2.0 * x)) * (x - 1.0);
    const double exponential = details::exponential_of_square(u_minus, -1.0);
    if (exponential == 0.0)  // also where the power of x alone would overflow
        return 0.0;
    return std::sqrt(lambda / (2.0 * std::numbers::pi * x)) * exponential / x;
}

double inverse_gaussian_distribution::cumulative(double x, double lambda)
{
    KORVEX_CHECK_MSG(here("cumulative", __LINE__), positive_and_finite(lambda),
                     "lambda = ", lambda);
    if (!(x > 0.0) || std::isinf(x))
        return std::isnan(x) ? x : (x > 0.0 ? 1.0 : 0.0);
    const double u = std::sqrt(lambda / (2.0 * x));
    const double u_minus = u * (x - 1.0);
    const double u_plus = u * (x + 1.0);
    const double scale = 0.5 * details::exponential_of_square(u_minus, -1.0);
    if (x < 1.0)
        return scale * (error_function::erfcx(-u_minus) + error_function::erfcx(u_plus));
    return 1.0 - scale * (error_function::erfcx(u_minus) - error_function::erfcx(u_plus));
}

}  // namespace korvex

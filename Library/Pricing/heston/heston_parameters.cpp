#include "Pricing/heston/heston_parameters.h"

#include <cmath>

#include "Pricing/number_text.h"
#include "core/check_fail.h"

namespace korvex::pricing {

namespace {

constexpr const char* source = "Library/Pricing/heston/heston_parameters";

bool non_negative_finite(double value) noexcept
{
    return std::isfinite(value) && value >= 0.0;
}

}  // namespace

heston_parameters::heston_parameters(double v0, double kappa, double eta, double sigma, double rho)
    : v0_(v0), kappa_(kappa), eta_(eta), sigma_(sigma), rho_(rho)
{
    using korvex::details::check_fail;
    using korvex::details::concat;
    using details::number_text;
    if (!non_negative_finite(v0_))
        check_fail({"heston_parameters", source, __LINE__},
                   concat("the initial variance v0 must be non-negative and finite, got ", number_text(v0_)));
    if (!non_negative_finite(kappa_))
        check_fail({"heston_parameters", source, __LINE__},
                   concat("the mean reversion speed kappa must be non-negative and finite, got ", number_text(kappa_)));
    if (!non_negative_finite(eta_))
        check_fail({"heston_parameters", source, __LINE__},
                   concat("the long-run variance eta must be non-negative and finite, got ", number_text(eta_)));
    if (!(std::isfinite(sigma_) && sigma_ > 0.0))
        check_fail({"heston_parameters", source, __LINE__},
                   concat("the volatility of variance sigma must be positive and finite, got ", number_text(sigma_)));
    if (!(std::fabs(rho_) < 1.0))
        check_fail({"heston_parameters", source, __LINE__},
                   concat("the correlation rho must lie strictly between -1 and 1, got ", number_text(rho_)));
}

}  // namespace korvex::pricing

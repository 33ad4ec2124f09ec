#include "Market/common/volatility_model/volatility_model_sabr.h"

#include "core/check_fail.h"
#include "util/sabr_analytics.h"

namespace korvex {

namespace {
constexpr const char* source_file = "Library/Market/common/volatility_model/volatility_model_sabr";
constexpr SourceLocation alpha_location{"volatility_model_sabr", source_file, 18};
constexpr SourceLocation beta_location{"volatility_model_sabr", source_file, 20};
constexpr SourceLocation nu_location{"volatility_model_sabr", source_file, 21};
constexpr SourceLocation rho_location{"volatility_model_sabr", source_file, 22};
}  // namespace

volatility_model_sabr::volatility_model_sabr(double alpha, double beta, double nu, double rho, double shift,
                                             bool is_skew_dampening)
    : alpha_(alpha), beta_(beta), nu_(nu), rho_(rho), shift_(shift), is_skew_dampening_(is_skew_dampening)
{
    validate();
}

void volatility_model_sabr::validate() const
{
    KORVEX_CHECK_MSG(alpha_location, alpha_ > 0.0, "alpha_ must be positive: ", alpha_, " not allowed");
    KORVEX_CHECK_MSG(beta_location, beta_ >= 0.0 && beta_ <= 1.0, "beta_ must be in (0.0, 1.0): ", beta_,
                     " not allowed");
    KORVEX_CHECK_MSG(nu_location, nu_ >= 0.0, "nu_ must be non negative: ", nu_, " not allowed");
    KORVEX_CHECK_MSG(rho_location, rho_ * rho_ < 1.0, "rho_ square must be less than one: ", rho_, " not allowed");
}

double volatility_model_sabr::price(double strike, double forward, double expiry, double annuity, double sign) const
{
    return sabr_analytics::price(strike, forward, expiry, annuity, sign, alpha_, beta_, nu_, rho_, shift_,
                                 is_skew_dampening_);
}

}  // namespace korvex

#pragma once

#include "Market/common/volatility_model/volatility_model.h"
#include "Market/market_export.h"

namespace korvex {

// A SABR model with fixed parameters: price() is sabr_analytics::price with the five
// inputs passed through and the parameters alpha, beta, nu, rho, shift and the skew
// dampening flag (see sabr_analytics for the expansion and what the flag changes).
//
// The constructor refuses with Error, in this order, alpha not above 0, beta outside
// [0, 1], nu below 0 and rho * rho not below 1 (NaN fails each test); the message ends
// with the offending value written with the default formatting of a stream and
// " not allowed". shift and the flag are not checked.
class KORVEX_MARKET_API volatility_model_sabr : public volatility_model
{
public:
    volatility_model_sabr(double alpha, double beta, double nu, double rho, double shift, bool is_skew_dampening);

    double price(double strike, double forward, double expiry, double annuity, double sign) const override;

    double alpha() const noexcept { return alpha_; }
    double beta() const noexcept { return beta_; }
    double nu() const noexcept { return nu_; }
    double rho() const noexcept { return rho_; }
    double shift() const noexcept { return shift_; }
    bool is_skew_dampening() const noexcept { return is_skew_dampening_; }

private:
    void validate() const;

    double alpha_;
    double beta_;
    double nu_;
    double rho_;
    double shift_;
    bool is_skew_dampening_;
};

}  // namespace korvex

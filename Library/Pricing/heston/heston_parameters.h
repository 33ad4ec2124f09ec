#pragma once

#include "Pricing/pricing_export.h"

namespace korvex::pricing {

// The parameters of the Heston model, for the spot S and its variance v under the pricing
// measure (r and q the market's rate and carry):
//     dS = (r - q) S dt + sqrt(v) S dW_1,
//     dv = kappa (eta - v) dt + sigma sqrt(v) dW_2,   d<W_1, W_2> = rho dt,
// with v(0) = v0. Variances and kappa are per year of ACT/365 Fixed. Feller's condition
// 2 kappa eta >= sigma^2 is not required: where it fails the variance touches 0 and the
// pricers treat v = 0 as the boundary it then is.
//
// Refused with Error by the constructor: v0, kappa or eta negative or not finite, sigma not
// positive and finite, rho not strictly between -1 and 1 (NaN included).
class KORVEX_PRICING_API heston_parameters
{
public:
    heston_parameters(double v0, double kappa, double eta, double sigma, double rho);

    double v0() const noexcept { return v0_; }        // initial variance
    double kappa() const noexcept { return kappa_; }  // speed of mean reversion
    double eta() const noexcept { return eta_; }      // long-run variance
    double sigma() const noexcept { return sigma_; }  // volatility of the variance
    double rho() const noexcept { return rho_; }      // correlation of spot and variance

private:
    double v0_;
    double kappa_;
    double eta_;
    double sigma_;
    double rho_;
};

}  // namespace korvex::pricing

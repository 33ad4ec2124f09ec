#pragma once

#include "Market/common/volatility_model/volatility_type.h"
#include "Market/market_export.h"

namespace korvex {

// A pricing model of options on a forward behind a volatility surface. The inputs are
// those of the analytic pricers (black_scholes, bachelier, sabr_analytics): strike,
// forward, expiry in years, annuity and sign (+1 a call, -1 a put), strike first.
class KORVEX_MARKET_API volatility_model
{
public:
    virtual ~volatility_model();

    // annuity times the undiscounted price of the option.
    virtual double price(double strike, double forward, double expiry, double annuity, double sign) const = 0;

    // The implied volatility of the model's price of the out-of-the-money option (a put
    // when the strike is below the forward, a call otherwise, so +1 at the money and when
    // either is NaN), with annuity 1: normal (bachelier::implied_volatility) or lognormal
    // (black_scholes::implied_volatility at full precision, eps and 20 steps). Any other
    // type raises Error with an empty message after the price is computed.
    double implied_volatility(double strike, double forward, double expiry, volatility_type type) const;

protected:
    volatility_model() = default;
    volatility_model(const volatility_model&) = default;
    volatility_model& operator=(const volatility_model&) = default;
};

}  // namespace korvex

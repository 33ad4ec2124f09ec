#pragma once

#include "Pricing/market/market.h"
#include "Pricing/pricing_export.h"

namespace korvex::pricing {

// A market with a constant Black-Scholes volatility (per year, on the ACT/365 Fixed year
// fraction from the valuation date). Refused with Error: a volatility that is not positive
// and finite.
class KORVEX_PRICING_API black_scholes_market : public market
{
public:
    black_scholes_market(const market& base, double volatility);

    double volatility() const noexcept { return volatility_; }

private:
    double volatility_;
};

}  // namespace korvex::pricing

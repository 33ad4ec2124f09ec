#include "Pricing/market/black_scholes_market.h"

#include <cmath>

#include "core/check_fail.h"

namespace korvex::pricing {

black_scholes_market::black_scholes_market(const market& base, double volatility)
    : market(base), volatility_(volatility)
{
    if (!(std::isfinite(volatility_) && volatility_ > 0.0))
        details::check_fail({"black_scholes_market", "Library/Pricing/market/black_scholes_market", __LINE__},
                            details::concat("the volatility must be positive and finite, got ", volatility_));
}

}  // namespace korvex::pricing

#include "Pricing/market/black_scholes_market.h"

#include <cmath>

#include "Pricing/number_text.h"
#include "core/check_fail.h"

namespace korvex::pricing {

black_scholes_market::black_scholes_market(const market& base, double volatility)
    : market(base), volatility_(volatility)
{
    if (!(std::isfinite(volatility_) && volatility_ > 0.0))
        korvex::details::check_fail(
            {"black_scholes_market", "Library/Pricing/market/black_scholes_market", __LINE__},
            korvex::details::concat("the volatility must be positive and finite, got ", details::number_text(volatility_)));
}

}  // namespace korvex::pricing

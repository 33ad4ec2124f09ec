#include "Market/common/volatility_model/volatility_model.h"

#include "core/error.h"
#include "util/bachelier.h"
#include "util/black_scholes.h"

namespace korvex {

namespace {
constexpr SourceLocation type_location{
    "implied_volatility", "Library/Market/common/volatility_model/volatility_model", 31};
}  // namespace

volatility_model::~volatility_model() = default;

double volatility_model::implied_volatility(double strike, double forward, double expiry,
                                            volatility_type type) const
{
    const double sign = strike < forward ? -1.0 : 1.0;
    const double model_price = price(strike, forward, expiry, 1.0, sign);
    if (type == normal)
        return bachelier::implied_volatility(strike, forward, expiry, model_price, 1.0, sign);
    if (type == lognormal)
        return black_scholes::implied_volatility(strike, forward, expiry, model_price, 1.0, sign,
                                                 2.220446049250313e-16, 20);
    throw Error(type_location, "");
}

}  // namespace korvex

#pragma once

#include <memory>

#include "Market/equity/equity_spot/equity_spot.h"
#include "Market/fx/fx_spot/fx_spot.h"
#include "Market/ir/discount_curve/discount_curve.h"
#include "Pricing/pricing_export.h"
#include "util/datetime.h"

namespace korvex::pricing {

// What every pricer of this library reads from the market: the spot and its valuation
// date (from an `equity_spot` or an `fx_spot`), the curve that discounts the payoff (`rate`)
// and the curve of the carry (`carry`: the dividend yield of an equity, the foreign rate of
// an exchange rate), so that the forward to a date T is
//     F(T) = spot * carry.df(valuation date, T) / rate.df(valuation date, T).
// Both curves may be flat or piecewise: the pricers use their discount factors between the
// dates of their time steps, so a piecewise curve prices as its integral says.
//
// Refused with Error by the constructors: a null spot or curve, a spot that is not positive
// and finite, a valuation date that is not finite, and a curve whose valuation date differs
// from the spot's. The model's own inputs (a volatility, Heston parameters) come beside it.
class KORVEX_PRICING_API market
{
public:
    market(const std::shared_ptr<const equity_spot>& spot, std::shared_ptr<const discount_curve> rate,
           std::shared_ptr<const discount_curve> carry);
    market(const std::shared_ptr<const fx_spot>& spot, std::shared_ptr<const discount_curve> rate,
           std::shared_ptr<const discount_curve> carry);

    double spot() const noexcept { return spot_; }
    const datetime& valuation_date() const noexcept { return valuation_date_; }
    const discount_curve& rate() const noexcept { return *rate_; }
    const discount_curve& carry() const noexcept { return *carry_; }

private:
    market(const market_data* spot_object, double spot, std::shared_ptr<const discount_curve> rate,
           std::shared_ptr<const discount_curve> carry);

    double spot_;
    datetime valuation_date_;
    std::shared_ptr<const discount_curve> rate_;
    std::shared_ptr<const discount_curve> carry_;
};

}  // namespace korvex::pricing

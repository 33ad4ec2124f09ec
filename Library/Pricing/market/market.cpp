#include "Pricing/market/market.h"

#include <cmath>
#include <utility>

#include "Pricing/number_text.h"
#include "core/check_fail.h"

namespace korvex::pricing {

namespace {

constexpr const char* source = "Library/Pricing/market/market";

using korvex::details::check_fail;
using korvex::details::concat;

void check_curve(const discount_curve* curve, const char* name, const datetime& valuation_date)
{
    if (curve == nullptr)
        check_fail({"check_curve", source, __LINE__}, concat("the ", name, " curve is null"));
    if (!(curve->valuation_date() == valuation_date))
        check_fail({"check_curve", source, __LINE__},
                   concat("the ", name, " curve's valuation date ", curve->valuation_date().to_string(),
                          " differs from the spot's ", valuation_date.to_string()));
}

}  // namespace

market::market(const std::shared_ptr<const equity_spot>& spot, std::shared_ptr<const discount_curve> rate,
               std::shared_ptr<const discount_curve> carry)
    : market(spot.get(), spot != nullptr ? spot->spot() : 0.0, std::move(rate), std::move(carry))
{
}

market::market(const std::shared_ptr<const fx_spot>& spot, std::shared_ptr<const discount_curve> rate,
               std::shared_ptr<const discount_curve> carry)
    : market(spot.get(), spot != nullptr ? spot->spot() : 0.0, std::move(rate), std::move(carry))
{
}

market::market(const market_data* spot_object, double spot, std::shared_ptr<const discount_curve> rate,
               std::shared_ptr<const discount_curve> carry)
    : spot_(spot), rate_(std::move(rate)), carry_(std::move(carry))
{
    if (spot_object == nullptr)
        check_fail({"market", source, __LINE__}, "the spot is null");
    if (!(std::isfinite(spot_) && spot_ > 0.0))
        check_fail({"market", source, __LINE__},
                   concat("the spot must be positive and finite, got ", details::number_text(spot_)));
    valuation_date_ = spot_object->valuation_date();
    if (!std::isfinite(valuation_date_.as_float()))
        check_fail({"market", source, __LINE__},
                   concat("the spot's valuation date must be finite, got ", valuation_date_.to_string()));
    check_curve(rate_.get(), "rate", valuation_date_);
    check_curve(carry_.get(), "carry", valuation_date_);
}

}  // namespace korvex::pricing

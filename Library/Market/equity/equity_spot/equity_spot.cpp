#include "Market/equity/equity_spot/equity_spot.h"

#include <limits>

#include "Serialization/serialization_impl.h"
#include "core/error.h"

namespace korvex {

namespace {
constexpr SourceLocation forward_location{"forward", "Library/Market/equity/equity_spot/equity_spot", 42};

const details::class_registration<equity_spot, market_data> registration;
}  // namespace

equity_spot::equity_spot(const datetime& valuation_date, double spot) : market_data(valuation_date), spot_(spot) {}

equity_spot::equity_spot() : spot_(std::numeric_limits<double>::quiet_NaN()) {}

void equity_spot::spot(vector<double>& out) const
{
    out = spot_;
}

void equity_spot::forward(vector<double>&, const datetime&, const datetime&) const
{
    throw NotImplementedError(forward_location);
}

template <class Self, class Visit>
void equity_spot::members(Self& self, Visit&& visit)
{
    visit("spot", self.spot_);
    visit("valuation_date", self.valuation_date_);
}

KORVEX_DEFINE_MEMBER_PERSISTENCE(equity_spot)

}  // namespace korvex

#include "Market/fx/fx_spot/fx_spot.h"

#include <limits>

#include "Serialization/serialization_impl.h"
#include "core/error.h"

namespace korvex {

namespace {
constexpr SourceLocation forward_location{"forward", "Library/Market/fx/fx_spot/fx_spot", 42};

const details::class_registration<fx_spot, market_data> registration;
}  // namespace

fx_spot::fx_spot(const datetime& valuation_date, double spot) : market_data(valuation_date), spot_(spot) {}

fx_spot::fx_spot() : spot_(std::numeric_limits<double>::quiet_NaN()) {}

void fx_spot::spot(vector<double>& out) const
{
    out = spot_;
}

void fx_spot::forward(vector<double>&, const datetime&, const datetime&) const
{
    throw NotImplementedError(forward_location);
}

template <class Self, class Visit>
void fx_spot::members(Self& self, Visit&& visit)
{
    visit("spot", self.spot_);
    visit("valuation_date", self.valuation_date_);
}

KORVEX_DEFINE_MEMBER_PERSISTENCE(fx_spot)

}  // namespace korvex

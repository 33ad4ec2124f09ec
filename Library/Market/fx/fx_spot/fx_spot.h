#pragma once

#include "Market/common/market_data.h"
#include "Market/market_export.h"
#include "Serialization/persistable.h"
#include "Vectorization/expressions/vector.h"
#include "util/datetime.h"

namespace korvex {

// An exchange rate at the valuation date. The object does not record which currencies it
// relates: in a data container, the identifier it is stored under (an fx_spot_id) names
// them. Nothing is checked; a NaN or negative spot is kept as given.
class KORVEX_MARKET_API fx_spot : public market_data
{
public:
    fx_spot(const datetime& valuation_date, double spot);

    double spot() const noexcept { return spot_; }
    // Fills every element of out with the spot; the length of out is unchanged.
    virtual void spot(vector<double>& out) const;
    // Not provided: always raises NotImplementedError, leaving out untouched.
    virtual void forward(vector<double>& out, const datetime& d1, const datetime& d2) const;

    // Record: "Class", "spot", "valuation_date". A record that is the null marker gives a
    // NaN spot at valuation date +infinity.
    KORVEX_PERSISTABLE(fx_spot);
    // The record's members in order, each given to visit(key, member).
    template <class Self, class Visit>
    static void members(Self& self, Visit&& visit);

protected:
    fx_spot();
    void initialize() const {}

    double spot_;
};

}  // namespace korvex

#pragma once

#include "Market/market_export.h"
#include "util/datetime.h"

namespace korvex {

// Base of the market objects (curves, spots, volatility surfaces): the valuation date.
class KORVEX_MARKET_API market_data
{
public:
    virtual ~market_data();
    // A hook for completing an object at a date; does nothing here.
    virtual void finalize(const datetime& date);

    const datetime& valuation_date() const noexcept { return valuation_date_; }

protected:
    // The valuation date is +infinity until a reader or a constructor sets it.
    market_data();
    explicit market_data(const datetime& valuation_date);

    datetime valuation_date_;
};

}  // namespace korvex

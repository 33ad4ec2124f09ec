#pragma once

#include <memory>

#include "Market/common/volatility_model/volatility_model.h"
#include "Market/market_export.h"
#include "util/datetime.h"

namespace korvex {

// Interest-rate volatility data: hands out the pricing model for a pair of dates (for
// example an option's expiry and the end of its underlying).
class KORVEX_MARKET_API ir_volatility_data
{
public:
    virtual ~ir_volatility_data();

    virtual std::shared_ptr<const volatility_model> model(datetime d1, datetime d2) const = 0;

protected:
    ir_volatility_data() = default;
    ir_volatility_data(const ir_volatility_data&) = default;
    ir_volatility_data& operator=(const ir_volatility_data&) = default;
};

}  // namespace korvex

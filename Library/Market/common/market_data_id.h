#pragma once

#include "Market/common/data_id.h"
#include "Market/market_export.h"

namespace korvex {

// Identifier of market data (curves, spots, volatility surfaces); the category of every
// concrete identifier of this library.
class KORVEX_MARKET_API market_data_id : public data_id
{
public:
    ~market_data_id() override;

protected:
    market_data_id() = default;
};

}  // namespace korvex

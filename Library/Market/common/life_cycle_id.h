#pragma once

#include "Market/common/data_id.h"
#include "Market/market_export.h"

namespace korvex {

// Identifier of life-cycle data (events in the life of a trade or an issuer).
class KORVEX_MARKET_API life_cycle_id : public data_id
{
public:
    ~life_cycle_id() override;

protected:
    life_cycle_id() = default;
};

}  // namespace korvex

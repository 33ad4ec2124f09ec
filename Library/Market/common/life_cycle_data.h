#pragma once

#include "Market/market_export.h"

namespace korvex {

// Base of life-cycle data objects (events in the life of a trade or an issuer), one of the
// three kinds of object a data container holds.
class KORVEX_MARKET_API life_cycle_data
{
public:
    virtual ~life_cycle_data();

protected:
    life_cycle_data() = default;
};

}  // namespace korvex

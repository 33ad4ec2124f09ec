#pragma once

#include "Market/market_export.h"

namespace korvex {

// Base of configuration data objects, one of the three kinds of object a data container
// holds.
class KORVEX_MARKET_API config_data
{
public:
    virtual ~config_data();

protected:
    config_data() = default;
};

}  // namespace korvex

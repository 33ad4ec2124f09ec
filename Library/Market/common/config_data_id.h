#pragma once

#include "Market/common/data_id.h"
#include "Market/market_export.h"

namespace korvex {

// Identifier of configuration data.
class KORVEX_MARKET_API config_data_id : public data_id
{
public:
    ~config_data_id() override;

protected:
    config_data_id() = default;
};

}  // namespace korvex

#include "Market/common/market_data_id.h"

namespace korvex {

market_data_id::~market_data_id() = default;

}  // namespace korvex

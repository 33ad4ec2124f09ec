#include "Market/common/market_data.h"

#include <limits>

namespace korvex {

market_data::market_data() : valuation_date_(std::numeric_limits<double>::infinity()) {}

market_data::market_data(const datetime& valuation_date) : valuation_date_(valuation_date) {}

market_data::~market_data() = default;

void market_data::finalize(const datetime&) {}

}  // namespace korvex

#include "Market/ir/volatility_surface/volatility_data/ir_volatility_data.h"

namespace korvex {

ir_volatility_data::~ir_volatility_data() = default;

}  // namespace korvex

#include "Market/common/life_cycle_data.h"

namespace korvex {

life_cycle_data::~life_cycle_data() = default;

}  // namespace korvex

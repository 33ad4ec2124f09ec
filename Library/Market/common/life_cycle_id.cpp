#include "Market/common/life_cycle_id.h"

namespace korvex {

life_cycle_id::~life_cycle_id() = default;

}  // namespace korvex

#include "Market/common/config_data.h"

namespace korvex {

config_data::~config_data() = default;

}  // namespace korvex

#include "Market/common/config_data_id.h"

namespace korvex {

config_data_id::~config_data_id() = default;

}  // namespace korvex

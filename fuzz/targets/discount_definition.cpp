#include "Market/common/discount_definition.h"
#include "fuzz_persistable.h"

using korvex::discount_definition;
using korvex::key;

KORVEX_FUZZ_PERSISTABLE(discount_definition, {std::make_shared<const discount_definition>(key("OIS")),
                                              std::make_shared<const discount_definition>(key("EUR-ESTR")),
                                              nullptr})

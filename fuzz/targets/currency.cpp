#include "Market/common/currency.h"
#include "fuzz_persistable.h"

using korvex::currency;
using korvex::key;

KORVEX_FUZZ_PERSISTABLE(currency, {std::make_shared<const currency>(key("USD")),
                                   std::make_shared<const currency>(key("JPY \xe2\x82\xac")), nullptr})

#include "Market/ir/id/discount_id.h"
#include "fuzz_persistable.h"
#include "market_samples.h"

using namespace korvex;

KORVEX_FUZZ_PERSISTABLE(discount_id, fuzzing::sample_discount_ids())

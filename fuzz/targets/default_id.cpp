#include "Market/credit/id/default_id.h"
#include "fuzz_persistable.h"
#include "market_samples.h"

using namespace korvex;

KORVEX_FUZZ_PERSISTABLE(default_id, fuzzing::sample_default_ids())

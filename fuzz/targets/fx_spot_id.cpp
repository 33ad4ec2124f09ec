#include "Market/fx/id/fx_spot_id.h"
#include "fuzz_persistable.h"
#include "market_samples.h"

using namespace korvex;

KORVEX_FUZZ_PERSISTABLE(fx_spot_id, fuzzing::sample_fx_spot_ids())

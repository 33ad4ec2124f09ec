#include "Market/fx/fx_spot/fx_spot.h"
#include "fuzz_persistable.h"
#include "market_samples.h"

using namespace korvex;

KORVEX_FUZZ_PERSISTABLE(fx_spot, fuzzing::sample_spots<fx_spot>())

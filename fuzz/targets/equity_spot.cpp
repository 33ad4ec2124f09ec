#include "Market/equity/equity_spot/equity_spot.h"
#include "fuzz_persistable.h"
#include "market_samples.h"

using namespace korvex;

KORVEX_FUZZ_PERSISTABLE(equity_spot, fuzzing::sample_spots<equity_spot>())

#include "Market/credit/survival_curve/survival_curve_flat.h"
#include "fuzz_persistable.h"
#include "market_samples.h"

using namespace korvex;

KORVEX_FUZZ_PERSISTABLE(survival_curve_flat, fuzzing::sample_survival_curves_flat())

#include "Market/ir/volatility_surface/volatility_data/ir_volatility_data_sabr.h"
#include "fuzz_persistable.h"
#include "volatility_samples.h"

namespace {

using korvex::ir_volatility_data_sabr;

std::vector<std::shared_ptr<const ir_volatility_data_sabr>> samples()
{
    auto data = korvex::fuzzing::sample_sabr_data();
    data.push_back(nullptr);
    return data;
}

}  // namespace

KORVEX_FUZZ_PERSISTABLE(ir_volatility_data_sabr, samples())

#include "Market/ir/volatility_surface/ir_volatility_surface.h"
#include "fuzz_persistable.h"
#include "volatility_samples.h"

namespace {

using namespace korvex;

std::vector<std::shared_ptr<const ir_volatility_surface>> samples()
{
    std::vector<std::shared_ptr<const ir_volatility_surface>> surfaces{nullptr};
    for (const auto& data : fuzzing::sample_sabr_data())
        surfaces.push_back(std::make_shared<const ir_volatility_surface>(datetime(45292.25), data));
    return surfaces;
}

}  // namespace

KORVEX_FUZZ_PERSISTABLE(ir_volatility_surface, samples())

#include "Market/common/any_id.h"
#include "fuzz_persistable.h"
#include "market_samples.h"

namespace {

using namespace korvex;

std::vector<std::shared_ptr<const any_id>> samples()
{
    std::vector<std::shared_ptr<const any_id>> ids{nullptr};
    for (const any_id& id : fuzzing::sample_any_ids())
        ids.push_back(std::make_shared<const any_id>(id));
    return ids;
}

}  // namespace

KORVEX_FUZZ_PERSISTABLE(any_id, samples())

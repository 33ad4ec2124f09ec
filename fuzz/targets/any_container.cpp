#include "Market/common/any_container.h"
#include "fuzz_persistable.h"
#include "market_samples.h"

namespace {

using namespace korvex;

std::vector<std::shared_ptr<const any_container>> samples()
{
    const std::vector<any_id> ids = fuzzing::sample_any_ids();
    std::vector<any_object> objects = fuzzing::sample_any_objects();
    return {nullptr, std::make_shared<const any_container>(),
            std::make_shared<const any_container>(std::vector<any_id>(ids.begin(), ids.begin() + 1),
                                                  std::vector<any_object>(objects.begin(), objects.begin() + 1)),
            std::make_shared<const any_container>(ids, objects)};
}

}  // namespace

KORVEX_FUZZ_PERSISTABLE(any_container, samples())

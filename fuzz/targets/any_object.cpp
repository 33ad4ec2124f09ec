#include "Market/common/any_object.h"
#include "fuzz_persistable.h"
#include "market_samples.h"

namespace {

using namespace korvex;

std::vector<std::shared_ptr<const any_object>> samples()
{
    std::vector<std::shared_ptr<const any_object>> objects{nullptr};
    for (const any_object& object : fuzzing::sample_any_objects())
        objects.push_back(std::make_shared<const any_object>(object));
    return objects;
}

}  // namespace

KORVEX_FUZZ_PERSISTABLE(any_object, samples())

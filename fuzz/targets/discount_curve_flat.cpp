#include "Market/ir/discount_curve/discount_curve_flat.h"
#include "curve_samples.h"
#include "fuzz_persistable.h"

namespace {

using namespace korvex;

std::vector<std::shared_ptr<const discount_curve_flat>> samples()
{
    std::vector<std::shared_ptr<const discount_curve_flat>> curves{nullptr};
    double rate = 0.05;
    for (const auto& convention : fuzzing::sample_conventions()) {
        curves.push_back(std::make_shared<const discount_curve_flat>(datetime(45292.0), rate, convention));
        rate -= 0.0123;
    }
    return curves;
}

}  // namespace

KORVEX_FUZZ_PERSISTABLE(discount_curve_flat, samples())

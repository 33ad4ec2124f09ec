#include "Market/ir/discount_curve/discount_curve_piecewise_constant.h"
#include "curve_samples.h"
#include "fuzz_persistable.h"

namespace {

using namespace korvex;

std::vector<std::shared_ptr<const discount_curve_piecewise_constant>> samples()
{
    const std::vector<datetime> pillars{datetime(45474.0), datetime(45658.0), datetime(46023.0)};
    std::vector<std::shared_ptr<const discount_curve_piecewise_constant>> curves{nullptr};
    for (const auto& convention : fuzzing::sample_conventions())
        curves.push_back(std::make_shared<const discount_curve_piecewise_constant>(
            datetime(45292.5), pillars, std::vector<double>{0.02, -0.001, 1.0 / 3.0}, convention));
    curves.push_back(std::make_shared<const discount_curve_piecewise_constant>(
        datetime(45292.0), std::vector<datetime>{}, std::vector<double>{}, fuzzing::sample_conventions()[0]));
    return curves;
}

}  // namespace

KORVEX_FUZZ_PERSISTABLE(discount_curve_piecewise_constant, samples())

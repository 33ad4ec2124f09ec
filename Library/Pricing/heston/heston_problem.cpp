#include "Pricing/heston/heston_problem.h"

#include <cmath>

namespace korvex::pricing::details {

heston_problem heston_problem::of(const vanilla_option& option, const market& market, const heston_parameters& model)
{
    return heston_problem{vanilla_problem::of(option, market), &model};
}

heston_problem heston_problem::of(const barrier_option& option, const market& market, const heston_parameters& model)
{
    return heston_problem{vanilla_problem::of(option, market), &model};
}

double heston_problem::mean_variance() const noexcept
{
    const double reversion = model->kappa() * years;
    const double closed = reversion > 1e-8 ? 1.0 - (1.0 - std::exp(-reversion)) / reversion : 0.5 * reversion;
    return model->v0() + (model->eta() - model->v0()) * closed;
}

}  // namespace korvex::pricing::details

#include "Pricing/heston/heston_problem.h"

#include <algorithm>
#include <cmath>

#include "Pricing/black_scholes/black_scholes_problem.h"
#include "core/check_fail.h"

namespace korvex::pricing::details {

namespace {

constexpr const char* source = "Library/Pricing/heston/heston_problem";
constexpr double days_per_year = 365.0;

}  // namespace

heston_problem heston_problem::of(const vanilla_option& option, const market& market, const heston_parameters& model)
{
    const datetime& today = market.valuation_date();
    check_vanilla_option(option, today);
    heston_problem p;
    p.spot = market.spot();
    p.strike = option.strike;
    p.sign = option.type == option_type::call ? 1.0 : -1.0;
    p.american = option.exercise == exercise_type::american;
    p.valuation_date = today;
    p.expiry = option.expiry;
    p.years = (option.expiry.as_float() - today.as_float()) / days_per_year;
    p.rate = &market.rate();
    p.carry = &market.carry();
    p.rate_df = discount_factor_to_expiry(market.rate(), "rate", today, option.expiry);
    p.carry_df = discount_factor_to_expiry(market.carry(), "carry", today, option.expiry);
    p.model = &model;
    return p;
}

heston_problem heston_problem::of(const barrier_option& option, const market& market, const heston_parameters& model)
{
    of(option.option, market, model);
    korvex::details::check_fail({"of", source, __LINE__}, "barrier options are not supported under the Heston model");
}

double heston_problem::payoff(double s) const noexcept
{
    return std::max(sign * (s - strike), 0.0);
}

double heston_problem::mean_variance() const noexcept
{
    const double reversion = model->kappa() * years;
    const double closed = reversion > 1e-8 ? 1.0 - (1.0 - std::exp(-reversion)) / reversion : 0.5 * reversion;
    return model->v0() + (model->eta() - model->v0()) * closed;
}

}  // namespace korvex::pricing::details

#include "Pricing/black_scholes/black_scholes_problem.h"

#include <algorithm>
#include <cmath>

#include "Pricing/number_text.h"
#include "core/check_fail.h"

namespace korvex::pricing::details {

namespace {

constexpr const char* source = "Library/Pricing/black_scholes/black_scholes_problem";
constexpr double days_per_year = 365.0;

bool positive_finite(double v) noexcept
{
    return std::isfinite(v) && v > 0.0;
}

double discount_factor(const discount_curve& curve, const char* name, const datetime& from, const datetime& to)
{
    const double df = curve.df(from, to);
    if (!positive_finite(df))
        korvex::details::check_fail({"discount_factor", source, __LINE__},
                                    korvex::details::concat("the ", name,
                                                            " curve's discount factor to expiry must be positive and "
                                                            "finite, got ",
                                                            number_text(df)));
    return df;
}

void check_option(const vanilla_option& option, const datetime& today)
{
    using korvex::details::check_fail;
    using korvex::details::concat;
    if (!positive_finite(option.strike))
        check_fail({"check_option", source, __LINE__},
                   concat("the strike must be positive and finite, got ", number_text(option.strike)));
    if (!std::isfinite(option.expiry.as_float()))
        check_fail({"check_option", source, __LINE__},
                   concat("the expiry must be a finite date, got ", option.expiry.to_string()));
    if (!(today < option.expiry))
        check_fail({"check_option", source, __LINE__}, concat("the expiry ", option.expiry.to_string(),
                                                              " must come after the valuation date ", today.to_string()));
}

void check_barrier(const barrier_terms& b, const vanilla_problem& p)
{
    using korvex::details::check_fail;
    using korvex::details::concat;
    if (!positive_finite(b.level))
        check_fail({"check_barrier", source, __LINE__},
                   concat("the barrier level must be positive and finite, got ", number_text(b.level)));
    if (b.down ? !(p.spot > b.level) : !(p.spot < b.level))
        check_fail({"check_barrier", source, __LINE__}, concat("the spot ", p.spot, " has already reached the ",
                                                               b.down ? "down" : "up", " barrier at ", b.level));
    if (!(std::isfinite(b.rebate) && b.rebate >= 0.0))
        check_fail({"check_barrier", source, __LINE__},
                   concat("the rebate must be non-negative and finite, got ", number_text(b.rebate)));
    if (b.knock_in && b.rebate_at_hit && b.rebate != 0.0)
        check_fail({"check_barrier", source, __LINE__}, "a knock-in option pays its rebate at expiry, not at hit");
    if (b.knock_in && p.american)
        check_fail({"check_barrier", source, __LINE__}, "an American knock-in option is not supported");
}

}  // namespace

vanilla_problem vanilla_problem::of(const vanilla_option& option, const market& market)
{
    const datetime& today = market.valuation_date();
    check_option(option, today);
    vanilla_problem p;
    p.spot = market.spot();
    p.strike = option.strike;
    p.sign = option.type == option_type::call ? 1.0 : -1.0;
    p.american = option.exercise == exercise_type::american;
    p.valuation_date = today;
    p.expiry = option.expiry;
    p.years = (option.expiry.as_float() - today.as_float()) / days_per_year;
    p.rate = &market.rate();
    p.carry = &market.carry();
    p.rate_df = discount_factor(market.rate(), "rate", today, option.expiry);
    p.carry_df = discount_factor(market.carry(), "carry", today, option.expiry);
    return p;
}

vanilla_problem vanilla_problem::of(const barrier_option& option, const market& market)
{
    vanilla_problem p = of(option.option, market);
    barrier_terms b;
    b.down = option.direction == barrier_direction::down;
    b.level = option.level;
    b.rebate = option.rebate;
    b.rebate_at_hit = option.payment == rebate_payment::at_hit;
    b.knock_in = option.kind == barrier_kind::knock_in;
    check_barrier(b, p);
    p.barrier = b;
    return p;
}

double vanilla_problem::payoff(double s) const noexcept
{
    return std::max(sign * (s - strike), 0.0);
}

black_scholes_problem black_scholes_problem::of(const vanilla_option& option, const black_scholes_market& market)
{
    return black_scholes_problem{vanilla_problem::of(option, market), market.volatility()};
}

black_scholes_problem black_scholes_problem::of(const barrier_option& option, const black_scholes_market& market)
{
    return black_scholes_problem{vanilla_problem::of(option, market), market.volatility()};
}

}  // namespace korvex::pricing::details

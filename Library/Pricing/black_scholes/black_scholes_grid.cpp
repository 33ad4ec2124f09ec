#include "Pricing/black_scholes/black_scholes_grid.h"

#include <algorithm>
#include <cmath>

#include "Pricing/grid/log_spot_axis.h"
#include "Pricing/number_text.h"
#include "core/check_fail.h"

namespace korvex::pricing::details {

namespace {

constexpr const char* source = "Library/Pricing/black_scholes/black_scholes_grid";

// The accuracy rule (see price_black_scholes.h): with e the relative accuracy and m the
// carry's drift of the forward over the option's life in standard deviations,
//     space points n = space ((1 + space_drift m) / e)^space_power,
//     time steps   N = time (1 + time_drift m) e^(-time_power),
// each at least its minimum; the constants are fitted to measured errors.
struct accuracy_rule
{
    double space;
    double space_power;
    double space_drift;
    std::size_t min_space;
    double time;
    double time_power;
    double time_drift;
    std::size_t min_time;
};

constexpr accuracy_rule european_rule{4.2, 0.25, 2.75, 21, 0.35, 1.0 / 3.0, 0.6, 4};
constexpr accuracy_rule barrier_rule{4.2, 0.25, 2.75, 21, 0.525, 1.0 / 3.0, 0.6, 10};
constexpr accuracy_rule american_rule{5.5, 1.0 / 3.0, 0.0, 41, 0.3, 0.7, 0.0, 20};

// The refined zone: half a standard deviation, widened by half the span of the spot, the
// forward and the zone's centre.
constexpr double zone_deviations = 0.5;
constexpr double zone_span = 0.5;

// The jump of the value at a barrier that ends the axis, at expiry: the payoff there against
// the rebate (a knock-in's knock-out part holds 0, its rebate digital jumps by the rebate).
double barrier_jump(const black_scholes_problem& p)
{
    if (!p.barrier)
        return 0.0;
    const double payoff = p.payoff(p.barrier->level);
    return p.barrier->knock_in ? payoff + p.barrier->rebate : std::fabs(payoff - p.barrier->rebate);
}

// The relative accuracy e: the target over the scale of the option's time value, or of the
// jump at its barrier when that is larger.
double relative_accuracy(const black_scholes_problem& p, double accuracy)
{
    const double deviation = p.volatility * std::sqrt(p.years);
    return accuracy / std::max(std::max(p.spot, p.strike) * deviation, barrier_jump(p));
}

// Half-width of the domain in standard deviations: the tails beyond it hold less than e.
double deviations(double e)
{
    return 1.0 + std::sqrt(2.0 * std::log(std::max(1.0 / e, 10.0)));
}

std::size_t count(double points, std::size_t minimum)
{
    const double n = std::ceil(points);
    return n < black_scholes_grid::max_points ? std::max(static_cast<std::size_t>(n), minimum)
                                               : static_cast<std::size_t>(black_scholes_grid::max_points);
}

const accuracy_rule& rule_of(const black_scholes_problem& p)
{
    return p.american ? american_rule : (p.barrier ? barrier_rule : european_rule);
}

pde_scheme_type chosen_scheme(const black_scholes_problem& p, const black_scholes_settings& s)
{
    if (!s.scheme)
        return p.american ? crank_nicolson : two_stage_l_stable;
    const pde_scheme_type type = *s.scheme;
    if (type != crank_nicolson && type != two_stage_l_stable && type != implicit_euler)
        korvex::details::check_fail({"chosen_scheme", source, __LINE__},
                                    korvex::details::concat("the scheme must be crank_nicolson, two_stage_l_stable "
                                                            "or implicit_euler, got ",
                                                            static_cast<int>(type)));
    return type;
}

void check_settings(const black_scholes_settings& s)
{
    using korvex::details::check_fail;
    using korvex::details::concat;
    if (!(std::isfinite(s.accuracy) && s.accuracy > 0.0))
        check_fail({"check_settings", source, __LINE__},
                   concat("the accuracy target must be positive and finite, got ", number_text(s.accuracy)));
    if (s.space_points != 0 && s.space_points < 5)
        check_fail({"check_settings", source, __LINE__},
                   concat("at least 5 space points are needed, got ", s.space_points));
    if (s.time_steps != 0 && s.time_steps < 2)
        check_fail({"check_settings", source, __LINE__},
                   concat("at least 2 time steps are needed, got ", s.time_steps));
}

// Refuses a grid of more than max_points points (space points times time steps of every run).
void check_size(std::size_t n, const black_scholes_grid& g, const black_scholes_settings& s)
{
    using korvex::details::check_fail;
    using korvex::details::concat;
    const double runs = g.extrapolate ? 1.5 : 1.0;
    const double points = static_cast<double>(n) * static_cast<double>(g.time_steps) * runs;
    if (points <= black_scholes_grid::max_points)
        return;
    const auto limit = static_cast<long long>(black_scholes_grid::max_points);
    if (s.space_points != 0 && s.time_steps != 0)
        check_fail({"check_size", source, __LINE__}, concat("a grid of ", n, " space points and ", g.time_steps,
                                                            " time steps has more than ", limit, " points"));
    check_fail({"check_size", source, __LINE__},
               concat("the accuracy target ", s.accuracy, " needs a grid of more than ", limit, " points"));
}

}  // namespace

black_scholes_grid black_scholes_grid::of(const black_scholes_problem& p, const black_scholes_settings& s)
{
    check_settings(s);
    black_scholes_grid g;
    g.scheme = chosen_scheme(p, s);
    g.extrapolate = !p.american && g.scheme == two_stage_l_stable;
    const double deviation = p.volatility * std::sqrt(p.years);
    const double carry_drift = std::log(p.carry_df / p.rate_df);
    const double e = relative_accuracy(p, s.accuracy);
    const double m = std::fabs(carry_drift) / deviation;
    const accuracy_rule& rule = rule_of(p);
    const double rule_space = rule.space * std::pow((1.0 + rule.space_drift * m) / e, rule.space_power);
    const double rule_time = rule.time * (1.0 + rule.time_drift * m) * std::pow(e, -rule.time_power);
    const std::size_t n = s.space_points != 0 ? s.space_points : count(rule_space, rule.min_space);
    g.time_steps = s.time_steps != 0 ? s.time_steps : count(rule_time, rule.min_time);
    if (g.extrapolate && s.time_steps == 0)
        g.time_steps += g.time_steps % 2;
    check_size(n, g, s);

    // The domain: the spot and the forward, with `deviations` standard deviations beyond
    // either; a barrier inside it becomes its end.
    const double x0 = std::log(p.spot);
    const double drift = carry_drift - 0.5 * deviation * deviation;
    const double width = deviations(e) * deviation;
    double lower = x0 + std::min(drift, 0.0) - width;
    double upper = x0 + std::max(drift, 0.0) + width;
    if (p.barrier) {
        const double level = std::log(p.barrier->level);
        if (p.barrier->down && level > lower) {
            lower = level;
            g.ends_on_barrier = true;
        } else if (!p.barrier->down && level < upper) {
            upper = level;
            g.ends_on_barrier = true;
        }
    }

    // The nodes gather where the value bends most: at a barrier where the value jumps, else
    // at the strike when it lies inside, else at the spot.
    const double strike = std::log(p.strike);
    double centre = strike > lower && strike < upper ? strike : x0;
    if (g.ends_on_barrier && barrier_jump(p) > 0.0)
        centre = p.barrier->down ? lower : upper;
    const double span = std::max({x0, x0 + drift, centre}) - std::min({x0, x0 + drift, centre});
    g.axis = concentrated_axis(n, lower, upper, centre, zone_deviations * deviation + zone_span * span);
    return g;
}

}  // namespace korvex::pricing::details

#include "Pricing/black_scholes/black_scholes_grid.h"

#include <algorithm>
#include <cmath>

#include "Pricing/grid/log_spot_axis.h"
#include "core/check_fail.h"

namespace korvex::pricing::details {

namespace {

constexpr const char* source = "Library/Pricing/black_scholes/black_scholes_grid";

// The accuracy rule's constants, fitted to measured errors (see price_black_scholes.h).
struct rule_constants
{
    double space;       // space points per unit of e^(-space_power)
    double space_power;
    double time;        // time steps per unit of e^(-time_power)
    double time_power;
    std::size_t min_space;
    std::size_t min_time;
};

constexpr rule_constants european_rule{3.0, 0.25, 2.0, 1.0 / 3.0, 21, 4};
constexpr rule_constants american_rule{0.3, 0.5, 2e-3, 1.0, 41, 20};
constexpr double concentration = 0.5;  // width of the refined zone, in standard deviations

// The relative accuracy e: the target over the scale of the option's value near its kink.
double relative_accuracy(const black_scholes_problem& p, double accuracy)
{
    const double deviation = p.volatility * std::sqrt(p.years);
    return accuracy / (std::max(p.spot, p.strike) * deviation);
}

// Half-width of the domain in standard deviations: the tails beyond it hold less than e.
double deviations(double e)
{
    return 1.0 + std::sqrt(2.0 * std::log(std::max(1.0 / e, 10.0)));
}

std::size_t count(double scale, double e, double power, std::size_t minimum)
{
    const double n = std::ceil(scale * std::pow(e, -power));
    return std::isfinite(n) && n < black_scholes_grid::max_points ? std::max(static_cast<std::size_t>(n), minimum)
                                                                   : static_cast<std::size_t>(black_scholes_grid::max_points);
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

}  // namespace

black_scholes_grid black_scholes_grid::of(const black_scholes_problem& p, const black_scholes_settings& s)
{
    using korvex::details::check_fail;
    using korvex::details::concat;
    if (!(std::isfinite(s.accuracy) && s.accuracy > 0.0))
        check_fail({"of", source, __LINE__}, concat("the accuracy target must be positive and finite, got ", s.accuracy));
    if (s.space_points != 0 && s.space_points < 5)
        check_fail({"of", source, __LINE__}, concat("at least 5 space points are needed, got ", s.space_points));
    if (s.time_steps != 0 && s.time_steps < 2)
        check_fail({"of", source, __LINE__}, concat("at least 2 time steps are needed, got ", s.time_steps));

    black_scholes_grid g;
    g.scheme = chosen_scheme(p, s);
    g.extrapolate = !p.american && g.scheme == two_stage_l_stable;
    const double e = relative_accuracy(p, s.accuracy);
    const rule_constants& rule = p.american ? american_rule : european_rule;
    const std::size_t n = s.space_points != 0 ? s.space_points : count(rule.space, e, rule.space_power, rule.min_space);
    g.time_steps = s.time_steps != 0 ? s.time_steps : count(rule.time, e, rule.time_power, rule.min_time);
    if (g.extrapolate && s.time_steps == 0)
        g.time_steps += g.time_steps % 2;
    const double runs = g.extrapolate ? 1.5 : 1.0;
    const double points = static_cast<double>(n) * static_cast<double>(g.time_steps) * runs;
    if (!(points <= max_points)) {
        if (s.space_points != 0 && s.time_steps != 0)
            check_fail({"of", source, __LINE__}, concat("a grid of ", n, " space points and ", g.time_steps,
                                                        " time steps has more than ", max_points, " points"));
        check_fail({"of", source, __LINE__}, concat("the accuracy target ", s.accuracy, " needs a grid of more than ",
                                                    max_points, " points"));
    }

    // The domain: the spot and the forward, with `deviations` standard deviations beyond
    // either; a barrier inside it becomes its end.
    const double deviation = p.volatility * std::sqrt(p.years);
    const double x0 = std::log(p.spot);
    const double drift = std::log(p.carry_df / p.rate_df) - 0.5 * deviation * deviation;
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
    const double strike = std::log(p.strike);
    const double centre = strike > lower && strike < upper ? strike : x0;
    g.axis = concentrated_axis(n, lower, upper, centre, concentration * deviation);
    return g;
}

}  // namespace korvex::pricing::details

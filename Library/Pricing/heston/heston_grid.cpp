#include "Pricing/heston/heston_grid.h"

#include <algorithm>
#include <cmath>

#include "Pricing/number_text.h"
#include "core/check_fail.h"
#include "math/root_finding_algorithms.h"

namespace korvex::pricing::details {

namespace {

constexpr const char* source = "Library/Pricing/heston/heston_grid";

// The grid's shape (spot_axis, variance_axis) and the accuracy rule (heston_grid::of).
constexpr double spot_max = 8.0;
constexpr double spot_deviations = 4.0;
constexpr double spot_spread = 1.2;
constexpr double variance_max = 30.0;
constexpr double variance_tails = 10.0;
constexpr double variance_spread = 0.5;
constexpr double variance_floor = 1e-4;
constexpr double feller_floor = 0.01;

// One axis of the accuracy rule (heston_grid::of): scale (1 + with_q q + with_u u) times the
// refinement its order asks for; fitted to measured errors (price_heston.h).
struct axis_rule
{
    double scale;
    double with_q;
    double with_u;
};
constexpr axis_rule spot_rule{2.6, 0.6, 0.13};
constexpr axis_rule variance_rule{0.1, 5.3, 5.3};
constexpr axis_rule time_rule{0.11, 0.24, 0.13};
constexpr double american_spot = 1.5;
constexpr double american_time = 2.5;
constexpr std::size_t min_spot = 16;
constexpr std::size_t min_variance = 8;
constexpr std::size_t min_time = 4;

constexpr std::size_t least_spot = 8;
constexpr std::size_t least_variance = 5;

double grid_variance(const heston_problem& p)
{
    return std::max(p.mean_variance(), variance_floor);
}

std::size_t count(double points, std::size_t minimum)
{
    const double n = std::ceil(points);
    return n < heston_grid::max_points ? std::max(static_cast<std::size_t>(n), minimum)
                                       : static_cast<std::size_t>(heston_grid::max_points);
}

void check_settings(const heston_settings& s)
{
    using korvex::details::check_fail;
    using korvex::details::concat;
    if (!(std::isfinite(s.accuracy) && s.accuracy > 0.0))
        check_fail({"check_settings", source, __LINE__},
                   concat("the accuracy target must be positive and finite, got ", number_text(s.accuracy)));
    if (s.spot_points != 0 && s.spot_points < least_spot)
        check_fail({"check_settings", source, __LINE__},
                   concat("at least ", least_spot, " spot points are needed, got ", s.spot_points));
    if (s.variance_points != 0 && s.variance_points < least_variance)
        check_fail({"check_settings", source, __LINE__},
                   concat("at least ", least_variance, " variance points are needed, got ", s.variance_points));
    if (s.scheme && *s.scheme != adi_modified_craig_sneyd && *s.scheme != adi_craig_sneyd &&
        *s.scheme != adi_hundsdorfer_verwer && *s.scheme != adi_douglas)
        check_fail({"check_settings", source, __LINE__},
                   concat("the scheme must be adi_modified_craig_sneyd, adi_craig_sneyd, adi_hundsdorfer_verwer or "
                          "adi_douglas, got ",
                          static_cast<int>(*s.scheme)));
}

// Refuses a grid of more than max_points points (spot times variance points times steps).
void check_size(std::size_t ns, std::size_t nv, const heston_grid& g, const heston_settings& s)
{
    using korvex::details::check_fail;
    using korvex::details::concat;
    const std::size_t steps = g.time_steps;
    const double runs = g.extrapolate ? 1.5 : 1.0;
    const double points = static_cast<double>(ns) * static_cast<double>(nv) * static_cast<double>(steps) * runs;
    if (points <= heston_grid::max_points)
        return;
    const auto limit = static_cast<long long>(heston_grid::max_points);
    if (s.spot_points != 0 && s.variance_points != 0 && s.time_steps != 0)
        check_fail({"check_size", source, __LINE__},
                   concat("a grid of ", ns, " spot points, ", nv, " variance points and ", steps,
                          " time steps has more than ", limit, " points"));
    check_fail({"check_size", source, __LINE__},
               concat("the accuracy target ", s.accuracy, " needs a grid of more than ", limit, " points"));
}

// w = sigma^2 (1 - exp(-kappa T)) / (2 kappa), the scale of the upper tail of the variance
// at expiry (the chi-square tail of the square-root process); sigma^2 T / 2 as kappa T -> 0.
double variance_tail(const heston_problem& p)
{
    const double reversion = p.model->kappa() * p.years;
    const double share = reversion > 1e-8 ? -std::expm1(-reversion) / reversion : 1.0;
    return 0.5 * p.model->sigma() * p.model->sigma() * p.years * share;
}

// Spot nodes K + c sinh(xi), xi evenly spaced, from 0 to S_max with the strike on node
// `strike_node`: c = spot_spread K sqrt(vbar T) plus half the distance of the spot from the
// strike, S_max = max(S, K) times the lesser of spot_max and
// exp(spot_deviations sqrt((vbar + w) T)), so that a short or calm option spends no nodes far
// out while a volatile variance widens the tails. vbar (grid_variance) is the mean expected
// variance over the option's life. The stretch is adjusted so that the node nearest the
// strike lands on it and the lowest node on 0.
double spot_end(const heston_problem& p)
{
    const double deviations = spot_deviations * std::sqrt((grid_variance(p) + variance_tail(p)) * p.years);
    return std::min(spot_max, std::exp(deviations)) * std::max(p.spot, p.strike);
}

std::vector<double> spot_axis(const heston_problem& p, std::size_t n, std::size_t& strike_node)
{
    const double k = p.strike;
    const double c = spot_spread * k * std::sqrt(grid_variance(p) * p.years) + 0.5 * std::fabs(p.spot - k);
    const double lowest = std::asinh(-k / c);
    const double highest = std::asinh((spot_end(p) - k) / c);
    const double step = (highest - lowest) / static_cast<double>(n - 1);
    strike_node = std::clamp<std::size_t>(static_cast<std::size_t>(std::lround(-lowest / step)), 2, n - 3);
    const double stretch = k / std::sinh(static_cast<double>(strike_node) * step);
    std::vector<double> axis(n);
    for (std::size_t j = 0; j < n; ++j)
        axis[j] = k + stretch * std::sinh((static_cast<double>(j) - static_cast<double>(strike_node)) * step);
    axis[0] = 0.0;
    axis[strike_node] = k;
    return axis;
}

// Variance nodes d sinh(j h) from 0 to V_max, the greater of variance_max max(v0, vbar) and
// variance_tails w; the nominal d = variance_spread vbar sqrt(F), F = 2 kappa eta / sigma^2
// the Feller ratio clamped to [feller_floor, 1]: where the variance hugs 0, the nodes do
// too. When v0 > 0, the node nearest v0 on the nominal grid keeps its index and h and d are
// solved for so that it lands on v0 while the last node stays at V_max; v0 = 0 is node 0 of
// the nominal grid.
std::vector<double> variance_axis(const heston_problem& p, std::size_t n)
{
    const double v0 = p.model->v0();
    const double last = static_cast<double>(n - 1);
    const double v_max = std::max(variance_max * std::max(v0, grid_variance(p)), variance_tails * variance_tail(p));
    const heston_parameters& m = *p.model;
    const double feller = 2.0 * m.kappa() * m.eta() / (m.sigma() * m.sigma());
    double d = variance_spread * grid_variance(p) * std::sqrt(std::clamp(feller, feller_floor, 1.0));
    double step = std::asinh(v_max / d) / last;
    if (v0 > 0.0) {
        const auto node = static_cast<double>(std::clamp<std::size_t>(
            static_cast<std::size_t>(std::lround(std::asinh(v0 / d) / step)), 1, n - 2));
        // sinh(last h) / sinh(node h) = V_max / v0, increasing in h.
        const auto ratio_gap = [&](double h) {
            return std::log(std::sinh(last * h) / std::sinh(node * h)) - std::log(v_max / v0);
        };
        double fitted = step;
        if (root_finding_algorithms::brent(ratio_gap, 1e-6 / last, 50.0 / last, fitted, 1e-15, 0.0, 200)) {
            step = fitted;
            d = v0 / std::sinh(node * step);
        }
    }
    std::vector<double> axis(n);
    for (std::size_t j = 0; j < n; ++j)
        axis[j] = d * std::sinh(static_cast<double>(j) * step);
    // The fitted node holds v0 exactly.
    for (double& v : axis)
        if (std::fabs(v - v0) <= 1e-12 * v0)
            v = v0;
    return axis;
}

// A barrier option takes this many times the vanilla rule's steps and spot points: the value
// near the barrier changes fast close to expiry, and the end held at the rebate leaves the
// spot axis second order where the vanilla's is fourth. With the vanilla's sizes a
// down-and-out call erred 1.1 times the target, and barriers in the Black-Scholes limit twice.
constexpr std::size_t barrier_time_factor = 2;
constexpr std::size_t barrier_spot_factor = 2;

// The stretch c of a spot axis gathered about `centre`, as spot_axis gathers about the strike.
double spot_stretch(const heston_problem& p, double centre)
{
    return spot_spread * centre * std::sqrt(grid_variance(p) * p.years) + 0.5 * std::fabs(p.spot - centre);
}

// A spot that lands on a node of a barrier axis, and the node.
struct pin
{
    double spot;
    std::size_t node;
};

// Nodes S = C + c sinh(xi) whose xi runs linearly in the node index from pin to pin, so that
// every pinned spot lands on its node and elsewhere the nodes follow the sinh map, its step
// changing only by the rounding of the pins' positions. The first pin is node 0, the last
// the last node.
std::vector<double> pinned_axis(double centre, double c, const std::vector<pin>& pins)
{
    std::vector<double> axis(pins.back().node + 1);
    for (std::size_t a = 0; a + 1 < pins.size(); ++a) {
        const pin& from = pins[a];
        const pin& to = pins[a + 1];
        const double xi_from = std::asinh((from.spot - centre) / c);
        const double xi_to = std::asinh((to.spot - centre) / c);
        const auto nodes = static_cast<double>(to.node - from.node);
        for (std::size_t j = from.node; j < to.node; ++j)
            axis[j] = centre + c * std::sinh(xi_from + (xi_to - xi_from) * static_cast<double>(j - from.node) / nodes);
        axis[from.node] = from.spot;
    }
    axis.back() = pins.back().spot;
    return axis;
}

// The spot axis of a barrier option with n nodes on the live side of the barrier (see
// heston_grid::with_barrier): gathered about the strike when it lies on the live side at
// least two nodes from its ends, else about the barrier; the strike a node wherever it lies
// two nodes or more from the other pinned spots (the ends and the barrier).
void barrier_spot_axis(const heston_problem& p, std::size_t n, heston_grid& g)
{
    const barrier_terms& b = *p.barrier;
    const double far_end = spot_end(p);
    const double live_low = b.down ? b.level : 0.0;
    const double live_high = b.down ? far_end : b.level;
    const double low = b.down && b.knock_in ? 0.0 : live_low;
    const double high = !b.down && b.knock_in ? std::max(far_end, 2.0 * b.level) : live_high;

    double centre = p.strike;
    double c = 0.0;
    double step = 0.0;
    // The position of a spot in steps of the nominal map from the axis' lower end.
    const auto position = [&](double s) {
        return (std::asinh((s - centre) / c) - std::asinh((low - centre) / c)) / step;
    };
    const auto gather_about = [&](double spot) {
        centre = spot;
        c = spot_stretch(p, spot);
        step = (std::asinh((live_high - centre) / c) - std::asinh((live_low - centre) / c)) / static_cast<double>(n - 1);
    };
    gather_about(p.strike);
    const auto node_of = [&](double s) { return static_cast<std::size_t>(std::lround(position(s))); };
    const bool strike_live = p.strike > live_low && p.strike < live_high;
    if (!strike_live || node_of(p.strike) < node_of(live_low) + 2 || node_of(p.strike) + 2 > node_of(live_high))
        gather_about(b.level);

    const std::size_t last = std::max(node_of(high), node_of(b.level) + (b.knock_in && !b.down ? 1 : 0));
    const std::size_t barrier = std::clamp<std::size_t>(node_of(b.level), b.knock_in && b.down ? 1 : 0, last);
    std::vector<pin> pins{{low, 0}, {b.level, barrier}, {high, last}};
    if (pins[1].node == 0 || pins[1].node == last)
        pins.erase(pins.begin() + 1);  // the barrier is an end
    const std::size_t strike = node_of(p.strike);
    const bool strike_apart = p.strike > low && p.strike < high &&
                              std::all_of(pins.begin(), pins.end(), [&](const pin& q) {
                                  return strike + 2 <= q.node || q.node + 2 <= strike;
                              });
    if (strike_apart) {
        const auto above = std::find_if(pins.begin(), pins.end(), [&](const pin& q) { return q.node > strike; });
        pins.insert(above, pin{p.strike, strike});
    }
    g.spot = pinned_axis(centre, c, pins);
    g.strike_node = strike_apart ? strike : 0;
    g.strike_smoothed = strike_apart;
    g.barrier_node = barrier;
}

double rule_points(const axis_rule& r, double q, double u, double refinement)
{
    return r.scale * (1.0 + r.with_q * q + r.with_u * u) * refinement;
}

}  // namespace

// The accuracy rule: with e the target relative to max(S, K) sqrt(vbar T), m the distance
// |ln(K / S)| / sqrt(vbar T) of the strike from the spot in standard deviations,
// f = min(1 + |rho| m, 2), q = sqrt(w / vbar) the volatility of the variance against its
// level and u = |ln(v0 / eta)| (1 - exp(-kappa T)) the drift of the variance away from v0
// (both variances at least variance_floor), each axis takes (axis_rule)
//     scale (1 + with_q q + with_u u) f e^(-1/4) spot points (fourth order: five-point
//     stencils and the smoothed payoff),
//     scale (1 + with_q q + with_u u) f e^(-1/2) variance points and steps (second order),
// each at least its minimum. American exercise takes american_spot times the spot points
// (the exercise boundary leaves the spot axis second order) and american_time times the
// steps (the finer run of the extrapolated pair).
heston_grid heston_grid::of(const heston_problem& p, const heston_settings& s)
{
    check_settings(s);
    const double scale = std::max(p.spot, p.strike) * std::sqrt(grid_variance(p) * p.years);
    const double moneyness = std::fabs(std::log(p.strike / p.spot)) / std::sqrt(grid_variance(p) * p.years);
    const double relative = s.accuracy / scale;
    const double f = std::min(1.0 + std::fabs(p.model->rho()) * moneyness, 2.0);
    const double q = std::sqrt(variance_tail(p) / grid_variance(p));
    const double drift = std::log(std::max(p.model->v0(), variance_floor) / std::max(p.model->eta(), variance_floor));
    const double u = std::fabs(drift) * -std::expm1(-p.model->kappa() * p.years);
    const double fourth_order = f / std::sqrt(std::sqrt(relative));
    const double second_order = f / std::sqrt(relative);
    const double spot_points = (p.american ? american_spot : 1.0) * rule_points(spot_rule, q, u, fourth_order);
    const std::size_t ns = s.spot_points != 0 ? s.spot_points : count(spot_points, min_spot);
    const std::size_t nv =
        s.variance_points != 0 ? s.variance_points : count(rule_points(variance_rule, q, u, second_order), min_variance);
    const double rule_time = (p.american ? american_time : 1.0) * rule_points(time_rule, q, u, second_order);
    heston_grid g;
    g.time_steps = s.time_steps != 0 ? s.time_steps : count(rule_time, min_time);
    if (p.american && s.time_steps == 0)
        g.time_steps += g.time_steps % 2;
    g.extrapolate = p.american && g.time_steps >= 2;
    check_size(ns, nv, g, s);
    g.scheme = s.scheme.value_or(adi_modified_craig_sneyd);
    g.spot = spot_axis(p, ns, g.strike_node);
    g.variance = variance_axis(p, nv);
    return g;
}

heston_grid heston_grid::with_barrier(const heston_problem& p, const heston_settings& s)
{
    heston_grid g = of(p, s);
    const std::size_t spot_points = s.spot_points != 0 ? s.spot_points : barrier_spot_factor * g.spot.size();
    if (s.time_steps == 0)
        g.time_steps *= barrier_time_factor;
    check_size(spot_points, g.variance.size(), g, s);
    barrier_spot_axis(p, spot_points, g);
    return g;
}

heston_grid heston_grid::live_part(const heston_problem& p) const
{
    const bool down = p.barrier->down;
    const std::size_t first = down ? barrier_node : 0;
    const std::size_t last = down ? spot.size() - 1 : barrier_node;
    heston_grid g = *this;
    g.spot.assign(spot.begin() + static_cast<std::ptrdiff_t>(first), spot.begin() + static_cast<std::ptrdiff_t>(last) + 1);
    g.barrier_node = down ? 0 : last;
    g.strike_smoothed = strike_smoothed && strike_node >= first + 2 && strike_node + 2 <= last;
    g.strike_node = g.strike_smoothed ? strike_node - first : 0;
    return g;
}

std::vector<double> smoothed_heston_payoff(const heston_problem& p, const heston_grid& g)
{
    // The kernel's integral of max(y, 0) about the nodes -2 ... 2 (y in spacings), less max(k, 0).
    static constexpr double fourth_order[5] = {-1.0 / 720.0, -1.0 / 36.0, 17.0 / 120.0, -1.0 / 36.0, -1.0 / 720.0};
    std::vector<double> payoff(g.spot.size());
    for (std::size_t j = 0; j < payoff.size(); ++j)
        payoff[j] = p.payoff(g.spot[j]);
    if (!g.strike_smoothed)
        return payoff;
    // A put's kink is a call's less the line S - K, which the kernel leaves as it is.
    const std::size_t k = g.strike_node;
    const double h = 0.5 * (g.spot[k + 1] - g.spot[k - 1]);
    for (std::size_t j = 0; j < 5; ++j)
        payoff[k - 2 + j] += h * fourth_order[j];
    return payoff;
}

}  // namespace korvex::pricing::details

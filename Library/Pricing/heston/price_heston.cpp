#include "Pricing/heston/price_heston.h"

#include <algorithm>
#include <cmath>

#include "Pricing/grid/five_point_weights.h"
#include "Pricing/heston/heston_grid.h"
#include "Pricing/heston/heston_problem.h"
#include "Pricing/heston/heston_solver.h"

namespace korvex::pricing {

namespace {

using details::five_point_weights;
using details::heston_grid;
using details::heston_problem;

// Instantaneous rate of a curve at the valuation date, per ACT/365 year.
double instantaneous_rate(const discount_curve& curve, const heston_problem& p)
{
    const double days = 1e-4 * (p.expiry.as_float() - p.valuation_date.as_float());
    const datetime soon(p.valuation_date.as_float() + days);
    return -curve.log_df(p.valuation_date, soon) / (days / 365.0);
}

// Whether a value is the exercise value, up to the rounding of the time extrapolation.
bool exercised(double value, double exercise) noexcept
{
    return value <= exercise + 1e-12 * std::max(1.0, exercise);
}

// The value and its derivatives at (S, v) from the quartics through 5 x 5 nodes.
struct local_values
{
    double u = 0.0;
    double u_s = 0.0;
    double u_ss = 0.0;
    double u_v = 0.0;
    double u_vv = 0.0;
    double u_sv = 0.0;
    bool exercised = true;  // every node at its exercise value
};

local_values read_off(const heston_problem& p, const heston_result& r)
{
    const five_point_weights ws = five_point_weights::at(r.spots, p.spot);
    const five_point_weights wv = five_point_weights::at(r.variances, p.model->v0());
    const std::size_t nv = r.variances.size();
    local_values l;
    for (std::size_t a = 0; a < 5; ++a) {
        const std::size_t row = (ws.first + a) * nv;
        const double u_at = wv.apply(wv.value, r.values.data() + row);
        const double u_v_at = wv.apply(wv.first_derivative, r.values.data() + row);
        l.u += ws.value[a] * u_at;
        l.u_s += ws.first_derivative[a] * u_at;
        l.u_ss += ws.second_derivative[a] * u_at;
        l.u_v += ws.value[a] * u_v_at;
        l.u_vv += ws.value[a] * wv.apply(wv.second_derivative, r.values.data() + row);
        l.u_sv += ws.first_derivative[a] * u_v_at;
        for (std::size_t b = 0; b < 5 && l.exercised; ++b)
            l.exercised = exercised(r.values[row + wv.first + b], p.payoff(r.spots[ws.first + a]));
    }
    return l;
}

// Price, delta, gamma and theta at (S, v0); theta = -V_tau from the equation.
void read_greeks(const heston_problem& p, heston_result& r)
{
    const local_values l = read_off(p, r);
    const heston_parameters& m = *p.model;
    const double s = p.spot;
    const double v = m.v0();
    const double rate = instantaneous_rate(*p.rate, p);
    const double carry = instantaneous_rate(*p.carry, p);
    r.price = l.u;
    r.delta = l.u_s;
    r.gamma = l.u_ss;
    const double v_tau = 0.5 * v * s * s * l.u_ss + m.rho() * m.sigma() * v * s * l.u_sv +
                         0.5 * m.sigma() * m.sigma() * v * l.u_vv + (rate - carry) * s * l.u_s +
                         m.kappa() * (m.eta() - v) * l.u_v - rate * l.u;
    r.theta = p.american && l.exercised ? 0.0 : -v_tau;
}

// Adds the forward S P_q - K P_r at every node: a European call's values from its put's.
void add_forward_at_nodes(const heston_problem& p, const std::vector<double>& spots, std::size_t nv,
                          std::vector<double>& values)
{
    const double strike_pv = p.strike * p.rate_df;
    for (std::size_t k = 0; k < spots.size(); ++k)
        for (std::size_t l = 0; l < nv; ++l)
            values[k * nv + l] += spots[k] * p.carry_df - strike_pv;
}

// The call's terms beyond its put: the forward S P_q(t, T) - K P_r(t, T), whose time
// derivative at a fixed spot is q S P_q - r K P_r.
void add_forward(const heston_problem& p, heston_result& r)
{
    const double strike_pv = p.strike * p.rate_df;
    add_forward_at_nodes(p, r.spots, r.variances.size(), r.values);
    r.price += p.spot * p.carry_df - strike_pv;
    r.delta += p.carry_df;
    r.theta += instantaneous_rate(*p.carry, p) * p.spot * p.carry_df - instantaneous_rate(*p.rate, p) * strike_pv;
}

// A European vanilla's values on the whole grid, a call's as its put's plus the forward.
std::vector<double> vanilla_values(heston_problem p, const heston_grid& g)
{
    const bool call = p.sign > 0.0;
    p.sign = -1.0;
    std::vector<double> values = details::solve_heston(p, g);
    if (call)
        add_forward_at_nodes(p, g.spot, g.variance.size(), values);
    return values;
}

// A barrier option's values on the live side of the barrier: a knock-out's from its own
// solve; a knock-in's by in-out parity, the vanilla solved on the whole grid less the
// knock-out part (which pays payoff - rebate at expiry unless knocked out).
std::vector<double> barrier_values(const heston_problem& p, const heston_grid& g, const heston_grid& live)
{
    std::vector<double> values = details::solve_heston(p, live);
    if (!p.barrier->knock_in)
        return values;
    heston_problem vanilla = p;
    vanilla.barrier.reset();
    const std::vector<double> whole = vanilla_values(vanilla, g);
    const std::size_t first = p.barrier->down ? g.barrier_node * g.variance.size() : 0;
    for (std::size_t k = 0; k < values.size(); ++k)
        values[k] = whole[first + k] - values[k];
    return values;
}

heston_result price(const heston_problem& p, const heston_settings& settings)
{
    if (!p.barrier && !p.american && p.sign > 0.0) {
        heston_problem put = p;
        put.sign = -1.0;
        heston_result r = price(put, settings);
        add_forward(p, r);
        return r;
    }
    const heston_grid whole = p.barrier ? heston_grid::with_barrier(p, settings) : heston_grid::of(p, settings);
    const heston_grid g = p.barrier ? whole.live_part(p) : whole;
    heston_result r;
    r.values = p.barrier ? barrier_values(p, whole, g) : details::solve_heston(p, g);
    r.spots = g.spot;
    r.variances = g.variance;
    r.time_steps = g.time_steps;
    r.scheme = g.scheme;
    read_greeks(p, r);
    return r;
}

}  // namespace

heston_result price_heston(const vanilla_option& option, const market& market, const heston_parameters& heston,
                           const heston_settings& settings)
{
    return price(heston_problem::of(option, market, heston), settings);
}

heston_result price_heston(const barrier_option& option, const market& market, const heston_parameters& heston,
                           const heston_settings& settings)
{
    return price(heston_problem::of(option, market, heston), settings);
}

}  // namespace korvex::pricing

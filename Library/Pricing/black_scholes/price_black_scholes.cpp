#include "Pricing/black_scholes/price_black_scholes.h"

#include <cmath>
#include <limits>

#include "Pricing/black_scholes/black_scholes_grid.h"
#include "Pricing/black_scholes/black_scholes_problem.h"
#include "Pricing/black_scholes/black_scholes_solver.h"
#include "Pricing/grid/five_point_weights.h"

namespace korvex::pricing {

namespace {

using details::black_scholes_grid;
using details::black_scholes_problem;

constexpr double vega_bump = 0.01;  // relative volatility bump of the bumped solves

// Instantaneous rate of a curve at the valuation date, per ACT/365 year.
double instantaneous_rate(const discount_curve& curve, const black_scholes_problem& p)
{
    const double days = 1e-4 * (p.expiry.as_float() - p.valuation_date.as_float());
    const datetime soon(p.valuation_date.as_float() + days);
    return -curve.log_df(p.valuation_date, soon) / (days / 365.0);
}

// Price, delta, gamma and theta read off the grid at the spot.
void read_off(const black_scholes_problem& p, const black_scholes_grid& g, black_scholes_result& result)
{
    const double x0 = std::log(p.spot);
    const auto w = details::five_point_weights::at(g.axis, x0);
    const double* u = result.values.data();
    const double v = w.apply(w.value, u);
    const double v_x = w.apply(w.first_derivative, u);
    const double v_xx = w.apply(w.second_derivative, u);
    result.price = v;
    result.delta = v_x / p.spot;
    result.gamma = (v_xx - v_x) / (p.spot * p.spot);

    bool exercised = p.american;
    for (std::size_t j = 0; j < 5 && exercised; ++j)
        exercised = u[w.first + j] <= p.payoff(result.spots[w.first + j]);
    const double r = instantaneous_rate(*p.rate, p);
    const double q = instantaneous_rate(*p.carry, p);
    const double sigma = p.volatility;
    result.theta = exercised ? 0.0 : r * v - (r - q) * v_x - 0.5 * sigma * sigma * (v_xx - v_x);
}

double price_at(const black_scholes_problem& p, const black_scholes_grid& g, double volatility)
{
    const std::vector<double> values = details::solve_black_scholes(p, g, volatility);
    const auto w = details::five_point_weights::at(g.axis, std::log(p.spot));
    return w.apply(w.value, values.data());
}

// The call's terms beyond its put: the forward S P_q(t, T) - K P_r(t, T), whose time
// derivative at a fixed spot is q S P_q - r K P_r.
void add_forward(const black_scholes_problem& p, black_scholes_result& result)
{
    const double strike_pv = p.strike * p.rate_df;
    for (std::size_t k = 0; k < result.values.size(); ++k)
        result.values[k] += result.spots[k] * p.carry_df - strike_pv;
    result.price += p.spot * p.carry_df - strike_pv;
    result.delta += p.carry_df;
    result.theta += instantaneous_rate(*p.carry, p) * p.spot * p.carry_df - instantaneous_rate(*p.rate, p) * strike_pv;
}

black_scholes_result price(const black_scholes_problem& p, const black_scholes_settings& settings)
{
    if (!p.barrier && !p.american && p.sign > 0.0) {
        black_scholes_problem put = p;
        put.sign = -1.0;
        black_scholes_result result = price(put, settings);
        add_forward(p, result);
        return result;
    }

    const black_scholes_grid g = black_scholes_grid::of(p, settings);
    black_scholes_result result;
    result.values = details::solve_black_scholes(p, g, p.volatility);
    result.spots.resize(g.axis.size());
    for (std::size_t k = 0; k < g.axis.size(); ++k)
        result.spots[k] = std::exp(g.axis[k]);
    result.space_points = g.axis.size();
    result.time_steps = g.time_steps;
    result.scheme = g.scheme;
    result.extrapolated = g.extrapolate;
    read_off(p, g, result);

    const double sigma = p.volatility;
    if (!p.barrier && !p.american) {
        result.vega = sigma * p.years * p.spot * p.spot * result.gamma;
    } else if (settings.vega) {
        const double h = vega_bump * sigma;
        result.vega = (price_at(p, g, sigma + h) - price_at(p, g, sigma - h)) / (2.0 * h);
    } else {
        result.vega = std::numeric_limits<double>::quiet_NaN();
    }
    return result;
}

}  // namespace

black_scholes_result price_black_scholes(const vanilla_option& option, const black_scholes_market& market,
                                         const black_scholes_settings& settings)
{
    return price(black_scholes_problem::of(option, market), settings);
}

black_scholes_result price_black_scholes(const barrier_option& option, const black_scholes_market& market,
                                         const black_scholes_settings& settings)
{
    return price(black_scholes_problem::of(option, market), settings);
}

}  // namespace korvex::pricing

#pragma once

// The grid of out-of-the-money options over which the implied volatilities are checked
// (tests) and timed (benchmarks): moneyness from -6 to +6 standard deviations in steps of
// 0.5, volatilities from 0.1% to 300%, expiries from one day to 50 years, each option
// priced by the library at its volatility. Options whose price underflows below 1e-300 or
// lies within rounding of the upper bound carry no volatility and are left out.

#include <cmath>
#include <numbers>
#include <vector>

#include "util/bachelier.h"
#include "util/black_scholes.h"

namespace korvex::testing {

struct option_point
{
    double strike, forward, expiry, volatility, sign, price;
};

inline const std::vector<double>& grid_volatilities()
{
    static const std::vector<double> values{0.001, 0.003, 0.01, 0.03, 0.1, 0.3, 1.0, 2.0, 3.0};
    return values;
}

inline const std::vector<double>& grid_expiries()
{
    static const std::vector<double> values{1.0 / 365, 7.0 / 365, 0.25, 1.0, 5.0, 20.0, 50.0};
    return values;
}

// Out of the money: a put when the strike is below the forward, a call otherwise (the sign
// rule of volatility_model::implied_volatility).
inline double out_of_the_money_sign(double strike, double forward) { return strike < forward ? -1.0 : 1.0; }

// Lognormal: forward 1, strike exp(-k s) for k = -6 ... 6 deviations s = sigma sqrt(T).
inline std::vector<option_point> black_grid()
{
    std::vector<option_point> points;
    for (double sigma : grid_volatilities())
        for (double expiry : grid_expiries())
            for (int half = -12; half <= 12; ++half) {
                const double forward = 1.0, strike = std::exp(-0.5 * half * sigma * std::sqrt(expiry));
                const double sign = out_of_the_money_sign(strike, forward);
                const double price = black_scholes::price(strike, forward, expiry, sigma, 1.0, sign);
                const double bound = sign > 0.0 ? forward : strike;
                if (price > 1e-300 && price < bound * (1.0 - 4e-16))
                    points.push_back({strike, forward, expiry, sigma, sign, price});
            }
    return points;
}

// Normal: forward 2%, normal volatilities 2% of the lognormal ones (2 bp to 6%), strike
// forward - k s.
inline std::vector<option_point> bachelier_grid()
{
    std::vector<option_point> points;
    for (double lognormal : grid_volatilities())
        for (double expiry : grid_expiries())
            for (int half = -12; half <= 12; ++half) {
                const double forward = 0.02, sigma = 0.02 * lognormal;
                const double strike = forward - 0.5 * half * sigma * std::sqrt(expiry);
                const double sign = out_of_the_money_sign(strike, forward);
                const double price = bachelier::price(strike, forward, expiry, sigma, 1.0, sign);
                if (price > 1e-300)
                    points.push_back({strike, forward, expiry, sigma, sign, price});
            }
    return points;
}

// price / (sigma vega), the factor by which a relative error of the price turns into a
// relative error of the implied volatility.
inline double black_condition(const option_point& p)
{
    const double s = p.volatility * std::sqrt(p.expiry);
    const double d1 = std::log(p.forward / p.strike) / s + 0.5 * s;
    const double vega = p.forward * std::exp(-0.5 * d1 * d1) / std::sqrt(2.0 * std::numbers::pi) * std::sqrt(p.expiry);
    return p.price / (p.volatility * vega);
}

inline double bachelier_condition(const option_point& p)
{
    const double s = p.volatility * std::sqrt(p.expiry);
    const double d = (p.forward - p.strike) / s;
    const double vega = std::exp(-0.5 * d * d) / std::sqrt(2.0 * std::numbers::pi) * std::sqrt(p.expiry);
    return p.price / (p.volatility * vega);
}

}  // namespace korvex::testing

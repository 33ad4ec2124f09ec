#pragma once

// Closed forms of Black-Scholes prices, the references of the pricing demo and of the
// pricer's tests, written from the textbooks: Black-Scholes-Merton with its Greeks, and the
// single-barrier options of Reiner and Rubinstein (1991) as Haug, "The Complete Guide to
// Option Pricing Formulas" (2nd ed., 2007), section 4.17.1, gives them. Constant rate r and
// carry q (cost of carry b = r - q).

#include <cmath>
#include <numbers>

namespace korvex::closed_forms {

inline double normal_cdf(double x)
{
    return 0.5 * std::erfc(-x / std::numbers::sqrt2);
}

inline double normal_density(double x)
{
    return std::exp(-0.5 * x * x) / std::sqrt(2.0 * std::numbers::pi);
}

struct greeks
{
    double price;
    double delta;
    double gamma;
    double theta;  // dV/dt, per year
    double vega;
};

// Black-Scholes-Merton on spot s, strike k, expiry t years, volatility v, the rate's and the
// carry's discount factors to expiry (their instantaneous rates r, q for theta).
inline greeks black_scholes(bool call, double s, double k, double t, double v, double rate_df, double carry_df,
                            double r, double q)
{
    const double w = call ? 1.0 : -1.0;
    const double sd = v * std::sqrt(t);
    const double forward = s * carry_df / rate_df;
    const double d1 = std::log(forward / k) / sd + 0.5 * sd;
    const double d2 = d1 - sd;
    greeks g;
    g.price = w * (s * carry_df * normal_cdf(w * d1) - k * rate_df * normal_cdf(w * d2));
    g.delta = w * carry_df * normal_cdf(w * d1);
    g.gamma = carry_df * normal_density(d1) / (s * sd);
    g.vega = s * carry_df * normal_density(d1) * std::sqrt(t);
    g.theta = r * g.price - (r - q) * s * g.delta - 0.5 * v * v * s * s * g.gamma;
    return g;
}

enum class barrier_type
{
    down_and_in,
    up_and_in,
    down_and_out,
    up_and_out,
};

// Haug's A-F: a single barrier h on a call or put struck at k, rebate `rebate` (paid at hit
// for knock-outs, at expiry for knock-ins, Haug's convention); `out_rebate_at_expiry` pays a
// knock-out's rebate at expiry instead (its value then is rebate e^(-rT) P(hit)).
inline double barrier(barrier_type type, bool call, double s, double k, double h, double rebate, double t,
                      double r, double q, double v, bool out_rebate_at_expiry = false)
{
    const double b = r - q;
    const double sd = v * std::sqrt(t);
    const double mu = (b - 0.5 * v * v) / (v * v);
    const double lambda = std::sqrt(mu * mu + 2.0 * r / (v * v));
    const double x1 = std::log(s / k) / sd + (1.0 + mu) * sd;
    const double x2 = std::log(s / h) / sd + (1.0 + mu) * sd;
    const double y1 = std::log(h * h / (s * k)) / sd + (1.0 + mu) * sd;
    const double y2 = std::log(h / s) / sd + (1.0 + mu) * sd;
    const double z = std::log(h / s) / sd + lambda * sd;
    const bool down = type == barrier_type::down_and_in || type == barrier_type::down_and_out;
    const double eta = down ? 1.0 : -1.0;
    const double phi = call ? 1.0 : -1.0;
    const double carry = std::exp((b - r) * t);
    const double discount = std::exp(-r * t);
    const double ratio = h / s;
    const double A = phi * s * carry * normal_cdf(phi * x1) - phi * k * discount * normal_cdf(phi * x1 - phi * sd);
    const double B = phi * s * carry * normal_cdf(phi * x2) - phi * k * discount * normal_cdf(phi * x2 - phi * sd);
    const double C = phi * s * carry * std::pow(ratio, 2.0 * (mu + 1.0)) * normal_cdf(eta * y1) -
                     phi * k * discount * std::pow(ratio, 2.0 * mu) * normal_cdf(eta * y1 - eta * sd);
    const double D = phi * s * carry * std::pow(ratio, 2.0 * (mu + 1.0)) * normal_cdf(eta * y2) -
                     phi * k * discount * std::pow(ratio, 2.0 * mu) * normal_cdf(eta * y2 - eta * sd);
    const double E = rebate * discount *
                     (normal_cdf(eta * x2 - eta * sd) - std::pow(ratio, 2.0 * mu) * normal_cdf(eta * y2 - eta * sd));
    const double F = rebate * (std::pow(ratio, mu + lambda) * normal_cdf(eta * z) +
                               std::pow(ratio, mu - lambda) * normal_cdf(eta * z - 2.0 * eta * lambda * sd));
    const double out_rebate = out_rebate_at_expiry ? rebate * discount - E : F;
    const bool above = k > h;
    switch (type) {
    case barrier_type::down_and_in:
        return call ? (above ? C + E : A - B + D + E) : (above ? B - C + D + E : A + E);
    case barrier_type::up_and_in:
        return call ? (above ? A + E : B - C + D + E) : (above ? A - B + D + E : C + E);
    case barrier_type::down_and_out:
        return (call ? (above ? A - C : B - D) : (above ? A - B + C - D : 0.0)) + out_rebate;
    case barrier_type::up_and_out:
        return (call ? (above ? 0.0 : A - B + C - D) : (above ? B - D : A - C)) + out_rebate;
    }
    return 0.0;
}

}  // namespace korvex::closed_forms

#pragma once

// European options under Black-Scholes, priced in closed form and by the PDE engine driven
// by hand: the set-up of the PDE engine's own Black-Scholes tests (tests/PDE), which vary its
// layouts, stencils and schemes. Pricing code uses libPricing instead (pricing_black_scholes.cpp).

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <memory>
#include <vector>

#include "PDE/coefficients/pde_model_coefficients.h"
#include "PDE/grid/space_grid.h"
#include "PDE/grid/time_grid.h"
#include "PDE/scheme/pde_scheme.h"
#include "PDE/storage/pde_storage.h"
#include "util/black_scholes.h"
#include "util/datetime.h"

namespace korvex::black_scholes_pde {

struct european_option
{
    double spot = 100.0;
    double strike = 100.0;
    double volatility = 0.2;
    double rate = 0.05;
    double dividend = 0.02;
    double days = 365.0;  // ACT/365 Fixed: one year
    bool call = true;
    double down_and_out = 0.0;  // a knock-out barrier below the spot (no rebate); 0 for none
};

inline double normal_cdf(double x)
{
    return 0.5 * std::erfc(-x / std::sqrt(2.0));
}

// Black's formula on the forward S exp((r - q) t), discounted by exp(-r t).
inline double closed_form(const european_option& o)
{
    const double t = o.days / 365.0;
    const double forward = o.spot * std::exp((o.rate - o.dividend) * t);
    return black_scholes::price(o.strike, forward, t, o.volatility, std::exp(-o.rate * t), o.call ? 1.0 : -1.0);
}

enum class layout
{
    uniform,       // evenly spaced in log-spot
    concentrated,  // refined around the strike and the spot
};

struct settings
{
    pde_scheme_type type = crank_nicolson;
    layout axis = layout::uniform;
    std::size_t space_points = 201;
    std::size_t time_steps = 200;
    std::size_t stencil = 3;
    double deviations = 5.0;          // half-width of the log-spot domain, in sigma sqrt(T)
    std::size_t rannacher_steps = 2;  // fully implicit half steps at maturity (type 4)
};

// The time grid: equal steps from the valuation date to maturity, walked backward; for
// Crank-Nicolson the first step after maturity is split into fully implicit fine steps.
inline std::shared_ptr<const time_grid> make_time_grid(const european_option& o, const settings& s)
{
    const datetime start(2024, 1, 1);
    const datetime maturity(start.as_float() + o.days);
    // A step a hair shorter than days / steps, so that truncating the ratio gives `steps`.
    const double step = o.days / static_cast<double>(s.time_steps) * (1.0 - 1e-12);
    if (s.type == crank_nicolson) {
        const time_grid_config config(time_grid_config::event_rannacher, time_grid_config::backward,
                                      false, step, s.rannacher_steps, o.days);
        return std::make_shared<const time_grid>(config, start, maturity, std::vector<datetime>{maturity},
                                                 std::vector<datetime>{});
    }
    const time_grid_config config(time_grid_config::fixed_step, time_grid_config::backward, false,
                                  step, 0, 0.0);
    return std::make_shared<const time_grid>(config, start, maturity, std::vector<datetime>{},
                                             std::vector<datetime>{});
}

inline std::shared_ptr<const space_grid> make_space_grid(const european_option& o, const settings& s)
{
    const double centre = std::log(o.spot);
    const double half_width = s.deviations * o.volatility * std::sqrt(o.days / 365.0);
    const auto type = s.axis == layout::uniform ? space_grid_config::uniform : space_grid_config::concentrated;
    const space_grid_config config(type, false, false, space_grid_config::identity, 0.0, 1.0, 0.0);
    return std::make_shared<const space_grid>(config, s.space_points, centre - half_width,
                                              centre + half_width, 0.0,
                                              std::vector<double>{std::log(o.strike), centre});
}

// Value at log-spot x of the grid function `values`, linear between the two nodes around x.
inline double value_at(const std::vector<double>& axis, const double* values, double x)
{
    const auto above = std::lower_bound(axis.begin(), axis.end(), x);
    const std::size_t k = std::clamp<std::size_t>(static_cast<std::size_t>(above - axis.begin()), 1, axis.size() - 1);
    const double weight = (x - axis[k - 1]) / (axis[k] - axis[k - 1]);
    return values[k - 1] + weight * (values[k] - values[k - 1]);
}

// Solves V_t + a V_xx + b V_x - r V = 0 in x = log-spot backward from the payoff, with
// a = sigma^2 / 2, b = r - q - sigma^2 / 2, both ends no_diffusion; the coefficients of
// every step are scaled by the step's year fraction. Returns the value at the spot.
inline double pde_price(const european_option& o, const settings& s)
{
    const auto times = make_time_grid(o, s);
    const auto space = make_space_grid(o, s);
    const std::size_t n = space->size();
    const auto coefficients = std::make_shared<pde_model_coefficients>(std::vector<std::size_t>{n}, false);
    // A barrier is a floating lower end where the value stays 0.
    pde_boundary_config ends;
    if (o.down_and_out > 0.0)
        ends = pde_boundary_config(pde_boundary_config::no_diffusion, false, 0.0,
                                   pde_boundary_config::fixed_value, true, std::log(o.down_and_out));
    pde_storage storage(1, {n}, {{ends}});
    const std::vector<double>& x = space->axis();
    for (std::size_t k = 0; k < n; ++k) {
        const double s_k = std::exp(x[k]);
        const bool knocked_out = s_k <= o.down_and_out;
        storage.result()[k] = knocked_out ? 0.0 : std::max(o.call ? s_k - o.strike : o.strike - s_k, 0.0);
    }

    const auto scheme = pde_scheme::create_scheme(times, {space}, {coefficients}, {s.stencil}, {false},
                                                  s.type, false, matrix<double>());
    const std::vector<pde_boundary_coefficients> boundary{{coefficients, coefficients}};
    const double variance_rate = 0.5 * o.volatility * o.volatility;
    for (std::size_t i = times->size() - 1; i > 0; --i) {
        scheme->initialize(i);
        const double dt = times->day_count()->fraction(scheme->to(), scheme->from());
        coefficients->diffusion_ = variance_rate * dt;
        coefficients->convection_ = (o.rate - o.dividend - variance_rate) * dt;
        coefficients->reaction_ = -o.rate * dt;
        scheme->diffuse(storage, boundary, 1.0);
    }
    return value_at(x, storage.result().data(), std::log(o.spot));
}

}  // namespace korvex::black_scholes_pde

#include "Pricing/black_scholes/black_scholes_solver.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "PDE/boundary/pde_boundary_config.h"
#include "PDE/coefficients/pde_model_coefficients.h"
#include "PDE/grid/space_grid.h"
#include "PDE/grid/time_grid.h"
#include "PDE/scheme/pde_scheme_one_dimension.h"
#include "PDE/storage/pde_storage.h"
#include "Pricing/grid/smoothed_payoff.h"
#include "util/black_scholes.h"

namespace korvex::pricing::details {

namespace {

constexpr std::size_t stencil = 5;
constexpr std::size_t rannacher_steps = 4;  // fully implicit steps that split a Crank-Nicolson start
constexpr double days_per_year = 365.0;

// Equal steps from the valuation date to expiry, walked backward; Crank-Nicolson splits the
// step at expiry into fully implicit ones (Rannacher, 1984).
std::shared_ptr<const time_grid> make_time_grid(const black_scholes_problem& p, std::size_t steps,
                                                pde_scheme_type scheme)
{
    const double start = p.valuation_date.as_float();
    const double days = p.expiry.as_float() - start;
    std::vector<datetime> inner;
    inner.reserve(steps);
    for (std::size_t j = 1; j < steps; ++j)
        inner.emplace_back(start + days * static_cast<double>(j) / static_cast<double>(steps));
    if (scheme == crank_nicolson) {
        const time_grid_config config(time_grid_config::event_rannacher, time_grid_config::backward, false, 0.0,
                                      rannacher_steps, days);
        return std::make_shared<const time_grid>(config, p.valuation_date, p.expiry, std::vector<datetime>{p.expiry},
                                                 inner);
    }
    const time_grid_config config(time_grid_config::fixed_step, time_grid_config::backward, false, 0.0, 0, 0.0);
    return std::make_shared<const time_grid>(config, p.valuation_date, p.expiry, std::vector<datetime>{}, inner);
}

// Whether a European barrier needs the knock-out digital beside the payoff.
bool needs_digital(const black_scholes_problem& p)
{
    return p.barrier && !p.american && p.barrier->rebate != 0.0 && (p.barrier->knock_in || !p.barrier->rebate_at_hit);
}

// The values held at the two ends of the axis at date t, row by row (see the header).
class end_values
{
public:
    end_values(const black_scholes_problem& p, const black_scholes_grid& g) : p_(p), g_(g) {}

    // Sets both ends of row `index` (n values).
    void hold(double* row, std::size_t index, std::size_t n, const datetime& t) const
    {
        const double rate_df = p_.rate->df(t, p_.expiry);
        const double carry_df = p_.carry->df(t, p_.expiry);
        row[0] = value(index, true, rate_df, carry_df);
        row[n - 1] = value(index, false, rate_df, carry_df);
    }

private:
    double value(std::size_t row, bool lower, double rate_df, double carry_df) const
    {
        const double s = std::exp(lower ? g_.axis.front() : g_.axis.back());
        const bool barrier = g_.ends_on_barrier && p_.barrier->down == lower;
        if (row == 1)  // the knock-out digital
            return barrier ? 0.0 : rate_df;
        double v = 0.0;
        if (barrier) {
            const auto& b = *p_.barrier;
            const bool pays_here = !b.knock_in && (b.rebate_at_hit || p_.american);
            v = pays_here ? (b.rebate_at_hit ? b.rebate : b.rebate * rate_df) : 0.0;
        } else {
            v = std::max(p_.sign * (s * carry_df - p_.strike * rate_df), 0.0);
        }
        return p_.american ? std::max(v, p_.payoff(s)) : v;
    }

    const black_scholes_problem& p_;
    const black_scholes_grid& g_;
};

// One backward solve over one time grid, every row of the storage at once.
class engine_run
{
public:
    engine_run(const black_scholes_problem& problem, const black_scholes_grid& grid,
               const std::shared_ptr<const space_grid>& space, double volatility, std::size_t steps)
        : p_(problem),
          g_(grid),
          ends_(problem, grid),
          n_(space->size()),
          volatility_(volatility),
          times_(make_time_grid(problem, steps, grid.scheme)),
          coefficients_(std::make_shared<pde_model_coefficients>(std::vector<std::size_t>{n_}, false)),
          scheme_(std::make_shared<pde_scheme_one_dimension>(times_, space, coefficients_, stencil, grid.scheme, false)),
          boundary_{{coefficients_, coefficients_}}
    {
        scheme_->set_three_point_rows_next_to_fixed_ends(true);
    }

    // Values at the valuation date of every row, row after row.
    std::vector<double> solve(const std::vector<std::vector<double>>& rows)
    {
        const auto held = pde_boundary_config::fixed_value;
        const pde_boundary_config ends(held, false, 0.0, held, false, 0.0);
        const std::size_t count = rows.size();
        pde_storage storage(count, {count, n_}, std::vector<std::vector<pde_boundary_config>>(count, {ends}));
        double* u = storage.result().data();
        for (std::size_t r = 0; r < count; ++r)
            std::copy(rows[r].begin(), rows[r].end(), u + r * n_);
        if (p_.american)
            start_exercise();
        for (std::size_t i = times_->size() - 1; i > 0; --i) {
            scheme_->initialize(i);
            const double years = set_coefficients(times_->date(i), times_->date(i - 1));
            for (std::size_t r = 0; r < count; ++r)
                ends_.hold(u + r * n_, r, n_, times_->date(i - 1));
            if (p_.american)
                add_source(u, years, source_share());
            scheme_->diffuse(storage, boundary_, 1.0);
            if (p_.american)
                project(u, years);
        }
        return std::vector<double>(u, u + count * n_);
    }

private:
    // The step from `from` back to `to`: its year fraction, with the curves' integrals.
    double set_coefficients(const datetime& from, const datetime& to)
    {
        const double years = (from.as_float() - to.as_float()) / days_per_year;
        const double variance = 0.5 * volatility_ * volatility_ * years;
        const double rate = p_.rate->log_df(to, from);  // -(integral of r)
        const double carry = p_.carry->log_df(to, from);
        coefficients_->diffusion_ = variance;
        coefficients_->convection_ = carry - rate - variance;
        coefficients_->reaction_ = rate;
        return years;
    }

    void start_exercise()
    {
        exercise_.resize(n_);
        for (std::size_t k = 0; k < n_; ++k)
            exercise_[k] = p_.payoff(std::exp(g_.axis[k]));
        multiplier_.assign(n_, 0.0);
    }

    // The share of the step's source dt lambda taken before the solve: all of it on fully
    // implicit and two-stage steps, half on a Crank-Nicolson one (the other half after).
    double source_share() const
    {
        return g_.scheme == crank_nicolson && !scheme_->is_rannacher_step() ? 0.5 : 1.0;
    }

    // The source on the inner nodes (the ends are held).
    void add_source(double* u, double years, double share) const
    {
        for (std::size_t k = 1; k + 1 < n_; ++k)
            u[k] += share * years * multiplier_[k];
    }

    void project(double* u, double years)
    {
        add_source(u, years, 1.0 - source_share());
        for (std::size_t k = 1; k + 1 < n_; ++k) {
            const double solved = u[k];
            u[k] = std::max(solved - years * multiplier_[k], exercise_[k]);
            multiplier_[k] = std::max(0.0, multiplier_[k] + (exercise_[k] - solved) / years);
        }
    }

    const black_scholes_problem& p_;
    const black_scholes_grid& g_;
    end_values ends_;
    std::size_t n_;
    double volatility_;
    std::shared_ptr<const time_grid> times_;
    std::shared_ptr<pde_model_coefficients> coefficients_;
    std::shared_ptr<pde_scheme_one_dimension> scheme_;
    std::vector<pde_boundary_coefficients> boundary_;
    std::vector<double> exercise_;
    std::vector<double> multiplier_;
};

// The rows at expiry: the payoff (smoothed at its kink), then the knock-out digital when
// needed, with the ends' values.
std::vector<std::vector<double>> expiry_rows(const black_scholes_problem& p, const black_scholes_grid& g)
{
    std::vector<std::vector<double>> rows{smoothed_payoff(g.axis, p.strike, p.sign)};
    if (needs_digital(p))
        rows.emplace_back(g.axis.size(), 1.0);
    const end_values ends(p, g);
    for (std::size_t r = 0; r < rows.size(); ++r)
        ends.hold(rows[r].data(), r, rows[r].size(), p.expiry);
    return rows;
}

// Both runs of an extrapolated pair, or the one run.
std::vector<double> solve_rows(const black_scholes_problem& p, const black_scholes_grid& g, double volatility)
{
    const std::vector<std::vector<double>> rows = expiry_rows(p, g);
    const space_grid_config explicit_axis(space_grid_config::explicit_points, false, false, space_grid_config::identity,
                                          0.0, 1.0, 0.0);
    const auto space = std::make_shared<const space_grid>(explicit_axis, g.axis.size(), g.axis.front(),
                                                          g.axis.back(), 0.0, g.axis);
    std::vector<double> fine = engine_run(p, g, space, volatility, g.time_steps).solve(rows);
    if (!g.extrapolate)
        return fine;
    const std::size_t coarse_steps = std::max<std::size_t>(g.time_steps / 2, 1);
    const std::vector<double> coarse = engine_run(p, g, space, volatility, coarse_steps).solve(rows);
    const double n2 = static_cast<double>(g.time_steps) * static_cast<double>(g.time_steps);
    const double m2 = static_cast<double>(coarse_steps) * static_cast<double>(coarse_steps);
    for (std::size_t k = 0; k < fine.size(); ++k)
        fine[k] = (n2 * fine[k] - m2 * coarse[k]) / (n2 - m2);
    return fine;
}

}  // namespace

std::vector<double> solve_black_scholes(const black_scholes_problem& p, const black_scholes_grid& g, double volatility)
{
    const std::vector<double> rows = solve_rows(p, g, volatility);
    const std::size_t n = g.axis.size();
    std::vector<double> values(rows.begin(), rows.begin() + static_cast<std::ptrdiff_t>(n));
    if (!p.barrier || p.american)
        return values;
    const auto& b = *p.barrier;
    const double* digital = rows.size() > n ? rows.data() + n : nullptr;
    if (b.knock_in) {
        for (std::size_t k = 0; k < n; ++k) {
            const double s = std::exp(g.axis[k]);
            const double forward = s * p.carry_df / p.rate_df;
            const double vanilla = black_scholes::price(p.strike, forward, p.years, volatility, p.rate_df, p.sign);
            values[k] = vanilla - values[k] + (digital != nullptr ? b.rebate * digital[k] : 0.0);
        }
    } else if (digital != nullptr) {
        for (std::size_t k = 0; k < n; ++k)
            values[k] += b.rebate * (p.rate_df - digital[k]);
    }
    return values;
}

}  // namespace korvex::pricing::details

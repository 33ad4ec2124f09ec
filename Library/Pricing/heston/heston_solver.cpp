#include "Pricing/heston/heston_solver.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

#include "PDE/boundary/pde_boundary_config.h"
#include "PDE/coefficients/pde_model_coefficients.h"
#include "PDE/grid/space_grid.h"
#include "PDE/grid/time_grid.h"
#include "PDE/storage/pde_storage.h"
#include "Vectorization/expressions/matrix.h"

namespace korvex::pricing::details {

namespace {

constexpr std::size_t spot_stencil = 5;
constexpr std::size_t variance_stencil = 3;
constexpr double days_per_year = 365.0;

// Equal steps from the valuation date to expiry, walked backward.
std::shared_ptr<const time_grid> make_time_grid(const heston_problem& p, std::size_t steps)
{
    const double start = p.valuation_date.as_float();
    const double days = p.expiry.as_float() - start;
    std::vector<datetime> inner;
    inner.reserve(steps);
    for (std::size_t j = 1; j < steps; ++j)
        inner.emplace_back(start + days * static_cast<double>(j) / static_cast<double>(steps));
    const time_grid_config config(time_grid_config::fixed_step, time_grid_config::backward, false, 0.0, 0, 0.0);
    return std::make_shared<const time_grid>(config, p.valuation_date, p.expiry, std::vector<datetime>{}, inner);
}

// The relative rounding of an integral over one of `steps` equal steps: its dates carry the
// rounding of the expiry's serial (or of the span from the curve's date, whichever is
// larger), a few units in the last place, which over a short step is a larger share.
double step_rounding(const heston_problem& p, std::size_t steps) noexcept
{
    const double span = p.expiry.as_float() - p.valuation_date.as_float();
    const double step = span / static_cast<double>(steps);
    return 16.0 * std::numeric_limits<double>::epsilon() * std::max(std::fabs(p.expiry.as_float()), span) / step;
}

std::shared_ptr<const space_grid> space_grid_of(const std::vector<double>& points)
{
    const space_grid_config config(space_grid_config::explicit_points, false, false, space_grid_config::identity,
                                   0.0, 1.0, 0.0);
    return std::make_shared<const space_grid>(config, points.size(), points.front(), points.back(), 0.0, points);
}

// The ends of the spot and variance axes: a barrier is held at its value (fixed_value), every
// other end is a no_diffusion row.
std::vector<pde_boundary_config> boundaries(const heston_problem& p)
{
    if (!p.barrier)
        return {pde_boundary_config(), pde_boundary_config()};
    const auto held = pde_boundary_config::fixed_value;
    const auto free = pde_boundary_config::no_diffusion;
    const pde_boundary_config spot = p.barrier->down ? pde_boundary_config(free, false, 0.0, held, false, 0.0)
                                                     : pde_boundary_config(held, false, 0.0, free, false, 0.0);
    return {spot, pde_boundary_config()};
}

// The value held on the barrier over the step from `from` back to `to`: the rebate, paid at
// hit or discounted from expiry to the step's midpoint (which keeps the time error of the
// held value second order), at least the exercise value when American; 0 for the knock-out
// part of a knock-in.
double barrier_value(const heston_problem& p, const datetime& from, const datetime& to)
{
    const barrier_terms& b = *p.barrier;
    if (b.knock_in)
        return 0.0;
    double value = b.rebate;
    if (!b.rebate_at_hit)
        value *= p.rate->df(datetime(0.5 * (from.as_float() + to.as_float())), p.expiry);
    return p.american ? std::max(value, p.payoff(b.level)) : value;
}

// The values at expiry on the spot nodes: the smoothed payoff, less the rebate for the
// knock-out part of a knock-in (which then pays payoff - rebate unless knocked out), and the
// barrier's value on its node.
std::vector<double> expiry_values(const heston_problem& p, const heston_grid& g)
{
    std::vector<double> values = smoothed_heston_payoff(p, g);
    if (!p.barrier)
        return values;
    if (p.barrier->knock_in) {
        for (double& v : values)
            v -= p.barrier->rebate;
    }
    values[g.barrier_node] = barrier_value(p, p.expiry, p.expiry);
    return values;
}

// Backward solves of one grid: the axes, coefficient tensors and storage are built once and
// serve every run (the two runs of an extrapolated pair); each run has its own time grid
// and scheme.
class heston_runs
{
public:
    heston_runs(const heston_problem& problem, const heston_grid& grid)
        : p_(problem),
          g_(grid),
          ns_(grid.spot.size()),
          nv_(grid.variance.size()),
          axes_{space_grid_of(grid.spot), space_grid_of(grid.variance)},
          spot_part_(std::make_shared<pde_model_coefficients>(std::vector<std::size_t>{ns_, nv_}, false)),
          variance_part_(std::make_shared<pde_model_coefficients>(std::vector<std::size_t>{ns_, nv_}, false)),
          correlation_(2, 2),
          storage_(1, {ns_, nv_}, {boundaries(problem)}),
          start_(expiry_values(problem, grid))
    {
        variance_part_->reaction_ = tensor<double>({0});
        correlation_ = 1.0;
        correlation_(0, 1) = correlation_(1, 0) = p_.model->rho();
    }

    // The values at the valuation date after `steps` equal steps back from expiry.
    std::vector<double> solve(std::size_t steps)
    {
        const std::shared_ptr<const time_grid> times = make_time_grid(p_, steps);
        const std::shared_ptr<pde_scheme> scheme =
            pde_scheme::create_scheme(times, axes_, {spot_part_, variance_part_}, {spot_stencil, variance_stencil},
                                      {false, false}, g_.scheme, false, correlation_);
        step_years_ = (p_.expiry.as_float() - p_.valuation_date.as_float()) / static_cast<double>(steps) / days_per_year;
        rounding_ = step_rounding(p_, steps);
        filled_[0] = -1.0;
        double* u = storage_.result().data();
        for (std::size_t k = 0; k < ns_; ++k)
            std::fill(u + k * nv_, u + (k + 1) * nv_, start_[k]);
        for (std::size_t i = times->size() - 1; i > 0; --i) {
            scheme->initialize(i);
            set_coefficients(times->date(i), times->date(i - 1));
            if (p_.barrier) {
                double* barrier = u + g_.barrier_node * nv_;
                std::fill(barrier, barrier + nv_, barrier_value(p_, times->date(i), times->date(i - 1)));
            }
            scheme->diffuse(storage_, {}, 1.0);
            if (p_.american)
                project(u);
        }
        return std::vector<double>(u, u + ns_ * nv_);
    }

private:
    // The step from `from` back to `to`; the tensors are rewritten only when the step's
    // length or integrated rates change, so that the scheme can keep its factorisations.
    // Equal steps differ only by the rounding of their dates, which must not count as a
    // change: the length is the grid's nominal one, and integrals within rounding of the
    // last ones are kept.
    void set_coefficients(const datetime& from, const datetime& to)
    {
        const double years = step_years_;
        const double rate = -p_.rate->log_df(to, from);  // integral of r over the step
        const double carry = -p_.carry->log_df(to, from);
        if (years == filled_[0] && within_rounding(rate, filled_[1]) && within_rounding(carry, filled_[2]))
            return;
        filled_[0] = years;
        filled_[1] = rate;
        filled_[2] = carry;
        const heston_parameters& m = *p_.model;
        for (std::size_t k = 0; k < ns_; ++k) {
            const double s = g_.spot[k];
            for (std::size_t l = 0; l < nv_; ++l) {
                const std::size_t n = k * nv_ + l;
                const double v = g_.variance[l];
                spot_part_->diffusion_[n] = 0.5 * v * s * s * years;
                spot_part_->convection_[n] = (rate - carry) * s;
                spot_part_->reaction_[n] = -rate;
                variance_part_->diffusion_[n] = 0.5 * m.sigma() * m.sigma() * v * years;
                variance_part_->convection_[n] = m.kappa() * (m.eta() - v) * years;
            }
        }
    }

    bool within_rounding(double a, double b) const noexcept
    {
        return std::fabs(a - b) <= rounding_ * std::max(std::fabs(a), std::fabs(b));
    }

    void project(double* u) const
    {
        for (std::size_t k = 0; k < ns_; ++k) {
            const double exercise = p_.payoff(g_.spot[k]);
            for (std::size_t l = 0; l < nv_; ++l)
                u[k * nv_ + l] = std::max(u[k * nv_ + l], exercise);
        }
    }

    const heston_problem& p_;
    const heston_grid& g_;
    std::size_t ns_;
    std::size_t nv_;
    std::vector<std::shared_ptr<const space_grid>> axes_;
    std::shared_ptr<pde_model_coefficients> spot_part_;
    std::shared_ptr<pde_model_coefficients> variance_part_;
    matrix<double> correlation_;
    pde_storage storage_;
    std::vector<double> start_;
    double step_years_ = 0.0;
    double rounding_ = 0.0;
    double filled_[3] = {-1.0, 0.0, 0.0};
};

}  // namespace

std::vector<double> solve_heston(const heston_problem& problem, const heston_grid& grid)
{
    heston_runs runs(problem, grid);
    std::vector<double> fine = runs.solve(grid.time_steps);
    if (!grid.extrapolate)
        return fine;
    // First-order errors c / N cancel in (N V_N - M V_M) / (N - M).
    const std::size_t coarse_steps = grid.time_steps / 2;
    const std::vector<double> coarse = runs.solve(coarse_steps);
    const auto n = static_cast<double>(grid.time_steps);
    const auto m = static_cast<double>(coarse_steps);
    const std::size_t nv = grid.variance.size();
    for (std::size_t k = 0; k < fine.size(); ++k) {
        // The combination may fall below the exercise value, which the option is worth at least.
        const double extrapolated = (n * fine[k] - m * coarse[k]) / (n - m);
        fine[k] = std::max(extrapolated, problem.payoff(grid.spot[k / nv]));
    }
    return fine;
}

}  // namespace korvex::pricing::details

#pragma once

// The scan shared by the Heston benchmarks: each side's fastest "steady" grid (one that errs
// below the target and whose grids 1.5 and 2 times as fine do too, so that no side wins on
// errors of opposite signs cancelling on a coarse grid), CPU timing, and QuantLib's
// FdHestonVanillaEngine with the candidates scanned for it.
//
// The scan tries candidates from the cheapest (points times steps) up and stops once the cost
// passes three times that of the cheapest steady one. A candidate whose single run takes more
// than `slowest_run` CPU seconds is skipped, and so, unrun, is one that the slowest rate seen
// so far (seconds per point and step, over runs long enough to measure) predicts to take more:
// the scan stays bounded where the first steady grid is far up the list.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <ctime>
#include <optional>
#include <vector>

#ifdef KORVEX_HAVE_QUANTLIB
#include <ql/exercise.hpp>
#include <ql/instruments/payoffs.hpp>
#include <ql/instruments/vanillaoption.hpp>
#include <ql/models/equity/hestonmodel.hpp>
#include <ql/pricingengines/vanilla/fdhestonvanillaengine.hpp>
#include <ql/processes/hestonprocess.hpp>
#include <ql/quotes/simplequote.hpp>
#include <ql/termstructures/yield/flatforward.hpp>
#include <ql/time/daycounters/actual365fixed.hpp>
#endif

namespace korvex::bench {

inline double cpu_seconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

// Steps, spot and variance points of a grid.
struct grid_size
{
    std::size_t steps = 0;
    std::size_t spot = 0;
    std::size_t variance = 0;

    double cost() const { return static_cast<double>(steps) * static_cast<double>(spot) * static_cast<double>(variance); }
    static std::size_t times(double factor, std::size_t n)
    {
        return static_cast<std::size_t>(std::lround(factor * static_cast<double>(n)));
    }
    grid_size scaled(double factor) const { return {times(factor, steps), times(factor, spot), times(factor, variance)}; }
};

// CPU seconds per price, best of three runs of at least 20 ms.
template <class Price>
double time_per_price(const Price& price)
{
    double best = 1e300;
    for (int run = 0; run < 3; ++run) {
        const double start = cpu_seconds();
        std::size_t count = 0;
        double elapsed = 0.0;
        do {
            benchmark::DoNotOptimize(price());
            ++count;
            elapsed = cpu_seconds() - start;
        } while (elapsed < 0.02);
        best = std::min(best, elapsed / static_cast<double>(count));
    }
    return best;
}

// A steady grid and its CPU seconds per price.
template <class Grid>
struct timed_grid
{
    Grid grid;
    double seconds;
};

// The fastest steady grid among `candidates` (see the file comment), none if no candidate is
// steady. `price(grid)` prices on a grid; Grid has cost() and scaled(factor).
template <class Grid, class Price>
std::optional<timed_grid<Grid>> fastest_steady(const Price& price, double reference, double target,
                                               std::vector<Grid> candidates, double slowest_run = 0.2)
{
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const Grid& a, const Grid& b) { return a.cost() < b.cost(); });
    const auto reaches = [&](const Grid& k) { return std::fabs(price(k) - reference) < target; };
    std::vector<Grid> steady;
    double seconds_per_cost = 0.0;
    for (const Grid& k : candidates) {
        if (!steady.empty() && k.cost() > 3.0 * steady.front().cost())
            break;
        if (seconds_per_cost * k.cost() > slowest_run)
            continue;
        const double start = cpu_seconds();
        const double value = price(k);
        const double seconds = cpu_seconds() - start;
        if (seconds > 0.02)
            seconds_per_cost = std::max(seconds_per_cost, seconds / k.cost());
        if (seconds > slowest_run || std::fabs(value - reference) >= target)
            continue;
        if (reaches(k.scaled(2.0)) && reaches(k.scaled(1.5)))
            steady.push_back(k);
    }
    std::optional<timed_grid<Grid>> best;
    for (const Grid& k : steady) {
        const double seconds = time_per_price([&] { return price(k); });
        if (!best || seconds < best->seconds)
            best = timed_grid<Grid>{k, seconds};
    }
    return best;
}

#ifdef KORVEX_HAVE_QUANTLIB
// A grid of FdHestonVanillaEngine: steps, spot and variance points, the scheme (0
// Hundsdorfer, 1 modified Craig-Sneyd) and the damping steps.
struct quantlib_grid : grid_size
{
    int scheme = 0;
    int damping = 0;

    quantlib_grid scaled(double factor) const { return {grid_size::scaled(factor), scheme, damping}; }
};

// A Heston model on a spot of 100 with v0 = eta and flat curves (ACT/365 Fixed), and an
// option struck at 100 expiring `days` after the evaluation date.
struct quantlib_heston_case
{
    double kappa, eta, sigma, rho, rate, carry;
    int days;
};

// The European call (or the American put) struck at 100 by FdHestonVanillaEngine on `grid`.
inline double quantlib_heston_price(const quantlib_heston_case& c, bool american_put, const quantlib_grid& grid)
{
    using namespace QuantLib;
    const Date start(2, January, 2024);
    Settings::instance().evaluationDate() = start;
    const DayCounter day_count = Actual365Fixed();
    const Handle<Quote> spot(ext::make_shared<SimpleQuote>(100.0));
    const Handle<YieldTermStructure> rate(ext::make_shared<FlatForward>(start, c.rate, day_count));
    const Handle<YieldTermStructure> carry(ext::make_shared<FlatForward>(start, c.carry, day_count));
    const auto process = ext::make_shared<HestonProcess>(rate, carry, spot, c.eta, c.kappa, c.eta, c.sigma, c.rho);
    const Date expiry = start + c.days;
    const ext::shared_ptr<Exercise> exercise =
        american_put ? ext::shared_ptr<Exercise>(ext::make_shared<AmericanExercise>(start, expiry))
                     : ext::shared_ptr<Exercise>(ext::make_shared<EuropeanExercise>(expiry));
    VanillaOption option(ext::make_shared<PlainVanillaPayoff>(american_put ? Option::Put : Option::Call, 100.0),
                         exercise);
    const FdmSchemeDesc scheme = grid.scheme == 0 ? FdmSchemeDesc::Hundsdorfer() : FdmSchemeDesc::ModifiedCraigSneyd();
    option.setPricingEngine(ext::make_shared<FdHestonVanillaEngine>(ext::make_shared<HestonModel>(process), grid.steps,
                                                                    grid.spot, grid.variance,
                                                                    static_cast<Size>(grid.damping), scheme));
    return option.NPV();
}

// Hundsdorfer and modified Craig-Sneyd, 0 or 2 damping steps, 4-30 steps (European) or 4-400
// (American: the projection's time error is first order), 40-400 spot and 5-40 variance
// points, on the engine's own mesher.
inline std::vector<quantlib_grid> quantlib_candidates(bool american)
{
    std::vector<std::size_t> step_counts{4, 5, 6, 8, 10, 12, 15, 20, 25, 30};
    if (american)
        step_counts.insert(step_counts.end(), {40, 50, 60, 80, 100, 150, 200, 300, 400});
    std::vector<quantlib_grid> all;
    for (const int scheme : {0, 1})
        for (const int damping : {0, 2})
            for (const std::size_t steps : step_counts)
                for (const std::size_t spot : {40u, 50u, 60u, 80u, 100u, 120u, 150u, 200u, 250u, 300u, 400u})
                    for (const std::size_t variance : {5u, 6u, 8u, 10u, 12u, 15u, 20u, 25u, 30u, 40u})
                        all.push_back({{steps, spot, variance}, scheme, damping});
    return all;
}
#endif

}  // namespace korvex::bench

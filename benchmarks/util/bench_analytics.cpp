// Implied volatilities, SABR volatilities and Black prices, side by side with QuantLib's
// blackFormulaImpliedStdDev (default solver), blackFormulaImpliedStdDevLiRS (Li's method),
// bachelierBlackFormulaImpliedVol, sabrVolatility and blackFormula when QuantLib is
// installed.
//
// The implied volatilities run over the grid of the tests (tests/util/implied_volatility_grid.h:
// out-of-the-money options from -6 to +6 standard deviations, volatilities from 0.1% to
// 300%, expiries from a day to 50 years). Each benchmark reports time_per_call, and, measured
// once over the whole grid, the worst relative errors of the volatility (see
// run_implied_volatility; a call that throws or misses by 100% or more counts as an error
// of 1) and failures (the calls that throw).

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <random>
#include <vector>

#include "util/black_scholes.h"
#include "util/implied_volatility_grid.h"
#include "util/sabr_analytics.h"

#ifdef KORVEX_HAVE_QUANTLIB
#include <ql/pricingengines/blackformula.hpp>
#include <ql/termstructures/volatility/sabr.hpp>
#endif

namespace {

using namespace korvex;
using testing::option_point;

using implied_volatility_function = std::function<double(const option_point&)>;

const std::vector<option_point>& black_points()
{
    static const std::vector<option_point> points = testing::black_grid();
    return points;
}

const std::vector<option_point>& bachelier_points()
{
    static const std::vector<option_point> points = testing::bachelier_grid();
    return points;
}

// time_per_call: the CPU time of one iteration divided by the calls it makes.
void report_time_per_call(benchmark::State& state, std::size_t calls_per_iteration)
{
    const double calls = static_cast<double>(state.iterations()) * static_cast<double>(calls_per_iteration);
    state.counters["time_per_call"] =
        benchmark::Counter(calls, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// Times `implied` over every point of the grid and reports its accuracy there: the worst
// relative error where the condition number price / (sigma vega) is below 100, and the
// worst relative error in units of eps times max(1, condition number) over all points.
void run_implied_volatility(benchmark::State& state, const std::vector<option_point>& points,
                            const std::function<double(const option_point&)>& condition,
                            const implied_volatility_function& implied)
{
    double worst = 0.0, worst_scaled = 0.0;
    int failures = 0;
    for (const option_point& p : points) {
        double error = 1.0;
        try {
            error = std::fabs(implied(p) / p.volatility - 1.0);
        } catch (...) {
            ++failures;
        }
        if (!(error < 1.0))
            error = 1.0;  // NaN or worse than 100%
        const double scale = std::max(1.0, condition(p));
        if (scale < 100.0)
            worst = std::max(worst, error);
        worst_scaled = std::max(worst_scaled, error / (std::numeric_limits<double>::epsilon() * scale));
    }
    for (auto _ : state)
        for (const option_point& p : points) {
            try {
                benchmark::DoNotOptimize(implied(p));
            } catch (...) {
            }
        }
    report_time_per_call(state, points.size());
    state.counters["worst_error_condition_below_100"] = worst;
    state.counters["worst_error_in_eps_condition"] = worst_scaled;
    state.counters["failures"] = failures;
    state.counters["points"] = static_cast<double>(points.size());
}

void BM_korvex_black_implied_volatility(benchmark::State& state)
{
    run_implied_volatility(state, black_points(), testing::black_condition, [](const option_point& p) {
        return black_scholes::implied_volatility(p.strike, p.forward, p.expiry, p.price, 1.0, p.sign);
    });
}
BENCHMARK(BM_korvex_black_implied_volatility);

// The grid's options side by side, for the function over many options.
struct option_columns
{
    std::vector<double> strike, forward, expiry, price, annuity, sign, volatility, implied;

    explicit option_columns(const std::vector<option_point>& points)
    {
        for (const option_point& p : points) {
            strike.push_back(p.strike);
            forward.push_back(p.forward);
            expiry.push_back(p.expiry);
            price.push_back(p.price);
            annuity.push_back(1.0);
            sign.push_back(p.sign);
            volatility.push_back(p.volatility);
        }
        implied.resize(points.size());
    }

    void solve()
    {
        black_scholes::implied_volatilities(strike, forward, expiry, price, annuity, sign, implied);
    }
};

// The options of the Python timing script's chain: forwards 80 to 120, expiries 0.1 to 5,
// volatilities 5% to 80%, strikes within 3 standard deviations, out of the money.
std::vector<option_point> chain_points(std::size_t count)
{
    std::mt19937_64 generator(11);
    std::uniform_real_distribution<double> uniform(0.0, 1.0);
    std::vector<option_point> points;
    for (std::size_t i = 0; i < count; ++i) {
        option_point p{};
        p.forward = 80.0 + 40.0 * uniform(generator);
        p.expiry = 0.1 + 4.9 * uniform(generator);
        p.volatility = 0.05 + 0.75 * uniform(generator);
        p.strike = p.forward * std::exp((6.0 * uniform(generator) - 3.0) * p.volatility * std::sqrt(p.expiry));
        p.sign = p.strike >= p.forward ? 1.0 : -1.0;
        p.price = black_scholes::price(p.strike, p.forward, p.expiry, p.volatility, 1.0, p.sign);
        points.push_back(p);
    }
    return points;
}

// The grid through implied_volatilities(): time per option and the worst relative error in
// units of eps times max(1, condition number), as for the scalar function.
void BM_korvex_black_implied_volatilities(benchmark::State& state)
{
    option_columns columns(black_points());
    for (auto _ : state) {
        columns.solve();
        benchmark::DoNotOptimize(columns.implied.data());
    }
    double worst_scaled = 0.0;
    for (std::size_t i = 0; i < black_points().size(); ++i)
        worst_scaled = std::max(worst_scaled, std::fabs(columns.implied[i] / columns.volatility[i] - 1.0) /
                                                  (std::numeric_limits<double>::epsilon() *
                                                   std::max(1.0, testing::black_condition(black_points()[i]))));
    report_time_per_call(state, black_points().size());
    state.counters["worst_error_in_eps_condition"] = worst_scaled;
}
BENCHMARK(BM_korvex_black_implied_volatilities);

void run_chain(benchmark::State& state, bool batch)
{
    const std::vector<option_point> points = chain_points(100000);
    option_columns columns(points);
    for (auto _ : state) {
        if (batch) {
            columns.solve();
        } else {
            for (std::size_t i = 0; i < points.size(); ++i)
                columns.implied[i] = black_scholes::implied_volatility(points[i].strike, points[i].forward,
                                                                       points[i].expiry, points[i].price, 1.0,
                                                                       points[i].sign);
        }
        benchmark::DoNotOptimize(columns.implied.data());
    }
    double worst = 0.0;
    for (std::size_t i = 0; i < points.size(); ++i)
        worst = std::max(worst, std::fabs(columns.implied[i] / points[i].volatility - 1.0));
    report_time_per_call(state, points.size());
    state.counters["worst_error"] = worst;
}

// 10^5 options of the chain, one by one and through implied_volatilities().
void BM_korvex_black_implied_volatility_chain(benchmark::State& state) { run_chain(state, false); }
BENCHMARK(BM_korvex_black_implied_volatility_chain)->Unit(benchmark::kMillisecond);
void BM_korvex_black_implied_volatilities_chain(benchmark::State& state) { run_chain(state, true); }
BENCHMARK(BM_korvex_black_implied_volatilities_chain)->Unit(benchmark::kMillisecond);

void BM_korvex_bachelier_implied_volatility(benchmark::State& state)
{
    run_implied_volatility(state, bachelier_points(), testing::bachelier_condition, [](const option_point& p) {
        return bachelier::implied_volatility(p.strike, p.forward, p.expiry, p.price, 1.0, p.sign);
    });
}
BENCHMARK(BM_korvex_bachelier_implied_volatility);

// SABR: strikes from 0.2% to 8% around a 3% forward, five years, beta 0.5.
constexpr double sabr_forward = 0.03, sabr_expiry = 5.0, sabr_alpha = 0.025, sabr_beta = 0.5, sabr_nu = 0.4,
                 sabr_rho = -0.25;

std::vector<double> sabr_strikes()
{
    std::vector<double> strikes;
    for (int i = 0; i < 40; ++i)
        strikes.push_back(0.002 + 0.002 * i);
    return strikes;
}

void BM_korvex_sabr_volatility(benchmark::State& state)
{
    const std::vector<double> strikes = sabr_strikes();
    for (auto _ : state)
        for (double k : strikes)
            benchmark::DoNotOptimize(sabr_analytics::volatility(k, sabr_forward, sabr_expiry, sabr_alpha, sabr_beta,
                                                                sabr_nu, sabr_rho, 0.0, false));
    report_time_per_call(state, strikes.size());
}
BENCHMARK(BM_korvex_sabr_volatility);

void BM_korvex_sabr_price(benchmark::State& state)
{
    const std::vector<double> strikes = sabr_strikes();
    for (auto _ : state)
        for (double k : strikes)
            benchmark::DoNotOptimize(sabr_analytics::price(k, sabr_forward, sabr_expiry, 1.0,
                                                           k < sabr_forward ? -1.0 : 1.0, sabr_alpha, sabr_beta,
                                                           sabr_nu, sabr_rho, 0.0, false));
    report_time_per_call(state, strikes.size());
}
BENCHMARK(BM_korvex_sabr_price);

void BM_korvex_black_price(benchmark::State& state)
{
    const std::vector<option_point>& points = black_points();
    for (auto _ : state)
        for (const option_point& p : points)
            benchmark::DoNotOptimize(black_scholes::price(p.strike, p.forward, p.expiry, p.volatility, 1.0, p.sign));
    report_time_per_call(state, points.size());
}
BENCHMARK(BM_korvex_black_price);

#ifdef KORVEX_HAVE_QUANTLIB

QuantLib::Option::Type option_type(double sign) { return sign > 0.0 ? QuantLib::Option::Call : QuantLib::Option::Put; }

// The default solver at its default accuracy (1e-6 in the standard deviation) and at 1e-12.
void BM_quantlib_black_implied_stddev(benchmark::State& state)
{
    const double accuracy = state.range(0) == 6 ? 1e-6 : 1e-12;
    run_implied_volatility(state, black_points(), testing::black_condition, [accuracy](const option_point& p) {
        return QuantLib::blackFormulaImpliedStdDev(option_type(p.sign), p.strike, p.forward, p.price, 1.0, 0.0,
                                                   QuantLib::Null<QuantLib::Real>(), accuracy, 100) /
               std::sqrt(p.expiry);
    });
}
BENCHMARK(BM_quantlib_black_implied_stddev)->Arg(6)->Arg(12)->ArgName("accuracy_exponent");

void BM_quantlib_black_implied_stddev_li(benchmark::State& state)
{
    run_implied_volatility(state, black_points(), testing::black_condition, [](const option_point& p) {
        return QuantLib::blackFormulaImpliedStdDevLiRS(option_type(p.sign), p.strike, p.forward, p.price, 1.0, 0.0,
                                                       QuantLib::Null<QuantLib::Real>(), 1.0, 1e-12, 100) /
               std::sqrt(p.expiry);
    });
}
BENCHMARK(BM_quantlib_black_implied_stddev_li);

void BM_quantlib_bachelier_implied_vol(benchmark::State& state)
{
    run_implied_volatility(state, bachelier_points(), testing::bachelier_condition, [](const option_point& p) {
        return QuantLib::bachelierBlackFormulaImpliedVol(option_type(p.sign), p.strike, p.forward, p.expiry, p.price,
                                                         1.0);
    });
}
BENCHMARK(BM_quantlib_bachelier_implied_vol);

void BM_quantlib_sabr_volatility(benchmark::State& state)
{
    const std::vector<double> strikes = sabr_strikes();
    for (auto _ : state)
        for (double k : strikes)
            benchmark::DoNotOptimize(
                QuantLib::sabrVolatility(k, sabr_forward, sabr_expiry, sabr_alpha, sabr_beta, sabr_nu, sabr_rho));
    report_time_per_call(state, strikes.size());
}
BENCHMARK(BM_quantlib_sabr_volatility);

// Like sabr_analytics::price: the SABR volatility, then Black's formula at it.
void BM_quantlib_sabr_volatility_and_black_formula(benchmark::State& state)
{
    const std::vector<double> strikes = sabr_strikes();
    for (auto _ : state)
        for (double k : strikes) {
            const double volatility =
                QuantLib::sabrVolatility(k, sabr_forward, sabr_expiry, sabr_alpha, sabr_beta, sabr_nu, sabr_rho);
            benchmark::DoNotOptimize(QuantLib::blackFormula(option_type(k < sabr_forward ? -1.0 : 1.0), k,
                                                            sabr_forward, volatility * std::sqrt(sabr_expiry)));
        }
    report_time_per_call(state, strikes.size());
}
BENCHMARK(BM_quantlib_sabr_volatility_and_black_formula);

void BM_quantlib_black_formula(benchmark::State& state)
{
    const std::vector<option_point>& points = black_points();
    for (auto _ : state)
        for (const option_point& p : points)
            benchmark::DoNotOptimize(QuantLib::blackFormula(option_type(p.sign), p.strike, p.forward,
                                                            p.volatility * std::sqrt(p.expiry)));
    report_time_per_call(state, points.size());
}
BENCHMARK(BM_quantlib_black_formula);

#endif

}  // namespace

// Time to price a European call (S = K = 100, sigma = 0.2, r = 0.05, q = 0.02, T = 1) to an
// absolute error of at most 1e-4 against the closed form, with korvex's one-dimensional
// scheme and with QuantLib's FdBlackScholesVanillaEngine (Crank-Nicolson, damping steps),
// each at its best: before timing, the program scans both libraries' grids and keeps, for
// every number of time steps, the fewest space points that reach the tolerance. It then
// times those routes (minimum of five repetitions) and prints the fastest of each library
// and their ratio. Also the cost of one scheme step against one tridiagonal factorisation
// and solve.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "black_scholes_pde.h"
#include "math/tridiagonal_operations.h"

#ifdef KORVEX_HAVE_QUANTLIB
#include <ql/exercise.hpp>
#include <ql/instruments/payoffs.hpp>
#include <ql/instruments/vanillaoption.hpp>
#include <ql/pricingengines/vanilla/fdblackscholesvanillaengine.hpp>
#include <ql/processes/blackscholesprocess.hpp>
#include <ql/quotes/simplequote.hpp>
#include <ql/termstructures/volatility/equityfx/blackconstantvol.hpp>
#include <ql/termstructures/yield/flatforward.hpp>
#include <ql/time/calendars/nullcalendar.hpp>
#include <ql/time/daycounters/actual365fixed.hpp>
#endif

namespace {

using namespace korvex;
using namespace korvex::black_scholes_pde;

const european_option call;
constexpr double tolerance = 1e-4;

double error_of(double price)
{
    return std::fabs(price - closed_form(call));
}

// One way of pricing the call: a grid of a library, and the price it gives.
struct route
{
    std::string name;
    std::size_t time_steps;
    std::size_t space_points;
    std::function<double()> price;
};

// For every number of time steps, the route with the fewest space points that reaches the
// tolerance: the fastest of that count, since the cost grows with the points. `points` is
// ascending; `make(time, points)` builds a route.
std::vector<route> fastest_routes(const std::vector<std::size_t>& times,
                                  const std::vector<std::size_t>& points,
                                  const std::function<route(std::size_t, std::size_t)>& make)
{
    std::vector<route> kept;
    for (std::size_t t : times)
        for (std::size_t p : points) {
            route r = make(t, p);
            const double error = error_of(r.price());
            if (error <= tolerance) {
                std::printf("scan: %-60s error %.2e\n", r.name.c_str(), error);
                kept.push_back(std::move(r));
                break;
            }
        }
    return kept;
}

std::vector<route> korvex_routes()
{
    std::vector<route> routes;
    for (std::size_t stencil : {3, 5})
        for (layout axis : {layout::uniform, layout::concentrated}) {
            const auto make = [stencil, axis](std::size_t time, std::size_t points) {
                settings s;
                s.space_points = points;
                s.time_steps = time;
                s.stencil = stencil;
                s.axis = axis;
                const std::string name =
                    "korvex_crank_nicolson/time:" + std::to_string(time) + "/space:" +
                    std::to_string(points) + "/bands:" + std::to_string(stencil) +
                    (axis == layout::concentrated ? "/concentrated" : "/uniform");
                return route{name, time, points, [s] { return pde_price(call, s); }};
            };
            for (route& r : fastest_routes({25, 50, 75, 100, 150, 200},
                                           {101, 121, 151, 181, 201, 251, 301, 401, 601, 801, 1201},
                                           make))
                routes.push_back(std::move(r));
        }
    return routes;
}

#ifdef KORVEX_HAVE_QUANTLIB
// QuantLib's price with `time_steps` x `space_points`, two damping steps and
// Crank-Nicolson; the timed part is what a user repeats: setting the engine and NPV().
std::function<double()> quantlib_pricer(std::size_t time_steps, std::size_t space_points)
{
    using namespace QuantLib;
    const Date today = Settings::instance().evaluationDate();
    const DayCounter day_count = Actual365Fixed();
    const Handle<Quote> spot(ext::make_shared<SimpleQuote>(call.spot));
    const Handle<YieldTermStructure> rate(ext::make_shared<FlatForward>(today, call.rate, day_count));
    const Handle<YieldTermStructure> dividend(ext::make_shared<FlatForward>(today, call.dividend, day_count));
    const Handle<BlackVolTermStructure> volatility(
        ext::make_shared<BlackConstantVol>(today, NullCalendar(), call.volatility, day_count));
    const auto process = ext::make_shared<BlackScholesMertonProcess>(spot, dividend, rate, volatility);
    const auto option = ext::make_shared<VanillaOption>(
        ext::make_shared<PlainVanillaPayoff>(Option::Call, call.strike),
        ext::make_shared<EuropeanExercise>(today + static_cast<Integer>(call.days)));
    const auto engine = ext::make_shared<FdBlackScholesVanillaEngine>(
        process, time_steps, space_points, 2, FdmSchemeDesc::CrankNicolson());
    return [option, engine] {
        option->setPricingEngine(engine);
        return option->NPV();
    };
}

std::vector<route> quantlib_routes()
{
    const auto make = [](std::size_t time, std::size_t points) {
        return route{"quantlib_crank_nicolson/time:" + std::to_string(time) + "/space:" +
                         std::to_string(points),
                     time, points, quantlib_pricer(time, points)};
    };
    std::vector<route> routes =
        fastest_routes({25, 50, 75, 100, 150, 200, 400, 800},
                       {100, 150, 200, 250, 300, 350, 400, 450, 500, 600, 800, 1000}, make);
    // The grid an earlier, coarser scan found best, timed as well for reference.
    routes.push_back(make(100, 600));
    std::printf("reference: %-55s error %.2e\n", routes.back().name.c_str(),
                error_of(routes.back().price()));
    return routes;
}
#else
std::vector<route> quantlib_routes()
{
    std::printf("QuantLib not found: peer comparison skipped\n");
    return {};
}
#endif

double minimum(const std::vector<double>& values)
{
    return *std::min_element(values.begin(), values.end());
}

void register_routes(const std::vector<route>& routes)
{
    for (const route& r : routes)
        benchmark::RegisterBenchmark(r.name.c_str(),
                                     [r](benchmark::State& state) {
                                         double price = 0.0;
                                         for (auto _ : state) {
                                             price = r.price();
                                             benchmark::DoNotOptimize(price);
                                         }
                                         state.counters["error"] = error_of(price);
                                         state.counters["time"] = static_cast<double>(r.time_steps);
                                         state.counters["space"] = static_cast<double>(r.space_points);
                                     })
            ->Unit(benchmark::kMillisecond)
            ->Repetitions(5)
            ->DisplayAggregatesOnly(true)
            ->ComputeStatistics("min", minimum);
}

// The console output, then the fastest route of each library (minimum over the
// repetitions) and the ratio of their times.
class fastest_route_reporter : public benchmark::ConsoleReporter
{
public:
    fastest_route_reporter() : benchmark::ConsoleReporter(OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override
    {
        benchmark::ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Aggregate || run.aggregate_name != "min")
                continue;
            const std::string name = run.run_name.function_name;
            if (name.find("_crank_nicolson/") == std::string::npos)
                continue;
            const std::string library = name.substr(0, name.find('_'));
            fastest& best = fastest_[library];
            if (best.name.empty() || run.GetAdjustedCPUTime() < best.cpu_ms)
                best = {name, run.GetAdjustedCPUTime(), run.GetAdjustedRealTime()};
        }
    }

    void Finalize() override
    {
        benchmark::ConsoleReporter::Finalize();
        for (const auto& [library, best] : fastest_)
            std::printf("fastest %-8s %-60s cpu %.3f ms, real %.3f ms\n", library.c_str(),
                        best.name.c_str(), best.cpu_ms, best.real_ms);
        const auto korvex = fastest_.find("korvex");
        const auto quantlib = fastest_.find("quantlib");
        if (korvex != fastest_.end() && quantlib != fastest_.end())
            std::printf("QuantLib / korvex at error <= %g: cpu %.2f, real %.2f\n", tolerance,
                        quantlib->second.cpu_ms / korvex->second.cpu_ms,
                        quantlib->second.real_ms / korvex->second.real_ms);
    }

private:
    struct fastest
    {
        std::string name;
        double cpu_ms = 0.0;
        double real_ms = 0.0;
    };
    std::map<std::string, fastest> fastest_;
};

// One Crank-Nicolson step (assembly, factorisation, solve, combination) of n nodes.
void korvex_step(benchmark::State& state)
{
    settings s;
    s.space_points = static_cast<std::size_t>(state.range(0));
    s.time_steps = 10;
    const auto times = make_time_grid(call, s);
    const auto space = make_space_grid(call, s);
    const std::size_t n = space->size();
    const auto coefficients = std::make_shared<pde_model_coefficients>(std::vector<std::size_t>{n}, false);
    coefficients->diffusion_ = 0.002;
    coefficients->convection_ = 0.001;
    coefficients->reaction_ = -0.005;
    pde_storage storage(1, 1, {n});
    storage.result() = 1.0;
    const auto scheme = pde_scheme::create_scheme(times, {space}, {coefficients}, {3}, {false}, crank_nicolson,
                                                  false, matrix<double>());
    const std::vector<pde_boundary_coefficients> boundary{{coefficients, coefficients}};
    scheme->initialize(5);
    for (auto _ : state) {
        // Fresh values every step: repeated steps would drift into subnormal numbers.
        storage.result() = 1.0;
        scheme->diffuse(storage, boundary, 1.0);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(n));
}
BENCHMARK(korvex_step)->Arg(201)->Arg(801)->Arg(3201);

// One tridiagonal factorisation and solve of n nodes: the floor of a scheme step.
void tridiagonal_factor_and_solve(benchmark::State& state)
{
    const std::size_t n = static_cast<std::size_t>(state.range(0));
    matrix<double> operator_bands(3, n), bands(3, n);
    for (std::size_t k = 0; k < n; ++k) {
        operator_bands(0, k) = -0.3;
        operator_bands(1, k) = 1.7;
        operator_bands(2, k) = -0.4;
    }
    vector<double> values(n);
    values = 1.0;
    for (auto _ : state) {
        values = 1.0;
        bands = operator_bands;
        tridiagonal_operations::decomposition(bands, 1, n, 1, false);
        tridiagonal_operations::solve_decomposed(values, bands, values, 1, n, 1, false);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(n));
}
BENCHMARK(tridiagonal_factor_and_solve)->Arg(201)->Arg(801)->Arg(3201);

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    register_routes(korvex_routes());
    register_routes(quantlib_routes());
    fastest_route_reporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}

// Time to price to an absolute error of at most 1e-4, with korvex's price_black_scholes and
// with QuantLib's finite-difference engines, each at its fastest steady grid, for three works
// (S = 100, sigma = 0.2, r = 0.05, q = 0.02, one year):
//  - a European call struck at 100 (FdBlackScholesVanillaEngine; reference: the closed form);
//  - an American put struck at 100 (FdBlackScholesVanillaEngine, American exercise;
//    reference: QuantLib's Leisen-Reimer tree, 10001 and 20001 steps extrapolated);
//  - a down-and-out call struck at 100 with its barrier at 90 (FdBlackScholesBarrierEngine;
//    reference: Reiner and Rubinstein's closed form).
// Before timing, the program scans each library's schemes (QuantLib's also with 0 to 8
// damping steps) and, for every number of time steps, the fewest space points that reach the
// target and whose doubled grid (twice the space points and twice the steps) reaches it too;
// the fastest of those (by a quick measure) is then timed by Google Benchmark, CPU time, ten
// repetitions, and the minimum is reported with the ratio of the two libraries. korvex's
// timed call is price_black_scholes with explicit sizes and without the vega's bumped solves
// (QuantLib's engines give value, delta, gamma and theta); QuantLib's is setting the engine
// and NPV(). Also: the cost of one scheme step and of its banded work alone.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Market/equity/equity_spot/equity_spot.h"
#include "Market/ir/discount_curve/discount_curve_flat.h"
#include "PDE/coefficients/pde_model_coefficients.h"
#include "PDE/grid/space_grid.h"
#include "PDE/grid/time_grid.h"
#include "PDE/scheme/pde_scheme_one_dimension.h"
#include "PDE/storage/pde_storage.h"
#include "Pricing/black_scholes/price_black_scholes.h"
#include "black_scholes_closed_forms.h"
#include "math/pentadiagonal_operations.h"

#ifdef KORVEX_HAVE_QUANTLIB
#include <ql/exercise.hpp>
#include <ql/instruments/barrieroption.hpp>
#include <ql/instruments/payoffs.hpp>
#include <ql/instruments/vanillaoption.hpp>
#include <ql/pricingengines/barrier/fdblackscholesbarrierengine.hpp>
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

constexpr double tolerance = 1e-4;
constexpr double spot = 100.0, strike = 100.0, volatility = 0.2, rate = 0.05, carry = 0.02, level = 90.0;

enum class work
{
    european_call,
    american_put,
    down_and_out_call,
};

const char* name_of(work w)
{
    switch (w) {
    case work::european_call: return "european_call";
    case work::american_put: return "american_put";
    case work::down_and_out_call: return "down_and_out_call";
    }
    return "";
}

double reference(work w)
{
    switch (w) {
    case work::european_call:
        return closed_forms::black_scholes(true, spot, strike, 1.0, volatility, std::exp(-rate), std::exp(-carry),
                                           rate, carry)
            .price;
    case work::american_put:
        return 6.6606864083;  // QuantLib 1.29, Leisen-Reimer: 2 P(20001 steps) - P(10001 steps)
    case work::down_and_out_call:
        return closed_forms::barrier(closed_forms::barrier_type::down_and_out, true, spot, strike, level, 0.0, 1.0,
                                     rate, carry, volatility);
    }
    return 0.0;
}

using pricer = std::function<double()>;

// One way of pricing a work: a library's configuration and grid.
struct route
{
    std::string library;
    std::string name;
    pricer price;
    double error = 0.0;
    double quick_ms = 0.0;
};

double cpu_ms()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return 1e3 * static_cast<double>(t.tv_sec) + 1e-6 * static_cast<double>(t.tv_nsec);
}

// Minimum CPU time of a few calls.
double quick_time(const pricer& p)
{
    double best = 1e300;
    for (int i = 0; i < 5; ++i) {
        const double start = cpu_ms();
        benchmark::DoNotOptimize(p());
        best = std::min(best, cpu_ms() - start);
    }
    return best;
}

// For every time-step count, the fewest space points whose grid reaches the target and whose
// doubled grid does too; make(steps, points) gives the pricer of a grid.
void scan(work w, const std::string& library, const std::string& configuration, const std::vector<std::size_t>& times,
          const std::vector<std::size_t>& points, const std::function<pricer(std::size_t, std::size_t)>& make,
          std::vector<route>& kept)
{
    const double exact = reference(w);
    const auto reaches = [&](std::size_t t, std::size_t p) { return std::fabs(make(t, p)() - exact) <= tolerance; };
    for (const std::size_t t : times)
        for (const std::size_t p : points) {
            if (!reaches(t, p))
                continue;
            if (!reaches(2 * t, 2 * p))
                continue;
            route r{library, configuration + "/time:" + std::to_string(t) + "/space:" + std::to_string(p), make(t, p)};
            r.error = r.price() - exact;
            r.quick_ms = quick_time(r.price);
            std::printf("scan %-18s %-8s %-52s error %9.2e  %8.3f ms\n", name_of(w), library.c_str(), r.name.c_str(),
                        r.error, r.quick_ms);
            kept.push_back(std::move(r));
            break;
        }
}

// korvex: price_black_scholes with explicit sizes and a scheme.
pricer korvex_pricer(work w, pde_scheme_type scheme, std::size_t steps, std::size_t points)
{
    using namespace korvex::pricing;
    const datetime today(2024, 1, 2);
    const auto act_365 = std::make_shared<const day_count_convention>(act_365_fixed);
    const black_scholes_market m(market(std::make_shared<const equity_spot>(today, spot),
                                        std::make_shared<const discount_curve_flat>(today, rate, act_365),
                                        std::make_shared<const discount_curve_flat>(today, carry, act_365)),
                                 volatility);
    black_scholes_settings s;
    s.space_points = points;
    s.time_steps = steps;
    s.scheme = scheme;
    s.vega = false;
    const datetime expiry(2025, 1, 1);
    if (w == work::down_and_out_call) {
        const barrier_option b{vanilla_option{option_type::call, strike, expiry}, barrier_direction::down,
                               barrier_kind::knock_out, level, 0.0};
        return [b, m, s] { return price_black_scholes(b, m, s).price; };
    }
    const vanilla_option o = w == work::american_put
                                 ? vanilla_option{option_type::put, strike, expiry, exercise_type::american}
                                 : vanilla_option{option_type::call, strike, expiry};
    return [o, m, s] { return price_black_scholes(o, m, s).price; };
}

void korvex_routes(work w, std::vector<route>& kept)
{
    const bool american = w == work::american_put;
    const std::vector<std::size_t> times = american
                                               ? std::vector<std::size_t>{25, 50, 75, 100, 150, 200, 300, 400, 600, 800}
                                               : std::vector<std::size_t>{2, 4, 6, 8, 10, 12, 14, 16, 20, 24, 32, 40};
    const std::vector<std::size_t> points{11, 13, 15, 17, 19, 21, 23, 25, 29, 33, 37, 41, 45, 51, 57, 65, 73,
                                          81, 91, 101, 121, 141, 161, 181, 201, 241, 281, 321, 401};
    for (const pde_scheme_type scheme : {two_stage_l_stable, crank_nicolson}) {
        const std::string configuration = scheme == crank_nicolson ? "korvex_crank_nicolson" : "korvex_two_stage";
        scan(w, "korvex", configuration, times, points,
             [w, scheme](std::size_t t, std::size_t p) { return korvex_pricer(w, scheme, t, p); }, kept);
    }
}

#ifdef KORVEX_HAVE_QUANTLIB
// QuantLib: the engine of the work with tGrid, xGrid, damping steps and a scheme.
pricer quantlib_pricer(work w, const QuantLib::FdmSchemeDesc& scheme, QuantLib::Size damping, std::size_t steps,
                       std::size_t points)
{
    using namespace QuantLib;
    const Date today = Settings::instance().evaluationDate();
    const DayCounter day_count = Actual365Fixed();
    const Handle<Quote> s(ext::make_shared<SimpleQuote>(spot));
    const Handle<YieldTermStructure> r(ext::make_shared<FlatForward>(today, rate, day_count));
    const Handle<YieldTermStructure> q(ext::make_shared<FlatForward>(today, carry, day_count));
    const Handle<BlackVolTermStructure> v(ext::make_shared<BlackConstantVol>(today, NullCalendar(), volatility, day_count));
    const auto process = ext::make_shared<BlackScholesMertonProcess>(s, q, r, v);
    const Date expiry = today + 365;
    if (w == work::down_and_out_call) {
        const auto option = ext::make_shared<BarrierOption>(Barrier::DownOut, level, 0.0,
                                                            ext::make_shared<PlainVanillaPayoff>(Option::Call, strike),
                                                            ext::make_shared<EuropeanExercise>(expiry));
        const auto engine = ext::make_shared<FdBlackScholesBarrierEngine>(process, steps, points, damping, scheme);
        return [option, engine] {
            option->setPricingEngine(engine);
            return option->NPV();
        };
    }
    const bool american = w == work::american_put;
    const auto exercise = american ? ext::shared_ptr<Exercise>(ext::make_shared<AmericanExercise>(today, expiry))
                                   : ext::shared_ptr<Exercise>(ext::make_shared<EuropeanExercise>(expiry));
    const auto option = ext::make_shared<VanillaOption>(
        ext::make_shared<PlainVanillaPayoff>(american ? Option::Put : Option::Call, strike), exercise);
    const auto engine = ext::make_shared<FdBlackScholesVanillaEngine>(process, steps, points, damping, scheme);
    return [option, engine] {
        option->setPricingEngine(engine);
        return option->NPV();
    };
}

void quantlib_routes(work w, std::vector<route>& kept)
{
    using QuantLib::FdmSchemeDesc;
    const bool american = w == work::american_put;
    const std::vector<std::size_t> times =
        american ? std::vector<std::size_t>{100, 200, 400, 800, 1600, 3200, 6400}
                 : std::vector<std::size_t>{5, 10, 15, 20, 25, 30, 40, 50, 75, 100, 150, 200, 300, 400};
    const std::vector<std::size_t> points =
        american ? std::vector<std::size_t>{100, 150, 200, 300, 400, 600, 800, 1000, 1200, 1600}
                 : std::vector<std::size_t>{20, 25, 30, 40, 50, 60, 75, 100, 125, 150, 200, 250, 300, 400, 500, 600, 800};
    const std::pair<const char*, FdmSchemeDesc> schemes[] = {{"crank_nicolson", FdmSchemeDesc::CrankNicolson()},
                                                             {"tr_bdf2", FdmSchemeDesc::TrBDF2()},
                                                             {"implicit_euler", FdmSchemeDesc::ImplicitEuler()},
                                                             {"hundsdorfer", FdmSchemeDesc::Hundsdorfer()}};
    const std::vector<QuantLib::Size> dampings = american ? std::vector<QuantLib::Size>{0, 2, 4}
                                                           : std::vector<QuantLib::Size>{0, 1, 2, 3, 4, 6, 8};
    for (const auto& [scheme_name, scheme] : schemes)
        for (const QuantLib::Size damping : dampings) {
            if (american && std::string(scheme_name) != "crank_nicolson" && std::string(scheme_name) != "tr_bdf2")
                continue;
            const std::string configuration =
                std::string("quantlib_") + scheme_name + "/damping:" + std::to_string(damping);
            scan(w, "quantlib", configuration, times, points,
                 [w, scheme = scheme, damping](std::size_t t, std::size_t p) {
                     return quantlib_pricer(w, scheme, damping, t, p);
                 },
                 kept);
        }
}
#else
void quantlib_routes(work, std::vector<route>&)
{
    std::printf("QuantLib not found: peer comparison skipped\n");
}
#endif

double minimum(const std::vector<double>& values)
{
    return *std::min_element(values.begin(), values.end());
}

// Registers the fastest route of each library (by the quick measure) for Google Benchmark.
void register_fastest(work w, const std::vector<route>& routes)
{
    for (const char* library : {"korvex", "quantlib"}) {
        const route* best = nullptr;
        for (const route& r : routes)
            if (r.library == library && (best == nullptr || r.quick_ms < best->quick_ms))
                best = &r;
        if (best == nullptr)
            continue;
        const std::string name = std::string(name_of(w)) + "/" + best->name;
        benchmark::RegisterBenchmark(name.c_str(),
                                     [r = *best](benchmark::State& state) {
                                         for (auto _ : state)
                                             benchmark::DoNotOptimize(r.price());
                                         state.counters["error"] = r.error;
                                     })
            ->Unit(benchmark::kMillisecond)
            ->Repetitions(10)
            ->DisplayAggregatesOnly(true)
            ->ComputeStatistics("min", minimum);
    }
}

// The console output, then for every work the fastest route of each library (minimum CPU
// time over the repetitions) and the ratio QuantLib / korvex.
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
            const std::size_t slash = name.find('/');
            const std::string library = name.substr(slash + 1, name.find('_', slash) - slash - 1);
            if (library != "korvex" && library != "quantlib")
                continue;
            best_[name.substr(0, slash)][library] = {name, run.GetAdjustedCPUTime()};
        }
    }

    void Finalize() override
    {
        benchmark::ConsoleReporter::Finalize();
        for (const auto& [work_name, libraries] : best_) {
            for (const auto& [library, best] : libraries)
                std::printf("fastest %-18s %-8s %-80s cpu %.4f ms\n", work_name.c_str(), library.c_str(),
                            best.name.c_str(), best.cpu_ms);
            const auto korvex = libraries.find("korvex");
            const auto quantlib = libraries.find("quantlib");
            if (korvex != libraries.end() && quantlib != libraries.end())
                std::printf("%-18s QuantLib / korvex at error <= %g: cpu %.1f\n", work_name.c_str(), tolerance,
                            quantlib->second.cpu_ms / korvex->second.cpu_ms);
        }
    }

private:
    struct fastest
    {
        std::string name;
        double cpu_ms = 0.0;
    };
    std::map<std::string, std::map<std::string, fastest>> best_;
};

// One two-stage step of the pricer's kind (five bands, both ends held, the three-point rows
// next to them) on n nodes, against its banded work alone: one pentadiagonal factorisation
// and two solves.
void korvex_step(benchmark::State& state)
{
    const std::size_t n = static_cast<std::size_t>(state.range(0));
    const space_grid_config uniform(space_grid_config::uniform, false, false, space_grid_config::identity, 0.0, 1.0, 0.0);
    const auto space = std::make_shared<const space_grid>(uniform, n, 3.0, 6.0, 0.0, std::vector<double>{});
    const time_grid_config config(time_grid_config::fixed_step, time_grid_config::backward, false, 10.0, 0, 0.0);
    const auto times = std::make_shared<const time_grid>(config, datetime(0.0), datetime(100.0),
                                                         std::vector<datetime>{}, std::vector<datetime>{});
    const auto c = std::make_shared<pde_model_coefficients>(std::vector<std::size_t>{n}, false);
    c->diffusion_ = 0.002;
    c->convection_ = 0.001;
    c->reaction_ = -0.005;
    const auto scheme = std::make_shared<pde_scheme_one_dimension>(times, space, c, 5, two_stage_l_stable, false);
    scheme->set_three_point_rows_next_to_fixed_ends(true);
    const auto held = pde_boundary_config::fixed_value;
    pde_storage storage(1, {n}, {{pde_boundary_config(held, false, 0.0, held, false, 0.0)}});
    scheme->initialize(5);
    for (auto _ : state) {
        storage.result() = 1.0;
        scheme->diffuse(storage, {{nullptr, nullptr}}, 1.0);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(n));
}
BENCHMARK(korvex_step)->Arg(41)->Arg(101)->Arg(401);

void pentadiagonal_factor_and_two_solves(benchmark::State& state)
{
    const std::size_t n = static_cast<std::size_t>(state.range(0));
    matrix<double> operator_bands(5, n), bands(5, n);
    const double row[5] = {0.01, -0.3, 1.6, -0.4, 0.02};
    for (std::size_t k = 0; k < n; ++k)
        for (std::size_t j = 0; j < 5; ++j)
            operator_bands(j, k) = row[j];
    vector<double> values(n);
    for (auto _ : state) {
        values = 1.0;
        bands = operator_bands;
        pentadiagonal_operations::decomposition(bands, 1, n, 1, false);
        pentadiagonal_operations::solve_decomposed(values, bands, values, 1, n, 1, false);
        pentadiagonal_operations::solve_decomposed(values, bands, values, 1, n, 1, false);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(n));
}
BENCHMARK(pentadiagonal_factor_and_two_solves)->Arg(41)->Arg(101)->Arg(401);

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    for (const work w : {work::european_call, work::down_and_out_call, work::american_put}) {
        std::vector<route> routes;
        korvex_routes(w, routes);
        quantlib_routes(w, routes);
        register_fastest(w, routes);
    }
    fastest_route_reporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}

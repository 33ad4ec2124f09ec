#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numbers>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "core/error.h"
#include "serialization/test_support.h"
#include "util/black_scholes.h"
#include "util/implied_volatility_grid.h"

namespace korvex {
namespace {

using testing::error_of;

constexpr double eps = std::numeric_limits<double>::epsilon();

struct black_case
{
    const char* strike;  // decimal texts, read alike by C++ and by Python
    const char* forward;
    const char* deviation;  // sigma sqrt(T), with T = 1
    double sign;
};

// Every region of the normalised formula: far out of the money (asymptotic series), small
// deviations (Taylor series), the N/n form, prices near the upper bound, in-the-money
// options of both kinds and the money itself.
const std::vector<black_case> reference_cases{
    {"1.5", "1.0", "0.02", 1.0},    {"0.6", "1.0", "0.02", -1.0},    {"1.3", "1.0", "0.2", 1.0},
    {"1.02", "1.0", "0.1", 1.0},    {"0.9", "1.0", "0.15", -1.0},    {"1.0", "1.0", "0.3", 1.0},
    {"1.0", "1.0", "1e-07", -1.0},  {"3.0", "1.0", "1.0", 1.0},      {"0.2", "1.0", "4.0", -1.0},
    {"5.0", "1.0", "12.0", 1.0},    {"0.8", "1.0", "0.25", 1.0},     {"1.25", "1.0", "0.5", -1.0},
    {"120", "100", "0.01", 1.0},   {"0.001", "100", "0.5", -1.0},   {"7.0", "1.0", "0.3", 1.0},
};

// Forty-digit prices of the cases, computed by mpmath a few at a time (one line each).
std::vector<double> reference_prices(const std::vector<black_case>& cases)
{
    std::vector<double> prices;
    for (std::size_t first = 0; first < cases.size(); first += 6) {
        std::ostringstream list;
        for (std::size_t i = first; i < std::min(cases.size(), first + 6); ++i)
            list << "('" << cases[i].strike << "','" << cases[i].forward << "','" << cases[i].deviation << "',"
                 << cases[i].sign << "),";
        std::istringstream line(testing::python_output(
            "import mpmath as m; m.mp.dps = 40; "
            "f = lambda K, F, s, w: w * (F * m.ncdf(w * (m.log(F / K) / s + s / 2)) "
            "- K * m.ncdf(w * (m.log(F / K) / s - s / 2))); "
            "print(' '.join(m.nstr(f(m.mpf(K), m.mpf(F), m.mpf(s), w), 20) for K, F, s, w in [" +
            list.str() + "]))"));
        for (double price = 0.0; line >> price;)
            prices.push_back(price);
    }
    return prices;
}

TEST(BlackScholesPrice, MatchesFortyDigitReferencesToRelativePrecisionInEveryRegion)
{
    const std::vector<double> references = reference_prices(reference_cases);
    ASSERT_EQ(references.size(), reference_cases.size());
    for (std::size_t i = 0; i < references.size(); ++i) {
        const black_case& c = reference_cases[i];
        const double strike = std::stod(c.strike), forward = std::stod(c.forward), s = std::stod(c.deviation);
        const double h = std::log(forward / strike) / s;
        // The price is as sensitive to the last bit of ln(F/K) as 1 + h^2.
        EXPECT_NEAR(black_scholes::price(strike, forward, 1.0, s, 1.0, c.sign) / references[i], 1.0,
                    4.0 * eps * (1.0 + h * h))
            << "strike " << c.strike << " forward " << c.forward << " deviation " << c.deviation;
    }
}

TEST(BlackScholesPrice, KeepsItsRelativePrecisionFarOutOfTheMoney)
{
    // A call 30 standard deviations out of the money: N(-30) is near 5e-198.
    const double price = black_scholes::price(std::exp(0.3), 1.0, 1.0, 0.01, 1.0, 1.0);
    const double reference = std::stod(testing::python_output(
        "import mpmath as m; m.mp.dps = 40; K = m.exp(m.mpf(0.3)); F = 1; s = m.mpf('0.01'); "
        "print(m.nstr(F * m.ncdf(m.log(F / K) / s + s / 2) - K * m.ncdf(m.log(F / K) / s - s / 2), 20))"));
    EXPECT_GT(price, 0.0);
    EXPECT_NEAR(price / reference, 1.0, 1e-12);
}

// Calls far out of the money, h = ln(F/K) / s from -37 to -7, through the asymptotic series
// and the N/n form. The strike 799902177.4754429 (near e^20.5) has a logarithm within 1e-4 ulp
// of a double, so that the rounding of ln(F/K), which h^2 (1340 at s = 0.56) would magnify,
// plays no part and the prices are held to a few eps. References from mpmath at mp.dps = 50:
// F ncdf(log(F/K) / s + s/2) - K ncdf(log(F/K) / s - s/2), F = 1, at mpf of the double K and s.
TEST(BlackScholesPrice, FarOutOfTheMoneyPricesKeepTheirLastDigits)
{
    constexpr double strike = 799902177.4754429;
    const std::vector<std::pair<double, double>> deviation_and_price{
        {0.56, 4.57309190374801503772139076169e-291},
        {0.75, 6.14889363600475379281090682277e-162},
        {1.0, 1.30522490677546123023981948982e-90},
        {2.0, 1.96208378879584197756236425228e-21},
        {3.0, 1.67778904737385775205492796638e-8},
    };
    for (const auto& [s, reference] : deviation_and_price)
        EXPECT_NEAR(black_scholes::price(strike, 1.0, 1.0, s, 1.0, 1.0) / reference, 1.0, 8.0 * eps) << "s " << s;
}

TEST(BlackScholesPrice, HandlesTheLimitsAndScalesWithTheAnnuity)
{
    EXPECT_EQ(black_scholes::price(90.0, 100.0, 0.0, 0.2, 2.0, 1.0), 20.0);
    EXPECT_EQ(black_scholes::price(90.0, 100.0, 1.0, 0.0, 1.0, -1.0), 0.0);
    EXPECT_NEAR(black_scholes::price(90.0, 100.0, 1.0, 1e3, 1.0, 1.0), 100.0, 1e-12);
    const double one = black_scholes::price(95.0, 100.0, 2.0, 0.3, 1.0, -1.0);
    EXPECT_DOUBLE_EQ(black_scholes::price(95.0, 100.0, 2.0, 0.3, 0.25, -1.0), 0.25 * one);
    // Put-call parity: C - P = A (F - K).
    const double call = black_scholes::price(95.0, 100.0, 2.0, 0.3, 0.5, 1.0);
    EXPECT_NEAR(call - 0.5 * one, 0.5 * 5.0, 1e-13);
}

// Every out-of-the-money option of the grid is priced at its volatility and implied back;
// the relative error is within a small multiple of eps times the condition number
// price / (sigma vega), and below 1e-12 wherever that number is below 100.
TEST(BlackScholesImpliedVolatility, RoundTripsTheWholeGridToTheAttainablePrecision)
{
    const std::vector<testing::option_point> grid = testing::black_grid();
    ASSERT_GT(grid.size(), 1500u);
    for (const testing::option_point& p : grid) {
        const double implied = black_scholes::implied_volatility(p.strike, p.forward, p.expiry, p.price, 1.0, p.sign);
        const double error = std::fabs(implied / p.volatility - 1.0);
        const double condition = testing::black_condition(p);
        EXPECT_LE(error, 8.0 * eps * std::max(1.0, condition))
            << "K " << p.strike << " T " << p.expiry << " sigma " << p.volatility << " condition " << condition;
        if (condition < 100.0) {
            EXPECT_LT(error, 1e-12);
        }
    }
}

// Far from the money with s = sigma sqrt(T) from 24 to 32, prices within 4e-10 and 2e-12 of
// the upper bound (the strike for a put, the forward for a call), and the point K = 6.28e-90,
// T = 30, sigma = 5 where the steps once stopped at 4.75. Prices by mpmath at mp.dps = 50:
// w (F ncdf(w d1) - K ncdf(w d2)), d1,2 = log(F/K) / s +- s/2, rounded to double, for F = 1,
// T = 16 and the strike K = exp(-+ s (s/2 - 6.2)) or exp(-+ s (s/2 - 7)), rounded to double.
const std::vector<testing::option_point> near_bound_points{
    {3.517289528349498e-61, 1.0, 16.0, 6.0, -1.0, 3.517289527003167e-61},
    {2.8430983344986498e+60, 1.0, 16.0, 6.0, 1.0, 0.999999999617225},
    {7.667648073722e-53, 1.0, 16.0, 6.0, -1.0, 7.667648073708081e-53},
    {1.3041808783936323e+52, 1.0, 16.0, 6.0, 1.0, 0.9999999999981847},
    {1.6471592879951085e-77, 1.0, 16.0, 6.5, -1.0, 1.6471592873812425e-77},
    {6.07105825944242e+76, 1.0, 16.0, 6.5, 1.0, 0.9999999996273183},
    {1.7785284761271306e-68, 1.0, 16.0, 6.5, -1.0, 1.7785284761240017e-68},
    {5.622625746075033e+67, 1.0, 16.0, 6.5, 1.0, 0.9999999999982407},
    {1.4128145286978442e-95, 1.0, 16.0, 7.0, -1.0, 1.4128145281829758e-95},
    {7.078069907177945e+94, 1.0, 16.0, 7.0, 1.0, 0.9999999996355726},
    {7.555819019711961e-86, 1.0, 16.0, 7.0, -1.0, 7.555819019699012e-86},
    {1.3234832615645704e+85, 1.0, 16.0, 7.0, 1.0, 0.9999999999982861},
    {2.219508320972814e-115, 1.0, 16.0, 7.5, -1.0, 2.219508320179223e-115},
    {4.505502369829812e+114, 1.0, 16.0, 7.5, 1.0, 0.9999999996424475},
    {5.8792826982452694e-105, 1.0, 16.0, 7.5, -1.0, 5.8792826982354145e-105},
    {1.700887763567586e+104, 1.0, 16.0, 7.5, 1.0, 0.9999999999983238},
    {6.386317046534013e-137, 1.0, 16.0, 8.0, -1.0, 6.3863170442877e-137},
    {1.5658477221119498e+136, 1.0, 16.0, 8.0, 1.0, 0.9999999996482617},
    {8.378942533819369e-126, 1.0, 16.0, 8.0, -1.0, 8.37894253380559e-126},
    {1.1934680253072109e+125, 1.0, 16.0, 8.0, 1.0, 0.9999999999983554},
    {6.2757895702271203e-90, 1.0, 30.0, 5.0, -1.0, 6.275789567822296e-90},
};

// There the condition number is 2e7 to 5e9: a price rounded to double fixes the volatility
// to eps times that, which bounds the error.
TEST(BlackScholesImpliedVolatility, IsAsAccurateAsThePriceAllowsNearTheUpperBound)
{
    for (const testing::option_point& p : near_bound_points) {
        const double implied = black_scholes::implied_volatility(p.strike, p.forward, p.expiry, p.price, 1.0, p.sign);
        const double condition = testing::black_condition(p);
        EXPECT_LE(std::fabs(implied / p.volatility - 1.0), 8.0 * eps * condition)
            << "K " << p.strike << " sigma " << p.volatility << " condition " << condition;
    }
}

TEST(BlackScholesImpliedVolatility, InTheMoneyOptionsGiveTheVolatilityOfTheirOutOfTheMoneyTwin)
{
    for (double strike : {80.0, 95.0, 100.0, 105.0, 130.0})
        for (double sign : {1.0, -1.0}) {
            const double price = black_scholes::price(strike, 100.0, 2.0, 0.25, 0.9, sign);
            EXPECT_NEAR(black_scholes::implied_volatility(strike, 100.0, 2.0, price, 0.9, sign), 0.25, 1e-12)
                << strike << " " << sign;
        }
}

TEST(BlackScholesImpliedVolatility, ToleranceAndIterationsOnlyStopTheSteps)
{
    const double price = black_scholes::price(120.0, 100.0, 1.0, 0.3, 1.0, 1.0);
    // No step: the rational initial guess, already within a few percent.
    const double guess = black_scholes::implied_volatility(120.0, 100.0, 1.0, price, 1.0, 1.0, 0.0, 0);
    EXPECT_NEAR(guess, 0.3, 0.03);
    EXPECT_NE(guess, 0.3);
    // A loose tolerance stops early, a tight one, or one step at most, does not fail.
    EXPECT_NEAR(black_scholes::implied_volatility(120.0, 100.0, 1.0, price, 1.0, 1.0, 1e-3, 20), 0.3, 1e-3);
    EXPECT_NEAR(black_scholes::implied_volatility(120.0, 100.0, 1.0, price, 1.0, 1.0, 0.0, 1), 0.3, 1e-6);
    EXPECT_NEAR(black_scholes::implied_volatility(120.0, 100.0, 1.0, price, 1.0, 1.0, 0.0, 50), 0.3, 1e-15);
}

TEST(BlackScholesImpliedVolatility, TinyPricesAtTheMoneyGiveTinyVolatilities)
{
    // At the money b = erf(s / sqrt 8) = s / sqrt(2 pi) for tiny s, where s * s underflows.
    for (double price : {1e-150, 1e-200, 1e-300})
        EXPECT_NEAR(black_scholes::implied_volatility(1.0, 1.0, 1.0, price, 1.0, 1.0) /
                        (price * std::sqrt(2.0 * std::numbers::pi)),
                    1.0, 4.0 * eps)
            << price;
    // Subnormal prices keep the digits they have.
    EXPECT_NEAR(black_scholes::implied_volatility(1.0, 1.0, 1.0, 1e-310, 1.0, -1.0) /
                    (1e-310 * std::sqrt(2.0 * std::numbers::pi)),
                1.0, 1e-12);
}

TEST(BlackScholesImpliedVolatility, IntrinsicValueGivesZeroVolatility)
{
    EXPECT_EQ(black_scholes::implied_volatility(90.0, 100.0, 1.0, 10.0, 1.0, 1.0), 0.0);
    EXPECT_EQ(black_scholes::implied_volatility(90.0, 100.0, 1.0, 0.0, 1.0, -1.0), 0.0);
    // Rounding below the intrinsic value is still the intrinsic value.
    EXPECT_EQ(black_scholes::implied_volatility(90.0, 100.0, 1.0, std::nextafter(10.0, 0.0), 1.0, 1.0), 0.0);
}

// The options of the grid, near the upper bound, in the money, of tiny and of no time value,
// side by side.
struct option_arrays
{
    std::vector<double> strike, forward, expiry, price, annuity, sign;

    void add(double k, double f, double t, double p, double a, double w)
    {
        strike.push_back(k);
        forward.push_back(f);
        expiry.push_back(t);
        price.push_back(p);
        annuity.push_back(a);
        sign.push_back(w);
    }

    // Row i of `other`, added, or written over row `row`.
    void add(const option_arrays& other, std::size_t i)
    {
        add(other.strike[i], other.forward[i], other.expiry[i], other.price[i], other.annuity[i], other.sign[i]);
    }
    void set(std::size_t row, const option_arrays& other, std::size_t i)
    {
        strike[row] = other.strike[i];
        forward[row] = other.forward[i];
        expiry[row] = other.expiry[i];
        price[row] = other.price[i];
        annuity[row] = other.annuity[i];
        sign[row] = other.sign[i];
    }

    std::vector<double> implied(double tolerance = eps, int iterations = 20) const
    {
        std::vector<double> volatility(strike.size());
        black_scholes::implied_volatilities(strike, forward, expiry, price, annuity, sign, volatility, tolerance,
                                            iterations);
        return volatility;
    }
};

struct extreme_option
{
    double strike, forward, sign, volatility;

    double price() const { return black_scholes::price(strike, forward, 100.0, volatility, 1.0, sign); }
};

constexpr std::array<extreme_option, 4> extreme_options{{{1e-160, 1e160, -1.0, 3.0},
                                                         {1e-160, 1e160, -1.0, 3.8},
                                                         {1e160, 1e-160, 1.0, 3.0},
                                                         {1e160, 1e-160, 1.0, 3.8}}};

option_arrays every_kind_of_option()
{
    option_arrays options;
    std::vector<testing::option_point> points = testing::black_grid();
    points.insert(points.end(), near_bound_points.begin(), near_bound_points.end());
    for (const testing::option_point& p : points)
        options.add(p.strike, p.forward, p.expiry, p.price, 1.0, p.sign);
    for (double strike : {80.0, 100.0, 130.0})
        for (double sign : {1.0, -1.0})
            options.add(strike, 100.0, 2.0, black_scholes::price(strike, 100.0, 2.0, 0.25, 0.9, sign), 0.9, sign);
    for (double price : {1e-300, 1e-310, 0.0, 10.0})
        options.add(90.0, 100.0, 1.0, 10.0 + price, 1.0, 1.0);
    for (const extreme_option& o : extreme_options)
        options.add(o.strike, o.forward, 100.0, o.price(), 1.0, o.sign);
    return options;
}

// Forward over strike 1e320 and 1e-320, beyond the doubles: out-of-the-money options whose
// log-moneyness cannot come from the ratio.
TEST(BlackScholesImpliedVolatilities, RoundTripForwardsAndStrikesWhoseRatioOverflows)
{
    option_arrays options;
    for (const extreme_option& o : extreme_options) {
        options.add(100.0, 100.0, 1.0, 8.0, 1.0, 1.0);
        options.add(o.strike, o.forward, 100.0, o.price(), 1.0, o.sign);
    }
    const std::vector<double> volatility = options.implied();
    for (std::size_t i = 0; i < extreme_options.size(); ++i)
        EXPECT_NEAR(volatility[2 * i + 1] / extreme_options[i].volatility, 1.0, 8.0 * eps)
            << "K " << extreme_options[i].strike << " sigma " << extreme_options[i].volatility;
}

// The scalar function is an array of one option: the same bits, whatever the stopping rule.
TEST(BlackScholesImpliedVolatilities, EqualTheScalarFunctionOnEveryKindOfOption)
{
    const option_arrays options = every_kind_of_option();
    for (const auto& [tolerance, iterations] : {std::pair{eps, 20}, std::pair{0.0, 0}, std::pair{0.0, 1},
                                                std::pair{1e-3, 20}}) {
        const std::vector<double> batch = options.implied(tolerance, iterations);
        for (std::size_t i = 0; i < batch.size(); ++i) {
            const double scalar =
                black_scholes::implied_volatility(options.strike[i], options.forward[i], options.expiry[i],
                                                  options.price[i], options.annuity[i], options.sign[i], tolerance,
                                                  iterations);
            ASSERT_EQ(batch[i], scalar) << i << ": K " << options.strike[i] << " T " << options.expiry[i]
                                        << " price " << options.price[i] << " iterations " << iterations;
        }
    }
}

// Every 41st option of the grid (each region of the initial guess and of the steps, the series
// far out of the money) and every option after it (near the upper bound, in the money, of tiny
// and of no time value), with their volatilities by the scalar function.
option_arrays probe_options(std::vector<double>& scalar_volatilities)
{
    const option_arrays all = every_kind_of_option();
    const std::size_t grid = testing::black_grid().size();
    option_arrays probes;
    for (std::size_t i = 0; i < all.strike.size(); ++i)
        if (i % 41 == 0 || i >= grid) {
            probes.add(all, i);
            scalar_volatilities.push_back(black_scholes::implied_volatility(
                all.strike[i], all.forward[i], all.expiry[i], all.price[i], all.annuity[i], all.sign[i]));
        }
    return probes;
}

// Arrays of every length from 1 to 130 (blocks full, partly filled, and one more), whose row
// i is probe (i + n) % probes, so that each probe falls at many offsets of many fills: every
// row gives the scalar function's volatility, bit for bit.
TEST(BlackScholesImpliedVolatilities, ARowGivesTheSameBitsWhateverTheLengthOfTheArray)
{
    std::vector<double> expected;
    const option_arrays probes = probe_options(expected);
    ASSERT_GT(expected.size(), 60u);
    for (std::size_t n = 1; n <= 130; ++n) {
        option_arrays rows;
        for (std::size_t i = 0; i < n; ++i)
            rows.add(probes, (i + n) % expected.size());
        const std::vector<double> volatility = rows.implied();
        for (std::size_t i = 0; i < n; ++i)
            ASSERT_EQ(volatility[i], expected[(i + n) % expected.size()]) << "row " << i << " of " << n;
    }
}

// Each probe at the first, second and last rows of a block and the first rows of the next,
// among 300 options of the grid.
TEST(BlackScholesImpliedVolatilities, ARowGivesTheSameBitsWhereverItFalls)
{
    std::vector<double> expected;
    const option_arrays probes = probe_options(expected);
    const option_arrays all = every_kind_of_option();
    for (std::size_t k = 0; k < expected.size(); ++k) {
        option_arrays rows;
        for (std::size_t i = 0; i < 300; ++i)
            rows.add(all, i);
        const std::size_t positions[] = {0, 1, 127, 128, 129, 299};
        for (std::size_t p : positions)
            rows.set(p, probes, k);
        const std::vector<double> volatility = rows.implied();
        for (std::size_t p : positions)
            EXPECT_EQ(volatility[p], expected[k]) << "probe " << k << " at row " << p;
    }
}

TEST(BlackScholesImpliedVolatilities, RefuseWhatTheScalarFunctionRefuses)
{
    option_arrays options;
    for (int i = 0; i < 300; ++i)
        options.add(110.0, 100.0, 1.0, 2.0, 1.0, 1.0);
    options.price[200] = -1e-3;
    const Error error = error_of([&] { options.implied(); });
    EXPECT_EQ(error.message(),
              "The price -0.001 is below the intrinsic value 0 of the option; it has no implied volatility");
    EXPECT_STREQ(error.location().function, "implied_volatility");

    std::vector<double> short_output(299);
    const Error sizes = error_of([&] {
        black_scholes::implied_volatilities(options.strike, options.forward, options.expiry, options.price,
                                            options.annuity, options.sign, short_output);
    });
    EXPECT_EQ(sizes.message(), "The inputs hold 300 values for 299 volatilities");
    EXPECT_STREQ(sizes.location().function, "implied_volatilities");
    EXPECT_EQ(error_of([&] { options.implied(-1.0); }).message(), "The tolerance must be non-negative, not -1");
}

struct refused_case
{
    const char* name;
    double strike, forward, expiry, price, annuity, sign, tolerance;
    int iterations;
    const char* message;
};

std::ostream& operator<<(std::ostream& out, const refused_case& c) { return out << c.name; }

class RefusedImpliedVolatility : public ::testing::TestWithParam<refused_case>
{
};

TEST_P(RefusedImpliedVolatility, RaisesAClearError)
{
    const refused_case c = GetParam();
    const Error error = error_of([&] {
        (void)black_scholes::implied_volatility(c.strike, c.forward, c.expiry, c.price, c.annuity, c.sign,
                                                c.tolerance, c.iterations);
    });
    EXPECT_EQ(error.message(), c.message);
    EXPECT_STREQ(error.location().function, "implied_volatility");
    EXPECT_STREQ(error.location().file, "Foundation/util/black_scholes");
}

const double nan = std::numeric_limits<double>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(
    Inputs, RefusedImpliedVolatility,
    ::testing::Values(
        refused_case{"below_intrinsic", 90.0, 100.0, 1.0, 19.0, 2.0, 1.0, eps, 20,
                     "The price 19 is below the intrinsic value 20 of the option; it has no implied volatility"},
        refused_case{"negative", 110.0, 100.0, 1.0, -1e-3, 1.0, 1.0, eps, 20,
                     "The price -0.001 is below the intrinsic value 0 of the option; it has no implied volatility"},
        refused_case{"call_at_bound", 90.0, 100.0, 1.0, 100.0, 1.0, 1.0, eps, 20,
                     "The price 100 reaches the upper bound 100 of the option (the annuity times the forward); it "
                     "has no implied volatility"},
        refused_case{"put_above_bound", 90.0, 100.0, 1.0, 46.0, 0.5, -1.0, eps, 20,
                     "The price 46 reaches the upper bound 45 of the option (the annuity times the strike); it has "
                     "no implied volatility"},
        refused_case{"nan_price", 90.0, 100.0, 1.0, nan, 1.0, 1.0, eps, 20, "The price must be finite, not nan"},
        refused_case{"negative_strike", -0.01, 100.0, 1.0, 1.0, 1.0, 1.0, eps, 20,
                     "The strike must be positive and finite, not -0.01"},
        refused_case{"zero_forward", 1.0, 0.0, 1.0, 1.0, 1.0, 1.0, eps, 20,
                     "The forward must be positive and finite, not 0"},
        refused_case{"zero_expiry", 1.0, 1.0, 0.0, 0.1, 1.0, 1.0, eps, 20,
                     "The expiry must be positive for an implied volatility, not 0"},
        refused_case{"sign", 1.0, 1.0, 1.0, 0.1, 1.0, 0.5, eps, 20,
                     "The sign must be +1 (a call) or -1 (a put), not 0.5"},
        refused_case{"annuity", 1.0, 1.0, 1.0, 0.1, 0.0, 1.0, eps, 20,
                     "The annuity must be positive and finite, not 0"},
        refused_case{"tolerance", 1.0, 1.0, 1.0, 0.1, 1.0, 1.0, -1.0, 20,
                     "The tolerance must be non-negative, not -1"},
        refused_case{"iterations", 1.0, 1.0, 1.0, 0.1, 1.0, 1.0, eps, -1,
                     "The iteration count must be non-negative, not -1"}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(BlackScholesPrice, RefusesInputsOutsideItsDomain)
{
    const Error volatility = error_of([] { (void)black_scholes::price(1.0, 1.0, 1.0, -0.1, 1.0, 1.0); });
    EXPECT_EQ(volatility.message(), "The volatility must be non-negative and finite, not -0.10000000000000001");
    EXPECT_STREQ(volatility.location().function, "price");
    const Error expiry = error_of([] { (void)black_scholes::price(1.0, 1.0, nan, 0.1, 1.0, 1.0); });
    EXPECT_EQ(expiry.message(), "The expiry must be non-negative and finite, not nan");
}

}  // namespace
}  // namespace korvex

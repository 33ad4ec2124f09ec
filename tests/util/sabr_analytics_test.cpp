#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "core/error.h"
#include "serialization/test_support.h"
#include "util/black_scholes.h"
#include "util/sabr_analytics.h"

#ifdef KORVEX_HAVE_QUANTLIB
#include <ql/termstructures/volatility/sabr.hpp>
#endif

namespace korvex {
namespace {

using testing::error_of;

constexpr double eps = std::numeric_limits<double>::epsilon();

struct sabr_parameters
{
    double alpha, beta, nu, rho;
};

const std::vector<sabr_parameters> parameter_sets{
    {0.2, 1.0, 0.4, -0.3}, {0.03, 0.5, 0.35, -0.25}, {0.008, 0.0, 0.6, 0.3}, {0.5, 0.7, 1.2, 0.8},
};

TEST(SabrAnalytics, WithoutVolOfVolAndBetaOneIsBlackAtAlpha)
{
    for (double strike : {0.5, 0.9, 1.0, 1.3, 4.0}) {
        EXPECT_EQ(sabr_analytics::volatility(strike, 1.0, 7.0, 0.23, 1.0, 0.0, -0.4, 0.0, false), 0.23);
        EXPECT_EQ(sabr_analytics::price(strike, 1.0, 7.0, 0.8, -1.0, 0.23, 1.0, 0.0, -0.4, 0.0, true),
                  black_scholes::price(strike, 1.0, 7.0, 0.23, 0.8, -1.0));
    }
}

TEST(SabrAnalytics, AtTheMoneyMatchesItsClosedForm)
{
    for (const sabr_parameters& p : parameter_sets) {
        const double f = 0.035, t = 4.5;
        const double backbone = std::pow(f, 1.0 - p.beta);
        const double one_minus_beta = 1.0 - p.beta;
        const double closed =
            p.alpha / backbone *
            (1.0 + t * (one_minus_beta * one_minus_beta * p.alpha * p.alpha / (24.0 * backbone * backbone) +
                        p.rho * p.beta * p.nu * p.alpha / (4.0 * backbone) +
                        (2.0 - 3.0 * p.rho * p.rho) * p.nu * p.nu / 24.0));
        EXPECT_NEAR(sabr_analytics::volatility(f, f, t, p.alpha, p.beta, p.nu, p.rho, 0.0, false) / closed, 1.0,
                    4.0 * eps);
    }
}

TEST(SabrAnalytics, NearTheMoneyTendsToTheAtTheMoneyValueWithoutLosingDigits)
{
    // z / x(z) = 1 - rho z / 2 + O(z^2): a strike one part in 1e9 away changes the volatility
    // by about 1e-9 relatively, smoothly, however small the distance.
    const double atm = sabr_analytics::volatility(0.03, 0.03, 2.0, 0.02, 0.5, 0.4, -0.3, 0.0, false);
    double previous_change = 0.0;
    for (double distance : {1e-5, 1e-7, 1e-9, 1e-11}) {
        const double change = sabr_analytics::volatility(0.03 * (1.0 + distance), 0.03, 2.0, 0.02, 0.5, 0.4, -0.3,
                                                         0.0, false) / atm - 1.0;
        if (previous_change != 0.0) {
            EXPECT_NEAR(change / previous_change, 0.01, 1e-4) << distance;
        }
        previous_change = change;
    }
}

TEST(SabrAnalytics, ShiftMovesForwardAndStrike)
{
    const double shifted = sabr_analytics::volatility(-0.002, 0.001, 3.0, 0.02, 0.4, 0.5, 0.1, 0.01, false);
    EXPECT_EQ(shifted, sabr_analytics::volatility(0.008, 0.011, 3.0, 0.02, 0.4, 0.5, 0.1, 0.0, false));
    EXPECT_EQ(sabr_analytics::price(-0.002, 0.001, 3.0, 0.7, -1.0, 0.02, 0.4, 0.5, 0.1, 0.01, false),
              black_scholes::price(-0.002 + 0.01, 0.001 + 0.01, 3.0, shifted, 0.7, -1.0));
}

#ifdef KORVEX_HAVE_QUANTLIB
TEST(SabrAnalytics, AgreesWithQuantLibOnAGridOfStrikes)
{
    for (const sabr_parameters& p : parameter_sets)
        for (int i = -20; i <= 20; ++i) {
            const double forward = 0.03, strike = forward * std::exp(0.06 * i), t = 2.5;
            const double ours =
                sabr_analytics::volatility(strike, forward, t, p.alpha, p.beta, p.nu, p.rho, 0.0, false);
            const double theirs = QuantLib::sabrVolatility(strike, forward, t, p.alpha, p.beta, p.nu, p.rho);
            EXPECT_NEAR(ours / theirs, 1.0, 1e-12) << "strike " << strike << " beta " << p.beta;
        }
}
#else
TEST(SabrAnalytics, AgreesWithQuantLibOnAGridOfStrikes)
{
    GTEST_SKIP() << "QuantLib (libquantlib0-dev) is not installed: no comparison with sabrVolatility";
}
#endif

TEST(SabrAnalytics, SkewDampeningKeepsTheSmileNearTheMoneyAndBoundsTheWings)
{
    // beta = 1: z = nu / alpha ln(F/K), and the volatility is alpha z / x(z) times the
    // expiry correction.
    const double alpha = 0.2, nu = 1.0, rho = -0.4, t = 1.0;
    const double correction = 1.0 + t * (rho * nu * alpha / 4.0 + (2.0 - 3.0 * rho * rho) * nu * nu / 24.0);
    for (double z : {-2.9, -1.0, -1e-3, 0.0, 0.5, 2.9}) {
        const double strike = std::exp(-z * alpha / nu);
        EXPECT_EQ(sabr_analytics::volatility(strike, 1.0, t, alpha, 1.0, nu, rho, 0.0, true),
                  sabr_analytics::volatility(strike, 1.0, t, alpha, 1.0, nu, rho, 0.0, false))
            << z;
    }
    double previous = 0.0;
    for (double z : {-1e3, -10.0, 5.0, 10.0, 100.0, 1e3}) {
        const double strike = std::exp(-z * alpha / nu);
        const double dampened = sabr_analytics::volatility(strike, 1.0, t, alpha, 1.0, nu, rho, 0.0, true);
        EXPECT_LT(dampened, sabr_analytics::volatility(strike, 1.0, t, alpha, 1.0, nu, rho, 0.0, false)) << z;
        EXPECT_LT(dampened / (alpha * correction), 4.0) << z;
        if (z > 0.0) {
            EXPECT_GT(dampened, previous) << z;
            previous = dampened;
        }
    }
    // z / x(z) tends to the cap 4 like 4 / (1 + O(1/z)).
    EXPECT_NEAR(previous / (alpha * correction), 4.0, 0.04);
}

// Hagan's volatility is kept for |z| up to sqrt(15 + rho^2) - |rho| only, 3.04 at rho = +-0.95:
// on the side of -rho the cap is reached there, and at |z| = 3.87 the volatility is lower by
// the ratio of Hagan's x(z) to the capped one, x(y) + (z - y) / 4 (1.2%).
TEST(SabrAnalytics, SkewDampeningStartsAtTheCapOnTheSideOfMinusRho)
{
    const double alpha = 0.2, nu = 1.0;
    const auto ratio = [&](double z, double rho) {
        const double strike = std::exp(-z * alpha / nu);
        return sabr_analytics::volatility(strike, 1.0, 1.0, alpha, 1.0, nu, rho, 0.0, true) /
               sabr_analytics::volatility(strike, 1.0, 1.0, alpha, 1.0, nu, rho, 0.0, false);
    };
    const auto hagan_x = [](double z, double rho) {
        return std::log((std::sqrt(1.0 - 2.0 * rho * z + z * z) + z - rho) / (1.0 - rho));
    };
    for (const double rho : {0.95, -0.95}) {
        const double band = std::sqrt(15.0 + rho * rho) - std::fabs(rho);
        EXPECT_EQ(ratio(std::copysign(0.999 * band, -rho), rho), 1.0) << rho;
        EXPECT_EQ(ratio(std::copysign(3.87, rho), rho), 1.0) << rho;
        const double z = std::copysign(3.87, -rho), cap = std::copysign(band, -rho);
        const double expected = hagan_x(z, rho) / (hagan_x(cap, rho) + (z - cap) / 4.0);
        EXPECT_NEAR(ratio(z, rho), expected, 1e-12) << rho;
        EXPECT_NEAR(expected, 1.0 - 1.17e-2, 1e-4) << rho;
    }
}

TEST(SabrAnalytics, SkewDampeningIsContinuousWithItsSlopeAtTheCap)
{
    const double alpha = 0.2, nu = 1.0, rho = 0.3;
    const double cap_z = rho + std::sqrt(15.0 + rho * rho);  // where sqrt(1 - 2 rho z + z^2) = 4
    const auto vol = [&](double z) {
        return sabr_analytics::volatility(std::exp(-z * alpha / nu), 1.0, 0.5, alpha, 1.0, nu, rho, 0.0, true);
    };
    const double h = 1e-5;
    const double left_slope = (vol(cap_z - h) - vol(cap_z - 2 * h)) / h;
    const double right_slope = (vol(cap_z + 2 * h) - vol(cap_z + h)) / h;
    EXPECT_NEAR(vol(cap_z + 1e-12), vol(cap_z - 1e-12), 1e-12);
    EXPECT_NEAR(left_slope, right_slope, 1e-3 * std::fabs(left_slope));
}

TEST(SabrAnalytics, RefusesShiftedRatesThatAreNotPositiveAndBadParameters)
{
    const Error strike =
        error_of([] { (void)sabr_analytics::price(-0.02, 0.01, 1.0, 1.0, -1.0, 0.02, 0.5, 0.3, 0.0, 0.01, false); });
    EXPECT_EQ(strike.message(), "The shifted strike (strike + shift) must be positive and finite, not -0.01");
    EXPECT_STREQ(strike.location().function, "price");
    EXPECT_STREQ(strike.location().file, "Foundation/util/sabr_analytics");
    const Error forward =
        error_of([] { (void)sabr_analytics::volatility(0.02, -0.01, 1.0, 0.02, 0.5, 0.3, 0.0, 0.01, false); });
    EXPECT_EQ(forward.message(), "The shifted forward (forward + shift) must be positive and finite, not 0");
    EXPECT_STREQ(forward.location().function, "volatility");
    const Error rho =
        error_of([] { (void)sabr_analytics::volatility(0.02, 0.02, 1.0, 0.02, 0.5, 0.3, 1.0, 0.0, false); });
    EXPECT_EQ(rho.message(), "rho must lie in (-1, 1), not 1");
}

TEST(SabrAnalytics, RefusesAVolatilityTheExpansionMakesNegative)
{
    // rho = -0.99 and a large vol-of-vol turn the expiry correction negative at 30 years.
    const Error error =
        error_of([] { (void)sabr_analytics::price(0.03, 0.03, 30.0, 1.0, 1.0, 0.2, 1.0, 1.5, -0.99, 0.0, false); });
    EXPECT_EQ(error.message().rfind("The SABR expansion gives the volatility -", 0), 0u) << error.message();
    EXPECT_NE(error.message().find(" at the expiry 30; the expansion does not hold there"), std::string::npos);
}

}  // namespace
}  // namespace korvex

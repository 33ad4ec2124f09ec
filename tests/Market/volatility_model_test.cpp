#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "Market/common/volatility_model/volatility_model_sabr.h"
#include "core/error.h"
#include "math/failure_expectation.h"
#include "util/bachelier.h"
#include "util/black_scholes.h"
#include "util/sabr_analytics.h"

namespace korvex {
namespace {

using testing::error_of;
using testing::expect_failure;

const double nan = std::numeric_limits<double>::quiet_NaN();

struct sabr_validation
{
    const char* name;
    double alpha, beta, nu, rho;
    int line;  // 0: constructs
    const char* message;
};

std::ostream& operator<<(std::ostream& out, const sabr_validation& c) { return out << c.name; }

class SabrValidation : public ::testing::TestWithParam<sabr_validation>
{
};

TEST_P(SabrValidation, ChecksInOrderWithTheOffendingValue)
{
    const sabr_validation c = GetParam();
    const auto make = [&] { volatility_model_sabr(c.alpha, c.beta, c.nu, c.rho, 0.01, true); };
    if (c.line == 0) {
        EXPECT_NO_THROW(make());
        return;
    }
    expect_failure(make,
                   {"volatility_model_sabr", "Library/Market/common/volatility_model/volatility_model_sabr", c.line},
                   c.message);
}

INSTANTIATE_TEST_SUITE_P(
    Parameters, SabrValidation,
    ::testing::Values(
        sabr_validation{"valid", 0.2, 0.5, 0.3, -0.2, 0, ""},
        sabr_validation{"beta_one", 0.2, 1.0, 0.3, -0.2, 0, ""},
        sabr_validation{"beta_zero_nu_zero", 0.2, 0.0, 0.0, 0.0, 0, ""},
        sabr_validation{"negative_alpha", -0.5, 0.5, 0.3, -0.2, 18,
                        "Expected alpha_ > 0.0 to be true, but got false.  alpha_ must be positive: -0.5 not allowed"},
        sabr_validation{"zero_alpha", 0.0, 0.5, 0.3, -0.2, 18,
                        "Expected alpha_ > 0.0 to be true, but got false.  alpha_ must be positive: 0 not allowed"},
        sabr_validation{"alpha_reported_first", -1.0, 2.0, 0.3, -0.2, 18,
                        "Expected alpha_ > 0.0 to be true, but got false.  alpha_ must be positive: -1 not allowed"},
        sabr_validation{"nan_alpha", nan, 0.5, 0.3, -0.2, 18,
                        "Expected alpha_ > 0.0 to be true, but got false.  alpha_ must be positive: nan not allowed"},
        sabr_validation{"beta_above_one", 0.2, 1.0000001, 0.3, -0.2, 20,
                        "Expected beta_ >= 0.0 && beta_ <= 1.0 to be true, but got false.  beta_ must be in (0.0, "
                        "1.0): 1 not allowed"},
        sabr_validation{"negative_beta", 0.2, -0.25, 0.3, -0.2, 20,
                        "Expected beta_ >= 0.0 && beta_ <= 1.0 to be true, but got false.  beta_ must be in (0.0, "
                        "1.0): -0.25 not allowed"},
        sabr_validation{"nu_before_rho", 0.2, 0.5, -0.1, 2.0, 21,
                        "Expected nu_ >= 0.0 to be true, but got false.  nu_ must be non negative: -0.1 not allowed"},
        sabr_validation{"rho_minus_one", 0.2, 0.5, 0.3, -1.0, 22,
                        "Expected rho_ * rho_ < 1.0 to be true, but got false.  rho_ square must be less than one: "
                        "-1 not allowed"},
        sabr_validation{"six_significant_digits", 1e-7, 0.5, 0.3, 1.234567, 22,
                        "Expected rho_ * rho_ < 1.0 to be true, but got false.  rho_ square must be less than one: "
                        "1.23457 not allowed"}),
    [](const auto& test) { return std::string(test.param.name); });

// A model that records its last price call and prices with Black at 30%.
class recording_model : public volatility_model
{
public:
    double price(double strike, double forward, double expiry, double annuity, double sign) const override
    {
        calls.push_back({strike, forward, expiry, annuity, sign});
        return black_scholes::price(strike, forward, expiry, 0.3, annuity, sign);
    }

    mutable std::vector<std::vector<double>> calls;
};

TEST(VolatilityModel, PricesTheOutOfTheMoneyOptionWithUnitAnnuity)
{
    const recording_model model;
    EXPECT_NEAR(model.implied_volatility(0.9, 1.0, 2.0, lognormal), 0.3, 1e-15);
    EXPECT_NEAR(model.implied_volatility(1.1, 1.0, 2.0, lognormal), 0.3, 1e-15);
    EXPECT_NEAR(model.implied_volatility(1.0, 1.0, 2.0, lognormal), 0.3, 1e-15);
    EXPECT_THROW((void)model.implied_volatility(1.0, nan, 2.0, normal), Error);  // NaN forward: priced as a call
    ASSERT_EQ(model.calls.size(), 4u);
    EXPECT_EQ(model.calls[0], (std::vector<double>{0.9, 1.0, 2.0, 1.0, -1.0}));
    EXPECT_EQ(model.calls[1], (std::vector<double>{1.1, 1.0, 2.0, 1.0, 1.0}));
    EXPECT_EQ(model.calls[2][4], 1.0);
    EXPECT_EQ(model.calls[3][4], 1.0);
}

TEST(VolatilityModel, NormalVolatilityReprices)
{
    const recording_model model;
    const double sigma = model.implied_volatility(1.15, 1.0, 3.0, normal);
    EXPECT_NEAR(bachelier::price(1.15, 1.0, 3.0, sigma, 1.0, 1.0) / model.price(1.15, 1.0, 3.0, 1.0, 1.0), 1.0,
                1e-15);
}

TEST(VolatilityModel, RefusesAnUnknownTypeAfterPricing)
{
    const recording_model model;
    expect_failure([&] { (void)model.implied_volatility(0.9, 1.0, 2.0, static_cast<volatility_type>(2)); },
                   {"implied_volatility", "Library/Market/common/volatility_model/volatility_model", 31}, "");
    EXPECT_EQ(model.calls.size(), 1u);
}

TEST(VolatilityModelSabr, ForwardsItsInputsAndParametersToTheExpansion)
{
    const volatility_model_sabr model(0.02, 0.4, 0.45, -0.3, 0.015, true);
    EXPECT_EQ(model.alpha(), 0.02);
    EXPECT_EQ(model.nu(), 0.45);
    EXPECT_EQ(model.rho(), -0.3);
    for (double strike : {-0.01, 0.0, 0.02, 0.05})
        EXPECT_EQ(model.price(strike, 0.01, 4.0, 0.8, -1.0),
                  sabr_analytics::price(strike, 0.01, 4.0, 0.8, -1.0, 0.02, 0.4, 0.45, -0.3, 0.015, true));
}

TEST(VolatilityModelSabr, ImpliedVolatilitiesReproduceItsPrices)
{
    const volatility_model_sabr model(0.025, 0.5, 0.4, -0.25, 0.0, false);
    for (double strike : {0.01, 0.025, 0.03, 0.06}) {
        const double sign = strike < 0.03 ? -1.0 : 1.0;
        const double price = model.price(strike, 0.03, 5.0, 1.0, sign);
        const double lognormal_vol = model.implied_volatility(strike, 0.03, 5.0, lognormal);
        EXPECT_NEAR(lognormal_vol / sabr_analytics::volatility(strike, 0.03, 5.0, 0.025, 0.5, 0.4, -0.25, 0.0, false),
                    1.0, 1e-13);
        const double normal_vol = model.implied_volatility(strike, 0.03, 5.0, normal);
        EXPECT_NEAR(bachelier::price(strike, 0.03, 5.0, normal_vol, 1.0, sign) / price, 1.0, 1e-14);
    }
}

TEST(VolatilityModelSabr, ShiftedModelRefusesALognormalVolatilityOfANegativeStrike)
{
    const volatility_model_sabr model(0.02, 0.5, 0.3, 0.0, 0.02, false);
    EXPECT_GT(model.implied_volatility(-0.005, 0.01, 1.0, normal), 0.0);
    const Error error = error_of([&] { (void)model.implied_volatility(-0.005, 0.01, 1.0, lognormal); });
    EXPECT_EQ(error.message(), "The strike must be positive and finite, not -0.0050000000000000001");
    const Error shifted = error_of([&] { (void)model.implied_volatility(-0.03, 0.01, 1.0, normal); });
    EXPECT_EQ(shifted.message(),
              "The shifted strike (strike + shift) must be positive and finite, not -0.0099999999999999985");
}

}  // namespace
}  // namespace korvex

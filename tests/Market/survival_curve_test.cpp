#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cmath>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "Market/market_fixtures.h"
#include "serialization/test_support.h"
#include "util/datetime_helper.h"

namespace korvex {
namespace {

using namespace korvex::testing;
using json = nlohmann::ordered_json;

const std::vector<double> hazard_rates{0.01, 0.015, 0.025};

// The piecewise sum written out from its definition, for d1 not after d2: edge terms at
// the rates found for d1 and d2, inner terms at the rate of each sub-interval's start,
// the rate at t being y[last pillar not after t], accumulated with fused multiply-adds.
double defined_log_survival(const datetime& d1, const datetime& d2)
{
    const std::vector<datetime> x = pillar_dates();
    const day_count_convention convention(act_365_fixed);
    const auto rate = [&](const datetime& t) { return hazard_rates[datetime_helper::find_index(t, x, false)]; };
    const std::size_t i1 = datetime_helper::find_index(d1, x, true);
    const std::size_t i2 = datetime_helper::find_index(d2, x, false);
    if (i1 > i2)
        return -convention.fraction(d1, d2) * rate(d1);
    double sum = std::fma(convention.fraction(d1, x[i1]), rate(d1), 0.0);
    for (std::size_t k = i1; k < i2; ++k)
        sum = std::fma(convention.fraction(x[k], x[k + 1]), rate(x[k]), sum);
    return -std::fma(convention.fraction(x[i2], d2), rate(d2), sum);
}

TEST(SurvivalCurveFlat, HazardRateTimesYearFraction)
{
    // 1800 days of ACT/360 are 5 years.
    const survival_curve_flat curve(jan_2024, 0.02, std::make_shared<const day_count_convention>(act_360));
    const datetime later(jan_2024.as_float() + 1800.0);
    EXPECT_DOUBLE_EQ(curve.log_survival_probability(jan_2024, later), -0.1);
    EXPECT_DOUBLE_EQ(curve.survival_probability(jan_2024, later), std::exp(-0.1));
    EXPECT_GT(curve.survival_probability(later, jan_2024), 1.0);
    EXPECT_EQ(curve.survival_probability(later, later), 1.0);
}

TEST(SurvivalCurve, VectorFormsBroadcastOneValue)
{
    const std::shared_ptr<const survival_curve> curves[] = {
        std::make_shared<const survival_curve_flat>(jan_2024, 0.02, act_365()), piecewise_survival_curve()};
    for (const auto& curve : curves) {
        vector<double> out(5);
        curve->survival_probability(out, jun_2025);
        for (const double v : out)
            EXPECT_EQ(v, curve->survival_probability(jan_2024, jun_2025));
        curve->log_survival_probability(out, mar_2024, jan_2026);
        for (const double v : out)
            EXPECT_EQ(v, curve->log_survival_probability(mar_2024, jan_2026));
        vector<double> empty;
        curve->survival_probability(empty, jun_2025);
        curve->log_survival_probability(empty, mar_2024, jun_2025);
        EXPECT_EQ(empty.size(), 0u);

        std::vector<datetime> dates = probe_dates();
        dates.insert(dates.end(), {jun_2025, datetime(45000.0), jan_2026, jan_2024});
        std::vector<double> probabilities(dates.size());
        curve->survival_probabilities(dates, probabilities);
        for (std::size_t i = 0; i < dates.size(); ++i)
            EXPECT_EQ(probabilities[i], curve->survival_probability(jan_2024, dates[i])) << i;
        const Error e = error_of([&] { curve->survival_probabilities(dates, std::span(probabilities).first(3)); });
        EXPECT_EQ(e.message(), "The output holds 3 values for 15 dates");
        EXPECT_EQ(e.location().function, std::string("survival_probabilities"));
    }
}

TEST(SurvivalCurvePiecewise, EachPillarRateHoldsFromItsPillarOn)
{
    const auto curve = piecewise_survival_curve();
    // 2024-01-01 to 2024-07-01 182 days, to 2025-01-01 184 more, to 2025-06-01 151 more.
    EXPECT_DOUBLE_EQ(curve->log_survival_probability(jan_2024, jun_2025), -(366.0 * 0.01 + 151.0 * 0.015) / 365.0);
    EXPECT_DOUBLE_EQ(curve->log_survival_probability(jul_2024, jan_2025), -184.0 * 0.01 / 365.0);
    EXPECT_DOUBLE_EQ(curve->log_survival_probability(jan_2025, jun_2025), -151.0 * 0.015 / 365.0);
    EXPECT_DOUBLE_EQ(curve->log_survival_probability(jan_2026, datetime(46023.0 + 100.0)), -100.0 * 0.025 / 365.0);
    EXPECT_EQ(curve->survival_probability(jan_2024, jun_2025),
              std::exp(curve->log_survival_probability(jan_2024, jun_2025)));
}

TEST(SurvivalCurvePiecewise, ForwardInTimeMatchesTheSumAsDefined)
{
    const auto curve = piecewise_survival_curve();
    for (const datetime& d1 : probe_dates())
        for (const datetime& d2 : probe_dates())
            if (d1 <= d2) {
                const double value = curve->log_survival_probability(d1, d2);
                const double defined = defined_log_survival(d1, d2);
                EXPECT_EQ(std::memcmp(&value, &defined, sizeof value), 0) << d1.as_float() << " " << d2.as_float();
            }
}

TEST(SurvivalCurvePiecewise, ProbabilitiesComposeAndReverse)
{
    const auto curve = piecewise_survival_curve();
    for (const datetime& d1 : probe_dates())
        for (const datetime& d2 : probe_dates()) {
            if (d1 < d2) {
                EXPECT_EQ(curve->log_survival_probability(d2, d1), -curve->log_survival_probability(d1, d2));
            }
            for (const datetime& d3 : probe_dates())
                EXPECT_NEAR(curve->survival_probability(d1, d3),
                            curve->survival_probability(d1, d2) * curve->survival_probability(d2, d3), 1e-14);
        }
}

TEST(SurvivalCurvePiecewise, DifferentLengthsAreRefused)
{
    const Error e = error_of([] {
        survival_curve_piecewise_constant(jan_2024, {jul_2024, jan_2025}, hazard_rates, act_365());
    });
    EXPECT_EQ(e.message(), " The term structure should have the same size");
    EXPECT_EQ(e.location(), (SourceLocation{"term_structure", "Library/Util/term_structure/term_structure", 29}));
}

template <class Curve>
class SurvivalCurveFiles : public ::testing::Test
{
protected:
    static std::shared_ptr<const Curve> make()
    {
        if constexpr (std::is_same_v<Curve, survival_curve_flat>)
            return std::make_shared<const Curve>(jan_2024, 0.0123456789, act_365());
        else
            return piecewise_survival_curve();
    }

    temporary_folder folder;
};

using SurvivalCurveTypes = ::testing::Types<survival_curve_flat, survival_curve_piecewise_constant>;
TYPED_TEST_SUITE(SurvivalCurveFiles, SurvivalCurveTypes);

TYPED_TEST(SurvivalCurveFiles, RoundTripsQueryToIdenticalBits)
{
    const auto original = this->make();
    TypeParam::write_to_json(this->folder.file("curve.json"), original);
    TypeParam::write_to_binary(this->folder.file("curve.bin"), original);
    const std::vector<double> expected = object_numbers(any_object(original));
    for (const auto& read : {TypeParam::read_from_json(this->folder.file("curve.json")),
                             TypeParam::read_from_binary(this->folder.file("curve.bin"))}) {
        const std::vector<double> numbers = object_numbers(any_object(read));
        ASSERT_EQ(numbers.size(), expected.size());
        EXPECT_EQ(std::memcmp(numbers.data(), expected.data(), numbers.size() * sizeof(double)), 0);
    }
    const json record = json::parse(TypeParam::json_to_string(original));
    const std::string first_member = std::is_same_v<TypeParam, survival_curve_flat> ? "rates" : "rates_term_structure";
    EXPECT_EQ(std::next(record.begin()).key(), first_member);
    if constexpr (std::is_same_v<TypeParam, survival_curve_piecewise_constant>) {
        EXPECT_EQ(record["rates_term_structure"]["type"], 0);
    }
}

TYPED_TEST(SurvivalCurveFiles, NullMarkerGivesACurveThatRefusesQueries)
{
    TypeParam::write_to_binary(this->folder.file("curve.bin"), nullptr);
    const auto read = TypeParam::read_from_binary(this->folder.file("curve.bin"));
    EXPECT_EQ(read->valuation_date().as_float(), INFINITY);
    EXPECT_EQ(read->convention(), nullptr);
    EXPECT_EQ(error_of([&] { read->survival_probability(jan_2024, jun_2025); }).message(), "convention_ is null");
}

TEST(SurvivalCurveRecords, EmptyTermStructureRecordGivesACurveWithoutPillars)
{
    temporary_folder folder;
    json record = json::parse(survival_curve_piecewise_constant::json_to_string(piecewise_survival_curve()));
    record["rates_term_structure"] = json::parse(R"({"Class": "empty"})");
    write_file_text(folder.file("curve.json"), json{{"root", record}}.dump());
    const auto read = survival_curve_piecewise_constant::read_from_json(folder.file("curve.json"));
    ASSERT_NE(read->rates_term_structure(), nullptr);
    EXPECT_EQ(error_of([&] { read->survival_probability(jan_2024, jun_2025); }).message(),
              "The term structure has no pillars");
}

}  // namespace
}  // namespace korvex

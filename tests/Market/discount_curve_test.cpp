#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "Market/credit/survival_curve/survival_curve_piecewise_constant.h"
#include "Market/curve_fixtures.h"
#include "Serialization/serialization_impl.h"
#include "serialization/test_support.h"

namespace korvex {
namespace {

using namespace korvex::testing;

// exp(-rate * days / 365), computed by Debian's Python as an independent reference.
double python_discount(double rate, double days)
{
    return std::stod(python_output("import math; print(repr(math.exp(-" + std::to_string(rate) +
                                   " * " + std::to_string(days) + " / 365.0)))"));
}

TEST(DiscountCurveFlat, MatchesTheClosedForm)
{
    const auto curve = flat_curve();
    // 2024-01-01 to 2025-06-01 is 517 days.
    EXPECT_NEAR(curve->df(jan_2024, jun_2025), python_discount(0.05, 517.0), 1e-16);
    // log_df = fraction × (−rate) and df its exponential, with ACT/365F's fraction 517 / 365.
    EXPECT_EQ(curve->log_df(jan_2024, jun_2025), (517.0 / 365.0) * -0.05);
    EXPECT_EQ(curve->df(jan_2024, jun_2025), std::exp((517.0 / 365.0) * -0.05));
    EXPECT_EQ(curve->log_df(jun_2025, jan_2024), (-517.0 / 365.0) * -0.05);
    // Backwards in time the factor exceeds 1.
    EXPECT_NEAR(curve->df(jun_2025, jan_2024), 1.0 / python_discount(0.05, 517.0), 1e-15);
    EXPECT_GT(curve->df(jun_2025, jan_2024), 1.0);
    EXPECT_EQ(curve->df(mar_2024, mar_2024), 1.0);
}

TEST(DiscountCurveFlat, YearFractionOfTwoGivesMinusTwiceTheRate)
{
    const auto convention = std::make_shared<const day_count_convention>(act_360);
    const discount_curve_flat curve(jan_2024, 0.05, convention);
    const datetime later(jan_2024.as_float() + 720.0);
    EXPECT_DOUBLE_EQ(curve.log_df(jan_2024, later), -0.1);
    EXPECT_DOUBLE_EQ(curve.df(jan_2024, later), std::exp(-0.1));
}

TEST(DiscountCurve, VectorFormsBroadcastOneValue)
{
    for (const std::shared_ptr<const discount_curve>& curve :
         {std::shared_ptr<const discount_curve>(flat_curve()),
          std::shared_ptr<const discount_curve>(piecewise_curve())}) {
        vector<double> out(5);
        curve->log_df(out, mar_2024, jun_2025);
        for (const double v : out)
            EXPECT_EQ(v, curve->log_df(mar_2024, jun_2025));
        curve->discounting(out, jun_2025);
        EXPECT_EQ(out.size(), 5u);
        for (const double v : out)
            EXPECT_EQ(v, curve->df(jan_2024, jun_2025));
        vector<double> empty;
        curve->discounting(empty, jun_2025);
        curve->log_df(empty, jan_2024, jun_2025);
        EXPECT_EQ(empty.size(), 0u);

        const std::vector<datetime> dates = probe_dates();
        const std::vector<double> factors = curve->dfs(dates);
        ASSERT_EQ(factors.size(), dates.size());
        for (std::size_t i = 0; i < dates.size(); ++i)
            EXPECT_EQ(factors[i], curve->df(curve->valuation_date(), dates[i]));
        EXPECT_TRUE(curve->dfs({}).empty());
        // Unsorted dates, dates before the valuation date and on pillars, into a span.
        std::vector<datetime> unsorted(dates.rbegin(), dates.rend());
        unsorted.insert(unsorted.end(), {jun_2025, datetime(45000.0), jan_2026, jan_2024});
        std::vector<double> into(unsorted.size());
        curve->dfs(unsorted, into);
        for (std::size_t i = 0; i < unsorted.size(); ++i)
            EXPECT_EQ(into[i], curve->df(curve->valuation_date(), unsorted[i])) << i;
        const Error e = error_of([&] { curve->dfs(unsorted, std::span(into).first(3)); });
        EXPECT_EQ(e.message(), "The output holds 3 values for 15 dates");
        EXPECT_EQ(e.location().function, std::string("dfs"));

        const vector<double> normalized = curve->log_normalized_discounting();
        ASSERT_EQ(normalized.size(), 1u);
        EXPECT_TRUE(normalized.owns());
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(normalized.data()) % 64, 0u);
        EXPECT_EQ(normalized[0], 1.0);
    }
}

TEST(DiscountCurvePiecewise, HandSummedSubIntervals)
{
    const auto curve = piecewise_curve();
    // Pillars 2024-07-01 (0.02), 2025-01-01 (0.03), 2026-01-01 (0.04); the rate of a pillar
    // holds up to it from the previous pillar. Day counts: 2024-01-01 to 2024-07-01 182,
    // to 2025-01-01 184 more, to 2025-06-01 151 more, to 2026-01-01 214 more.
    EXPECT_DOUBLE_EQ(curve->log_df(jan_2024, jun_2025),
                     -(182.0 * 0.02 + 184.0 * 0.03 + 151.0 * 0.04) / 365.0);
    EXPECT_DOUBLE_EQ(curve->log_df(jan_2024, jul_2024), -182.0 * 0.02 / 365.0);
    EXPECT_DOUBLE_EQ(curve->log_df(jul_2024, jan_2025), -184.0 * 0.03 / 365.0);
    // Both dates between the same two pillars: one term at the start date's rate.
    const datetime feb_2025(45689.0);
    EXPECT_EQ(curve->log_df(feb_2025, jun_2025), -(120.0 / 365.0) * 0.04);
    EXPECT_DOUBLE_EQ(curve->log_df(jan_2025, jun_2025), -(151.0 / 365.0) * 0.04);
    EXPECT_DOUBLE_EQ(curve->log_df(mar_2024, datetime(45400.0)), -(34.0 / 365.0) * 0.02);
    // Beyond the last pillar the last rate holds; before the first, the first.
    EXPECT_DOUBLE_EQ(curve->log_df(jan_2024, datetime(46023.0 + 100.0)),
                     -(182.0 * 0.02 + 184.0 * 0.03 + 365.0 * 0.04 + 100.0 * 0.04) / 365.0);
    EXPECT_DOUBLE_EQ(curve->log_df(datetime(45000.0), jan_2024), -292.0 * 0.02 / 365.0);
    EXPECT_DOUBLE_EQ(curve->df(jan_2024, jun_2025),
                     std::exp(-(182.0 * 0.02 + 184.0 * 0.03 + 151.0 * 0.04) / 365.0));
    // On a pillar with itself: every term is 0.
    EXPECT_EQ(curve->log_df(jan_2025, jan_2025), 0.0);
    EXPECT_EQ(curve->df(jan_2025, jan_2025), 1.0);
}

TEST(DiscountCurvePiecewise, SingleRateCurveIsTheFlatCurve)
{
    const discount_curve_piecewise_constant single(jan_2024, {jan_2025}, {0.05}, act_365());
    const auto flat = flat_curve();
    for (const datetime& d : probe_dates())
        EXPECT_NEAR(single.df(jan_2024, d), flat->df(jan_2024, d), 1e-15);
}

TEST(DiscountCurvePiecewise, ContinuousAcrossPillarsInBothDates)
{
    const auto curve = piecewise_curve();
    const double epsilon = 1e-6;  // days
    const datetime early(45000.0);
    const datetime late(47000.0);
    for (const datetime& p : pillar_dates()) {
        const datetime below(p.as_float() - epsilon);
        const datetime above(p.as_float() + epsilon);
        EXPECT_NEAR(curve->log_df(early, below), curve->log_df(early, p), 1e-9);
        EXPECT_NEAR(curve->log_df(early, above), curve->log_df(early, p), 1e-9);
        EXPECT_NEAR(curve->log_df(below, late), curve->log_df(p, late), 1e-9);
        EXPECT_NEAR(curve->log_df(above, late), curve->log_df(p, late), 1e-9);
    }
}

TEST(DiscountCurvePiecewise, DiscountFactorsCompose)
{
    const auto curve = piecewise_curve();
    const std::vector<datetime> dates = probe_dates();
    for (const datetime& d1 : dates)
        for (const datetime& d2 : dates)
            for (const datetime& d3 : dates)
                EXPECT_NEAR(curve->df(d1, d3), curve->df(d1, d2) * curve->df(d2, d3), 1e-14)
                    << d1.as_float() << " " << d2.as_float() << " " << d3.as_float();
}

TEST(DiscountCurvePiecewise, DifferentLengthsAreRefused)
{
    const Error e = error_of([] {
        discount_curve_piecewise_constant(jan_2024, pillar_dates(), {0.01, 0.02}, act_365());
    });
    EXPECT_EQ(e.message(), " The term structure should have the same size");
    EXPECT_EQ(e.location().line, 29);
}

struct bad_pillars
{
    std::vector<double> serials;
    const char* message;
    int line;
};

void PrintTo(const bad_pillars& c, std::ostream* out) { *out << c.message; }

class PiecewisePillars : public ::testing::TestWithParam<bad_pillars>
{
protected:
    std::vector<datetime> dates() const
    {
        return {GetParam().serials.begin(), GetParam().serials.end()};
    }
    std::vector<double> rates() const { return std::vector<double>(GetParam().serials.size(), 0.01); }

    void expect_refused(const Error& e) const
    {
        EXPECT_EQ(e.message(), GetParam().message);
        EXPECT_EQ(e.location(),
                  (SourceLocation{"check_pillars", "Library/Market/common/piecewise_constant_integral", GetParam().line}));
    }

    // The discount and survival curves share their pillar checks.
    template <class Curve>
    void expect_refused_when_built_and_read() const
    {
        expect_refused(error_of([&] { Curve(jan_2024, dates(), rates(), act_365()); }));

        // The same pillars in files written from a valid curve with as many pillars.
        std::vector<datetime> valid;
        for (std::size_t k = 0; k < dates().size(); ++k)
            valid.emplace_back(45474.0 + 100.0 * static_cast<double>(k));
        const auto curve = std::make_shared<const Curve>(jan_2024, valid, rates(), act_365());
        temporary_folder folder;
        nlohmann::ordered_json record = nlohmann::ordered_json::parse(Curve::json_to_string(curve));
        for (std::size_t k = 0; k < dates().size(); ++k)
            details::save(record["rates_term_structure"]["x"][k], dates()[k]);
        write_file_text(folder.file("a.json"), nlohmann::ordered_json{{"root", record}}.dump());
        expect_refused(error_of([&] { Curve::read_from_json(folder.file("a.json")); }));

        multi_process_stream stream;
        stream << std::string("korvex::discount_curve_piecewise_constant") << std::string("t");
        details::save(stream, dates());
        details::save(stream, rates());
        stream << 1 << 45292.0 << std::string("empty");
        serialization::access::write_binary(folder.file("a.bin"), stream.GetRawData());
        expect_refused(error_of([&] { Curve::read_from_binary(folder.file("a.bin")); }));
    }
};

TEST_P(PiecewisePillars, AreRefusedWhenBuiltAndWhenRead)
{
    expect_refused_when_built_and_read<discount_curve_piecewise_constant>();
    expect_refused_when_built_and_read<survival_curve_piecewise_constant>();
}

INSTANTIATE_TEST_SUITE_P(
    Dates, PiecewisePillars,
    ::testing::Values(bad_pillars{{45474.0, NAN, 46023.0}, "Pillar date 1 is not finite: nan", 26},
                      bad_pillars{{INFINITY}, "Pillar date 0 is not finite: inf", 26},
                      bad_pillars{{45474.0, -INFINITY}, "Pillar date 1 is not finite: -inf", 26},
                      bad_pillars{{45474.0, 45658.0, 45658.0},
                                  "Pillar dates must be strictly increasing, but pillar 2 (45658) is not after "
                                  "pillar 1 (45658)",
                                  29},
                      bad_pillars{{46023.0, 45474.0},
                                  "Pillar dates must be strictly increasing, but pillar 1 (45474) is not after "
                                  "pillar 0 (46023)",
                                  29}));

TEST(DiscountCurvePiecewise, DifferentLengthsKeepTheirMessageWhateverThePillars)
{
    const Error e = error_of([] {
        discount_curve_piecewise_constant(jan_2024, {jan_2025, datetime(NAN)}, {0.01}, act_365());
    });
    EXPECT_EQ(e.message(), " The term structure should have the same size");
}

TEST(DiscountCurvePiecewise, CurveWithoutPillarsIsRefusedWhenQueried)
{
    const discount_curve_piecewise_constant empty(jan_2024, {}, {}, act_365());
    EXPECT_EQ(error_of([&] { empty.df(jan_2024, jun_2025); }).message(),
              "The term structure has no pillars");
}

TEST(DiscountCurve, CurvesWithoutConventionAreRefusedWhenQueried)
{
    const discount_curve_flat flat(jan_2024, 0.05, nullptr);
    const discount_curve_piecewise_constant piecewise(jan_2024, pillar_dates(), pillar_rates(), nullptr);
    const Error flat_error = error_of([&] { flat.df(jan_2024, jun_2025); });
    const Error piecewise_error = error_of([&] { piecewise.df(jan_2024, jun_2025); });
    EXPECT_EQ(flat_error.message(), "convention_ is null");
    EXPECT_EQ(piecewise_error.message(), "convention_ is null");
    EXPECT_EQ(flat_error.location(),
              (SourceLocation{"fraction", "Library/Market/ir/discount_curve/discount_curve_flat", 27}));
    EXPECT_EQ(piecewise_error.location(),
              (SourceLocation{"log_df", "Library/Market/ir/discount_curve/discount_curve_piecewise_constant", 44}));
}

}  // namespace
}  // namespace korvex

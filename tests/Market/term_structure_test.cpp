#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "Util/term_structure/term_structure.h"
#include "serialization/test_support.h"

namespace korvex {
namespace {

using korvex::testing::error_of;
using structure = term_structure<std::vector<double>>;

const std::vector<datetime> pillars{datetime(10.0), datetime(20.0), datetime(30.0)};
const std::vector<double> values{1.0, 2.0, 4.0};

// Year fraction of 1 per day, so integrals can be summed by hand.
double days(const datetime& a, const datetime& b) { return b - a; }

TEST(TermStructure, DifferentLengthsAreRefused)
{
    const Error e = error_of([] { structure(pillars, {1.0, 2.0}, 1); });
    EXPECT_EQ(e.message(), " The term structure should have the same size");
    EXPECT_EQ(e.location(),
              (SourceLocation{"term_structure", "Library/Util/term_structure/term_structure", 29}));
}

struct value_case
{
    double date;
    double type0;
    double type1;
};

class TermStructureValue : public ::testing::TestWithParam<value_case>
{
};

TEST_P(TermStructureValue, FollowsTheLookupRuleOfItsType)
{
    const value_case c = GetParam();
    EXPECT_EQ(structure(pillars, values, 0).value_at(datetime(c.date)), c.type0);
    EXPECT_EQ(structure(pillars, values, 1).value_at(datetime(c.date)), c.type1);
    EXPECT_EQ(structure(pillars, values, 7).value_at(datetime(c.date)), 1.0);
}

INSTANTIATE_TEST_SUITE_P(Dates, TermStructureValue,
                         ::testing::Values(value_case{5.0, 1.0, 1.0}, value_case{10.0, 1.0, 1.0},
                                           value_case{15.0, 1.0, 2.0}, value_case{20.0, 2.0, 2.0},
                                           value_case{29.9, 2.0, 4.0}, value_case{30.0, 4.0, 4.0},
                                           value_case{45.0, 4.0, 4.0}));

struct integral_case
{
    double d1;
    double d2;
    double type0;  // hand-summed day × value over the sub-intervals
    double type1;
};

class TermStructureIntegral : public ::testing::TestWithParam<integral_case>
{
};

TEST_P(TermStructureIntegral, SumsTheValueHeldOnEverySubInterval)
{
    const integral_case c = GetParam();
    const structure type0(pillars, values, 0);
    const structure type1(pillars, values, 1);
    const datetime d1(c.d1);
    const datetime d2(c.d2);
    EXPECT_DOUBLE_EQ(type0.integral(d1, d2, days), c.type0);
    EXPECT_DOUBLE_EQ(type1.integral(d1, d2, days), c.type1);
    EXPECT_DOUBLE_EQ(type0.integral(d2, d1, days), -c.type0);
    EXPECT_DOUBLE_EQ(type1.integral(d2, d1, days), -c.type1);
    // Cached pillar fractions give the very same numbers.
    EXPECT_EQ(type1.integral(d1, d2, days, type1.inner_fractions(days).data()),
              type1.integral(d1, d2, days));
}

// type 0 holds 1 before 20, 2 on [20, 30), 4 from 30; type 1 holds 1 up to 10, 2 on
// (10, 20], 4 after 20.
INSTANTIATE_TEST_SUITE_P(
    Spans, TermStructureIntegral,
    ::testing::Values(integral_case{12.0, 18.0, 6.0, 12.0},            // between two pillars
                      integral_case{2.0, 8.0, 6.0, 6.0},               // before the first
                      integral_case{32.0, 40.0, 32.0, 32.0},           // after the last
                      integral_case{20.0, 20.0, 0.0, 0.0},             // empty span on a pillar
                      integral_case{5.0, 25.0, 25.0, 5.0 + 20.0 + 20.0},
                      integral_case{10.0, 30.0, 30.0, 20.0 + 40.0},    // pillar to pillar
                      integral_case{0.0, 40.0, 20.0 + 20.0 + 40.0, 10.0 + 20.0 + 80.0},
                      integral_case{15.0, 35.0, 5.0 + 20.0 + 20.0, 10.0 + 60.0}));

TEST(TermStructureIntegral, TypeZeroFollowsTheFusedSumExactly)
{
    // Fractions in years, so that rounding matters; the sum is formed as fma chains from 0
    // with the inner value looked up at each sub-interval's start.
    const auto years = [](const datetime& a, const datetime& b) { return (b - a) / 365.0; };
    const structure type0(pillars, {0.013, 0.027, 0.041}, 0);
    const datetime d1(3.3);
    const datetime d2(37.7);
    double sum = std::fma(years(d1, pillars[0]), 0.013, 0.0);
    sum = std::fma(years(pillars[0], pillars[1]), 0.013, sum);
    sum = std::fma(years(pillars[1], pillars[2]), 0.027, sum);
    sum = std::fma(years(pillars[2], d2), 0.041, sum);
    EXPECT_EQ(type0.integral(d1, d2, years), sum);
    const datetime inside1(12.5);
    const datetime inside2(17.5);
    EXPECT_EQ(type0.integral(inside1, inside2, years), years(inside1, inside2) * 0.013);
}

// The sub-interval sum with every value looked up by its own search, as a reference for the
// shortcuts integral() takes; pillars may repeat.
double reference_integral(const std::vector<datetime>& x, const std::vector<double>& y, int type,
                          const datetime& d1, const datetime& d2)
{
    const auto value = [&](const datetime& t) {
        return type == 0 ? y[datetime_helper::find_index(t, x, false)]
                         : type == 1 ? y[datetime_helper::find_index(t, x, true)] : y[0];
    };
    const auto years = [](const datetime& a, const datetime& b) { return (b - a) / 365.0; };
    const std::size_t i1 = datetime_helper::find_index(d1, x, true);
    const std::size_t i2 = datetime_helper::find_index(d2, x, false);
    if (i1 > i2)
        return years(d1, d2) * value(d1);
    double sum = std::fma(years(d1, x[i1]), value(d1), 0.0);
    for (std::size_t k = i1; k < i2; ++k)
        sum = std::fma(years(x[k], x[k + 1]), type == 0 ? y[k] : type == 1 ? y[k + 1] : y[0], sum);
    return std::fma(years(x[i2], d2), value(d2), sum);
}

double years(const datetime& a, const datetime& b) { return (b - a) / 365.0; }

// Dates every 2.5 days from 0 to 40.
std::vector<datetime> query_dates()
{
    std::vector<datetime> dates;
    for (double d = 0.0; d <= 40.0; d += 2.5)
        dates.emplace_back(d);
    return dates;
}

// visit(structure, pillars, values, type) for structures of every type, with a repeated
// pillar and with a single one.
template <class Visit>
void for_each_structure(const Visit& visit)
{
    const std::vector<datetime> repeated{datetime(10.0), datetime(20.0), datetime(20.0), datetime(30.0)};
    const std::vector<double> rates{0.011, 0.023, 0.037, 0.041};
    for (const std::vector<datetime>& x : {repeated, std::vector<datetime>{datetime(15.0)}})
        for (const int type : {0, 1, 2}) {
            const std::vector<double> y(rates.begin(), rates.begin() + static_cast<std::ptrdiff_t>(x.size()));
            visit(structure(x, y, type), x, y, type);
        }
}

TEST(TermStructureIntegral, SameBitsAsSearchingEveryValue)
{
    const std::vector<datetime> dates = query_dates();
    for_each_structure([&](const structure& s, const std::vector<datetime>& x, const std::vector<double>& y, int type) {
        for (const datetime& d1 : dates)
            for (const datetime& d2 : dates)
                if (!(d2 < d1)) {
                    EXPECT_EQ(s.integral(d1, d2, years), reference_integral(x, y, type, d1, d2))
                        << type << " " << d1.as_float() << " " << d2.as_float();
                }
    });
}

TEST(TermStructureIntegral, BatchOverEndsInAnyOrderHasTheSameBits)
{
    const std::vector<datetime> ascending = query_dates();
    // Ascending, then descending, then jumping about, with a date that is not a number.
    std::vector<datetime> ends = ascending;
    ends.insert(ends.end(), ascending.rbegin(), ascending.rend());
    for (const double d : {35.0, 5.0, 20.0, 12.5, 40.0, 0.0, 30.0, 20.0})
        ends.emplace_back(d);
    ends.emplace_back(std::nan(""));
    for_each_structure([&](const structure& s, const std::vector<datetime>&, const std::vector<double>&, int type) {
        const std::vector<double> fractions = s.inner_fractions(years);
        for (const datetime& d1 : ascending) {
            std::vector<double> out(ends.size());
            s.integrals(d1, ends, out, years, fractions.data());
            for (std::size_t i = 0; i < ends.size(); ++i) {
                const double expected = s.integral(d1, ends[i], years, fractions.data());
                if (std::isnan(expected))
                    EXPECT_TRUE(std::isnan(out[i]));
                else
                    EXPECT_EQ(out[i], expected) << type << " " << d1.as_float() << " " << ends[i].as_float();
            }
        }
    });
    const structure none({}, {}, 0);
    std::vector<double> out(1);
    EXPECT_EQ(error_of([&] { none.integrals(datetime(1.0), std::vector<datetime>{datetime(2.0)}, out, days); })
                  .message(),
              "The term structure has no pillars");
}

TEST(TermStructureIntegral, ContinuousAcrossEveryPillarInBothDates)
{
    const double epsilon = 1e-7;
    for (const std::int32_t type : {0, 1}) {
        const structure s(pillars, values, type);
        for (const datetime& p : pillars) {
            const datetime below(p.as_float() - epsilon);
            const datetime above(p.as_float() + epsilon);
            const datetime early(0.0);
            const datetime late(50.0);
            EXPECT_NEAR(s.integral(early, below, days), s.integral(early, p, days), 1e-6) << type;
            EXPECT_NEAR(s.integral(early, above, days), s.integral(early, p, days), 1e-6) << type;
            EXPECT_NEAR(s.integral(below, late, days), s.integral(p, late, days), 1e-6) << type;
            EXPECT_NEAR(s.integral(above, late, days), s.integral(p, late, days), 1e-6) << type;
        }
    }
}

TEST(TermStructureIntegral, StructuresThatCannotBeQueriedAreRefused)
{
    const structure none({}, {}, 1);
    const Error e = error_of([&] { none.integral(datetime(1.0), datetime(2.0), days); });
    EXPECT_EQ(e.message(), "The term structure has no pillars");
    EXPECT_EQ(e.location(),
              (SourceLocation{"check_queryable", "Library/Util/term_structure/term_structure", 117}));
    EXPECT_EQ(error_of([&] { none.value_at(datetime(1.0)); }).message(),
              "The term structure has no pillars");
}

}  // namespace
}  // namespace korvex

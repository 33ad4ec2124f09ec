#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <limits>
#include <random>

#include "core/error.h"
#include "Vectorization/expressions/matrix.h"
#include "Vectorization/expressions/tensor.h"
#include "Vectorization/expressions/vector.h"

namespace korvex {
namespace {

vector<double> random_vector(std::size_t n, unsigned seed)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> u(-2.0, 2.0);
    vector<double> v(n);
    for (double& x : v)
        x = u(random);
    return v;
}

// Optimised builds may fuse a multiply and an add into one FMA, which rounds once instead of
// twice, and may fuse the evaluator's loop and the reference loop differently. A sum then
// differs from its reference by at most a few roundings of its terms.
double contraction_tolerance(std::initializer_list<double> terms)
{
    double magnitude = 0.0;
    for (double t : terms)
        magnitude += std::fabs(t);
    return 4 * std::numeric_limits<double>::epsilon() * magnitude;
}

// Sizes around the block of 16 exercise the blocked part and the tail.
class ExpressionSizes : public ::testing::TestWithParam<std::size_t>
{
};

TEST_P(ExpressionSizes, AssignmentMatchesAnElementLoop)
{
    const std::size_t n = GetParam();
    const vector<double> a = random_vector(n, 1), b = random_vector(n, 2);
    vector<double> d(n);
    run(d, 3.0 * a + b * a - b / 2.0);
    for (std::size_t i = 0; i < n; ++i)
        ASSERT_NEAR(d[i], 3.0 * a[i] + b[i] * a[i] - b[i] / 2.0,
                    contraction_tolerance({3.0 * a[i], b[i] * a[i], b[i] / 2.0}))
            << i;
}

TEST_P(ExpressionSizes, AdditionIntoTheDestinationMatchesAnElementLoop)
{
    const std::size_t n = GetParam();
    const vector<double> a = random_vector(n, 3), b = random_vector(n, 4);
    const vector<double> start = random_vector(n, 5);
    vector<double> d(start);
    run_add(d, 0.25 * a * b);
    for (std::size_t i = 0; i < n; ++i)
        ASSERT_NEAR(d[i], start[i] + 0.25 * a[i] * b[i],
                    contraction_tolerance({start[i], 0.25 * a[i] * b[i]}))
            << i;
    d += -a;
    for (std::size_t i = 0; i < n; ++i)
        ASSERT_NEAR(d[i], start[i] + 0.25 * a[i] * b[i] - a[i],
                    contraction_tolerance({start[i], 0.25 * a[i] * b[i], a[i]}))
            << i;
}

TEST_P(ExpressionSizes, TheDestinationMayBeAnOperand)
{
    const std::size_t n = GetParam();
    const vector<double> start = random_vector(n, 6);
    vector<double> d(start);
    d = 2.0 * d + d * d;
    for (std::size_t i = 0; i < n; ++i)
        ASSERT_NEAR(d[i], 2.0 * start[i] + start[i] * start[i],
                    contraction_tolerance({2.0 * start[i], start[i] * start[i]}))
            << i;
}

INSTANTIATE_TEST_SUITE_P(Sizes, ExpressionSizes,
                         ::testing::Values(0, 1, 15, 16, 17, 31, 32, 33, 100, 1000));

Error caught_run(bool add)
{
    vector<double> destination{1, 2, 3, 4, 5};
    const vector<double> operand(6);
    try {
        if (add)
            run_add(destination, 2.0 * operand);
        else
            run(destination, 2.0 * operand);
    } catch (const Error& e) {
        for (std::size_t i = 0; i < 5; ++i)
            EXPECT_EQ(destination[i], static_cast<double>(i + 1)) << "destination changed";
        return e;
    }
    ADD_FAILURE() << "no size check";
    return Error({}, "");
}

TEST(Run, SizeMismatchFailsBeforeWritingWithTheExactReport)
{
    const std::string message =
        "Expected expr.size() == rhs.size() to be true, but got false.  expression has "
        "diferrent size 6 than destination 5";
    const Error assign = caught_run(false);
    EXPECT_EQ(assign.message(), message);
    EXPECT_EQ(assign.location(),
              (SourceLocation{"run", "Library\\Vectorization/expressions/expressions_evaluator", 30}));
    const Error add = caught_run(true);
    EXPECT_EQ(add.message(), message);
    EXPECT_EQ(add.location(),
              (SourceLocation{"run", "Library\\Vectorization/expressions/expressions_evaluator", 68}));
}

TEST(Run, EveryOperandIsCheckedNotJustTheFirst)
{
    vector<double> destination(4);
    const vector<double> right(4), wrong(3);
    EXPECT_THROW(run(destination, right + wrong), Error);
    EXPECT_THROW(run(destination, wrong * 2.0 + right), Error);
    EXPECT_NO_THROW(run(destination, right * 2.0 + right));
}

TEST(Run, ScalarsHaveNoSize)
{
    vector<double> d(20);
    run(d, 1.5);
    for (const double x : d)
        EXPECT_EQ(x, 1.5);
}

TEST(Run, TemporaryOperandsAreOwnedByTheExpression)
{
    const vector<double> a{1.0, 2.0, 3.0};
    vector<double> d(3);
    run(d, vector<double>(a) * 2.0);  // the moved copy is freed with the expression
    EXPECT_EQ(d[2], 6.0);
}

TEST(Run, ViewsOfMatrixRowsAndTensorsTakePart)
{
    matrix<double> m(2, 20);
    m = 1.0;
    tensor<double> t({2, 20});
    t = 3.0;
    run(m.row(1), 2.0 * t.as_matrix(2).row(0) + m.row(0));
    EXPECT_EQ(m(1, 19), 7.0);
    EXPECT_EQ(m(0, 19), 1.0);
    t += 0.5 * t;
    EXPECT_EQ(t(1, 7), 4.5);
    tensor<double> p({2, 20});
    p = t;
    t = t - p;
    EXPECT_EQ(t(0, 0), 0.0);
}

}  // namespace
}  // namespace korvex

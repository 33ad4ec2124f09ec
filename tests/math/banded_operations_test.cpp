// Banded solvers and products against a dense reference on every line layout of 1-, 2- and
// 3-dimensional blocks.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "core/error.h"
#include "math/failure_expectation.h"
#include "math/pentadiagonal_operations.h"
#include "math/tridiagonal_operations.h"

namespace korvex {
namespace {

struct family
{
    const char* name;
    std::size_t bands;
    void (*decomposition)(matrix<double>&, std::size_t, std::size_t, std::size_t, bool);
    void (*solve)(vector<double>&, const matrix<double>&, const vector<double>&, std::size_t,
                  std::size_t, std::size_t, bool);
    void (*multiply)(vector<double>&, const vector<double>&, const matrix<double>&, std::size_t,
                     std::size_t, std::size_t, double, bool);
    const char* file;
    // Lines of the failure sites: arguments of each routine, pivots, overlapping vectors.
    int decomposition_line, pivot_line, solve_line, multiply_line, overlap_line,
        solve_overlap_line;
};

const family tridiagonal{"tridiagonal", 3, &tridiagonal_operations::decomposition,
                         &tridiagonal_operations::solve_decomposed,
                         &tridiagonal_operations::multiply,
                         "Foundation/math/tridiagonal_operations", 18, 19, 29, 38, 39, 30};
const family pentadiagonal{"pentadiagonal", 5, &pentadiagonal_operations::decomposition,
                           &pentadiagonal_operations::solve_decomposed,
                           &pentadiagonal_operations::multiply,
                           "Foundation/math/pentadiagonal_operations", 18, 19, 29, 38, 39, 30};

// The lines of dimension d of a row-major block of `shape`: (nodes before, n_d, after).
struct triple
{
    std::size_t outer, n, inner;
    std::size_t size() const { return outer * n * inner; }
};

triple triple_of(const std::vector<std::size_t>& shape, std::size_t d)
{
    const auto product = [&](std::size_t from, std::size_t to) {
        return std::accumulate(shape.begin() + from, shape.begin() + to, std::size_t{1},
                               std::multiplies<>());
    };
    return {product(0, d), shape[d], product(d + 1, shape.size())};
}

using dense = std::vector<std::vector<double>>;

// The banded operator as a dense matrix over the whole block.
dense dense_of(const matrix<double>& bands, const triple& t)
{
    const std::size_t count = bands.rows();
    const long mid = static_cast<long>(count / 2);
    dense a(t.size(), std::vector<double>(t.size(), 0.0));
    for (std::size_t o = 0; o < t.outer; ++o)
        for (std::size_t k = 0; k < t.n; ++k)
            for (std::size_t i = 0; i < t.inner; ++i) {
                const std::size_t p = (o * t.n + k) * t.inner + i;
                for (std::size_t j = 0; j < count; ++j) {
                    const long neighbour = static_cast<long>(k) + static_cast<long>(j) - mid;
                    if (neighbour < 0 || neighbour >= static_cast<long>(t.n))
                        continue;
                    const std::size_t q = (o * t.n + static_cast<std::size_t>(neighbour)) *
                                              t.inner + i;
                    a[p][q] = bands(j, p);
                }
            }
    return a;
}

// Gaussian elimination with partial pivoting.
std::vector<double> dense_solve(dense a, std::vector<double> b)
{
    const std::size_t n = b.size();
    for (std::size_t c = 0; c < n; ++c) {
        std::size_t pivot = c;
        for (std::size_t r = c + 1; r < n; ++r)
            if (std::fabs(a[r][c]) > std::fabs(a[pivot][c]))
                pivot = r;
        std::swap(a[c], a[pivot]);
        std::swap(b[c], b[pivot]);
        for (std::size_t r = c + 1; r < n; ++r) {
            const double factor = a[r][c] / a[c][c];
            for (std::size_t j = c; j < n; ++j)
                a[r][j] -= factor * a[c][j];
            b[r] -= factor * b[c];
        }
    }
    std::vector<double> x(n);
    for (std::size_t r = n; r-- > 0;) {
        double sum = b[r];
        for (std::size_t j = r + 1; j < n; ++j)
            sum -= a[r][j] * x[j];
        x[r] = sum / a[r][r];
    }
    return x;
}

// Random diagonally dominant bands; entries that reach outside a line are NaN, so any read
// of them shows in the results.
matrix<double> random_bands(std::size_t count, const triple& t, std::mt19937_64& rng,
                            std::size_t extra_columns = 0)
{
    std::uniform_real_distribution<double> off(-1.0, 1.0);
    std::uniform_real_distribution<double> margin(0.5, 1.5);
    matrix<double> bands(count, t.size() + extra_columns);
    bands = std::numeric_limits<double>::quiet_NaN();
    const long mid = static_cast<long>(count / 2);
    for (std::size_t p = 0; p < t.size(); ++p) {
        const long k = static_cast<long>((p / t.inner) % t.n);
        double sum = 0.0;
        for (std::size_t j = 0; j < count; ++j) {
            const long neighbour = k + static_cast<long>(j) - mid;
            if (j == count / 2 || neighbour < 0 || neighbour >= static_cast<long>(t.n))
                continue;
            bands(j, p) = off(rng);
            sum += std::fabs(bands(j, p));
        }
        bands(count / 2, p) = sum + margin(rng);
    }
    return bands;
}

vector<double> random_vector(std::size_t n, std::mt19937_64& rng)
{
    std::uniform_real_distribution<double> value(-2.0, 2.0);
    vector<double> v(n);
    for (double& x : v)
        x = value(rng);
    return v;
}

std::vector<double> as_std(const vector<double>& v) { return {v.begin(), v.end()}; }

struct layout_case
{
    const family* fam;
    std::vector<std::size_t> shape;
    std::size_t dimension;
};

std::string name_of(const ::testing::TestParamInfo<layout_case>& info)
{
    std::string name = info.param.fam->name;
    for (std::size_t s : info.param.shape)
        name += "_" + std::to_string(s);
    return name + "_along" + std::to_string(info.param.dimension);
}

std::vector<layout_case> every_layout()
{
    const std::vector<std::vector<std::size_t>> shapes = {
        {1}, {2}, {3}, {4}, {5}, {6}, {17}, {7, 6}, {3, 9}, {1, 5}, {4, 3, 5}, {2, 6, 3}};
    std::vector<layout_case> cases;
    for (const family* fam : {&tridiagonal, &pentadiagonal})
        for (const auto& shape : shapes)
            for (std::size_t d = 0; d < shape.size(); ++d)
                cases.push_back({fam, shape, d});
    return cases;
}

class banded_layouts : public ::testing::TestWithParam<layout_case>
{
protected:
    const family& fam() const { return *GetParam().fam; }
    triple lines() const { return triple_of(GetParam().shape, GetParam().dimension); }
    std::mt19937_64 rng{20240611};
};

void expect_close(const std::vector<double>& actual, const std::vector<double>& expected,
                  double tolerance)
{
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t p = 0; p < actual.size(); ++p)
        EXPECT_NEAR(actual[p], expected[p], tolerance * (1.0 + std::fabs(expected[p])))
            << "node " << p;
}

TEST_P(banded_layouts, in_place_solve_matches_dense_elimination)
{
    const triple t = lines();
    matrix<double> bands = random_bands(fam().bands, t, rng);
    const dense a = dense_of(bands, t);
    vector<double> x = random_vector(t.size(), rng);
    const std::vector<double> expected = dense_solve(a, as_std(x));

    fam().decomposition(bands, t.outer, t.n, t.inner, false);
    fam().solve(x, bands, x, t.outer, t.n, t.inner, false);
    expect_close(as_std(x), expected, 1e-13);
}

TEST_P(banded_layouts, one_factorisation_serves_several_right_hand_sides)
{
    const triple t = lines();
    matrix<double> bands = random_bands(fam().bands, t, rng);
    const dense a = dense_of(bands, t);
    fam().decomposition(bands, t.outer, t.n, t.inner, true);
    for (int repeat = 0; repeat < 3; ++repeat) {
        const vector<double> rhs = random_vector(t.size(), rng);
        const vector<double> kept = rhs;
        vector<double> x(t.size());
        fam().solve(x, bands, rhs, t.outer, t.n, t.inner, false);
        expect_close(as_std(x), dense_solve(a, as_std(rhs)), 1e-13);
        EXPECT_EQ(as_std(rhs), as_std(kept));
    }
}

TEST_P(banded_layouts, multiply_adds_scaled_dense_product)
{
    const triple t = lines();
    const matrix<double> bands = random_bands(fam().bands, t, rng);
    const dense a = dense_of(bands, t);
    const vector<double> x = random_vector(t.size(), rng);
    vector<double> result = random_vector(t.size(), rng);
    const double scale = -0.75;

    std::vector<double> expected = as_std(result);
    for (std::size_t p = 0; p < t.size(); ++p)
        for (std::size_t q = 0; q < t.size(); ++q)
            expected[p] += scale * a[p][q] * x[q];

    fam().multiply(result, x, bands, t.outer, t.n, t.inner, scale, false);
    expect_close(as_std(result), expected, 1e-14);
}

TEST_P(banded_layouts, solve_inverts_multiply)
{
    const triple t = lines();
    matrix<double> bands = random_bands(fam().bands, t, rng);
    const vector<double> x = random_vector(t.size(), rng);
    vector<double> product(t.size());
    product = 0.0;
    fam().multiply(product, x, bands, t.outer, t.n, t.inner, 1.0, false);
    fam().decomposition(bands, t.outer, t.n, t.inner, false);
    fam().solve(product, bands, product, t.outer, t.n, t.inner, false);
    expect_close(as_std(product), as_std(x), 1e-13);
}

INSTANTIATE_TEST_SUITE_P(math, banded_layouts, ::testing::ValuesIn(every_layout()), name_of);

// Expects `call` to fail in `function` of the family's file at `line` with `message`.
template <class Call>
void expect_error(Call call, const family& fam, const char* function, int line,
                  const std::string& message)
{
    testing::expect_failure(call, SourceLocation{function, fam.file, line}, message);
}

class banded_family : public ::testing::TestWithParam<const family*>
{
protected:
    const family& fam() const { return *GetParam(); }
    std::mt19937_64 rng{7};
};

std::string family_name(const ::testing::TestParamInfo<const family*>& info)
{
    return info.param->name;
}

TEST_P(banded_family, bands_may_have_more_columns_than_nodes)
{
    const triple t{2, 5, 3};
    matrix<double> bands = random_bands(fam().bands, t, rng, 4);
    const dense a = dense_of(bands, t);
    vector<double> x = random_vector(t.size(), rng);
    const std::vector<double> expected = dense_solve(a, as_std(x));
    fam().decomposition(bands, t.outer, t.n, t.inner, true);
    fam().solve(x, bands, x, t.outer, t.n, t.inner, false);
    expect_close(as_std(x), expected, 1e-13);
}

TEST_P(banded_family, empty_block_is_left_alone)
{
    matrix<double> bands(fam().bands, 0);
    vector<double> x;
    fam().decomposition(bands, 0, 4, 1, true);
    fam().solve(x, bands, x, 3, 0, 2, false);
    fam().multiply(x, vector<double>(), bands, 1, 4, 0, 1.0, false);
}

TEST_P(banded_family, zero_pivot_is_reported_only_when_checked)
{
    const triple t{1, 4, 2};
    matrix<double> bands = random_bands(fam().bands, t, rng);
    const std::size_t centre = fam().bands / 2;
    bands(centre, 5) = 0.0;  // node 2 of line (0, 1)
    for (std::size_t j = 0; j < fam().bands; ++j)
        if (j != centre && j < centre)
            bands(j, 5) = 0.0;  // nothing before it changes the pivot

    matrix<double> unchecked = bands;
    fam().decomposition(unchecked, t.outer, t.n, t.inner, false);
    vector<double> x(t.size());
    x = 1.0;
    fam().solve(x, unchecked, x, t.outer, t.n, t.inner, false);
    EXPECT_FALSE(std::isfinite(x[5]));
    EXPECT_TRUE(std::isfinite(x[4]));  // the other line is unaffected

    expect_error([&] { fam().decomposition(bands, t.outer, t.n, t.inner, true); }, fam(),
                 "decomposition", fam().pivot_line,
                 "zero or non-finite pivot at node 2 of line (0, 1)");
}

TEST_P(banded_family, non_finite_coefficient_is_reported_when_checked)
{
    const triple t{3, 4, 1};
    matrix<double> bands = random_bands(fam().bands, t, rng);
    bands(fam().bands / 2, 9) = std::numeric_limits<double>::infinity();
    expect_error([&] { fam().decomposition(bands, t.outer, t.n, t.inner, true); }, fam(),
                 "decomposition", fam().pivot_line,
                 "zero or non-finite pivot at node 1 of line (2, 0)");
}

TEST_P(banded_family, bad_arguments_are_refused_before_any_value_changes)
{
    const std::size_t count = fam().bands;
    const std::string rows_text =
        "Expected bands.rows() == band_count to be true, but got false.  ";
    const std::string columns_text =
        "Expected bands.columns() >= layout.size() to be true, but got false.  ";
    const std::string size_text = "Expected values.size() == nodes to be true, but got false.  ";
    matrix<double> wrong_rows(count - 1, 12);
    wrong_rows = 1.0;
    matrix<double> narrow(count, 11);
    narrow = 1.0;
    matrix<double> bands(count, 12);
    bands = 1.0;
    vector<double> x(12);
    x = 2.0;
    vector<double> short_x(11);
    short_x = 2.0;
    const auto f = fam();

    expect_error([&] { f.decomposition(wrong_rows, 2, 3, 2, false); }, f, "decomposition",
                 f.decomposition_line,
                 rows_text + "bands has " + std::to_string(count - 1) + " rows instead of " +
                     std::to_string(count));
    expect_error([&] { f.decomposition(narrow, 2, 3, 2, false); }, f, "decomposition",
                 f.decomposition_line, columns_text + "bands has 11 columns for 12 nodes");
    expect_error([&] { f.solve(x, narrow, x, 2, 3, 2, false); }, f, "solve_decomposed",
                 f.solve_line, columns_text + "bands has 11 columns for 12 nodes");
    expect_error([&] { f.solve(short_x, bands, x, 2, 3, 2, false); }, f, "solve_decomposed",
                 f.solve_line, size_text + "vector has 11 values for 12 nodes");
    expect_error([&] { f.solve(x, bands, short_x, 2, 3, 2, false); }, f, "solve_decomposed",
                 f.solve_line, size_text + "vector has 11 values for 12 nodes");
    vector<double> result(12);
    result = 0.0;
    expect_error([&] { f.multiply(result, short_x, bands, 2, 3, 2, 1.0, false); }, f,
                 "multiply", f.multiply_line,
                 size_text + "vector has 11 values for 12 nodes");
    expect_error([&] { f.multiply(result, x, wrong_rows, 2, 3, 2, 1.0, false); }, f,
                 "multiply", f.multiply_line,
                 rows_text + "bands has " + std::to_string(count - 1) + " rows instead of " +
                     std::to_string(count));
    expect_error([&] { f.multiply(x, x, bands, 2, 3, 2, 1.0, false); }, f, "multiply",
                 f.overlap_line,
                 "Expected !details::banded_layout::overlap(result, operand) to be true, but "
                 "got false.  result and operand share memory");
    vector<double> shifted = vector<double>::view_of(x.data() + 1, 11);
    vector<double> head = vector<double>::view_of(x.data(), 11);
    matrix<double> eleven(count, 11);
    eleven = 1.0;
    expect_error([&] { f.multiply(head, shifted, eleven, 1, 11, 1, 1.0, false); }, f,
                 "multiply", f.overlap_line,
                 "Expected !details::banded_layout::overlap(result, operand) to be true, but "
                 "got false.  result and operand share memory");
    expect_error([&] { f.solve(head, eleven, shifted, 1, 11, 1, false); }, f,
                 "solve_decomposed", f.solve_overlap_line,
                 "Expected solution.data() == rhs.data() || !details::banded_layout::overlap("
                 "solution, rhs) to be true, but got false.  solution and right-hand side "
                 "partly share memory");

    const std::size_t huge = std::numeric_limits<std::size_t>::max() / 2;
    expect_error([&] { f.decomposition(bands, huge, 3, 1, false); }, f, "decomposition",
                 f.decomposition_line,
                 "Expected product_fits(outer, n) && product_fits(outer * n, inner) to be "
                 "true, but got false.  block of " + std::to_string(huge) +
                     " x 3 x 1 nodes is too large");
    matrix<double> remote(count, 12, 1);
    expect_error([&] { f.decomposition(remote, 2, 3, 2, false); }, f, "decomposition",
                 f.decomposition_line,
                 "Expected layout.size() == 0 || bands.data() != nullptr to be true, but got "
                 "false.  bands holds no host block");
    vector<double> remote_x(12, 1);
    expect_error([&] { f.solve(remote_x, bands, remote_x, 2, 3, 2, false); }, f,
                 "solve_decomposed", f.solve_line,
                 "Expected nodes == 0 || values.data() != nullptr to be true, but got false.  "
                 "vector holds no host block");

    for (std::size_t p = 0; p < 12; ++p) {
        EXPECT_EQ(x[p], 2.0);
        EXPECT_EQ(result[p], 0.0);
        for (std::size_t j = 0; j < count; ++j)
            EXPECT_EQ(bands(j, p), 1.0);
    }
}

// Two halves of one block are separate systems: the solve reads one and writes the other.
TEST_P(banded_family, solves_between_disjoint_views_of_one_block)
{
    const triple t{1, 6, 1};
    matrix<double> bands = random_bands(fam().bands, t, rng);
    const dense a = dense_of(bands, t);
    vector<double> block = random_vector(2 * t.size(), rng);
    const vector<double> rhs = vector<double>::view_of(block.data(), t.size());
    vector<double> solution = vector<double>::view_of(block.data() + t.size(), t.size());
    const std::vector<double> expected = dense_solve(a, as_std(rhs));
    fam().decomposition(bands, t.outer, t.n, t.inner, false);
    fam().solve(solution, bands, rhs, t.outer, t.n, t.inner, false);
    expect_close(as_std(solution), expected, 1e-13);
}

INSTANTIATE_TEST_SUITE_P(math, banded_family, ::testing::Values(&tridiagonal, &pentadiagonal),
                         family_name);

}  // namespace
}  // namespace korvex

#include "math/finite_difference.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "core/check_fail.h"

namespace korvex {
namespace {

constexpr const char* source_file = "Foundation/math/finite_difference";

constexpr SourceLocation at_line(const char* function, int line)
{
    return {function, source_file, line};
}

constexpr std::size_t max_points = 5;
constexpr std::size_t helper_slots = 5;

// Weights of the derivatives of order 0, 1 and 2 at z for the values at x[0..count-1]
// (Fornberg, "Calculation of weights in finite difference formulas", SIAM Review 40,
// 1998): weights[j][m] multiplies the value at x[j] in the m-th derivative.
void fornberg_weights(double z, const double* x, std::size_t count,
                      double (&weights)[max_points][3])
{
    constexpr std::size_t max_order = 2;
    for (auto& row : weights)
        std::fill(std::begin(row), std::end(row), 0.0);
    weights[0][0] = 1.0;
    double previous_product = 1.0;
    double distance = x[0] - z;
    for (std::size_t i = 1; i < count; ++i) {
        const std::size_t orders = std::min(i, max_order);
        double product = 1.0;
        const double previous_distance = distance;
        distance = x[i] - z;
        for (std::size_t j = 0; j < i; ++j) {
            const double gap = x[i] - x[j];
            product *= gap;
            if (j == i - 1) {
                for (std::size_t m = orders; m >= 1; --m)
                    weights[i][m] = previous_product *
                                    (static_cast<double>(m) * weights[i - 1][m - 1] -
                                     previous_distance * weights[i - 1][m]) /
                                    product;
                weights[i][0] = -previous_product * previous_distance * weights[i - 1][0] /
                                product;
            }
            for (std::size_t m = orders; m >= 1; --m)
                weights[j][m] =
                    (distance * weights[j][m] - static_cast<double>(m) * weights[j][m - 1]) /
                    gap;
            weights[j][0] = distance * weights[j][0] / gap;
        }
        previous_product = product;
    }
}

// Writes the weights of the derivatives at x[index] (index within x[0..count-1]) into
// `slots` slots, x[j] going to slot j - index + centre; the other slots get 0.
void place_weights(const double* x, std::size_t count, std::size_t index, std::size_t slots,
                   std::size_t centre, double* first, double* second)
{
    double weights[max_points][3];
    fornberg_weights(x[index], x, count, weights);
    for (std::size_t s = 0; s < slots; ++s) {
        const bool used = s + index >= centre && s + index < centre + count;
        const std::size_t j = s + index - centre;
        if (first != nullptr)
            first[s] = used ? weights[j][1] : 0.0;
        if (second != nullptr)
            second[s] = used ? weights[j][2] : 0.0;
    }
}

std::string previous_point_text(const double* points, std::size_t j)
{
    return j == 0 ? std::string() : details::concat(" after ", points[j - 1]);
}

void check_axis(const SourceLocation& location, const double* points, std::size_t count)
{
    for (std::size_t j = 0; j < count; ++j)
        KORVEX_CHECK_MSG(location,
                         std::isfinite(points[j]) && (j == 0 || points[j - 1] < points[j]),
                         "point ", j, " of ", count, " is ", points[j],
                         previous_point_text(points, j));
}

// The five-slot helpers take the derivatives at points[index] of `count` points.
void check_helper(const SourceLocation& location, const double* points, std::size_t count,
                  std::size_t index)
{
    KORVEX_CHECK_MSG(location, points != nullptr, "no points given");
    KORVEX_CHECK_MSG(location, index < count && index <= 2 && count - 1 - index <= 2, "index ",
                     index, " does not place ", count, " points in five slots");
}

void helper_weights(const double* points, std::size_t count, std::size_t index, double* first,
                    double* second)
{
    place_weights(points, count, index, helper_slots, helper_slots / 2, first, second);
}

}  // namespace

void finite_difference::nonuniform_derivation(const double* x, std::size_t n, double* first,
                                              double* second, bool check_points,
                                              std::size_t stencil)
{
    KORVEX_CHECK_MSG(at_line("nonuniform_derivation", __LINE__), stencil == 3 || stencil == 5,
                     "stencil of ", stencil, " points; 3 or 5 are supported");
    KORVEX_CHECK_MSG(at_line("nonuniform_derivation", __LINE__), n == 0 || x != nullptr,
                     "no axis points given");
    if (check_points)
        check_axis(at_line("nonuniform_derivation", __LINE__), x, n);
    const std::size_t half = stencil / 2;
    for (std::size_t k = 0; k < n; ++k) {
        const std::size_t begin = k >= half ? k - half : 0;
        const std::size_t end = std::min(n, k + half + 1);
        const std::size_t offset = k * stencil;
        place_weights(x + begin, end - begin, k - begin, stencil, half,
                      first == nullptr ? nullptr : first + offset,
                      second == nullptr ? nullptr : second + offset);
    }
}

void finite_difference::nonuniform_five_points_derivative_mid(const double* points,
                                                              std::size_t index, double* first,
                                                              double* second, bool check_points)
{
    check_helper(at_line("nonuniform_five_points_derivative_mid", __LINE__), points, 5, index);
    if (check_points)
        check_axis(at_line("nonuniform_five_points_derivative_mid", __LINE__), points, 5);
    helper_weights(points, 5, index, first, second);
}

void finite_difference::nonuniform_five_points_derivative_0(const double* points,
                                                            std::size_t index, double* first,
                                                            double* second)
{
    check_helper(at_line("nonuniform_five_points_derivative_0", __LINE__), points, 3, index);
    helper_weights(points, 3, index, first, second);
}

void finite_difference::nonuniform_five_points_derivative_1(const double* points,
                                                            std::size_t index, double* first,
                                                            double* second)
{
    check_helper(at_line("nonuniform_five_points_derivative_1", __LINE__), points, 4, index);
    helper_weights(points, 4, index, first, second);
}

void finite_difference::nonuniform_three_points_derivative_mid(const double* points,
                                                               std::size_t index,
                                                               double* first, double* second,
                                                               bool check_points)
{
    check_helper(at_line("nonuniform_three_points_derivative_mid", __LINE__), points, 3, index);
    if (check_points)
        check_axis(at_line("nonuniform_three_points_derivative_mid", __LINE__), points, 3);
    helper_weights(points, 3, index, first, second);
}

void finite_difference::interpolation_weights(double z, const double* points,
                                              std::size_t count, double (&weights)[5][3])
{
    KORVEX_CHECK_MSG(at_line("interpolation_weights", __LINE__), points != nullptr,
                     "no points given");
    KORVEX_CHECK_MSG(at_line("interpolation_weights", __LINE__),
                     count >= 1 && count <= max_points, count,
                     " points; 1 to 5 are supported");
    fornberg_weights(z, points, count, weights);
}

}  // namespace korvex

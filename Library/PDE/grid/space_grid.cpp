#include "PDE/grid/space_grid.h"

#include "PDE/grid/space_grid_construction.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <utility>

#include "core/check_fail.h"
#include "math/discretization.h"

namespace korvex {

namespace {

constexpr const char* source = "Library/PDE/grid/space_grid";

// Elements per block of the array loops, so that GCC can vectorise each block.
constexpr std::size_t block = 16;

template <class F>
void apply_in_blocks(double* values, std::size_t n, F f) noexcept
{
    std::size_t i = 0;
    for (; i + block <= n; i += block)
        for (std::size_t j = 0; j < block; ++j)
            values[i + j] = f(values[i + j]);
    for (; i < n; ++i)
        values[i] = f(values[i]);
}

// Truncation toward zero that never overflows: NaN gives the lowest value, out-of-range
// values saturate. Used for the counts that are only compared, never allocated.
long long truncate(double x) noexcept
{
    constexpr double limit = 9.2e18;
    if (std::isnan(x) || x <= -limit)
        return LLONG_MIN;
    if (x >= limit)
        return LLONG_MAX;
    return static_cast<long long>(x);
}

[[noreturn]] void refuse_point_count(const SourceLocation& where)
{
    details::check_fail(where, details::concat("a space grid needs more than ",
                                               space_grid::max_points, " points"));
}

// A count of points from a ratio of lengths, truncated toward zero; a negative or NaN ratio
// (NaN bounds give IEEE axes) counts 0. A ratio past the point limit, an infinite one
// included (a width too small for its spacing makes the spacing zero), is refused before
// anything is allocated.
std::size_t point_count(double ratio, const SourceLocation& where)
{
    if (ratio > static_cast<double>(space_grid::max_points))
        refuse_point_count(where);
    return ratio > 0.0 ? static_cast<std::size_t>(ratio) : 0;
}

// The counts of the concentrated construction are raised to 4 when below 5.
std::size_t raised_point_count(double ratio, const SourceLocation& where)
{
    const std::size_t k = point_count(ratio, where);
    return k < 5 ? 4 : k;
}

// Ascending order in which NaN sorts last, so that sorting stays well defined.
bool ascending(double a, double b) noexcept
{
    return a < b || (!std::isnan(a) && std::isnan(b));
}

void sort_unique(std::vector<double>& values)
{
    std::sort(values.begin(), values.end(), ascending);
    values.erase(std::unique(values.begin(), values.end()), values.end());
}

// Appends `count` evenly spaced points from a to b.
void append_uniform(std::vector<double>& axis, std::size_t count, double a, double b)
{
    const std::size_t start = axis.size();
    axis.resize(start + count);
    discretization::uniform(axis.data() + start, count, a, b, (a + b) / 2);
}

std::vector<double> uniform_points(std::size_t count, double a, double b)
{
    std::vector<double> points;
    append_uniform(points, count, a, b);
    return points;
}

struct zone
{
    double lower;
    double upper;
};

// The given points that become refinement centres: inside the bounds, and not within 2c
// of an earlier centre.
std::vector<double> refinement_centres(const std::vector<double>& sorted, double lower,
                                       double upper, double c)
{
    std::vector<bool> excluded(sorted.size(), false);
    std::vector<double> centres;
    for (std::size_t i = 0; i < sorted.size(); ++i) {
        if (sorted[i] < lower || sorted[i] > upper)
            excluded[i] = true;
        if (excluded[i])
            continue;
        centres.push_back(sorted[i]);
        for (std::size_t j = i + 1; j < sorted.size(); ++j)
            if (sorted[j] - c < sorted[i] + c)
                excluded[j] = true;
    }
    return centres;
}

// Zones of half-width h around the centres; a zone overlapping a kept earlier one is dropped.
std::vector<zone> refinement_zones(const std::vector<double>& centres, double h)
{
    std::vector<zone> zones;
    for (double centre : centres) {
        const zone z{centre - h, centre + h};
        if (zones.empty() || !(z.lower < zones.back().upper))
            zones.push_back(z);
    }
    return zones;
}

}  // namespace

namespace details {

constexpr int relaxation_passes = 20;

void append_graded_fill(std::vector<double>& axis, std::size_t m, double h1, double h2,
                        double length, double x0)
{
    const double d = static_cast<double>(m);
    const double t = d * (d - 1) / 2;
    const double s = d * (d + 1) * (2 * d + 1) / 6 - d * d;
    const double a = (length - d / 2 * (h1 + h2)) / (s - d / 2 * t);
    const double b = (h1 - h2 - a * t) / (d - 1);

    std::vector<double> suffix(m);
    suffix[m - 1] = h2;
    for (std::size_t j = m - 1; j-- > 0;)
        suffix[j] = (static_cast<double>(j + 1) * a + b) + suffix[j + 1];

    double y = x0;
    axis.push_back(y);
    for (std::size_t j = 1; j + 1 < m; ++j) {
        y += suffix[j];
        axis.push_back(y);
    }
}

void relax_left_tail(std::vector<double>& x, double target)
{
    const std::size_t n = x.size();
    if (n < 2)
        return;
    const double width = x[n - 1] - x[0];
    std::vector<double> w(n - 1);
    for (int pass = 0; pass < relaxation_passes; ++pass) {
        double sum = 0.0;
        for (std::size_t i = 0; i + 2 < n; ++i) {
            w[i] = 0.5 * (x[i + 1] - x[i]) + 0.5 * (x[i + 2] - x[i + 1]);
            sum += w[i];
        }
        w[n - 2] = 0.5 * (x[n - 1] - x[n - 2]) + 0.5 * target;
        sum += w[n - 2];
        const double scale = width / sum;
        for (std::size_t i = n - 2; i > 0; --i)
            x[i] = x[i + 1] - scale * w[i];
    }
}

void relax_right_tail(std::vector<double>& x, double target)
{
    const std::size_t n = x.size();
    if (n < 2)
        return;
    const double width = x[n - 1] - x[0];
    std::vector<double> w(n);
    for (int pass = 0; pass < relaxation_passes; ++pass) {
        w[1] = 0.5 * (x[1] - x[0]) + 0.5 * target;
        double sum = w[1];
        for (std::size_t i = 2; i < n; ++i) {
            w[i] = 0.5 * (x[i] - x[i - 1]) + 0.5 * (x[i - 1] - x[i - 2]);
            sum += w[i];
        }
        const double scale = width / sum;
        for (std::size_t i = 1; i + 1 < n; ++i)
            x[i] = x[i - 1] + scale * w[i];
    }
}

}  // namespace details

void space_grid::transform(double& value, transformation_type transformation) noexcept
{
    switch (transformation) {
    case space_grid_config::log: value = std::log(value); break;
    case space_grid_config::sqrt: value = std::sqrt(value); break;
    case space_grid_config::exp: value = std::exp(value); break;
    default: break;
    }
}

void space_grid::transform(std::vector<double>& values, transformation_type transformation) noexcept
{
    double* data = values.data();
    const std::size_t n = values.size();
    switch (transformation) {
    case space_grid_config::log:
        apply_in_blocks(data, n, [](double x) { return std::log(x); });
        break;
    case space_grid_config::sqrt:
        apply_in_blocks(data, n, [](double x) { return std::sqrt(x); });
        break;
    case space_grid_config::exp:
        apply_in_blocks(data, n, [](double x) { return std::exp(x); });
        break;
    default: break;
    }
}

space_grid::space_grid(const space_grid_config& config, std::size_t n, double lower, double upper,
                       double offset, const std::vector<double>& points)
    : transformation_(config.transformation())
{
    const auto type = config.type();
    if (type != space_grid_config::explicit_points && type != space_grid_config::uniform &&
        type != space_grid_config::uniform_with_points && type != space_grid_config::concentrated)
        details::check_fail({"space_grid", source, __LINE__},
                            details::concat("unknown space grid type ", static_cast<int>(type)));

    std::vector<double> given = points;
    if (config.transform_start()) {
        transform(lower, transformation_);
        transform(upper, transformation_);
        transform(given, transformation_);
    }
    if (n > max_points)
        refuse_point_count({"space_grid", source, __LINE__});
    axis_.reserve(points.size() + n);
    const double dx = (upper - lower) / static_cast<double>(n);

    switch (type) {
    case space_grid_config::explicit_points: axis_ = points; break;
    case space_grid_config::uniform:
        build_uniform(n, lower, upper);
        is_uniform_ = true;
        break;
    case space_grid_config::uniform_with_points:
        build_uniform_with_points(given, lower, upper, dx);
        break;
    case space_grid_config::concentrated:
        build_concentrated(config, std::move(given), n, lower, upper, dx);
        break;
    }

    if (config.transform_end()) {
        transform(axis_, transformation_);
        is_uniform_ = false;
    }
    if (offset != 0.0 || std::isnan(offset))
        apply_in_blocks(axis_.data(), axis_.size(), [offset](double x) { return x + offset; });
    size_ = axis_.size();
}

void space_grid::build_uniform(std::size_t n, double lower, double upper)
{
    append_uniform(axis_, n, lower, upper);
}

void space_grid::build_uniform_with_points(const std::vector<double>& points, double lower,
                                           double upper, double dx)
{
    std::vector<double> stops{lower, upper};
    for (double p : points)
        stops.push_back(p > upper ? upper : (p < lower ? lower : p));
    sort_unique(stops);

    // Each piece holds both of its ends: a piece shorter than two spacings is just its ends
    // (an evenly spaced fill of a single point would drop q).
    double previous = lower;
    for (double q : stops) {
        const std::size_t k =
            point_count((q - previous) / dx, {"build_uniform_with_points", source, __LINE__});
        append_uniform(axis_, std::max<std::size_t>(k, 2), previous, q);
        previous = q;
    }
    sort_unique(axis_);
}

void space_grid::build_concentrated(const space_grid_config& config, std::vector<double> points,
                                    std::size_t n, double lower, double upper, double dx)
{
    const double centre_dx = config.center_dx();
    const double proportion = config.internal_proportion();
    const double width = upper - lower;
    const auto count = static_cast<long long>(n);

    std::vector<double> sorted = points;
    std::sort(sorted.begin(), sorted.end(), ascending);
    const std::vector<double> centres = refinement_centres(sorted, lower, upper, dx * centre_dx);
    const long long r = static_cast<long long>(centres.size());
    const bool few_centres = r <= 2 * count;

    // A spacing that leaves room for the refined zones.
    const long long m = std::max(count - 2 * r, 10LL);
    double dx2 = width / static_cast<double>(m);
    if (!centres.empty()) {
        long long k = truncate((centres.back() - centres.front()) / dx2);
        if (k < 5)
            k = 4;
        if (proportion * static_cast<double>(m) > static_cast<double>(k)) {
            long long e = truncate((1 - proportion) * static_cast<double>(m));
            if (e < 6)
                e = 5;
            long long m2 = m - e;
            if (m2 < 6)
                m2 = 5;
            dx2 = width / static_cast<double>(m2);
        }
    }
    if (few_centres)
        dx = dx2;

    const double h = dx * centre_dx;
    const std::vector<zone> zones = refinement_zones(centres, h);
    if (zones.empty()) {
        build_uniform(n, lower, upper);
    } else {
        for (std::size_t u = 0; u + 1 < zones.size(); ++u) {
            const double gap = zones[u + 1].lower - zones[u].upper;
            const std::size_t k =
                raised_point_count(gap / dx, {"build_concentrated", source, __LINE__});
            details::append_graded_fill(axis_, k + 1, h, h, gap + 2 * h, zones[u].upper);
        }
        const long long g = static_cast<long long>(axis_.size());
        const auto t = static_cast<std::size_t>(std::max((count - g) / 2, 15LL));
        const double target = 2 * centre_dx * dx;

        const double left_end = zones.front().lower;
        if (left_end > lower) {
            const std::size_t k =
                few_centres ? t
                            : raised_point_count((left_end - lower) / dx,
                                                 {"build_concentrated", source, __LINE__});
            std::vector<double> tail = uniform_points(k, lower, left_end);
            details::relax_left_tail(tail, target);
            axis_.insert(axis_.end(), tail.begin(), tail.end());
        } else {
            axis_.push_back(lower);
        }

        const double right_end = zones.back().upper;
        if (right_end < upper) {
            const std::size_t k =
                few_centres ? t
                            : raised_point_count((upper - right_end) / dx,
                                                 {"build_concentrated", source, __LINE__});
            std::vector<double> tail = uniform_points(k, right_end, upper);
            details::relax_right_tail(tail, target);
            axis_.insert(axis_.end(), tail.begin(), tail.end());
        } else {
            axis_.push_back(upper);
        }
    }
    axis_.insert(axis_.end(), points.begin(), points.end());
    sort_unique(axis_);
}

}  // namespace korvex

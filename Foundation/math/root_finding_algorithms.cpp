#include "math/root_finding_algorithms.h"

#include <cmath>
#include <limits>
#include <utility>

#include "core/check_fail.h"

namespace korvex {
namespace {

bool same_sign(double a, double b) { return (a > 0.0 && b > 0.0) || (a < 0.0 && b < 0.0); }

// The state of Brent's method: b is the best estimate, a the previous one, and the root
// lies between b and c.
struct brent_state
{
    double a, fa, b, fb, c, fc;
    double step, previous_step;

    // Keeps the root between b and c, with b the end of smaller |f|.
    void tidy()
    {
        if (same_sign(fb, fc)) {
            c = a;
            fc = fa;
            step = previous_step = b - a;
        }
        if (std::fabs(fc) < std::fabs(fb)) {
            a = b;
            b = c;
            c = a;
            fa = fb;
            fb = fc;
            fc = fa;
        }
    }

    // Chooses the next step: interpolation when it stays well inside the bracket and
    // shrinks fast enough, bisection otherwise.
    void choose_step(double tolerance, double half_width)
    {
        if (std::fabs(previous_step) >= tolerance && std::fabs(fa) > std::fabs(fb)) {
            const double s = fb / fa;
            double p, q;
            if (a == c) {  // secant
                p = 2.0 * half_width * s;
                q = 1.0 - s;
            } else {  // inverse quadratic interpolation
                const double qa = fa / fc;
                const double r = fb / fc;
                p = s * (2.0 * half_width * qa * (qa - r) - (b - a) * (r - 1.0));
                q = (qa - 1.0) * (r - 1.0) * (s - 1.0);
            }
            if (p > 0.0)
                q = -q;
            p = std::fabs(p);
            const double limit_bracket = 3.0 * half_width * q - std::fabs(tolerance * q);
            const double limit_progress = std::fabs(previous_step * q);
            if (2.0 * p < std::fmin(limit_bracket, limit_progress)) {
                previous_step = step;
                step = p / q;
                return;
            }
        }
        step = previous_step = half_width;
    }

    // Moves a to b and b one step on, at least `tolerance` towards c.
    double next_point(double tolerance, double half_width)
    {
        a = b;
        fa = fb;
        return b + (std::fabs(step) > tolerance ? step : std::copysign(tolerance, half_width));
    }
};

}  // namespace

bool root_finding_algorithms::brent(const std::function<double(double)>& f, double lower,
                                    double upper, double& root, double x_tolerance,
                                    double f_tolerance, int max_iterations)
{
    KORVEX_CHECK_MSG((SourceLocation{"brent", "Foundation/math/root_finding_algorithms", __LINE__}),
                     f && std::isfinite(lower) && std::isfinite(upper), "bracket [", lower, ", ", upper,
                     "]");
    constexpr double epsilon = std::numeric_limits<double>::epsilon();
    const double start = root;
    brent_state s{lower, f(lower), upper, f(upper), 0.0, 0.0, 0.0, 0.0};
    if (std::isnan(s.fa) || std::isnan(s.fb)) {
        root = std::isnan(s.fa) ? upper : lower;
        return false;
    }
    for (const auto& [x, fx] : {std::pair{s.a, s.fa}, std::pair{s.b, s.fb}})
        if (std::fabs(fx) <= f_tolerance) {
            root = x;
            return true;
        }
    if (same_sign(s.fa, s.fb)) {
        root = std::fabs(s.fa) < std::fabs(s.fb) ? s.a : s.b;
        return false;
    }

    int iterations = 0;
    const bool start_inside = std::fmin(lower, upper) < start && start < std::fmax(lower, upper);
    if (start_inside && max_iterations > 0) {
        ++iterations;
        const double f_start = f(start);
        if (!std::isnan(f_start)) {
            if (std::fabs(f_start) <= f_tolerance) {
                root = start;
                return true;
            }
            if (same_sign(f_start, s.fa)) {
                s.a = start;
                s.fa = f_start;
            } else {
                s.b = start;
                s.fb = f_start;
            }
        }
    }

    s.c = s.b;
    s.fc = s.fb;
    for (;; ++iterations) {
        s.tidy();
        const double tolerance = 2.0 * epsilon * std::fabs(s.b) + 0.5 * x_tolerance;
        const double half_width = 0.5 * (s.c - s.b);
        root = s.b;
        if (std::fabs(half_width) <= tolerance || std::fabs(s.fb) <= f_tolerance)
            return true;
        if (iterations >= max_iterations)
            return false;
        s.choose_step(tolerance, half_width);
        const double x = s.next_point(tolerance, half_width);
        const double fx = f(x);
        if (std::isnan(fx))
            return false;
        s.b = x;
        s.fb = fx;
    }
}

}  // namespace korvex

#include "math/gaussian_quadrature.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <utility>
#include <vector>

#include "core/check_fail.h"
#include "math/gauss_hermite_rules.h"
#include "math/output_vectors.h"

namespace korvex {
namespace {

constexpr const char* source_file = "Foundation/math/gaussian_quadrature";

constexpr SourceLocation here(const char* function, int line)
{
    return {function, source_file, line};
}

constexpr std::size_t legendre_max_iterations = 100;

// The three-term recurrence x p_k = b_{k+1} p_{k+1} + a_k p_k + b_k p_{k-1} of the orthonormal
// polynomials of a weight of mass mu0, with p_{-1} = 0 and p_0 = 1 (orthonormal up to mu0).
// Newton's steps run on the coefficients rounded to double; the final pass at each node runs
// on their long double values.
struct jacobi_recurrence
{
    std::vector<long double> a_long;  // a_0 ... a_{n-1}
    std::vector<long double> b_long;  // b_0 = 0, b_1 ... b_n
    std::vector<long double> inverse_b_long;
    std::vector<double> a, b;
    std::vector<double> inverse_b;  // 1 / b_1 ... 1 / b_n
    long double mu0;

    jacobi_recurrence(std::size_t n, long double mass)
        : a_long(n, 0.0L), b_long(n + 1, 0.0L), inverse_b_long(n), a(n, 0.0), b(n + 1, 0.0),
          inverse_b(n), mu0(mass)
    {
    }

    std::size_t degree() const { return a.size(); }

    void set_a(std::size_t k, long double value)
    {
        a_long[k] = value;
        a[k] = static_cast<double>(value);
    }

    void set_b(std::size_t k, long double value)
    {
        b_long[k] = value;
        b[k] = static_cast<double>(value);
        inverse_b_long[k - 1] = 1.0L / value;
        inverse_b[k - 1] = static_cast<double>(inverse_b_long[k - 1]);
    }

    // Gershgorin's bounds on the zeros of p_n (the eigenvalues of the Jacobi matrix).
    std::pair<double, double> zero_bounds() const
    {
        double lower = a[0], upper = a[0];
        for (std::size_t k = 0; k < degree(); ++k) {
            const double radius = b[k] + b[k + 1];
            lower = std::min(lower, a[k] - radius);
            upper = std::max(upper, a[k] + radius);
        }
        return {lower, upper};
    }
};

// Values and derivatives grow like exp(x^2/2) (Hermite) or exp(x/2) (Laguerre) far out;
// they are brought back by a power of two whenever they pass 2^500, which keeps the ratios
// Newton needs and the signs Sturm's count needs exact.
constexpr double rescale_limit = 0x1p500;
constexpr double rescale_factor = 0x1p-500;
constexpr int rescale_exponent = 500;

// Brings p_k, p_k' and their predecessors back by 2^-500 once p_k or p_k' passes 2^500.
template <class Real>
bool rescale(Real& p, Real& p_previous, Real& d, Real& d_previous)
{
    if (std::fabs(p) <= rescale_limit && std::fabs(d) <= rescale_limit)
        return false;
    p *= rescale_factor;
    p_previous *= rescale_factor;
    d *= rescale_factor;
    d_previous *= rescale_factor;
    return true;
}

struct polynomial_values
{
    double newton_step;       // p_n(x) / p_n'(x)
    std::size_t zeros_above;  // zeros of p_n greater than x: sign changes along p_0 ... p_n
};

polynomial_values evaluate(const jacobi_recurrence& r, double x)
{
    double p_previous = 0.0, p = 1.0, d_previous = 0.0, d = 0.0;
    std::size_t changes = 0;
    for (std::size_t k = 0; k < r.degree(); ++k) {
        const double shifted = x - r.a[k];
        const double p_next = (shifted * p - r.b[k] * p_previous) * r.inverse_b[k];
        const double d_next = (shifted * d + p - r.b[k] * d_previous) * r.inverse_b[k];
        changes += (p_next < 0.0) != (p < 0.0);
        p_previous = std::exchange(p, p_next);
        d_previous = std::exchange(d, d_next);
        rescale(p, p_previous, d, d_previous);
    }
    return {p / d, changes};
}

struct gauss_node
{
    double node, weight;
};

// The final pass at a node x, in long double: for a converged x, one more Newton step
// d = p_n(x)/p_n'(x) (below an ulp or two: it moves the zero of the polynomial with double
// coefficients and double rounding onto the true one) and the Christoffel number
// mu0 / sum_{k<n} p_k(z)^2 at the corrected zero z, whose first-order term in d removes the
// n^2 d relative error the weight would have at x near the ends of a Legendre rule. Weights
// come out to about 1 ulp, nodes to about half an ulp.
gauss_node finish(const jacobi_recurrence& r, double x, bool converged)
{
    long double p_previous = 0.0L, p = 1.0L, d_previous = 0.0L, d = 0.0L;
    long double squares = 0.0L, products = 0.0L;  // sums of p_k^2 and p_k p_k', k < n
    int exponent = 0;  // the true values are the computed ones times 2^exponent
    for (std::size_t k = 0; k < r.degree(); ++k) {
        squares += p * p;
        products += p * d;
        const long double shifted = static_cast<long double>(x) - r.a_long[k];
        const long double inverse_b = r.inverse_b_long[k];
        const long double p_next = (shifted * p - r.b_long[k] * p_previous) * inverse_b;
        const long double d_next = (shifted * d + p - r.b_long[k] * d_previous) * inverse_b;
        p_previous = std::exchange(p, p_next);
        d_previous = std::exchange(d, d_next);
        if (rescale(p, p_previous, d, d_previous)) {
            squares *= rescale_factor * rescale_factor;
            products *= rescale_factor * rescale_factor;
            exponent += rescale_exponent;
        }
    }
    const long double offset = converged && d != 0.0L ? p / d : 0.0L;  // x minus the zero
    const long double weight = r.mu0 / squares * (1.0L + 2.0L * offset * products / squares);
    return {static_cast<double>(x - offset),
            std::ldexp(static_cast<double>(weight), -2 * exponent)};
}

// The zero of p_n with `zeros_above` zeros greater than it, inside (lower, upper), by Newton
// steps from `guess`; a step leaving the bracket, which every evaluation narrows through
// Sturm's count, is replaced by bisection. Then `finish`.
gauss_node find_node(const jacobi_recurrence& r, std::size_t zeros_above, double guess,
                     double lower, double upper, double tolerance, std::size_t max_iter)
{
    double x = lower < guess && guess < upper ? guess : 0.5 * (lower + upper);
    bool converged = false;
    for (std::size_t i = 0; i < max_iter && !converged; ++i) {
        const polynomial_values v = evaluate(r, x);
        if (v.newton_step == 0.0) {
            converged = true;
            break;
        }
        (v.zeros_above > zeros_above ? lower : upper) = x;
        double next = x - v.newton_step;
        if (!(lower <= next && next <= upper))
            next = 0.5 * (lower + upper);
        converged = std::fabs(next - x) <= tolerance * std::fabs(next);
        x = next;
    }
    return finish(r, x, converged);
}

jacobi_recurrence legendre_recurrence(std::size_t n)
{
    jacobi_recurrence r(n, 2.0L);
    for (std::size_t k = 1; k <= n; ++k) {
        const long double kk = static_cast<long double>(k);
        r.set_b(k, kk / std::sqrt((2.0L * kk - 1.0L) * (2.0L * kk + 1.0L)));
    }
    return r;
}

jacobi_recurrence hermite_recurrence(std::size_t n)
{
    jacobi_recurrence r(n, std::sqrt(std::numbers::pi_v<long double>));
    for (std::size_t k = 1; k <= n; ++k)
        r.set_b(k, std::sqrt(0.5L * static_cast<long double>(k)));
    return r;
}

jacobi_recurrence laguerre_recurrence(std::size_t n, double alpha)
{
    const long double a = alpha;
    jacobi_recurrence r(n, std::tgamma(a + 1.0L));
    for (std::size_t k = 0; k < n; ++k) {
        const long double kk = static_cast<long double>(k);
        r.set_a(k, 2.0L * kk + a + 1.0L);
        r.set_b(k + 1, std::sqrt((kk + 1.0L) * (kk + 1.0L + a)));
    }
    return r;
}

// A rule symmetric about 0 from its positive nodes (decreasing): nodes in increasing order,
// with 0 in the middle when n is odd.
void mirror(const jacobi_recurrence& r, const std::vector<gauss_node>& positive,
            std::vector<double>& nodes, std::vector<double>& weights)
{
    const std::size_t n = r.degree();
    const std::size_t half = positive.size();
    nodes.assign(n, 0.0);
    weights.assign(n, 0.0);
    for (std::size_t i = 0; i < half; ++i) {
        nodes[i] = -positive[i].node;
        nodes[n - 1 - i] = positive[i].node;
        weights[i] = weights[n - 1 - i] = positive[i].weight;
    }
    if (n % 2 == 1)
        weights[half] = finish(r, 0.0, true).weight;
}

// Positive Legendre zeros, decreasing, from Tricomi's estimate
// (1 - 1/(8n^2) + 1/(8n^3)) cos(pi (4i + 3) / (4n + 2)).
std::vector<gauss_node> legendre_positive_nodes(const jacobi_recurrence& r, double tolerance,
                                                std::size_t max_iter)
{
    const std::size_t n = r.degree();
    const double nn = static_cast<double>(n);
    const double factor = 1.0 - 1.0 / (8.0 * nn * nn) + 1.0 / (8.0 * nn * nn * nn);
    std::vector<gauss_node> nodes(n / 2);
    double upper = 1.0;
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        const double angle =
            std::numbers::pi * (4.0 * static_cast<double>(i) + 3.0) / (4.0 * nn + 2.0);
        nodes[i] = find_node(r, i, factor * std::cos(angle), 0.0, upper, tolerance, max_iter);
        upper = nodes[i].node;
    }
    return nodes;
}

// E_{n+1} = sum_j c_j P_j in the standard Legendre polynomials (P_j(1) = 1), with
// c_{n+1} = 1 and c_j = 0 for j of the parity of n: orthogonality to P_n P_k for odd k
// determines c_{n-k} from the coefficients above it, through Adams' integral of three
// Legendre polynomials, int P_l P_m P_k = 2 / (2s + 1) A(s - l) A(s - m) A(s - k) / A(s),
// 2s = l + m + k, A(k) = (2k - 1)!! / k!. The solve is stable (the coefficients sum to about 2
// in absolute value); it and the evaluations of E run in long double, so that E at a node
// (and with it the weights, which divide by it) keeps its last digits.
struct stieltjes_polynomial
{
    std::vector<long double> c;            // c_0 ... c_{n+1}
    std::vector<long double> inverse_next;  // 1 / (j + 1), j = 0 ... n

    explicit stieltjes_polynomial(std::size_t n) : c(n + 2, 0.0L), inverse_next(n + 1)
    {
        for (std::size_t j = 0; j <= n; ++j)
            inverse_next[j] = 1.0L / static_cast<long double>(j + 1);
        const std::size_t size = n + n / 2 + 3;
        std::vector<long double> a_table(size, 1.0L), inverse_a(size, 1.0L), scale(size);
        for (std::size_t k = 0; k < size; ++k) {
            const long double kk = static_cast<long double>(k);
            if (k > 0)
                a_table[k] = a_table[k - 1] * (2.0L * kk - 1.0L) / (2.0L * kk);
            inverse_a[k] = 1.0L / a_table[k];
            scale[k] = 2.0L / (2.0L * kk + 1.0L);
        }
        const auto triple = [&](std::size_t l, std::size_t m, std::size_t k) {
            const std::size_t s = (l + m + k) / 2;
            return scale[s] * a_table[s - l] * a_table[s - m] * a_table[s - k] * inverse_a[s];
        };
        c[n + 1] = 1.0L;
        for (std::size_t k = 1; k <= n; k += 2) {
            const std::size_t low = n - k;
            long double sum = 0.0L;
            for (std::size_t j = low + 2; j <= n + 1; j += 2)
                sum += c[j] * triple(n, j, k);
            c[low] = -sum / triple(n, low, k);
        }
    }

    std::size_t degree() const { return c.size() - 1; }
};

struct stieltjes_values
{
    long double e, e_first, e_second;  // E_{n+1}(x) and its first two derivatives
    long double p, p_first, p_second;  // P_n(x) and its first two derivatives
};

stieltjes_values evaluate_stieltjes(const stieltjes_polynomial& stieltjes, double x)
{
    const std::vector<long double>& c = stieltjes.c;
    const std::size_t n = stieltjes.degree() - 1;
    // P_{j+1} = ((2j + 1) x P_j - j P_{j-1}) / (j + 1), P'_{j+1} = P'_{j-1} + (2j + 1) P_j, and
    // the same for P'' from P'
    long double p_previous = 0.0L, p = 1.0L, d_previous = 0.0L, d = 0.0L;
    long double s_previous = 0.0L, s = 0.0L;
    stieltjes_values v{c[0], 0.0L, 0.0L, 1.0L, 0.0L, 0.0L};
    for (std::size_t j = 0; j <= n; ++j) {
        const long double jj = static_cast<long double>(j);
        const long double p_next =
            ((2.0L * jj + 1.0L) * x * p - jj * p_previous) * stieltjes.inverse_next[j];
        const long double d_next = d_previous + (2.0L * jj + 1.0L) * p;
        const long double s_next = s_previous + (2.0L * jj + 1.0L) * d;
        p_previous = std::exchange(p, p_next);
        d_previous = std::exchange(d, d_next);
        s_previous = std::exchange(s, s_next);
        if (j + 1 == n) {
            v.p = p;
            v.p_first = d;
            v.p_second = s;
        }
        v.e += c[j + 1] * p;
        v.e_first += c[j + 1] * d;
        v.e_second += c[j + 1] * s;
    }
    return v;
}

// The weights 2 / ((n + 1) P_n E') of a Kronrod node and 2 / ((n + 1) P_n' E) added to the
// Gauss weight of a Gauss node, at the exact zero z near the rounded one x: the first-order
// term in x - z (E/E' or P_n/P_n' at x) removes the n^2 (x - z) relative error.
double kronrod_node_weight(const stieltjes_values& v, double scale)
{
    const long double offset = v.e / v.e_first;
    return static_cast<double>(scale / (v.p * v.e_first) *
                               (1.0L + offset * (v.p_first / v.p + v.e_second / v.e_first)));
}

double gauss_node_correction(const stieltjes_values& v, double scale)
{
    const long double offset = v.p / v.p_first;
    return static_cast<double>(scale / (v.p_first * v.e) *
                               (1.0L + offset * (v.p_second / v.p_first + v.e_first / v.e)));
}

// The i-th zero of E_{n+1} from the top, inside (lower, upper) between two Gauss nodes; E is
// positive above its largest zero and changes sign at each, which narrows the bracket.
double find_kronrod_zero(const stieltjes_polynomial& stieltjes, std::size_t i, double lower,
                         double upper, double tolerance, std::size_t max_iter)
{
    const bool positive_above = i % 2 == 0;
    double x = std::cos(0.5 * (std::acos(lower) + std::acos(upper)));
    for (std::size_t iteration = 0; iteration < max_iter; ++iteration) {
        const stieltjes_values v = evaluate_stieltjes(stieltjes, x);
        if (v.e == 0.0)
            break;
        ((v.e > 0.0) == positive_above ? upper : lower) = x;
        double next = x - static_cast<double>(v.e / v.e_first);
        if (!(lower <= next && next <= upper))
            next = 0.5 * (lower + upper);
        const bool converged = std::fabs(next - x) <= tolerance * std::fabs(next);
        x = next;
        if (converged)
            break;
    }
    return x;
}

void check_common(const SourceLocation& where, std::size_t n, double tolerance)
{
    KORVEX_CHECK_MSG(where, n <= gaussian_quadrature::max_points, "n = ", n);
    KORVEX_CHECK_MSG(where, tolerance >= 0.0, "tolerance = ", tolerance);
}

void check_pair(const SourceLocation& where, const vector<double>& points,
                const vector<double>& weights, std::size_t n)
{
    details::check_output(where, points, n, "points");
    details::check_output(where, weights, n, "weights");
    KORVEX_CHECK(where, !details::share_memory(points, weights, n));
}

void assign_pair(vector<double>& points, vector<double>& weights,
                 const std::vector<double>& nodes, const std::vector<double>& node_weights)
{
    details::assign_output(points, nodes);
    details::assign_output(weights, node_weights);
}

}  // namespace

void gaussian_quadrature::gauss_legendre_coefficients(std::size_t n, vector<double>& points,
                                                      vector<double>& weights, double tolerance)
{
    check_common(here("gauss_legendre_coefficients", __LINE__), n, tolerance);
    check_pair(here("gauss_legendre_coefficients", __LINE__), points, weights, n);
    const jacobi_recurrence r = legendre_recurrence(n);
    std::vector<double> nodes, node_weights;
    mirror(r, legendre_positive_nodes(r, tolerance, legendre_max_iterations), nodes, node_weights);
    assign_pair(points, weights, nodes, node_weights);
}

void gaussian_quadrature::gauss_kronrod(std::size_t n, vector<double>& x, vector<double>& w1,
                                        vector<double>& w2, double tolerance,
                                        std::size_t max_iter)
{
    check_common(here("gauss_kronrod", __LINE__), n, tolerance);
    const std::size_t size = 2 * n + 1;
    details::check_output(here("gauss_kronrod", __LINE__), x, size, "x");
    details::check_output(here("gauss_kronrod", __LINE__), w1, size, "w1");
    details::check_output(here("gauss_kronrod", __LINE__), w2, size, "w2");
    KORVEX_CHECK(here("gauss_kronrod", __LINE__),
                 !details::share_memory(x, w1, size) && !details::share_memory(x, w2, size) &&
                     !details::share_memory(w1, w2, size));

    const jacobi_recurrence r = legendre_recurrence(n);
    const std::vector<gauss_node> gauss = legendre_positive_nodes(r, tolerance, max_iter);
    const stieltjes_polynomial stieltjes(n);
    const double scale = 2.0 / static_cast<double>(n + 1);
    // The non-negative half, decreasing: Kronrod and Gauss nodes alternate from the top, and 0
    // is a Gauss node for odd n, a Kronrod node for even n.
    std::vector<double> nodes, kronrod, gauss_weights;
    double upper = 1.0;
    for (std::size_t i = 0; i < (n + 1) / 2; ++i) {
        const double lower = i < gauss.size() ? gauss[i].node : 0.0;
        const double zero = find_kronrod_zero(stieltjes, i, lower, upper, tolerance, max_iter);
        const stieltjes_values v = evaluate_stieltjes(stieltjes, zero);
        nodes.push_back(zero);
        kronrod.push_back(kronrod_node_weight(v, scale));
        gauss_weights.push_back(0.0);
        if (i < gauss.size()) {
            const stieltjes_values g = evaluate_stieltjes(stieltjes, gauss[i].node);
            nodes.push_back(gauss[i].node);
            kronrod.push_back(gauss[i].weight + gauss_node_correction(g, scale));
            gauss_weights.push_back(gauss[i].weight);
            upper = gauss[i].node;
        }
    }
    const stieltjes_values middle = evaluate_stieltjes(stieltjes, 0.0);
    const double middle_gauss = n % 2 == 1 ? finish(r, 0.0, true).weight : 0.0;
    nodes.push_back(0.0);
    kronrod.push_back(n % 2 == 1 ? middle_gauss + gauss_node_correction(middle, scale)
                                 : kronrod_node_weight(middle, scale));
    gauss_weights.push_back(middle_gauss);
    for (std::size_t i = n; i-- > 0;) {
        nodes.push_back(-nodes[i]);
        kronrod.push_back(kronrod[i]);
        gauss_weights.push_back(gauss_weights[i]);
    }
    details::assign_output(x, nodes);
    details::assign_output(w1, kronrod);
    details::assign_output(w2, gauss_weights);
}

void gaussian_quadrature::gauss_laguerre_coefficients(double alpha, std::size_t n,
                                                      vector<double>& points,
                                                      vector<double>& weights, double tolerance,
                                                      std::size_t max_iter)
{
    check_common(here("gauss_laguerre_coefficients", __LINE__), n, tolerance);
    KORVEX_CHECK_MSG(here("gauss_laguerre_coefficients", __LINE__),
                     alpha > -1.0 && std::isfinite(alpha), "alpha = ", alpha);
    check_pair(here("gauss_laguerre_coefficients", __LINE__), points, weights, n);
    const jacobi_recurrence r = laguerre_recurrence(n, alpha);
    std::vector<double> nodes(n), node_weights(n);
    const double upper = n == 0 ? 0.0 : r.zero_bounds().second;
    // Increasing, each zero bounding the next. Starting values of Numerical Recipes (gaulag)
    // for the first four, then quadratic extrapolation from the last three zeros.
    const double nn = static_cast<double>(n);
    double z = 0.0;
    for (std::size_t j = 0; j < n; ++j) {
        if (j == 0) {
            z = (1.0 + alpha) * (3.0 + 0.92 * alpha) / (1.0 + 2.4 * nn + 1.8 * alpha);
        } else if (j == 1) {
            z += (15.0 + 6.25 * alpha) / (1.0 + 0.9 * alpha + 2.5 * nn);
        } else if (j < 4) {
            const double ai = static_cast<double>(j - 1);
            z += ((1.0 + 2.55 * ai) / (1.9 * ai) + 1.26 * ai * alpha / (1.0 + 3.5 * ai)) *
                 (z - nodes[j - 2]) / (1.0 + 0.3 * alpha);
        } else {
            z = 3.0 * nodes[j - 1] - 3.0 * nodes[j - 2] + nodes[j - 3];
        }
        const double lower = j == 0 ? 0.0 : nodes[j - 1];
        const gauss_node found = find_node(r, n - 1 - j, z, lower, upper, tolerance, max_iter);
        z = nodes[j] = found.node;
        node_weights[j] = found.weight;
    }
    assign_pair(points, weights, nodes, node_weights);
}

void gaussian_quadrature::gauss_hermite_coefficients(std::size_t np, vector<double>& points,
                                                     vector<double>& weights,
                                                     bool use_precomputed, double tolerance,
                                                     std::size_t max_iter)
{
    check_common(here("gauss_hermite_coefficients", __LINE__), np, tolerance);
    check_pair(here("gauss_hermite_coefficients", __LINE__), points, weights, np);
    std::vector<double> nodes, node_weights;
    if (use_precomputed && details::tabulated_gauss_hermite_rule(np, nodes, node_weights)) {
        assign_pair(points, weights, nodes, node_weights);
        return;
    }
    const jacobi_recurrence r = hermite_recurrence(np);
    // From the largest zero down, each zero bounding the next. Starting values of Numerical
    // Recipes (gauher) for the first four, then quadratic extrapolation from the last three.
    const double n = static_cast<double>(np);
    std::vector<gauss_node> positive(np / 2);
    const auto zero = [&](std::size_t i) { return positive[i].node; };
    double upper = np == 0 ? 0.0 : r.zero_bounds().second;
    for (std::size_t i = 0; i < positive.size(); ++i) {
        double z;
        if (i == 0)
            z = std::sqrt(2.0 * n + 1.0) - 1.85575 * std::pow(2.0 * n + 1.0, -1.0 / 6.0);
        else if (i == 1)
            z = zero(0) - 1.14 * std::pow(n, 0.426) / zero(0);
        else if (i == 2)
            z = 1.86 * zero(1) - 0.86 * zero(0);
        else if (i == 3)
            z = 1.91 * zero(2) - 0.91 * zero(1);
        else
            z = 3.0 * zero(i - 1) - 3.0 * zero(i - 2) + zero(i - 3);
        positive[i] = find_node(r, i, z, 0.0, upper, tolerance, max_iter);
        upper = positive[i].node;
    }
    mirror(r, positive, nodes, node_weights);
    assign_pair(points, weights, nodes, node_weights);
}

}  // namespace korvex

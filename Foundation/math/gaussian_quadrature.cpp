#include "math/gaussian_quadrature.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <limits>
#include <cmath>
#include <numbers>
#include <type_traits>
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
// polynomials of a weight of mass mu0, with p_{-1} = 0 and p_0 = 1 (orthonormal up to mu0),
// with its coefficients rounded from long double.
struct jacobi_recurrence
{
    std::vector<double> a, b;  // a_0 ... a_{n-1}; b_0 = 0, b_1 ... b_n
    std::vector<double> inverse_b;  // 1 / b_1 ... 1 / b_n

    explicit jacobi_recurrence(std::size_t n) : a(n, 0.0), b(n + 1, 0.0), inverse_b(n) {}

    std::size_t degree() const { return a.size(); }

    void set_b(std::size_t k, long double value)
    {
        b[k] = static_cast<double>(value);
        inverse_b[k - 1] = static_cast<double>(1.0L / value);
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

// Values grow like exp(x^2/2) (Hermite) or exp(x/2) (Laguerre) far out; they are brought back
// by a power of two whenever they pass 2^500, which keeps their ratios and signs exact.
constexpr double rescale_limit = 0x1p500;
constexpr double rescale_factor = 0x1p-500;
constexpr int rescale_exponent = 500;

// Brings p_k, p_k' and their predecessors back by 2^-500 once p_k or p_k' passes 2^500.
bool rescale(double& p, double& p_previous, double& d, double& d_previous)
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

// p_n and p_n' at one point with Sturm's count, for the safeguarded search.
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

enum class rule_family { legendre, hermite, laguerre };

// The coefficients of the recurrence the nodes are polished with (see evaluate_lanes), per
// step k: Legendre k/(k+1); Hermite b_k and 1/b_{k+1}; Laguerre k + alpha and 1/(k+1).
template <class Real>
struct step_coefficients
{
    std::vector<Real> first, second;
};

// A rule's orthonormal recurrence (for the safeguarded search) and its polishing recurrence,
// in double and in long double.
struct gauss_rule
{
    rule_family family;
    jacobi_recurrence recurrence;
    double mu0;
    double alpha = 0.0;       // Laguerre's exponent
    long double mass = 0.0L;  // Laguerre: Gamma(n + alpha + 1) / n!
    step_coefficients<double> steps = {};
    step_coefficients<long double> long_steps = {};

    template <class Real>
    const step_coefficients<Real>& coefficients() const
    {
        if constexpr (std::is_same_v<Real, double>)
            return steps;
        else
            return long_steps;
    }

    void add_step(long double first, long double second)
    {
        steps.first.push_back(static_cast<double>(first));
        steps.second.push_back(static_cast<double>(second));
        long_steps.first.push_back(first);
        long_steps.second.push_back(second);
    }
};

gauss_rule legendre_rule(std::size_t n)
{
    gauss_rule rule{rule_family::legendre, jacobi_recurrence(n), 2.0};
    for (std::size_t k = 1; k <= n; ++k) {
        const long double kk = static_cast<long double>(k);
        rule.recurrence.set_b(k, kk / std::sqrt((2.0L * kk - 1.0L) * (2.0L * kk + 1.0L)));
        rule.add_step((kk - 1.0L) / kk, 0.0L);
    }
    return rule;
}

gauss_rule hermite_rule(std::size_t n)
{
    gauss_rule rule{rule_family::hermite, jacobi_recurrence(n), std::sqrt(std::numbers::pi)};
    long double b = 0.0L;
    for (std::size_t k = 1; k <= n; ++k) {
        const long double next = std::sqrt(0.5L * static_cast<long double>(k));
        rule.recurrence.set_b(k, next);
        rule.add_step(b, 1.0L / next);
        b = next;
    }
    return rule;
}

gauss_rule laguerre_rule(std::size_t n, double alpha)
{
    const long double a = alpha;
    gauss_rule rule{rule_family::laguerre, jacobi_recurrence(n),
                    static_cast<double>(std::tgamma(a + 1.0L)), alpha};
    rule.mass = std::tgamma(a + 1.0L);
    for (std::size_t k = 0; k < n; ++k) {
        const long double kk = static_cast<long double>(k);
        rule.recurrence.a[k] = static_cast<double>(2.0L * kk + a + 1.0L);
        rule.recurrence.set_b(k + 1, std::sqrt((kk + 1.0L) * (kk + 1.0L + a)));
        rule.add_step(kk + a, 1.0L / (kk + 1.0L));
        rule.mass *= (kk + 1.0L + a) / (kk + 1.0L);
    }
    return rule;
}

struct node_values
{
    double step;      // p_n(x) / p_n'(x): x minus the zero, to first order
    double weight;    // the weight as a function of x, at x
    double gradient;  // its logarithmic derivative at a zero, weight'/weight
};

// The derivative from p_n and p_{n-1} through each family's identity, the weight
// W = f(x) / p_n'(x)^2 (the Christoffel number at a zero) and its logarithmic derivative
// f'/f - 2 p_n''/p_n' at a zero, p_n'' taken from the differential equation:
// Legendre (P_n) f = 2 / (1 - x^2), (1 - x^2) y'' = 2x y' - n (n + 1) y;
// Hermite (orthonormal) f = 2 mu0, y'' = 2x y' - 2n y;
// Laguerre (L_n^alpha) f = Gamma(n + alpha + 1) / (n! x), x y'' = (x - alpha - 1) y' - n y.
// For Laguerre `p_previous` holds L_n - L_{n-1}. `exponent` counts the rescalings by 2^-500.
// Nodes advanced together through the recurrence, so that the compiler vectorises across them.
constexpr std::size_t lanes = 16;
using lane_values = std::array<double, lanes>;

// The logarithmic derivative of the weight function W of node_values_at at a zero x.
template <class Real>
Real weight_gradient(const gauss_rule& rule, Real x)
{
    switch (rule.family) {
    case rule_family::legendre:
        return -2 * x / ((1 - x) * (1 + x));
    case rule_family::hermite:
        return -4 * x;
    case rule_family::laguerre:
        break;
    }
    return (2 * static_cast<Real>(rule.alpha) + 1 - 2 * x) / x;
}

template <class Real>
node_values node_values_at(const gauss_rule& rule, Real x, Real p, Real p_previous, int exponent)
{
    const Real n = static_cast<Real>(rule.recurrence.degree());
    Real derivative = 0;
    long double factor = 0.0L;
    switch (rule.family) {
    case rule_family::legendre: {
        const Real one_minus_square = (1 - x) * (1 + x);
        derivative = n * (p_previous - x * p) / one_minus_square;
        factor = 2 / one_minus_square;
        break;
    }
    case rule_family::hermite:
        derivative = std::sqrt(2 * n) * p_previous;
        factor = 2 * static_cast<long double>(rule.mu0);
        break;
    case rule_family::laguerre:
        derivative = (n * p_previous - static_cast<Real>(rule.alpha) * (p - p_previous)) / x;
        factor = rule.mass / x;
        break;
    }
    // Scaled back before the conversion, which would overflow first for large alpha.
    const long double square = static_cast<long double>(derivative) * derivative;
    long double weight = factor / square;
    if (exponent != 0)
        weight = std::ldexp(weight, -2 * rescale_exponent * exponent);
    return {static_cast<double>(p / derivative), static_cast<double>(weight),
            static_cast<double>(weight_gradient(rule, x))};
}


// Multiplies the values of the lanes past 2^500 by 2^-500, counting it in `exponent`.
template <class Real, std::size_t lanes>
void rescale_lanes(std::array<Real, lanes>& p, std::array<Real, lanes>& q,
                   std::array<int, lanes>& exponent)
{
    for (std::size_t l = 0; l < lanes; ++l) {
        const bool large = std::fabs(p[l]) > rescale_limit || std::fabs(q[l]) > rescale_limit;
        const Real scale = large ? rescale_factor : 1.0;
        p[l] *= scale;
        q[l] *= scale;
        exponent[l] += large ? 1 : 0;
    }
}

// node_values of p_n at each of `x`, in double. The rescaling is checked every 8 steps,
// within which no value grows from 2^500 past the largest double. The recurrences are those
// whose rounding errors stay smallest where the nodes are: Legendre's
// P_{k+1} = x P_k + k/(k+1) (x P_k - P_{k-1}), exact at x = 1; Laguerre's on the differences
// D_k = L_k - L_{k-1}, (k+1) D_{k+1} = (k + alpha) D_k - x L_k, in which x enters as a
// product, keeping the small nodes to their last digits; Hermite's orthonormal one.
template <class Real, std::size_t lanes>
std::array<node_values, lanes> evaluate_lanes(const gauss_rule& rule,
                                              const std::array<Real, lanes>& x)
{
    const step_coefficients<Real>& steps = rule.coefficients<Real>();
    const std::size_t n = rule.recurrence.degree();
    std::array<Real, lanes> p, q{};
    std::array<int, lanes> exponent{};
    p.fill(1.0);
    switch (rule.family) {
    case rule_family::legendre:  // p = P_k, q = P_{k-1}
        for (std::size_t k = 0; k < n; ++k) {
            const Real c = steps.first[k];
            for (std::size_t l = 0; l < lanes; ++l) {
                const Real product = x[l] * p[l];
                const Real next = product + c * (product - q[l]);
                q[l] = p[l];
                p[l] = next;
            }
        }
        break;
    case rule_family::hermite:  // orthonormal p = p_k, q = p_{k-1}
        for (std::size_t k = 0; k < n; ++k) {
            const Real b = steps.first[k], inverse_b = steps.second[k];
            for (std::size_t l = 0; l < lanes; ++l) {
                const Real next = (x[l] * p[l] - b * q[l]) * inverse_b;
                q[l] = p[l];
                p[l] = next;
            }
            if (k % 8 == 7)
                rescale_lanes(p, q, exponent);
        }
        break;
    case rule_family::laguerre:  // p = L_k, q = D_k
        q.fill(1.0);
        for (std::size_t k = 0; k < n; ++k) {
            const Real a = steps.first[k], inverse = steps.second[k];
            for (std::size_t l = 0; l < lanes; ++l) {
                q[l] = (a * q[l] - x[l] * p[l]) * inverse;
                p[l] += q[l];
            }
            if (k % 8 == 7)
                rescale_lanes(p, q, exponent);
        }
        break;
    }
    rescale_lanes(p, q, exponent);
    std::array<node_values, lanes> values;
    for (std::size_t l = 0; l < lanes; ++l)
        values[l] = node_values_at<Real>(rule, x[l], p[l], q[l], exponent[l]);
    return values;
}

struct gauss_node
{
    double node, weight;
    bool noisy = false;  // Newton's steps ended in rounding noise above the tolerance
};

// The node at a converged x: one more Newton step (below an ulp or two, from the rounding of x)
// and the weight at the zero, corrected to first order from its value at x, which removes
// the relative error n^2 (x - zero) it would have near the ends of a Legendre rule.
gauss_node converged_node(double x, const node_values& v)
{
    return {x - v.step, v.weight * (1.0 - v.gradient * v.step)};
}

// Below this relative size a Newton step that no longer halves is taken as rounding noise.
constexpr double rounding_noise = 0x1p-40;

// Newton's method from `guesses`, `lanes` nodes at a time; a node stops once its step is at
// most tolerance * |node|, or once its steps, already tiny, stop converging (they have reached
// the rounding noise of p_n, which may stay above tolerance * |node|), or after max_iter steps
// with its last iterate and the weight there.
// Returns whether every node converged to finite values.
bool newton_nodes(const gauss_rule& rule, const std::vector<double>& guesses, double tolerance,
                  std::size_t max_iter, std::vector<gauss_node>& nodes)
{
    nodes.resize(guesses.size());
    bool converged = true;
    for (std::size_t first = 0; first < guesses.size(); first += lanes) {
        const std::size_t count = std::min(lanes, guesses.size() - first);
        lane_values x;
        for (std::size_t l = 0; l < lanes; ++l)  // spare lanes repeat the last node
            x[l] = guesses[first + std::min(l, count - 1)];
        std::array<bool, lanes> done{};
        lane_values previous_step;
        previous_step.fill(std::numeric_limits<double>::infinity());
        std::size_t remaining = count;
        for (std::size_t i = 0; i < max_iter && remaining > 0; ++i) {
            const std::array<node_values, lanes> values = evaluate_lanes(rule, x);
            for (std::size_t l = 0; l < count; ++l) {
                if (done[l])
                    continue;
                const double step = std::fabs(values[l].step);
                bool noise = step <= rounding_noise * std::fabs(x[l]) &&
                                   step >= 0.5 * previous_step[l];
                previous_step[l] = step;
                if (step <= tolerance * std::fabs(x[l] - values[l].step))
                    noise = false;
                if (step <= tolerance * std::fabs(x[l] - values[l].step) || noise) {
                    nodes[first + l] = converged_node(x[l], values[l]);
                    nodes[first + l].noisy = noise;
                    done[l] = true;
                    --remaining;
                } else {
                    x[l] -= values[l].step;
                }
            }
        }
        if (remaining > 0) {
            const std::array<node_values, lanes> values = evaluate_lanes(rule, x);
            for (std::size_t l = 0; l < count; ++l)
                if (!done[l])
                    nodes[first + l] = {x[l], values[l].weight};
            converged = false;
        }
    }
    return converged && std::all_of(nodes.begin(), nodes.end(), [](const gauss_node& g) {
        return std::isfinite(g.node) && std::isfinite(g.weight);
    });
}

// The zero of p_n with `zeros_above` zeros greater than it, inside (lower, upper), by Newton
// steps from `guess`; a step leaving the bracket, which every evaluation narrows through
// Sturm's count, is replaced by bisection (at most 2000 of them, which close any bracket of
// doubles; they do not count toward max_iter). Returns the last iterate and whether it
// converged.
std::pair<double, bool> safeguarded_zero(const jacobi_recurrence& r, std::size_t zeros_above,
                                         double guess, double lower, double upper,
                                         double tolerance, std::size_t max_iter)
{
    double x = lower < guess && guess < upper ? guess : 0.5 * (lower + upper);
    std::size_t steps = 0, bisections = 0;
    while (steps < max_iter && bisections < 2000) {
        const polynomial_values v = evaluate(r, x);
        if (v.newton_step == 0.0)
            return {x, true};
        (v.zeros_above > zeros_above ? lower : upper) = x;
        double next = x - v.newton_step;
        const bool near_target =
            v.zeros_above == zeros_above || v.zeros_above == zeros_above + 1;
        if (near_target && lower <= next && next <= upper) {
            ++steps;
        } else {
            next = 0.5 * (lower + upper);
            ++bisections;
        }
        const bool converged = std::fabs(next - x) <= tolerance * std::fabs(next);
        x = next;
        if (converged)
            return {x, true};
    }
    return {x, false};
}

// The zeros of p_n above `lower` (all of them for Laguerre, the positive ones of a symmetric
// rule), one at a time and each bounding the next, then their weights: the slow path, taken
// when Newton's method from the asymptotic guesses failed to give distinct ordered nodes.
// Symmetric rules go down from the top, Laguerre's up from 0.
std::vector<gauss_node> safeguarded_nodes(const gauss_rule& rule,
                                          const std::vector<double>& guesses, double lower,
                                          double upper, double tolerance, std::size_t max_iter,
                                          std::vector<bool>& converged)
{
    const bool increasing = rule.family == rule_family::laguerre;
    const std::size_t n = rule.recurrence.degree();
    std::vector<double> zeros(guesses.size());
    for (std::size_t i = 0; i < guesses.size(); ++i) {
        const std::size_t zeros_above = increasing ? n - 1 - i : i;
        const auto [zero, zero_converged] = safeguarded_zero(
            rule.recurrence, zeros_above, guesses[i], lower, upper, tolerance, max_iter);
        zeros[i] = zero;
        converged[i] = zero_converged;
        (increasing ? lower : upper) = zeros[i];
    }
    std::vector<gauss_node> nodes(zeros.size());
    for (std::size_t first = 0; first < zeros.size(); first += lanes) {
        const std::size_t count = std::min(lanes, zeros.size() - first);
        lane_values x;
        for (std::size_t l = 0; l < lanes; ++l)
            x[l] = zeros[first + std::min(l, count - 1)];
        const std::array<node_values, lanes> values = evaluate_lanes(rule, x);
        for (std::size_t l = 0; l < count; ++l)
            nodes[first + l] = converged[first + l] ? converged_node(x[l], values[l])
                                                    : gauss_node{x[l], values[l].weight};
    }
    return nodes;
}

// Nodes strictly inside (lower, upper), decreasing (symmetric rules) or increasing (Laguerre),
// each more than a few ulp beyond the one before: n distinct zeros found by Newton's method are
// all the zeros there. (Two runs that end on the same zero can stop an ulp apart.)
bool ordered_within(const std::vector<gauss_node>& nodes, bool increasing, double lower,
                    double upper)
{
    constexpr double separation = 4.0 * std::numeric_limits<double>::epsilon();
    double previous = increasing ? lower : upper;
    for (const gauss_node& g : nodes) {
        const double step = increasing ? g.node - previous : previous - g.node;
        if (!(step > separation * std::fabs(g.node)))
            return false;
        previous = g.node;
    }
    return nodes.empty() || (increasing ? previous < upper : lower < previous);
}

// Where the weight changes fast with the node (|x W'/W| above this), the correction of the
// weight for the node's rounding needs p_n(x) to more digits than double gives.
constexpr double sensitive_weight = 16.0;

// Nodes polished together in long double: two independent lanes overlap their x87 latencies
// and still fit its eight registers (four spill and run slower).
constexpr std::size_t long_lanes = 2;

// Whether a converged node gains from long double: its weight is a normal double (an
// underflowing weight has no digits to gain) and sensitive, or double left it in rounding
// noise, or it is a Laguerre node below 1, whose last digits the recurrence in double loses,
// or a Legendre node: its weight from the recurrence in double is off by tens of ulp, which
// integrals that cancel (e.g. the Hartman-Watson integral) magnify.
bool needs_polish(const gauss_rule& rule, const gauss_node& g)
{
    if (!std::isnormal(g.weight))
        return false;
    const bool small_laguerre = rule.family == rule_family::laguerre && g.node < 1.0;
    return g.noisy || small_laguerre || rule.family == rule_family::legendre ||
           std::fabs(weight_gradient(rule, g.node) * g.node) > sensitive_weight;
}

// One more Newton step and the weight in long double for the converged nodes that need it:
// nodes to about half an ulp, weights to a few ulp (those left in double reach 100 ulp).
void polish(const gauss_rule& rule, std::vector<gauss_node>& nodes,
            const std::vector<bool>& converged)
{
    std::vector<std::size_t> chosen;
    for (std::size_t i = 0; i < nodes.size(); ++i)
        if (converged[i] && needs_polish(rule, nodes[i]))
            chosen.push_back(i);
    for (std::size_t first = 0; first < chosen.size(); first += long_lanes) {
        const std::size_t count = std::min(long_lanes, chosen.size() - first);
        std::array<long double, long_lanes> x;
        for (std::size_t l = 0; l < long_lanes; ++l)  // spare lanes repeat the last node
            x[l] = nodes[chosen[first + std::min(l, count - 1)]].node;
        const std::array<node_values, long_lanes> values =
            evaluate_lanes<long double, long_lanes>(rule, x);
        for (std::size_t l = 0; l < count; ++l) {
            gauss_node& g = nodes[chosen[first + l]];
            g = converged_node(g.node, values[l]);
        }
    }
}

// The nodes from `guesses` by Newton's method, or by the safeguarded search if that fails,
// the converged ones polished.
std::vector<gauss_node> find_nodes(const gauss_rule& rule, const std::vector<double>& guesses,
                                   double lower, double upper, double tolerance,
                                   std::size_t max_iter)
{
    const bool increasing = rule.family == rule_family::laguerre;
    std::vector<gauss_node> nodes;
    std::vector<bool> converged(guesses.size(), true);
    if (!newton_nodes(rule, guesses, tolerance, max_iter, nodes) ||
        !ordered_within(nodes, increasing, lower, upper))
        nodes = safeguarded_nodes(rule, guesses, lower, upper, tolerance, max_iter, converged);
    polish(rule, nodes, converged);
    return nodes;
}

// The weight at 0, the middle node of a symmetric rule of odd size.
double middle_weight(const gauss_rule& rule)
{
    lane_values zero{};
    return evaluate_lanes(rule, zero)[0].weight;
}

// A rule symmetric about 0 from its positive nodes (decreasing): nodes in increasing order,
// with 0 in the middle when n is odd.
void mirror(const gauss_rule& rule, const std::vector<gauss_node>& positive,
            std::vector<double>& nodes, std::vector<double>& weights)
{
    const std::size_t n = rule.recurrence.degree();
    const std::size_t half = positive.size();
    nodes.assign(n, 0.0);
    weights.assign(n, 0.0);
    for (std::size_t i = 0; i < half; ++i) {
        nodes[i] = -positive[i].node;
        nodes[n - 1 - i] = positive[i].node;
        weights[i] = weights[n - 1 - i] = positive[i].weight;
    }
    if (n % 2 == 1)
        weights[half] = middle_weight(rule);
}

// The k-th positive zero of the Bessel function J_alpha (k >= 1): McMahon's expansion, with
// the first zeros of J_0 tabulated.
double bessel_zero(double alpha, std::size_t k)
{
    constexpr double j0_zeros[] = {2.404825557695773, 5.520078110286311, 8.653727912911012,
                                   11.79153443901428, 14.93091770848779};
    if (alpha == 0.0 && k <= std::size(j0_zeros))
        return j0_zeros[k - 1];
    const double mu = 4.0 * alpha * alpha;
    const double beta = (static_cast<double>(k) + 0.5 * alpha - 0.25) * std::numbers::pi;
    const double e = 8.0 * beta;
    return beta - (mu - 1.0) / e - 4.0 * (mu - 1.0) * (7.0 * mu - 31.0) / (3.0 * e * e * e) -
           32.0 * (mu - 1.0) * (83.0 * mu * mu - 982.0 * mu + 3779.0) / (15.0 * std::pow(e, 5));
}

// The root T in (0, pi] of T - sin T = r, 0 < r <= pi, by Newton's method from the right
// (the function is convex there, so the iterates fall monotonically onto the root).
double kepler_angle(double r)
{
    double t = std::min(std::numbers::pi, r + 1.0);
    for (int i = 0; i < 50; ++i) {
        const double step = (t - std::sin(t) - r) / (1.0 - std::cos(t));
        t -= step;
        if (!(std::fabs(step) > 1e-15 * t))
            break;
    }
    return t;
}

// Positive Legendre zeros, decreasing. Near the ends Olver's Bessel-type estimate
// cos(phi + (phi cot phi - 1) / (8 phi rho^2)), phi = j_{0,k} / rho, rho = n + 1/2; inside
// Tricomi's (1 - (n - 1)/(8n^3) - (39 - 28 / sin^2 theta) / (384 n^4)) cos theta,
// theta = pi (4k - 1) / (4n + 2). Both are within 1e-9 for n >= 100 (5e-14 for n = 1000).
std::vector<double> legendre_guesses(std::size_t n)
{
    const double nn = static_cast<double>(n);
    const double rho = nn + 0.5;
    std::vector<double> guesses(n / 2);
    for (std::size_t i = 0; i < guesses.size(); ++i) {
        const double k = static_cast<double>(i + 1);
        const double theta = std::numbers::pi * (4.0 * k - 1.0) / (4.0 * nn + 2.0);
        if (theta < 0.4) {
            const double phi = bessel_zero(0.0, i + 1) / rho;
            guesses[i] = std::cos(phi + (phi / std::tan(phi) - 1.0) / (8.0 * phi * rho * rho));
        } else {
            const double s = std::sin(theta);
            guesses[i] = (1.0 - (nn - 1.0) / (8.0 * nn * nn * nn) -
                          (39.0 - 28.0 / (s * s)) / (384.0 * nn * nn * nn * nn)) *
                         std::cos(theta);
        }
    }
    return guesses;
}

// Positive Hermite zeros, decreasing, from the Plancherel-Rotach (Tricomi) estimate
// sqrt(2n + 1) cos(T/2), T - sin T = pi (4i + 3) / (2n + 1) for the i-th from the top.
std::vector<double> hermite_guesses(std::size_t n)
{
    const double nu = 2.0 * static_cast<double>(n) + 1.0;
    std::vector<double> guesses(n / 2);
    for (std::size_t i = 0; i < guesses.size(); ++i) {
        const double t = kepler_angle(std::numbers::pi * (4.0 * static_cast<double>(i) + 3.0) / nu);
        guesses[i] = std::sqrt(nu) * std::sin(0.5 * (std::numbers::pi - t));
    }
    return guesses;
}

// The k-th zero of the Airy function from 0 (k >= 1, negative): the first ones tabulated,
// then the expansion -t^(2/3) (1 + 5/48 t^-2 - 5/36 t^-4), t = 3 pi (4k - 1) / 8.
double airy_zero(std::size_t k)
{
    constexpr double zeros[] = {-2.338107410459767, -4.087949444130971, -5.520559828095551,
                                -6.786708090071759, -7.944133587120853};
    if (k <= std::size(zeros))
        return zeros[k - 1];
    const double t = 3.0 * std::numbers::pi * (4.0 * static_cast<double>(k) - 1.0) / 8.0;
    return -std::pow(t, 2.0 / 3.0) * (1.0 + 5.0 / 48.0 / (t * t) - 5.0 / 36.0 / (t * t * t * t));
}

// Laguerre zeros, increasing, with nu = 4n + 2 alpha + 2: near 0 the Bessel-type estimate
// j^2 / nu (1 + (j^2 + 2 (alpha^2 - 1)) / (3 nu^2)), j = j_{alpha,k} (Tricomi, Gatteschi),
// while j < sqrt(nu); the largest n^(1/3) / 2 (where it is the closer) from the Airy-type estimate
// nu + 2^(2/3) a nu^(1/3) + 2^(4/3) a^2 nu^(-1/3) / 5, a the Airy zero of the same rank from
// the top; between, Tricomi's nu cos^2(T/2), T - sin T = pi (4n - 4k + 3) / nu.
std::vector<double> laguerre_guesses(std::size_t n, double alpha)
{
    const double nn = static_cast<double>(n);
    const double nu = 4.0 * nn + 2.0 * alpha + 2.0;
    std::vector<double> guesses(n);
    for (std::size_t i = 0; i < n; ++i) {
        const double j = bessel_zero(alpha, i + 1);
        const std::size_t from_top = n - i;
        if (j * j < nu) {
            guesses[i] = j * j / nu * (1.0 + (j * j + 2.0 * (alpha * alpha - 1.0)) / (3.0 * nu * nu));
        } else if (8 * from_top * from_top * from_top <= n) {
            const double a = airy_zero(from_top), cube_root = std::cbrt(nu);
            guesses[i] = nu + std::cbrt(4.0) * a * cube_root +
                         0.2 * std::cbrt(16.0) * a * a / cube_root;
        } else {
            const double k = static_cast<double>(i + 1);
            const double c = std::cos(0.5 * kepler_angle(std::numbers::pi * (4.0 * (nn - k) + 3.0) / nu));
            guesses[i] = nu * c * c;
        }
    }
    return guesses;
}

std::vector<gauss_node> legendre_positive_nodes(const gauss_rule& rule, double tolerance,
                                                std::size_t max_iter)
{
    const std::size_t n = rule.recurrence.degree();
    return find_nodes(rule, legendre_guesses(n), 0.0, 1.0, tolerance, max_iter);
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

// Refuses a Laguerre rule whose weights, which sum to Gamma(alpha + 1), overflow a double.
[[noreturn]] void refuse_overflowing_weights(const SourceLocation& where, double alpha,
                                             std::size_t n)
{
    details::check_fail(where, details::concat("alpha = ", alpha, ": the weights of the ", n,
                                               "-point rule, which sum to Gamma(alpha + 1), "
                                               "exceed the largest double"));
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
    const gauss_rule rule = legendre_rule(n);
    std::vector<double> nodes, node_weights;
    mirror(rule, legendre_positive_nodes(rule, tolerance, legendre_max_iterations), nodes,
           node_weights);
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

    const gauss_rule rule = legendre_rule(n);
    const std::vector<gauss_node> gauss = legendre_positive_nodes(rule, tolerance, max_iter);
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
    const double middle_gauss = n % 2 == 1 ? middle_weight(rule) : 0.0;
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
    // The largest weight is at least their mean, Gamma(alpha + 1) / n.
    if (n > 0 && std::tgamma(alpha + 1.0L) / static_cast<long double>(n) >
                     std::numeric_limits<double>::max())
        refuse_overflowing_weights(here("gauss_laguerre_coefficients", __LINE__), alpha, n);
    const gauss_rule rule = laguerre_rule(n, alpha);
    const double upper = n == 0 ? 0.0 : rule.recurrence.zero_bounds().second;
    const std::vector<gauss_node> found =
        find_nodes(rule, laguerre_guesses(n, alpha), 0.0, upper, tolerance, max_iter);
    std::vector<double> nodes(n), node_weights(n);
    for (std::size_t i = 0; i < n; ++i) {
        if (std::isinf(found[i].weight))
            refuse_overflowing_weights(here("gauss_laguerre_coefficients", __LINE__), alpha, n);
        nodes[i] = found[i].node;
        node_weights[i] = found[i].weight;
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
    const gauss_rule rule = hermite_rule(np);
    const double upper = np == 0 ? 0.0 : rule.recurrence.zero_bounds().second;
    const std::vector<gauss_node> positive =
        find_nodes(rule, hermite_guesses(np), 0.0, upper, tolerance, max_iter);
    mirror(rule, positive, nodes, node_weights);
    assign_pair(points, weights, nodes, node_weights);
}

}  // namespace korvex

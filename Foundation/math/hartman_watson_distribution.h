#pragma once

#include "Vectorization/expressions/vector.h"
#include "math/math_export.h"

namespace korvex {

// How `hartman_watson_distribution::distribution` evaluates theta.
enum hartman_watson_distribution_type : int
{
    FULLY_ASYMPTOTIC = 1,    // the small-t expansion everywhere
    NUMERICAL_INTEGRAL = 2,  // Yor's integral everywhere
    MIXTURE = 3,             // whichever is the more accurate at (x, t); see `distribution`
};

// The default balance of MIXTURE, about log(1/eps) + 1.
inline constexpr double HARTMAN_WATSON_DISTRIBUTION_MAX_BOUND = 37.0;

// The Hartman-Watson function theta(r, t), r > 0, t > 0 (Yor 1980):
//   theta(r, t) = r / sqrt(2 pi^3 t) exp(pi^2/(2t))
//                 * integral_0^inf exp(-xi^2/(2t) - r cosh xi) sinh xi sin(pi xi / t) dxi,
// characterised by its Laplace transform integral_0^inf exp(-u^2 t/2) theta(r, t) dt = I_|u|(r).
// theta(r, .) / I_0(r) is the density in t of the Hartman-Watson law; theta itself integrates
// to I_0(r) over t, and decays like K_0(r) / sqrt(2 pi t^3) for large t.
//
// Every function refuses, with Error, an r (x) or t that is not positive and finite, and
// quadrature vectors of different sizes.
struct KORVEX_MATH_API hartman_watson_distribution
{
    // log theta(x, t) from the small-t expansion at fixed rho = x t (Pirjol 2021,
    // arXiv:2001.09579):
    //   theta(rho/t, t) = exp(-(F(rho) - pi^2/2)/t) G(rho) / (2 pi t) (1 + O(t)),
    // with the saddle point u(rho) solving sinh(sqrt u)/sqrt u = 1/rho (u = x1^2 > 0 for
    // rho < 1, u = -y1^2 in (-pi^2, 0) for rho > 1 where sin(y1)/y1 = 1/rho, u = 0 at rho = 1),
    // phi(u) = sqrt(u) coth sqrt(u) (= y1 cot y1 for u < 0),
    //   F(rho) - pi^2/2 = u/2 - phi(u),   G(rho) = sqrt(u / (phi(u) - 1))   (sqrt 3 at rho = 1).
    // The relative error of the leading term is below t/70 (checked against 60-digit values of
    // the integral); the functions F and G themselves are evaluated to near double precision.
    static double log_distribution_asymptotique(double x, double t);

    // theta(x, t) from Yor's integral, evaluated with the caller's quadrature rule for
    // integral_{-1}^{1} (for instance Gauss-Legendre `roots` and `weights`) mapped onto
    // [0, xi_max], beyond which the integrand is below exp(-40) times its scale. The rule must
    // resolve the xi_max/(2t) oscillations of sin(pi xi / t). exp(pi^2/(2t)) multiplies a
    // cancelling integral, whose relative error is eps times the size of its terms over theta
    // (see `distribution`): at moderate x about pi^2/(2t)/ln 10 digits are lost, more at small
    // x, and none is left from pi^2/(2t) = 37 (t < 0.133) on. An empty rule gives 0.
    static double distribution_numerical(const double x, const double t,
                                         const vector<double>& roots,
                                         const vector<double>& weights);

    // results[i] = theta(x[i], t) by `type`. `results` is given x's size (an owning vector
    // of another size receives a new block; a view of another size raises Error); it may be
    // x itself. An unknown type or a NaN max_bound raises Error.
    //
    // MIXTURE takes the integral where its estimated relative error is at most
    // exp(max_bound) eps times the expansion's (t/70), and the expansion elsewhere. The
    // integral's error is eps times the size of the terms it sums (prefactor and exp(pi^2/(2t))
    // included) times their conditioning (1 + pi xi_max/t + xi_max^2/(2t)), over theta as the
    // expansion estimates it; this bound was checked against 150-digit values of theta and
    // holds within a factor of 10. With a 128-point Gauss-Legendre rule the integral takes
    // over from t = 0.47 at x = 0.1, 0.24 at x = 1, 0.14 at x = 5, 0.07 at x = 30. (A rule on
    // t alone, the integral wherever pi^2/(2t) <= max_bound, would give the integral's -0.11
    // for theta(0.5, 0.15) = 1.7e-20.)
    static void distribution(vector<double>& results, double t, const vector<double>& x,
                             const vector<double>& roots, const vector<double>& weights,
                             hartman_watson_distribution_type type =
                                 hartman_watson_distribution_type::MIXTURE,
                             double max_bound = HARTMAN_WATSON_DISTRIBUTION_MAX_BOUND);

    // A discrete law of the integrated variance A_t = integral_0^t exp(2 W_s - s) ds of a
    // lognormal volatility: U receives nodes and density their probabilities, so that
    // sum_i density[i] g(U[i]) approximates E[g(A_t)] (the probabilities sum to about 1).
    // Built on Yor's joint law (Yor 1992, with drift -1/2):
    //   P(A_t in du, W_t - t/2 in dx)
    //     = exp(-x/2 - t/8) exp(-(1 + e^{2x}) / (2u)) theta(e^x / u, t) du dx / u.
    // The nodes are U[i] = exp(m + 8 s z_i) for the rule (roots z_i, weights w_i) on [-1, 1],
    // where m and s^2 are the log-mean and log-variance of the lognormal law with the exact
    // first two moments of A_t (E[A_t] = e^t - 1, E[A_t^2] = 2/5 ((e^{6t} - 1)/6 - e^t + 1));
    // density[i] = 8 s w_i U[i] p(U[i]), where the marginal density p of A_t is integrated in
    // x over -t/2 +- 8 sqrt t by the same rule, and theta is evaluated as `distribution` does
    // by default (MIXTURE, max_bound 37) with the rule hartman_watson_roots/weights.
    // `density` and `U` are given the rule's size as in `distribution` and must be distinct.
    //
    // t must lie in [1e-10, 3]; Error refuses the rest. Below 1e-10 the terms of size 1/t
    // that cancel in the joint law leave fewer than six digits (the probabilities sum to
    // 1 - 1e-6 at t = 1e-10, 1 - 7e-5 at 1e-12, 3 at 1e-16); above 3 the node ranges, fitted
    // to a lognormal law with lighter tails than A_t's, miss more than 1e-6 of E[A_t]
    // whatever the rules (6.5e-5 at t = 5, 2.4% at 10). Within, against E[A_t] = e^t - 1: below
    // t = 0.13 the expansion's t/70 dominates (1.4e-5 at t = 0.001); with 64-point
    // Gauss-Legendre rules the probabilities sum to 1 and reproduce E[A_t] within 1e-6 for t
    // from 0.25 to 1, 1.5e-5 at t = 2 and 5e-4 at t = 3 (128 points: 1e-6 at t = 3).
    // E[A_t^2] is reproduced within 1e-4 at t = 1, 0.7% at 2 and 9% at 3.
    static void cheyette_density(vector<double>& density, vector<double>& U, double t,
                                 const vector<double>& roots, const vector<double>& weights,
                                 const vector<double>& hartman_watson_roots,
                                 const vector<double>& hartman_watson_weights);
};

}  // namespace korvex

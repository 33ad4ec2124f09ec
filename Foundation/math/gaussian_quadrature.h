#pragma once

#include <cstddef>
#include <limits>

#include "Vectorization/expressions/vector.h"
#include "math/math_export.h"

namespace korvex {

// Gaussian quadrature rules: sum_i weights[i] f(points[i]) approximates the weighted
// integral, exactly for polynomials f of degree 2n - 1.
//
// Nodes are the zeros of the orthonormal polynomial p_n of the weight's three-term recurrence,
// found by Newton's method from asymptotic starting values (then extrapolation from the
// zeros already found), safeguarded by bisection on the Sturm count of the recurrence, so that
// every node is found once. Weights are the Christoffel numbers mu0 / sum_{k<n} p_k(x)^2.
// The recurrence is rescaled on the way, so no value overflows; weights below the smallest
// double underflow to 0. Each node costs a few passes of O(n).
//
// `tolerance` ends the Newton steps of a node once a step is at most tolerance * |node|
// (relative, since Laguerre nodes reach 4n); `max_iter` caps the steps per node, after which
// the last iterate is kept (this is not an error). A node that met the tolerance gets a final
// pass in long double: one more Newton step on the exact recurrence and its weight, corrected
// to first order for the node's rounding. Nodes come out to about half an ulp, weights to
// about an ulp (checked against 50-digit values up to n = 1000). Symmetric rules are computed
// on one half and mirrored, with 0 exactly as the middle node of an odd rule.
//
// Outputs: an owning vector of another size receives a new block of the rule's size (as
// assignment does); a view of another size cannot be reallocated and raises Error, as do two
// outputs that are the same vector or overlap. Arguments are checked before anything is
// written. Also refused with Error: more than `max_points` nodes (the O(n^2) work would run
// for minutes; a negative count passed through size_t lands here), a negative or NaN
// tolerance, alpha <= -1 or non-finite.
struct KORVEX_MATH_API gaussian_quadrature
{
    static constexpr std::size_t max_points = 100000;

    // Gauss-Legendre, weight 1 on [-1, 1]: n points in increasing order, weights summing to 2.
    // The Newton steps per node are capped at 100.
    static void gauss_legendre_coefficients(std::size_t n, vector<double>& points,
                                            vector<double>& weights, double tolerance = 1.e-14);

    // Gauss-Kronrod on [-1, 1]: the n Gauss-Legendre nodes and the n + 1 Kronrod nodes
    // (zeros of the Stieltjes polynomial E_{n+1}), 2n + 1 nodes exact for polynomials of
    // degree 3n + 1. x holds the nodes in decreasing order, w1 the Kronrod weights, w2 the
    // Gauss weights (0 at the Kronrod nodes), so that the first n + 1 entries are the
    // non-negative half in the layout of the published tables (Piessens and Branders 1974,
    // QUADPACK's QK15 for n = 7, QK21 for n = 10), followed by its mirror image.
    // E_{n+1} is expanded in Legendre polynomials, its coefficients solved (in long double)
    // from the orthogonality to P_n x^k through the closed form of the integral of three
    // Legendre polynomials; each Kronrod node lies between two Gauss nodes, which bracket its
    // search. Weights: 2 / ((n + 1) P_n E') at Kronrod nodes, the Gauss weight plus
    // 2 / ((n + 1) P_n' E) at Gauss nodes; within 4 ulp of QK15 and QK21. `tolerance` and
    // `max_iter` apply to the Gauss and the Kronrod nodes alike.
    static void gauss_kronrod(std::size_t n, vector<double>& x, vector<double>& w1,
                              vector<double>& w2, double tolerance = 1.e-14,
                              std::size_t max_iter = 20);

    // Generalised Gauss-Laguerre, weight x^alpha e^-x on (0, inf), alpha > -1: n points in
    // increasing order, weights summing to Gamma(alpha + 1).
    static void gauss_laguerre_coefficients(
        double alpha, std::size_t n, vector<double>& points, vector<double>& weights,
        double tolerance = std::numeric_limits<double>::epsilon(), std::size_t max_iter = 20);

    // Gauss-Hermite, physicists' weight e^{-x^2} on the real line: np points in increasing
    // order, weights summing to sqrt(pi). With use_precomputed, the rules of 1 to 32 points
    // come from tables computed once with 50-digit arithmetic (correctly rounded nodes and
    // weights; tolerance and max_iter are then not used); other sizes are computed.
    static void gauss_hermite_coefficients(
        std::size_t np, vector<double>& points, vector<double>& weights,
        bool use_precomputed = true, double tolerance = std::numeric_limits<double>::epsilon(),
        std::size_t max_iter = 20);
};

}  // namespace korvex

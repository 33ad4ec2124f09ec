#pragma once

#include <cstddef>
#include <limits>

#include "Vectorization/expressions/vector.h"
#include "math/math_export.h"

namespace korvex {

// Gaussian quadrature rules: sum_i weights[i] f(points[i]) approximates the weighted
// integral, exactly for polynomials f of degree 2n - 1.
//
// Nodes are the zeros of p_n, the n-th orthogonal polynomial of the weight. Each starts from an
// asymptotic estimate: Legendre, Olver's Bessel-type form near +-1 and Tricomi's inside
// (within 1e-13 at n = 1000); Hermite, the Plancherel-Rotach (Tricomi) form; Laguerre, the
// Bessel-type form near 0, the Airy-type form for the largest n^(1/3)/2, Tricomi's between.
// Newton's method then runs on 16 nodes at a time advanced together through the three-term
// recurrence in double (vectorised across the nodes), two to four passes of O(n) per node;
// the derivative comes from p_n and p_{n-1} through each family's identity, the weight from
// the derivative (Christoffel number), corrected to first order for the node's rounding.
// Every Legendre node, the nodes whose weight changes fast with the node (|x W'/W| > 16: most
// of the Hermite and Laguerre nodes), nodes whose steps ended in rounding noise and Laguerre
// nodes below 1 get one last Newton step and their weight in long double, two
// at a time, unless the weight underflows to a subnormal or 0. Should
// Newton's method not give distinct ordered converged nodes, the zeros are searched one at a
// time, safeguarded by bisection on the Sturm count of the recurrence, so that every node is
// found once. Values are rescaled by powers of two on the way, so no intermediate overflows;
// weights below the smallest double underflow to 0. Laguerre weights sum to Gamma(alpha + 1),
// which passes the largest double at alpha = 171.62: a rule with a weight beyond it is refused
// (see below). Symmetric rules are computed on one half and mirrored, with 0 exactly as the
// middle node of an odd rule.
//
// Accuracy at n = 1000 (against the previous long double implementation, mpmath and the
// moments): nodes within 5 ulp relative to |x| (most within 1), Legendre weights within
// 1.6e-15 relative. Hermite and Laguerre weights, where they are normal doubles, against
// 40-digit values (mu0 over the sum of the squared orthonormal polynomials at the zero):
// nine in ten within 2 ulp, but those computed in double (the nodes not polished above)
// carry the recurrence's rounding, up to 56 ulp for Hermite and 101 ulp (1.1e-14 relative)
// for Laguerre (alpha = 0.5; 54 to 69 for alpha = -0.5, 0, 3). The moments of low degree are
// exact to 16 eps (Legendre, Hermite) and 64 eps (Laguerre).
//
// `tolerance` ends the Newton steps of a node once a step is at most tolerance * |node|
// (relative, since Laguerre nodes reach 4n), or once steps below 2^-40 |node| stop halving
// (they have reached the rounding noise of the recurrence); `max_iter` caps the steps per
// node, after which the last iterate is kept (this is not an error) with the weight there,
// uncorrected.
//
// Outputs: an owning vector of another size receives a new block of the rule's size (as
// assignment does); a view of another size cannot be reallocated and raises Error, as do two
// outputs that are the same vector or overlap. Arguments are checked before anything is
// written. Also refused with Error: more than `max_points` nodes (the O(n^2) work would run
// for minutes; a negative count passed through size_t lands here), a negative or NaN
// tolerance, alpha <= -1 or non-finite, and an alpha whose Laguerre rule has a weight beyond
// the largest double: before the search where even their mean Gamma(alpha + 1) / n is (for
// n = 10 from alpha = 171.7; there the nodes, alpha + O(sqrt(alpha)), are soon no longer distinct
// doubles), after it where one weight is (n = 100 at alpha = 171.5).
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
    // QUADPACK's QK15 for n = 7, QK21 for n = 10), followed by its mirror image; n = 0 gives
    // the midpoint rule (x = 0, w1 = 2, w2 = 0).
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

#pragma once

#include <cstddef>

#include "math/math_export.h"

namespace korvex {

// First- and second-derivative weights on a non-uniform axis, as used to assemble banded
// finite-difference operators.
//
// The weights are the exact Lagrange weights for the given points (Fornberg's algorithm):
// applied to the values of a polynomial of degree below the number of points used, they
// give its derivatives at the chosen point up to rounding. Weights are written in band
// order: for a stencil of width w around node k, slot s multiplies the value at node
// k + s - w / 2. Slots a row does not use are written 0. Either output pointer may be null
// when that derivative is not wanted.
//
// `check_points` (the flag of nonuniform_derivation and of the `_mid` helpers): when true
// the points must be finite and strictly increasing (the nodes of a grid axis), otherwise
// Error is raised before anything is written. When false the points are not inspected:
// any distinct points are accepted in any order and get their exact weights, which lets a
// caller that has validated its axis once skip the pass. Coincident points then give
// infinite or NaN weights. Structural arguments (null points, stencil width, index) are
// always checked.
struct KORVEX_MATH_API finite_difference
{
    // Weights for every node of the axis x[0..n-1], node by node, `stencil` (3 or 5) weights
    // per node: first[k * stencil + s] and second[k * stencil + s]. Node k uses the nodes
    // max(0, k - w) ... min(n - 1, k + w), w = stencil / 2: interior nodes the centred
    // stencil, the nodes at and next to the ends the widest one-sided stencil that fits in
    // the band. So with 5 points node 0 uses nodes 0..2 (first derivative of second order,
    // second derivative of first order), node 1 nodes 0..3; with 3 points node 0 uses nodes
    // 0 and 1 only: its first derivative is the one-sided difference and its second
    // derivative is 0 (the curvature of the line through two points), and likewise at
    // node n - 1. A single node gets zero weights; n = 0 writes nothing.
    static void nonuniform_derivation(const double* x, std::size_t n, double* first,
                                      double* second, bool check_points, std::size_t stencil);

    // The five-point helpers write five slots in band order, slot 2 being the node at
    // points[index], so points[j] goes to slot j - index + 2. `index` must place every
    // point inside the five slots.

    // Five points, derivatives at points[2] (index 2).
    static void nonuniform_five_points_derivative_mid(const double* points, std::size_t index,
                                                      double* first, double* second,
                                                      bool check_points);

    // Three points, derivatives at points[index]: index 0 fills slots 2, 3, 4 (forward
    // stencil), index 2 slots 0, 1, 2 (backward stencil), index 1 slots 1, 2, 3. The points
    // are not inspected (as with check_points false).
    static void nonuniform_five_points_derivative_0(const double* points, std::size_t index,
                                                    double* first, double* second);

    // Four points, derivatives at points[index]: index 1 fills slots 1..4, index 2 slots
    // 0..3. The points are not inspected (as with check_points false).
    static void nonuniform_five_points_derivative_1(const double* points, std::size_t index,
                                                    double* first, double* second);

    // The weights at z of the value and of the first and second derivatives of the polynomial
    // through the values at points[0..count-1]: weights[j][m] multiplies the value at
    // points[j] in the m-th derivative. 1 <= count <= 5 distinct points in any order (not
    // inspected); z may lie anywhere, between the points it interpolates.
    static void interpolation_weights(double z, const double* points, std::size_t count,
                                      double (&weights)[5][3]);

    // Three points, derivatives at points[1] (index 1): slots 1, 2, 3.
    static void nonuniform_three_points_derivative_mid(const double* points, std::size_t index,
                                                       double* first, double* second,
                                                       bool check_points);
};

}  // namespace korvex

#pragma once

#include <vector>

namespace korvex::pricing::details {

// The payoff max(sign * (exp(x) - strike), 0) (sign +1 a call, -1 a put) at the log-spot
// nodes x, smoothed at its kink: a node k within three local spacings h_k of ln(strike)
// gets the payoff averaged around it against Kreiss's fourth-order kernel
//     K(s) = 4/3 B(s) - 1/6 (B(s - 1) + B(s + 1)),  x = x_k + h_k s,
// B the centred cubic B-spline, h_k = (x_{k+1} - x_{k-1}) / 2 (the one gap at an end)
// (Kreiss, Thomee and Widlund,
// "Smoothing of initial data and rates of convergence for parabolic difference equations",
// 1970). K has unit mass and no first to third moments, so the smoothing changes the
// solution by O(h^4) while the kink stops spoiling the order of a fourth-order stencil;
// box averaging (Pooley, Vetzal and Forsyth, 2003) does the same for second order only.
// The other nodes keep the plain payoff. The integrals use six Gauss-Legendre points on
// every piece between the kernel's knots and the kink.
std::vector<double> smoothed_payoff(const std::vector<double>& x, double strike, double sign);

}  // namespace korvex::pricing::details

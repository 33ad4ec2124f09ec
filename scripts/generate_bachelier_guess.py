#!/usr/bin/env python3
"""Prints the initial-guess polynomials of Foundation/util/bachelier.cpp, computed with
40-digit arithmetic.

    python3 scripts/generate_bachelier_guess.py

The time value v of an out-of-the-money option at the distance m = |F - K| from the forward
gives r = v / m = psi(u), psi(u) = (n(u) - u N(-u)) / u, u = m / s. The polynomials
approximate the inverse u(r), each as the Chebyshev interpolant on its interval written in
powers of t in [-1, 1]:
  - near the money, r >= 0.2: u / xi as a function of q = xi^2, xi = 1 / (r + 1/2), on
    [0, 1 / 0.7^2], degree 6;
  - far from it, r < 0.2: u as a function of y = sqrt(-ln r) on four intervals up to
    y = 27.3 (beyond the smallest positive double), degree 8.
"""
import math

import mpmath as mp

from generate_math_tables import chebyshev_interpolant

mp.mp.dps = 40


def psi(u):
    return (mp.npdf(u) - u * mp.ncdf(-u)) / u


def inverse(r):
    """u with psi(u) = r, by bisection on ln psi, which falls from +inf to -inf."""
    return mp.findroot(lambda u: mp.log(psi(u)) - mp.log(r), (mp.mpf("1e-30"), mp.mpf(60)),
                       solver="bisect", tol=mp.mpf(10) ** -35, maxsteps=400)


def on_interval(f, a, b):
    return lambda t: f((a + b) / 2 + (b - a) / 2 * t)


def print_polynomial(powers):
    print("    {" + ", ".join(repr(float(c)) for c in powers) + "}")


def main():
    q_end = 1 / mp.mpf("0.7") ** 2
    print("near the money, q_end =", repr(float(q_end)))

    def near(q):
        xi = mp.sqrt(q)
        return inverse(1 / xi - mp.mpf(1) / 2) / xi
    print_polynomial(chebyshev_interpolant(on_interval(near, mp.mpf(0), q_end), 6))

    edges = [math.sqrt(-math.log(0.2)), 2.2, 4.0, 10.0, 27.3]
    print("far from the money, y from", repr(edges[0]))
    for a, b in zip(edges[:-1], edges[1:]):
        print("  up to y =", b)
        far = on_interval(lambda y: inverse(mp.exp(-y * y)), mp.mpf(a), mp.mpf(b))
        print_polynomial(chebyshev_interpolant(far, 8))


if __name__ == "__main__":
    main()

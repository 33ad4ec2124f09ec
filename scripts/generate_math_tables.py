#!/usr/bin/env python3
"""Prints the coefficient tables of Foundation/math, computed with 50-digit arithmetic.

    python3 scripts/generate_math_tables.py erfcx|hermite

erfcx: for the 47 intervals 6 + 2k <= y <= 8 + 2k of y = 400 / (4 + x), the Chebyshev
interpolant of degree 7 of erfcx(x) = exp(x^2) erfc(x) in t = y - (7 + 2k), written in powers
of t and rounded to doubles (error_function.cpp).

hermite: the Gauss-Hermite rules of 1 to 32 points (weight exp(-x^2)), their non-negative
nodes in increasing order with their weights, rounded to doubles (gauss_hermite_rules.cpp).
Nodes are the eigenvalues of the Jacobi matrix (to about 45 digits); weights are
2^(n-1) n! sqrt(pi) / (n^2 H_(n-1)(x)^2).
"""
import sys

import mpmath as mp

mp.mp.dps = 50


def chebyshev_interpolant(f, degree):
    """Coefficients in powers of t of the interpolant of f at the Chebyshev points of [-1, 1]."""
    n = degree + 1
    nodes = [mp.cos(mp.pi * (j + mp.mpf(1) / 2) / n) for j in range(n)]
    values = [f(t) for t in nodes]
    chebyshev = [2 * mp.fsum(values[j] * mp.cos(mp.pi * i * (j + mp.mpf(1) / 2) / n)
                             for j in range(n)) / n for i in range(n)]
    chebyshev[0] /= 2
    basis = [[mp.mpf(1)], [mp.mpf(0), mp.mpf(1)]]  # T_i in powers of t
    for i in range(2, n):
        twice = [mp.mpf(0)] + [2 * c for c in basis[i - 1]]
        previous = basis[i - 2] + [mp.mpf(0)] * (len(twice) - len(basis[i - 2]))
        basis.append([a - b for a, b in zip(twice, previous)])
    powers = [mp.mpf(0)] * n
    for i in range(n):
        for j, c in enumerate(basis[i]):
            powers[j] += chebyshev[i] * c
    return powers


def erfcx_table():
    def erfcx(x):
        return mp.exp(x * x) * mp.erfc(x)
    for k in range(47):
        centre = mp.mpf(7 + 2 * k)
        powers = chebyshev_interpolant(lambda t: erfcx(400 / (centre + t) - 4), 7)
        text = [repr(float(c)) for c in powers]
        print("    {" + ", ".join(text[:3]) + ",")
        print("     " + ", ".join(text[3:6]) + ",")
        print("     " + ", ".join(text[6:]) + "},")


def hermite_table():
    for n in range(1, 33):
        jacobi = mp.matrix(n, n)
        for k in range(1, n):
            jacobi[k, k - 1] = jacobi[k - 1, k] = mp.sqrt(mp.mpf(k) / 2)
        eigenvalues = sorted(mp.eigsy(jacobi, eigvals_only=True))
        rows = []
        for x in eigenvalues[n // 2:]:
            if abs(x) < mp.mpf(10) ** -40:  # the middle node of an odd rule
                x = mp.mpf(0)
            weight = (2 ** (n - 1) * mp.factorial(n) * mp.sqrt(mp.pi) /
                      (n * n * mp.hermite(n - 1, x) ** 2))
            rows.append("{%s, %s}" % (repr(float(x)), repr(float(weight))))
        print("    // %d points" % n)
        for row in rows:
            print("    " + row + ",")


if __name__ == "__main__":
    tables = {"erfcx": erfcx_table, "hermite": hermite_table}
    if len(sys.argv) != 2 or sys.argv[1] not in tables:
        sys.exit("usage: generate_math_tables.py " + "|".join(tables))
    tables[sys.argv[1]]()

#!/usr/bin/env python3
"""Prints the coefficient tables of Foundation/math, computed with 50-digit arithmetic.

    python3 scripts/generate_math_tables.py erfcx

erfcx: for the 47 intervals 6 + 2k <= y <= 8 + 2k of y = 400 / (4 + x), the Chebyshev
interpolant of degree 7 of erfcx(x) = exp(x^2) erfc(x) in t = y - (7 + 2k), written in powers
of t and rounded to doubles (error_function.cpp).
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


if __name__ == "__main__":
    tables = {"erfcx": erfcx_table}
    if len(sys.argv) != 2 or sys.argv[1] not in tables:
        sys.exit("usage: generate_math_tables.py " + "|".join(tables))
    tables[sys.argv[1]]()

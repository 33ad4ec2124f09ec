"""korvexmodules.Math from Python: the normal distribution, Gauss-Legendre and Gauss-Kronrod
integration, and the Hartman-Watson density."""

import math

from korvexmodules.Math import gaussianQuadrature as quadrature
from korvexmodules.Math import hartmanWatsonDistribution as hartman_watson
from korvexmodules.Math import normalDistribution as normal
from korvexmodules.Vectorization import vector_IdE

print("Normal distribution")
print(f"{'x':>6} {'N(x)':>24} {'N^-1(N(x))':>22}")
for x in (-8.0, -2.0, -1.0, 0.0, 0.5, 1.96, 3.0):
    p = normal.cdfnorm(x)
    print(f"{x:6.2f} {p:24.17g} {normal.cdfnorminv(p):22.17g}")

print("\nIntegral of exp(x) over [0, 1] = e - 1 =", repr(math.e - 1))
points, weights = vector_IdE(), vector_IdE()
quadrature.gauss_legendre_coefficients(10, points, weights)
legendre = sum(w * math.exp(0.5 + 0.5 * x) for x, w in zip(points, weights)) / 2
print(f"  Gauss-Legendre, 10 points:      {legendre!r:<20} error {legendre - (math.e - 1):.1e}")

nodes, kronrod_weights, gauss_weights = vector_IdE(), vector_IdE(), vector_IdE()
quadrature.gauss_kronrod(7, nodes, kronrod_weights, gauss_weights)
values = [math.exp(0.5 + 0.5 * x) for x in nodes]
kronrod = sum(w * f for w, f in zip(kronrod_weights, values)) / 2
gauss = sum(w * f for w, f in zip(gauss_weights, values)) / 2
print(f"  Gauss-Kronrod, 7 + 8 points:    {kronrod!r:<20} error {kronrod - (math.e - 1):.1e}"
      f" (estimate |K - G| = {abs(kronrod - gauss):.1e})")

print("\nHartman-Watson theta(r, t)")
roots, rule_weights = vector_IdE(), vector_IdE()
quadrature.gauss_legendre_coefficients(200, roots, rule_weights)
r_values = [0.5, 1.0, 2.0, 4.0]
print(f"{'t':>6} " + " ".join(f"{'r = ' + str(r):>14}" for r in r_values))
for t in (0.25, 0.5, 1.0, 2.0):
    theta = vector_IdE()
    hartman_watson.distribution(theta, t, vector_IdE(r_values), roots, rule_weights)
    print(f"{t:6.2f} " + " ".join(f"{value:14.6e}" for value in theta))

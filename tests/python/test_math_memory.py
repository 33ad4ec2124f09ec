"""Reference counts and memory stay flat over 10^5 calls of every wrapped function, with valid
and with refused arguments (the C++ side also runs under the sanitizers in the test build)."""

import numpy as np
import pytest

from conftest import assert_memory_flat

from korvexmodules.Math import (gammaDistribution, gaussianQuadrature, hartmanWatsonDistribution,
                                hartman_watson_distribution_type, inverseGaussianDistribution,
                                laplaceInverterGaverStehfest, normalDistribution)
from korvexmodules.Vectorization import vector_IdE

CALLS = 100_000
N = normalDistribution
Q = gaussianQuadrature
HW = hartmanWatsonDistribution
ROOTS, WEIGHTS = vector_IdE(), vector_IdE()
Q.gauss_legendre_coefficients(8, ROOTS, WEIGHTS)
ROOT, WEIGHT = vector_IdE(), vector_IdE()  # one node keeps the loop of cheyette_density short
Q.gauss_legendre_coefficients(1, ROOT, WEIGHT)
EXPORTED = vector_IdE(2)
EXPORT = np.asarray(EXPORTED)
INVERTER = laplaceInverterGaverStehfest(10, 0.0)

# (name, function, arguments); refused calls raise and are part of the loop.
CASES = [
    ("lgamma", gammaDistribution.lgamma, (2.5,)),
    ("gamma refused", gammaDistribution.gamma, ("x",)),
    ("density", inverseGaussianDistribution.density, (1.0, 2.0)),
    ("cumulative refused", inverseGaussianDistribution.cumulative, (1.0, -2.0)),
    ("density_function", N.density_function, (0.3,)),
    ("cdfnorm", N.cdfnorm, (0.3,)),
    ("cdfnorm count", N.cdfnorm, (0.3, 0.4)),
    ("cdf_over_density", N.cdf_over_density, (-3.0,)),
    ("cdfnorminv", N.cdfnorminv, (0.3,)),
    ("cdfnorminv refused", N.cdfnorminv, (1.3,)),
    ("cdfnorminv list", N.cdfnorminv, (3, [0.1, 0.2, 0.3], [0.0, 0.0, 0.0])),
    ("cdfnorminv arrays", N.cdfnorminv, (3, np.array([0.1, 0.2, 0.3]), np.zeros(3))),
    ("cdfnorminv size", N.cdfnorminv, (4, [0.1, 0.2, 0.3], [0.0, 0.0, 0.0])),
    ("cdfnorminv tuple", N.cdfnorminv, (1, [0.9], (0.0,))),
    ("cdfnorminv_fast", N.cdfnorminv_fast, (0.3,)),
    ("log_distribution_asymptotique", HW.log_distribution_asymptotique, (1.0, 0.5)),
    ("distribution_numerical", HW.distribution_numerical, (1.0, 1.0, ROOTS, WEIGHTS)),
    ("distribution_numerical lists", HW.distribution_numerical, (1.0, 1.0, list(ROOTS), list(WEIGHTS))),
    ("distribution_numerical refused", HW.distribution_numerical, (1.0, 1.0, "ab", WEIGHTS)),
    ("distribution", HW.distribution,
     (vector_IdE(), 1.0, vector_IdE([1.0]), ROOTS, WEIGHTS,
      hartman_watson_distribution_type.NUMERICAL_INTEGRAL, 37.0)),
    ("distribution enum refused", HW.distribution, (vector_IdE(), 1.0, [1.0], ROOTS, WEIGHTS, 2)),
    ("cheyette_density", HW.cheyette_density,
     (vector_IdE(), vector_IdE(), 0.5, ROOT, WEIGHT, ROOT, WEIGHT)),
    ("gauss_hermite_coefficients", Q.gauss_hermite_coefficients, (3, vector_IdE(), vector_IdE(), False)),
    ("gauss_laguerre_coefficients", Q.gauss_laguerre_coefficients, (0.5, 3, vector_IdE(), vector_IdE())),
    ("gauss_legendre_coefficients", Q.gauss_legendre_coefficients, (3, vector_IdE(), vector_IdE())),
    ("gauss_legendre_coefficients list", Q.gauss_legendre_coefficients, (3, [0.0] * 3, vector_IdE())),
    ("gauss_legendre_coefficients exported", Q.gauss_legendre_coefficients, (3, EXPORTED, vector_IdE())),
    ("gauss_kronrod", Q.gauss_kronrod, (3, vector_IdE(), vector_IdE(), vector_IdE())),
    ("laplace", laplaceInverterGaverStehfest, (10, 0.5)),
    ("laplace copy", laplaceInverterGaverStehfest, (INVERTER,)),
    ("laplace refused", laplaceInverterGaverStehfest, (11, 0.5)),
    ("laplace keywords", lambda: laplaceInverterGaverStehfest(size=10, shift=0.5), ()),
    ("vector_IdE", vector_IdE, ([1.0, 2.0, 3.0],)),
    ("vector_IdE view", vector_IdE, (EXPORT,)),
    ("vector_IdE refused", vector_IdE, (["x"],)),
]


@pytest.mark.parametrize("name, function, args", CASES, ids=[case[0] for case in CASES])
def test_calls_leave_memory_flat(name, function, args):
    assert_memory_flat(function, args, CALLS)

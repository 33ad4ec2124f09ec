"""korvexmodules.Math results against independent references computed here: scipy.special and
scipy.stats, numpy.polynomial's quadrature rules, exactness on polynomials, and mpmath."""

import math

import mpmath
import numpy as np
import pytest
import scipy.special as sc
import scipy.stats as st
from numpy.polynomial import hermite, legendre

from korvexmodules import Core
from korvexmodules.Math import (gammaDistribution, gaussianQuadrature, hartmanWatsonDistribution,
                                hartman_watson_distribution_type, inverseGaussianDistribution,
                                laplaceInverterGaverStehfest, normalDistribution)
from korvexmodules.Vectorization import vector_IdE

N = normalDistribution
Q = gaussianQuadrature
HW = hartmanWatsonDistribution
KIND = hartman_watson_distribution_type
EPSILON = 2.220446049250313e-16


def assert_close(actual, expected, rtol, atol=0.0):
    np.testing.assert_allclose(np.asarray(actual, float), np.asarray(expected, float),
                               rtol=rtol, atol=atol)


def legendre_rule(n, *options):
    points, weights = vector_IdE(), vector_IdE()
    Q.gauss_legendre_coefficients(n, points, weights, *options)
    return np.asarray(points), np.asarray(weights)


def hermite_rule(n, *options):
    points, weights = vector_IdE(), vector_IdE()
    Q.gauss_hermite_coefficients(n, points, weights, *options)
    return np.asarray(points), np.asarray(weights)


def laguerre_rule(alpha, n, *options):
    points, weights = vector_IdE(), vector_IdE()
    Q.gauss_laguerre_coefficients(alpha, n, points, weights, *options)
    return np.asarray(points), np.asarray(weights)


def kronrod_rule(n, *options):
    x, w1, w2 = vector_IdE(), vector_IdE(), vector_IdE()
    Q.gauss_kronrod(n, x, w1, w2, *options)
    return np.asarray(x), np.asarray(w1), np.asarray(w2)


# Normal distribution
X = np.concatenate([np.linspace(-38.0, 9.0, 471), [-1e-300, 0.0, 1e-300]])


def assert_matches_mpmath(function, reference, arguments):
    """Within a few units in the last place of a 40-digit value (absolutely for subnormals)."""
    with mpmath.workdps(40):
        expected = [float(reference(mpmath.mpf(float(x)))) for x in arguments]
    assert_close([function(x) for x in arguments], expected, rtol=1e-15, atol=5e-323)


def test_normal_density():
    assert_matches_mpmath(N.density_function, mpmath.npdf, X)


def test_normal_cdf():
    assert_matches_mpmath(N.cdfnorm, mpmath.ncdf, X)
    assert (N.cdfnorm(-math.inf), N.cdfnorm(math.inf)) == (0.0, 1.0)


def test_cdf_over_density():
    z = np.concatenate([-np.logspace(-3, 8, 200), np.linspace(-5.0, 37.0, 200)])
    assert_matches_mpmath(N.cdf_over_density, lambda v: mpmath.ncdf(v) / mpmath.npdf(v), z)


P = np.concatenate([np.logspace(-300, -1, 300), np.linspace(0.01, 0.99, 99),
                    1.0 - np.logspace(-16, -2, 50)])


def test_normal_inverse():
    assert_close([N.cdfnorminv(p) for p in P], sc.ndtri(P), rtol=2e-15, atol=1e-300)
    assert (N.cdfnorminv(0.0), N.cdfnorminv(1.0)) == (-math.inf, math.inf)


def test_fast_normal_inverse():
    assert_close([N.cdfnorminv_fast(p) for p in P], sc.ndtri(P), rtol=1.15e-9, atol=1e-12)


def test_vector_inverse_equals_scalar_inverse():
    gaussian = np.empty_like(P)
    N.cdfnorminv(len(P), P, gaussian)
    assert list(gaussian) == [N.cdfnorminv(p) for p in P]


@pytest.mark.parametrize("p", [-0.1, 1.5, math.nan])
def test_normal_inverse_outside_the_unit_interval(p):
    if math.isnan(p):
        assert math.isnan(N.cdfnorminv(p))
        return
    with pytest.raises(Core.Error) as raised:
        N.cdfnorminv(p)
    assert raised.value.file == "Foundation/math/normal_distribution"


# Gamma
GAMMA_X = np.concatenate([np.linspace(0.01, 171.0, 400), -np.linspace(0.5, 30.5, 31) - 0.25])


def test_gamma():
    assert_close([gammaDistribution.gamma(x) for x in GAMMA_X], sc.gamma(GAMMA_X), rtol=5e-14)
    assert gammaDistribution.gamma(172.0) == math.inf


def test_lgamma():
    x = np.concatenate([GAMMA_X, np.logspace(2, 300, 50)])
    assert_close([gammaDistribution.lgamma(v) for v in x], sc.gammaln(x), rtol=5e-14, atol=1e-15)


# Inverse Gaussian with mean 1 and shape lambda
def inverse_gaussian_cdf(x, shape):
    with mpmath.workdps(50):
        x, shape = mpmath.mpf(x), mpmath.mpf(shape)
        root = mpmath.sqrt(shape / x)
        return float(mpmath.ncdf(root * (x - 1)) + mpmath.exp(2 * shape) * mpmath.ncdf(-root * (x + 1)))


@pytest.mark.parametrize("shape", [0.2, 1.0, 10.0, 400.0])
def test_inverse_gaussian(shape):
    x = np.concatenate([np.linspace(0.05, 4.0, 40), [1.0, 20.0]])
    law = st.invgauss(mu=1.0 / shape, scale=shape)
    density = [inverseGaussianDistribution.density(v, shape) for v in x]
    assert_close(density, law.pdf(x), rtol=1e-12, atol=1e-300)
    cumulative = [inverseGaussianDistribution.cumulative(v, shape) for v in x]
    assert_close(cumulative, [inverse_gaussian_cdf(v, shape) for v in x], rtol=1e-13, atol=1e-300)


@pytest.mark.parametrize("shape", [0.0, -1.0, math.inf])
def test_inverse_gaussian_refuses_shapes(shape):
    with pytest.raises(Core.Error):
        inverseGaussianDistribution.cumulative(1.0, shape)


# Gaussian quadrature
def legendre_reference(n):
    """Gauss-Legendre at 30 digits: Newton steps on the recurrence from numpy's nodes."""
    with mpmath.workdps(30):
        points, weights = [], []
        for start in legendre.leggauss(n)[0]:
            x = mpmath.mpf(float(start))
            for _ in range(3):
                previous, current = mpmath.mpf(1), x
                for k in range(1, n):
                    previous, current = current, ((2 * k + 1) * x * current - k * previous) / (k + 1)
                slope = n * (previous - x * current) / (1 - x * x)
                x -= current / slope
            points.append(float(x))
            weights.append(float(2 / ((1 - x * x) * slope ** 2)))
        return points, weights


@pytest.mark.parametrize("n", [1, 2, 5, 64, 300])
def test_gauss_legendre(n):
    points, weights = legendre_rule(n)
    expected_points, expected_weights = legendre_reference(n)
    assert_close(points, expected_points, rtol=0, atol=2.5e-16)
    assert_close(weights, expected_weights, rtol=3e-13)


@pytest.mark.parametrize("n, precomputed", [(1, True), (5, True), (32, True), (5, False),
                                            (33, True), (150, False)])
def test_gauss_hermite(n, precomputed):
    points, weights = hermite_rule(n, precomputed)
    expected_points, expected_weights = hermite.hermgauss(n)
    assert_close(points, expected_points, rtol=1e-14, atol=1e-14)
    assert_close(weights, expected_weights, rtol=1e-12, atol=1e-300)
    assert math.isclose(weights.sum(), math.sqrt(math.pi), rel_tol=1e-14)


@pytest.mark.parametrize("alpha", [0.0, -0.5, 0.5, 2.5])
@pytest.mark.parametrize("n", [1, 6, 40, 120])
def test_gauss_laguerre(alpha, n):
    points, weights = laguerre_rule(alpha, n)
    expected_points, expected_weights = sc.roots_genlaguerre(n, alpha)
    assert_close(points, expected_points, rtol=1e-13)
    significant = expected_weights > 1e-250
    assert_close(weights[significant], expected_weights[significant], rtol=1e-11)
    assert math.isclose(weights.sum(), math.gamma(alpha + 1), rel_tol=1e-13)


def test_gauss_kronrod_published_example():
    x, w1, w2 = kronrod_rule(3)
    assert_close(x[:4], [0.960491, 0.774597, 0.434244, 0.0], rtol=0, atol=5e-7)
    assert_close(w1[:4], [0.104656, 0.268488, 0.401397, 0.450917], rtol=0, atol=5e-7)
    assert_close(w2[:4], [0.0, 0.555556, 0.0, 0.888889], rtol=0, atol=5e-7)


@pytest.mark.parametrize("n", [1, 3, 7, 10, 20])
def test_gauss_kronrod_extends_gauss_legendre(n):
    x, w1, w2 = kronrod_rule(n)
    assert len(x) == 2 * n + 1 and np.all(np.diff(x) < 0)
    gauss_points, gauss_weights = legendre.leggauss(n)
    gauss = w2 != 0.0
    assert_close(np.sort(x[gauss]), gauss_points, rtol=0, atol=2e-15)
    assert_close(w2[gauss][np.argsort(x[gauss])], gauss_weights, rtol=1e-13)
    # The Kronrod rule is the one of 2n + 1 nodes, n of them Gauss nodes, exact for every
    # polynomial up to degree 3n + 1.
    for degree in range(3 * n + 2):
        exact = 2.0 / (degree + 1) if degree % 2 == 0 else 0.0
        assert math.isclose(np.dot(w1, x ** degree), exact, rel_tol=1e-13, abs_tol=1e-15)


def test_quadrature_defaults():
    assert [list(v) for v in legendre_rule(20)] == [list(v) for v in legendre_rule(20, 1e-14)]
    assert [list(v) for v in kronrod_rule(9)] == [list(v) for v in kronrod_rule(9, 1e-14, 20)]
    assert [list(v) for v in laguerre_rule(0.5, 30)] == \
        [list(v) for v in laguerre_rule(0.5, 30, EPSILON, 20)]
    assert [list(v) for v in hermite_rule(40)] == [list(v) for v in hermite_rule(40, True, EPSILON, 20)]
    assert [list(v) for v in hermite_rule(12)] == [list(v) for v in hermite_rule(12, True)]


@pytest.mark.parametrize("call", [
    lambda: legendre_rule(100001),
    lambda: legendre_rule(5, -1.0),
    lambda: laguerre_rule(-1.0, 5),
    lambda: laguerre_rule(math.nan, 5),
])
def test_quadrature_refusals(call):
    with pytest.raises(Core.Error):
        call()


# Hartman-Watson
def theta_reference(r, t):
    """Yor's integral at enough digits to survive the cancellation of exp(pi^2 / (2t))."""
    with mpmath.workdps(30 + int(math.pi ** 2 / (2 * t) / math.log(10))):
        r, t = mpmath.mpf(r), mpmath.mpf(t)
        end = mpmath.acosh(60 / r + 1) + mpmath.sqrt(80 * t)
        integrand = lambda xi: mpmath.exp(-xi ** 2 / (2 * t) - r * mpmath.cosh(xi)) * \
            mpmath.sinh(xi) * mpmath.sin(mpmath.pi * xi / t)
        integral = mpmath.quad(integrand, mpmath.linspace(0, end, 40))
        return r / mpmath.sqrt(2 * mpmath.pi ** 3 * t) * mpmath.exp(mpmath.pi ** 2 / (2 * t)) * integral


HW_ROOTS, HW_WEIGHTS = legendre_rule(400)


@pytest.mark.parametrize("r, t", [(1.0, 1.0), (0.5, 2.0), (3.0, 0.5), (10.0, 4.0), (2.0, 0.25)])
def test_hartman_watson_integral(r, t):
    value = HW.distribution_numerical(r, t, vector_IdE(HW_ROOTS), vector_IdE(HW_WEIGHTS))
    digits_lost = math.pi ** 2 / (2 * t) / math.log(10)
    assert math.isclose(value, float(theta_reference(r, t)), rel_tol=1e-13 * 10 ** digits_lost)


@pytest.mark.parametrize("rho", [0.5, 1.0, 2.0])
@pytest.mark.parametrize("t", [0.05, 0.1])
def test_hartman_watson_small_time_expansion(rho, t):
    reference = float(mpmath.log(theta_reference(rho / t, t)))
    relative = abs(math.expm1(HW.log_distribution_asymptotique(rho / t, t) - reference))
    assert relative < t / 70


def test_hartman_watson_distribution_kinds():
    x = [0.5, 1.0, 4.0]
    roots, weights = vector_IdE(HW_ROOTS), vector_IdE(HW_WEIGHTS)

    def evaluate(t, *options):
        results = vector_IdE()
        HW.distribution(results, t, vector_IdE(x), roots, weights, *options)
        return list(results)

    for t in (0.1, 1.0):
        assert evaluate(t) == evaluate(t, KIND.MIXTURE, 37.0)
        assert evaluate(t, KIND.NUMERICAL_INTEGRAL) == \
            [HW.distribution_numerical(v, t, roots, weights) for v in x]
        assert evaluate(t, KIND.FULLY_ASYMPTOTIC) == \
            pytest.approx([math.exp(HW.log_distribution_asymptotique(v, t)) for v in x], rel=1e-15)
    # Below t = pi^2 / 74 the integral has no digit left: the mixture takes the expansion.
    assert evaluate(0.1) == evaluate(0.1, KIND.FULLY_ASYMPTOTIC)
    assert evaluate(1.0) == evaluate(1.0, KIND.NUMERICAL_INTEGRAL)


def test_cheyette_density_matches_the_moments():
    t = 0.5
    density, nodes = vector_IdE(), vector_IdE()
    roots, weights = legendre_rule(64)
    HW.cheyette_density(density, nodes, t, vector_IdE(roots), vector_IdE(weights),
                        vector_IdE(HW_ROOTS), vector_IdE(HW_WEIGHTS))
    p, u = np.asarray(density), np.asarray(nodes)
    assert len(p) == len(u) == 64
    assert math.isclose(p.sum(), 1.0, rel_tol=1e-6)
    assert math.isclose(np.dot(p, u), math.expm1(t), rel_tol=1e-6)


@pytest.mark.parametrize("r, t", [(0.0, 1.0), (1.0, -1.0), (math.inf, 1.0)])
def test_hartman_watson_refusals(r, t):
    with pytest.raises(Core.Error):
        HW.log_distribution_asymptotique(r, t)


# Laplace inverter
@pytest.mark.parametrize("size, shift", [(11, 0.0), (0, 0.0), (402, 0.0), (10, math.inf)])
def test_laplace_inverter_refusals(size, shift):
    with pytest.raises(Core.Error) as raised:
        laplaceInverterGaverStehfest(size, shift)
    assert raised.value.file == "Foundation/math/laplace_inverter_gaver_stehfest"

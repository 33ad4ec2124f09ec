"""korvexmodules.Analytics against QuantLib-Python and scipy computed here, numpy broadcasting,
keywords and defaults, refusals as exceptions with the library's message, threads."""

import inspect

import numpy as np
import pytest
import scipy.special as sc
from scipy.stats import norm

from conftest import results_of_threads, gil_pause_during

from korvexmodules import Analytics as A
from korvexmodules.Core import Error
from korvexmodules.Vectorization import vector_IdE

ql = pytest.importorskip("QuantLib")

RNG = np.random.default_rng(19)
N = 200
FORWARDS = RNG.uniform(80.0, 120.0, N)
EXPIRIES = RNG.uniform(0.05, 5.0, N)
VOLS = RNG.uniform(0.05, 0.8, N)
ANNUITIES = RNG.uniform(0.5, 1.0, N)
SIGNS = np.where(RNG.random(N) < 0.5, -1.0, 1.0)
# Strikes within three standard deviations, where a price determines its volatility to far
# better than the tolerances below.
STRIKES = FORWARDS * np.exp(RNG.uniform(-3.0, 3.0, N) * VOLS * np.sqrt(EXPIRIES))


def ql_type(sign):
    return ql.Option.Call if sign > 0 else ql.Option.Put


def test_black_price_and_implied_volatility_against_quantlib():
    prices = A.black_scholes_price(STRIKES, FORWARDS, EXPIRIES, VOLS, ANNUITIES, SIGNS)
    expected = [ql.blackFormula(ql_type(w), k, f, v * np.sqrt(t), a)
                for k, f, t, v, a, w in zip(STRIKES, FORWARDS, EXPIRIES, VOLS, ANNUITIES, SIGNS)]
    np.testing.assert_allclose(prices, expected, rtol=1e-12, atol=1e-13)
    vols = A.black_scholes_implied_volatility(STRIKES, FORWARDS, EXPIRIES, prices, ANNUITIES, SIGNS)
    peer = [ql.blackFormulaImpliedStdDev(ql_type(w), k, f, p, a, 0.0, 0.2, 1e-14, 200) / np.sqrt(t)
            for k, f, t, p, a, w in zip(STRIKES, FORWARDS, EXPIRIES, prices, ANNUITIES, SIGNS)]
    np.testing.assert_allclose(vols, VOLS, rtol=1e-9)
    np.testing.assert_allclose(vols, peer, rtol=1e-9)


def test_arrays_of_implied_volatilities_agree_with_the_scalar_calls():
    # Arrays go through the library's batch function, a block at a time: the same volatilities
    # to a few ulp, with one or many tolerances and iteration counts, and in-the-money options.
    prices = A.black_scholes_price(STRIKES, FORWARDS, EXPIRIES, VOLS, ANNUITIES, SIGNS)
    itm = -SIGNS
    itm_prices = A.black_scholes_price(STRIKES, FORWARDS, EXPIRIES, VOLS, ANNUITIES, itm)
    tolerances = np.where(RNG.random(N) < 0.5, 1e-3, 2.220446049250313e-16)
    for signs, quoted, tolerance, iterations in [(SIGNS, prices, 2.220446049250313e-16, 20),
                                                 (itm, itm_prices, 2.220446049250313e-16, 20),
                                                 (SIGNS, prices, 0.0, 1), (SIGNS, prices, tolerances, 20)]:
        vols = A.black_scholes_implied_volatility(STRIKES, FORWARDS, EXPIRIES, quoted, ANNUITIES, signs,
                                                  tolerance, iterations)
        scalar = [A.black_scholes_implied_volatility(*map(float, option), iterations=iterations)
                  for option in zip(STRIKES, FORWARDS, EXPIRIES, quoted, ANNUITIES, signs,
                                    np.broadcast_to(tolerance, N))]
        np.testing.assert_allclose(vols, scalar, rtol=1e-14 if iterations > 1 else 1e-9)


def test_bachelier_price_and_implied_volatility_against_quantlib():
    normal_vols = VOLS / 50.0
    forwards = FORWARDS / 4000.0 - 0.02  # rates, some negative
    strikes = forwards + RNG.uniform(-3.0, 3.0, N) * normal_vols * np.sqrt(EXPIRIES)
    prices = A.bachelier_price(strikes, forwards, EXPIRIES, normal_vols, ANNUITIES, SIGNS)
    expected = [ql.bachelierBlackFormula(ql_type(w), k, f, v * np.sqrt(t), a)
                for k, f, t, v, a, w in zip(strikes, forwards, EXPIRIES, normal_vols, ANNUITIES, SIGNS)]
    np.testing.assert_allclose(prices, expected, rtol=1e-12, atol=1e-16)
    vols = A.bachelier_implied_volatility(strikes, forwards, EXPIRIES, prices, ANNUITIES, SIGNS)
    peer = [ql.bachelierBlackFormulaImpliedVol(ql_type(w), k, f, t, p, a)
            for k, f, t, p, a, w in zip(strikes, forwards, EXPIRIES, prices, ANNUITIES, SIGNS)]
    np.testing.assert_allclose(vols, normal_vols, rtol=1e-10)
    np.testing.assert_allclose(vols, peer, rtol=1e-8)


@pytest.mark.parametrize("alpha, beta, nu, rho, shift", [
    (0.03, 0.5, 0.4, -0.3, 0.0), (0.01, 0.0, 0.3, 0.2, 0.01), (0.2, 1.0, 0.5, 0.5, 0.02)])
def test_sabr_against_quantlib(alpha, beta, nu, rho, shift):
    strikes, forward, expiry = np.linspace(0.005, 0.06, 12), 0.025, 2.0
    vols = A.sabr_volatility(strikes, forward, expiry, alpha, beta, nu, rho, shift, False)
    peer = [ql.shiftedSabrVolatility(k, forward, expiry, alpha, beta, nu, rho, shift) for k in strikes]
    np.testing.assert_allclose(vols, peer, rtol=1e-13)
    prices = A.sabr_price(strikes, forward, expiry, 0.9, 1.0, alpha, beta, nu, rho, shift, False)
    black = [ql.blackFormula(ql.Option.Call, k, forward, v * np.sqrt(expiry), 0.9, shift)
             for k, v in zip(strikes, peer)]
    np.testing.assert_allclose(prices, black, rtol=1e-12)
    # Dampening leaves the smile near the money as it is.
    np.testing.assert_allclose(A.sabr_volatility(forward, forward, expiry, alpha, beta, nu, rho, shift, True),
                               A.sabr_volatility(forward, forward, expiry, alpha, beta, nu, rho, shift, False),
                               rtol=1e-15)


def test_normal_distribution_against_scipy():
    x = np.linspace(-37.0, 9.0, 400)
    np.testing.assert_allclose(A.norm_cdf(x), sc.ndtr(x), rtol=1e-12)
    np.testing.assert_allclose(A.norm_pdf(x), norm.pdf(x), rtol=1e-12)
    q = np.concatenate([[0.0, 1e-300, 0.5, 1.0], RNG.random(50)])
    np.testing.assert_allclose(A.norm_ppf(q), sc.ndtri(q), rtol=1e-14)


@pytest.mark.parametrize("args, shape", [
    ((100.0, 100.0, 1.0, 0.2, 1.0, 1.0), None),
    ((np.float64(100.0), 100, 1, 0.2, True, 1), None),
    ((np.array(100.0), 100.0, 1.0, 0.2, 1.0, 1.0), None),             # 0-d array
    (([90.0, 100.0, 110.0], 100.0, 1.0, 0.2, 1.0, 1.0), (3,)),
    ((np.arange(90, 93), 100.0, 1.0, np.float32(0.2), 1.0, -1.0), (3,)),  # integer and float32
    ((np.full((4, 1), 95.0), np.linspace(90, 110, 3), 1.0, 0.2, 1.0, 1.0), (4, 3)),
    ((np.full((2, 1, 3), 95.0), 100.0, np.ones((5, 1)), 0.2, 1.0, [1.0, -1.0, 1.0]), (2, 5, 3)),
    ((np.linspace(80, 120, 10)[::3], 100.0, 1.0, 0.2, 1.0, 1.0), (4,)),  # strided
    ((vector_IdE([95.0, 105.0]), 100.0, 1.0, 0.2, 1.0, 1.0), (2,)),
    ((np.empty(0), 100.0, 1.0, 0.2, 1.0, 1.0), (0,)),
])
def test_broadcasting_follows_numpy(args, shape):
    result = A.black_scholes_price(*args)
    arrays = np.broadcast_arrays(*[np.asarray(a, dtype=float) for a in args])
    expected = [A.black_scholes_price(*map(float, values)) for values in zip(*(a.ravel() for a in arrays))]
    if shape is None:
        assert type(result) is float and result == expected[0]
    else:
        assert isinstance(result, np.ndarray) and result.dtype == np.float64 and result.shape == shape
        assert result.ravel().tolist() == expected


def test_keywords_and_defaults():
    price = A.black_scholes_price(100.0, 100.0, 1.0, 0.2, 1.0, 1.0)
    assert A.black_scholes_price(sign=1.0, annuity=1.0, volatility=0.2, expiry=1.0, forward=100.0,
                                 strike=100.0) == price
    assert A.black_scholes_implied_volatility(100.0, 100.0, 1.0, price, 1.0, 1.0) == \
        A.black_scholes_implied_volatility(100.0, 100.0, 1.0, price, 1.0, 1.0, 2.220446049250313e-16, 20)
    # No steps return the initial guess, a worse volatility than 20 steps give.
    rough = A.black_scholes_implied_volatility(100.0, 130.0, 1.0, 31.0, 1.0, 1.0, iterations=0)
    fine = A.black_scholes_implied_volatility(100.0, 130.0, 1.0, 31.0, 1.0, 1.0)
    assert abs(A.black_scholes_price(100.0, 130.0, 1.0, fine, 1.0, 1.0) - 31.0) < 1e-12
    assert rough != fine
    assert list(inspect.signature(A.sabr_price).parameters) == [
        "strike", "forward", "expiry", "annuity", "sign", "alpha", "beta", "nu", "rho", "shift",
        "is_skew_dampening"]


@pytest.mark.parametrize("call, error, text", [
    (lambda: A.black_scholes_price("100", 100.0, 1.0, 0.2, 1.0, 1.0), TypeError,
     "black_scholes_price() argument 'strike' must be a float or an array of numbers, not str"),
    (lambda: A.norm_cdf(None), TypeError, "norm_cdf() argument 'x' must be a float or an array of numbers, not NoneType"),
    (lambda: A.norm_cdf([1j]), TypeError, "norm_cdf() argument 'x' must be a float or an array of numbers, not list"),
    (lambda: A.black_scholes_price(100.0, 100.0, 1.0, 0.2, 1.0), TypeError,
     "black_scholes_price() missing required argument 'sign' (pos 6)"),
    (lambda: A.black_scholes_price(100.0, 100.0, 1.0, 0.2, 1.0, 1.0, 7.0), TypeError,
     "black_scholes_price() takes at most 6 arguments (7 given)"),
    (lambda: A.norm_cdf(1.0, y=2.0), TypeError, "norm_cdf() got an unexpected keyword argument 'y'"),
    (lambda: A.norm_cdf(1.0, x=2.0), TypeError, "norm_cdf() got multiple values for argument 'x'"),
    (lambda: A.black_scholes_price(np.ones(3), np.ones(4), 1.0, 0.2, 1.0, 1.0), ValueError,
     "black_scholes_price(): operands could not be broadcast together with shapes (3,) (4,)"),
])
def test_wrong_arguments(call, error, text):
    with pytest.raises(error) as raised:
        call()
    assert str(raised.value) == text


@pytest.mark.parametrize("call, message, function, file", [
    (lambda: A.black_scholes_price(np.nan, 100.0, 1.0, 0.2, 1.0, 1.0),
     "The strike must be positive and finite, not nan", "price", "Foundation/util/black_scholes"),
    (lambda: A.black_scholes_price([100.0, -1.0, 2.0], 100.0, 1.0, 0.2, 1.0, 1.0),
     "The strike must be positive and finite, not -1", "price", "Foundation/util/black_scholes"),
    (lambda: A.black_scholes_implied_volatility(100.0, 100.0, 1.0, 100.0, 1.0, 1.0), None, None,
     "Foundation/util/black_scholes"),
    (lambda: A.bachelier_price(0.0, 0.0, 1.0, 0.01, 1.0, 0.5),
     "The sign must be +1 (a call) or -1 (a put), not 0.5", "price", "Foundation/util/bachelier"),
    (lambda: A.norm_ppf([0.5, 1.5]), None, None, "Foundation/math/normal_distribution"),
    (lambda: A.black_scholes_implied_volatility(100.0, 100.0, 1.0, 8.0, 1.0, 1.0, iterations=2.5),
     "The iteration count must be a whole number, not 2.5", "black_scholes_implied_volatility",
     "Python/Analytics/Analytics"),
])
def test_library_refusals_raise_core_error(call, message, function, file):
    with pytest.raises(Error) as raised:
        call()
    error = raised.value
    assert type(error) is Error and error.file == file and error.line > 0
    if message is not None:
        assert (error.message, error.function) == (message, function)
        assert str(error) == f"{message} [{function} at {file}:{error.line}]"


def test_first_failing_element_is_reported_from_a_long_array():
    # Long enough to be split over threads: the error is that of the first bad element.
    strikes = np.full(100_000, 100.0)
    strikes[[70_000, 30_000, 90_000]] = [-3.0, -1.0, -2.0]
    with pytest.raises(Error) as raised:
        A.black_scholes_price(strikes, 100.0, 1.0, 0.2, 1.0, 1.0)
    assert raised.value.message == "The strike must be positive and finite, not -1"


def test_threads_calling_at_once_get_the_serial_results():
    strikes = np.linspace(60.0, 140.0, 40_000)
    prices = A.black_scholes_price(strikes, 100.0, 1.0, 0.25, 1.0, 1.0)
    expected = A.black_scholes_implied_volatility(strikes, 100.0, 1.0, prices, 1.0, 1.0)
    for result in results_of_threads(
            lambda: A.black_scholes_implied_volatility(strikes, 100.0, 1.0, prices, 1.0, 1.0)):
        np.testing.assert_array_equal(result, expected)


def test_long_arrays_release_the_gil():
    strikes = np.linspace(60.0, 140.0, 1_000_000)
    pause, duration = gil_pause_during(lambda: A.black_scholes_price(strikes, 100.0, 1.0, 0.2, 1.0, 1.0))
    assert pause < duration / 2, (pause, duration)

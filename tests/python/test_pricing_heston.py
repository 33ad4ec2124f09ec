"""korvexmodules.Pricing's Heston pricer: against the semi-closed form, the column form against
one-by-one calls (to the last bit), refusals with the library's message, a bad row failing alone."""

import datetime
import os
import pickle
import subprocess

import numpy as np
import pytest

from korvexmodules import Market as M
from korvexmodules import Pricing as P
from korvexmodules.Core import Error

TODAY = datetime.date(2024, 1, 2)
MARKET = P.market(M.equity_spot(TODAY, 100.0), M.discount_curve_flat(TODAY, 0.03), M.discount_curve_flat(TODAY, 0.01))
HESTON = P.heston_parameters(0.04, 1.5, 0.05, 0.4, -0.6)
COARSE = P.heston_settings(spot_points=28, variance_points=14, time_steps=5)


def option(kind="call", strike=100.0, days=365, exercise="european"):
    return P.vanilla_option(kind, strike, TODAY + datetime.timedelta(days=days), exercise)


@pytest.mark.parametrize("kind, strike, days", [("call", 100.0, 365), ("put", 90.0, 180), ("call", 120.0, 730)])
def test_european_within_the_accuracy_of_the_semi_closed_form(kind, strike, days):
    o = option(kind, strike, days)
    result = P.price_heston(o, MARKET, HESTON, P.heston_settings(accuracy=1e-2))
    assert abs(result.price - P.heston_semi_closed_form(o, MARKET, HESTON)) < 1e-2
    assert len(result.values) == len(result.spots) * len(result.variances)
    assert not result.values.flags.writeable


def test_columns_equal_one_by_one_calls_and_a_bad_row_fails_alone():
    kinds, strikes, exercises = ["call", "put", "put", "call"], [100.0, 90.0, 110.0, 105.0], [0, 0, 1, 0]
    rhos = np.array([-0.6, 1.5, -0.3, 0.2])
    expiry = np.datetime64("2024-07-01")
    result = P.price_heston_columns(MARKET, kinds, strikes, expiry, exercises, 0.04, 1.5, 0.05, 0.4, rhos,
                                    settings=COARSE, threads=2)
    assert result.errors[1].startswith("the correlation rho must lie strictly between -1 and 1, got 1.5 "
                                       "[heston_parameters at Library/Pricing/heston/heston_parameters:")
    assert np.isnan(result.price[1]) and np.isnan(result.vega).all()
    for i in (0, 2, 3):
        one = P.price_heston(P.vanilla_option(kinds[i], strikes[i], expiry, exercises[i]), MARKET,
                             P.heston_parameters(0.04, 1.5, 0.05, 0.4, rhos[i]), COARSE)
        assert result.errors[i] == ""
        assert [result.price[i], result.delta[i], result.gamma[i], result.theta[i]] == \
            [one.price, one.delta, one.gamma, one.theta]


def test_values_equal_the_cpp_pricer_to_the_last_bit():
    program = os.environ.get("KORVEX_PRICING_REFERENCE")
    if program is None:
        pytest.skip("needs the C++ reference program of a CMake build (run through ctest)")
    serial = float((TODAY - datetime.date(1899, 12, 30)).days)
    cases = [("call", 100.0, 365, "european"), ("put", 90.0, 180, "american"), ("put", 110.0, 730, "european")]
    lines = [" ".join(["heston", repr(serial), "100.0 0.03 0.01 0.04 1.5 0.05 0.4 -0.6 28 14 5",
                       str(["call", "put"].index(kind)), repr(strike), repr(serial + days),
                       str(["european", "american"].index(exercise))]) for kind, strike, days, exercise in cases]
    output = subprocess.run([program], input="\n".join(lines) + "\n", capture_output=True, text=True,
                            check=True).stdout.splitlines()
    assert len(output) == len(cases)
    for line, case in zip(output, cases):
        r = P.price_heston(option(*case), MARKET, HESTON, COARSE)
        assert [r.price, r.delta, r.gamma, r.theta] == [float.fromhex(v) for v in line.split()]


@pytest.mark.parametrize("arguments, message", [
    ((-0.01, 1.5, 0.05, 0.4, -0.6), "the initial variance v0 must be non-negative and finite, got -0.01"),
    ((0.04, float("nan"), 0.05, 0.4, -0.6), "the mean reversion speed kappa must be non-negative and finite, got NaN"),
    ((0.04, 1.5, 0.05, 0.0, -0.6), "the volatility of variance sigma must be positive and finite, got 0"),
    ((0.04, 1.5, 0.05, 0.4, -1.0), "the correlation rho must lie strictly between -1 and 1, got -1"),
])
def test_bad_parameters_raise_core_error(arguments, message):
    with pytest.raises(Error) as raised:
        P.heston_parameters(*arguments)
    assert raised.value.message == message
    assert raised.value.file.startswith("Library/Pricing/heston/")


@pytest.mark.parametrize("call", [
    lambda: P.price_heston(P.barrier_option(option(), "down", "knock_out", 120.0), MARKET, HESTON, COARSE),
    lambda: P.heston_semi_closed_form(option(exercise="american"), MARKET, HESTON),
    lambda: P.price_heston(option(), MARKET, HESTON, P.heston_settings(accuracy=-1.0)),
])
def test_refusals_raise_core_error(call):
    with pytest.raises(Error) as raised:
        call()
    assert raised.value.file.startswith("Library/Pricing/")


def test_settings_and_parameters_pickle_and_read_back():
    settings = P.heston_settings(1e-2, 30, 12, 6, "adi_douglas")
    assert repr(pickle.loads(pickle.dumps(settings))) == repr(settings) == \
        "heston_settings(accuracy=0.01, spot_points=30, variance_points=12, time_steps=6, scheme='adi_douglas')"
    assert repr(pickle.loads(pickle.dumps(HESTON))) == \
        "heston_parameters(v0=0.04, kappa=1.5, eta=0.05, sigma=0.4, rho=-0.6)"
    with pytest.raises(TypeError, match="price_heston\\(\\) argument 'settings' must be heston_settings"):
        P.price_heston(option(), MARKET, HESTON, P.black_scholes_settings())

"""korvexmodules.Pricing against closed forms and QuantLib-Python computed here, the list and column
forms against one-by-one calls (to the last bit), per-row errors with the library's text, the GIL
released, memory flat."""

import datetime
import os
import pickle
import subprocess

import numpy as np
import pytest
from scipy.stats import norm

from conftest import assert_memory_flat, gil_pause_during

from korvexmodules import Analytics as A
from korvexmodules import Market as M
from korvexmodules import Pricing as P
from korvexmodules.Core import Error
from korvexmodules.Vectorization import vector_IdE

ql = pytest.importorskip("QuantLib")

TODAY = datetime.date(2024, 1, 2)
SPOT, RATE, CARRY, VOL = 100.0, 0.05, 0.02, 0.2


def serial(date):
    return float((date - datetime.date(1899, 12, 30)).days)


def days_later(days):
    return TODAY + datetime.timedelta(days=days)


def base_market(spot=SPOT, rate=RATE, carry=CARRY):
    return P.market(M.equity_spot(TODAY, spot), M.discount_curve_flat(TODAY, rate), M.discount_curve_flat(TODAY, carry))


MARKET = P.black_scholes_market(base_market(), VOL)


def closed_form(kind, strike, years, spot=SPOT, rate=RATE, carry=CARRY, vol=VOL):
    """Black-Scholes price, delta, gamma, theta and vega of a European option (scipy)."""
    sign = 1.0 if kind == "call" else -1.0
    root = vol * np.sqrt(years)
    d1 = (np.log(spot / strike) + (rate - carry) * years) / root + root / 2
    d2 = d1 - root
    qf, rf = np.exp(-carry * years), np.exp(-rate * years)
    price = sign * (spot * qf * norm.cdf(sign * d1) - strike * rf * norm.cdf(sign * d2))
    delta = sign * qf * norm.cdf(sign * d1)
    gamma = qf * norm.pdf(d1) / (spot * root)
    vega = spot * qf * norm.pdf(d1) * np.sqrt(years)
    theta = rate * price - (rate - carry) * spot * delta - 0.5 * vol**2 * spot**2 * gamma
    return price, delta, gamma, theta, vega


@pytest.mark.parametrize("kind, strike, days", [("call", 100.0, 365), ("put", 80.0, 730), ("call", 130.0, 91),
                                                ("put", 110.0, 30)])
def test_european_against_the_closed_form(kind, strike, days):
    years = days / 365.0
    r = P.price_black_scholes(P.vanilla_option(kind, strike, days_later(days)), MARKET)
    price, delta, gamma, theta, vega = closed_form(kind, strike, years)
    assert r.price == pytest.approx(price, abs=1e-4)
    forward = SPOT * np.exp((RATE - CARRY) * years)
    analytic = A.black_scholes_price(strike, forward, years, VOL, np.exp(-RATE * years), 1.0 if kind == "call" else -1.0)
    assert r.price == pytest.approx(analytic, abs=1e-4)
    assert (r.delta, r.gamma, r.theta, r.vega) == pytest.approx((delta, gamma, theta, vega), rel=1e-3, abs=1e-4)
    assert r.space_points == len(r.spots) == len(r.values) and r.extrapolated
    assert np.interp(SPOT, r.spots, r.values) == pytest.approx(r.price, rel=1e-2)


def quantlib_process():
    today = ql.Date(TODAY.day, TODAY.month, TODAY.year)
    ql.Settings.instance().evaluationDate = today
    counter = ql.Actual365Fixed()
    flat = lambda rate: ql.YieldTermStructureHandle(ql.FlatForward(today, rate, counter, ql.Continuous))
    volatility = ql.BlackVolTermStructureHandle(ql.BlackConstantVol(today, ql.NullCalendar(), VOL, counter))
    return today, ql.BlackScholesMertonProcess(ql.QuoteHandle(ql.SimpleQuote(SPOT)), flat(CARRY), flat(RATE), volatility)


# QuantLib 1.29's Leisen-Reimer tree, 2 P(20001 steps) - P(10001 steps): too slow to compute here.
AMERICAN_PUT = 6.6606864083


def test_american_put_against_quantlib():
    today, process = quantlib_process()
    option = ql.VanillaOption(ql.PlainVanillaPayoff(ql.Option.Put, 100.0), ql.AmericanExercise(today, today + 365))
    option.setPricingEngine(ql.BinomialVanillaEngine(process, "lr", 1001))
    r = P.price_black_scholes(P.vanilla_option("put", 100.0, days_later(365), "american"), MARKET)
    assert r.price == pytest.approx(AMERICAN_PUT, abs=1e-4)
    assert r.price == pytest.approx(option.NPV(), abs=1e-3)
    assert r.delta == pytest.approx(option.delta(), abs=1e-3)


# QuantLib's analytic engine pays a knock-out's rebate at hit, a knock-in's at expiry.
@pytest.mark.parametrize("direction, kind, level, rebate, payment", [("down", "knock_out", 90.0, 0.0, "at_hit"),
                                                                      ("up", "knock_out", 120.0, 2.0, "at_hit"),
                                                                      ("down", "knock_in", 85.0, 1.5, "at_expiry")])
def test_barrier_against_quantlib(direction, kind, level, rebate, payment):
    today, process = quantlib_process()
    barrier = {("down", "knock_out"): ql.Barrier.DownOut, ("up", "knock_out"): ql.Barrier.UpOut,
               ("down", "knock_in"): ql.Barrier.DownIn}[direction, kind]
    option = ql.BarrierOption(barrier, level, rebate, ql.PlainVanillaPayoff(ql.Option.Call, 100.0),
                              ql.EuropeanExercise(today + 365))
    option.setPricingEngine(ql.AnalyticBarrierEngine(process))
    ours = P.barrier_option(P.vanilla_option("call", 100.0, days_later(365)), direction, kind, level, rebate, payment)
    assert P.price_black_scholes(ours, MARKET).price == pytest.approx(option.NPV(), abs=1e-4)


def mixed_options():
    expiry = days_later(365)
    return [P.vanilla_option("call", 95.0, expiry), P.vanilla_option("put", 105.0, days_later(200), "american"),
            P.barrier_option(P.vanilla_option("put", 100.0, expiry), "up", "knock_out", 125.0, 1.0, "at_hit"),
            P.vanilla_option("put", -1.0, expiry),  # refused
            P.barrier_option(P.vanilla_option("call", 90.0, expiry), "down", "knock_in", 80.0)]


COARSE = P.black_scholes_settings(accuracy=1e-3)


def assert_rows_equal(result, options, markets, settings=COARSE):
    """Each row of a batch_result as the scalar call gives it: the same bits, or its error text."""
    for i, (option, market) in enumerate(zip(options, markets)):
        try:
            r = P.price_black_scholes(option, market, settings)
        except Error as e:
            assert result.errors[i] == f"{e.message} [{e.function} at {e.file}:{e.line}]"
            assert np.isnan([result.price[i], result.delta[i], result.vega[i]]).all()
            continue
        assert result.errors[i] == ""
        got = [result.price[i], result.delta[i], result.gamma[i], result.theta[i], result.vega[i]]
        assert np.array_equal(got, [r.price, r.delta, r.gamma, r.theta, r.vega], equal_nan=True)


def test_values_equal_the_cpp_pricer_to_the_last_bit():
    program = os.environ.get("KORVEX_PRICING_REFERENCE")
    if program is None:
        pytest.skip("needs the C++ reference program of a CMake build (run through ctest)")
    options = mixed_options()
    fields = []
    for o in options:
        vanilla = o.option if isinstance(o, P.barrier_option) else o
        row = [int(vanilla.type), vanilla.strike, serial(vanilla.expiry), int(vanilla.exercise)]
        if isinstance(o, P.barrier_option):
            row += [int(o.direction), int(o.kind), o.level, o.rebate, int(o.payment)]
        fields.append(" ".join(repr(float(v)) if isinstance(v, float) else str(v)
                               for v in [serial(TODAY), SPOT, RATE, CARRY, VOL, 1e-3] + row))
    lines = subprocess.run([program], input="\n".join(fields) + "\n", capture_output=True, text=True,
                           check=True).stdout.splitlines()
    result = P.price_black_scholes_batch(options, MARKET, COARSE)
    for i, line in enumerate(lines):
        if line.startswith("error "):
            assert result.errors[i] == line[len("error "):]
        else:
            values = [float.fromhex(v) for v in line.split()]
            got = [result.price[i], result.delta[i], result.gamma[i], result.theta[i], result.vega[i]]
            assert np.array_equal(got, values, equal_nan=True)
    assert len(lines) == len(options)


@pytest.mark.parametrize("threads", [1, 2, 0])
def test_batch_equals_one_by_one_calls(threads):
    options = mixed_options()
    result = P.price_black_scholes_batch(options, MARKET, COARSE, threads=threads)
    assert len(result) == 5 and result.failed == 1 and result.price.flags.writeable is False
    assert result.errors[3] == "the strike must be positive and finite, got -1 " \
                               "[check_option at Library/Pricing/black_scholes/black_scholes_problem:38]"
    assert_rows_equal(result, options, [MARKET] * 5)
    markets = [P.black_scholes_market(base_market(), v) for v in (0.1, 0.2, 0.3, 0.4, 0.5)]
    assert_rows_equal(P.price_black_scholes_batch(options, markets, COARSE, threads), options, markets)


def test_columns_equal_one_by_one_calls():
    strikes = np.array([95.0, 105.0, 100.0, -1.0, 90.0, 100.0])
    expiries = [days_later(365), days_later(200), days_later(365), days_later(365), days_later(365), days_later(90)]
    vols = np.array([0.2, 0.25, 0.3, 0.2, 0.35, -0.1])
    result = P.price_black_scholes_columns(
        base_market(), type=["call", "put", "put", "put", "call", "call"], strike=strikes,
        expiry=np.array(expiries, dtype="datetime64[D]"), exercise=np.array([0, 1, 0, 0, 0, 0]), volatility=vols,
        barrier=[np.nan, np.nan, 125.0, np.nan, 80.0, np.nan], kind=["knock_out", "knock_out", "knock_out",
                                                                      "knock_out", "knock_in", "knock_out"],
        rebate=[0.0, 0.0, 1.0, 0.0, 0.0, 0.0], payment=["at_expiry", "at_expiry", "at_hit"] + ["at_expiry"] * 3,
        settings=COARSE)
    options = mixed_options() + [P.vanilla_option("call", 100.0, days_later(90))]
    markets = [P.black_scholes_market(base_market(), v) if v > 0 else MARKET for v in vols]
    assert_rows_equal(result, options[:5], markets[:5])
    assert result.failed == 2 and result.errors[5].startswith("the volatility must be positive and finite, got -0.1 "
                                                              "[black_scholes_market at ")


def test_columns_accept_serials_names_codes_and_pandas():
    pandas = pytest.importorskip("pandas")
    expiry = days_later(365)
    table = pandas.DataFrame({"type": ["Call", "put"], "strike": [100.0, 90.0],
                              "expiry": pandas.to_datetime([expiry, expiry])})
    by_names = P.price_black_scholes_columns(MARKET, table["type"], table["strike"], table["expiry"], settings=COARSE)
    by_codes = P.price_black_scholes_columns(MARKET, np.array([0, 1]), vector_IdE([100.0, 90.0]), serial(expiry),
                                             exercise=P.exercise_type.european, settings=COARSE)
    one = P.price_black_scholes(P.vanilla_option(P.option_type.put, 90.0, expiry), MARKET, COARSE)
    assert by_names.price.tolist() == by_codes.price.tolist() and by_codes.price[1] == one.price
    empty = P.price_black_scholes_columns(MARKET, "call", np.array([]), expiry)
    assert len(empty) == 0 and empty.price.shape == (0,)


def test_fx_market_prices_as_the_equity_one():
    option = P.vanilla_option("call", 1.1, days_later(700))
    curves = M.discount_curve_piecewise_constant(TODAY, [days_later(400)], [0.03]), M.discount_curve_flat(TODAY, 0.01)
    fx = P.black_scholes_market(M.fx_spot(TODAY, 1.05), *curves, 0.1)
    equity = P.black_scholes_market(P.market(M.equity_spot(TODAY, 1.05), *curves), 0.1)
    assert P.price_black_scholes(option, fx).price == P.price_black_scholes(option, equity).price


def test_columns_infer_the_barrier_direction_and_refuse_rows_alone():
    expiry = days_later(365)
    result = P.price_black_scholes_columns(MARKET, ["call", "call", "swap", "put"], 100.0, expiry,
                                           barrier=[80.0, 120.0, np.nan, 100.0], direction=[None, None, None, "up"],
                                           settings=COARSE)
    down = P.barrier_option(P.vanilla_option("call", 100.0, expiry), "down", "knock_out", 80.0)
    up = P.barrier_option(P.vanilla_option("call", 100.0, expiry), "up", "knock_out", 120.0)
    assert result.price[:2].tolist() == [P.price_black_scholes(o, MARKET, COARSE).price for o in (down, up)]
    assert result.errors[2] == "price_black_scholes_columns() argument 'type' must be one of 'call', 'put', not 'swap'"
    assert result.errors[3].startswith("the spot 100 has already reached the up barrier at 100 [check_barrier at ")
    assert result.failed == 2 and "4 instruments, 2 failed" in repr(result)
    missing = P.price_black_scholes_columns(MARKET, "put", 100.0, np.array(["2025-01-01", "NaT"], "datetime64[D]"),
                                            settings=COARSE, threads=10**6)
    assert missing.errors[0] == "" and missing.errors[1].startswith("the expiry must be a finite date, got ")


@pytest.mark.parametrize("call, error, text", [
    (lambda: P.price_black_scholes_columns(MARKET, "call", [1.0, 2.0], [45000.0] * 3), ValueError,
     "price_black_scholes_columns() argument 'expiry' has 3 rows, 'strike' has 2"),
    (lambda: P.price_black_scholes_columns(base_market(), "call", 100.0, 46000.0), TypeError,
     "price_black_scholes_columns() argument 'market' must be a black_scholes_market when no volatility is given, "
     "not korvexmodules.Pricing.market"),
    (lambda: P.price_black_scholes_columns(MARKET, "call", np.ones((2, 2)), 46000.0), TypeError,
     "price_black_scholes_columns() argument 'strike' must be a number or a one-dimensional array, not an array "
     "of 2 dimensions"),
    (lambda: P.price_black_scholes_columns(MARKET, "call", ["x"], 46000.0), TypeError,
     "price_black_scholes_columns() argument 'strike' must be a float or an array of numbers, not list"),
    (lambda: P.price_black_scholes_batch([P.vanilla_option("call", 1.0, 46000.0), 3], MARKET), TypeError,
     "price_black_scholes_batch() argument 'options' must be a vanilla_option or a barrier_option, not int"),
    (lambda: P.price_black_scholes_batch([P.vanilla_option("call", 1.0, 46000.0)], [MARKET] * 2), ValueError,
     "price_black_scholes_batch() got 1 options and 2 markets"),
    (lambda: P.vanilla_option("cal", 1.0, 46000.0), ValueError,
     "vanilla_option() argument 'type' must be one of 'call', 'put', not 'cal'"),
    (lambda: P.vanilla_option(True, 1.0, 46000.0), ValueError,
     "vanilla_option() argument 'type' must be one of 'call', 'put', not True"),
    (lambda: P.vanilla_option(2, 1.0, 46000.0), ValueError,
     "vanilla_option() argument 'type' must be one of 'call', 'put', not 2"),
    (lambda: P.price_black_scholes(P.vanilla_option(1, 1.0, 46000.0), MARKET, 1e-3), TypeError,
     "price_black_scholes() argument 'settings' must be black_scholes_settings, not float"),
    (lambda: P.black_scholes_settings(scheme="euler"), ValueError,
     "black_scholes_settings() argument 'scheme' must be one of 'adi_hundsdorfer_verwer', 'adi_douglas', "
     "'adi_craig_sneyd', 'adi_modified_craig_sneyd', 'crank_nicolson', 'two_stage_l_stable', 'implicit_euler', "
     "not 'euler'"),
])
def test_bad_arguments_raise_before_pricing(call, error, text):
    with pytest.raises(error) as raised:
        call()
    assert str(raised.value) == text


@pytest.mark.parametrize("call, message", [
    (lambda: P.price_black_scholes(P.vanilla_option("call", 100.0, TODAY), MARKET),
     "the expiry 2024-01-02 must come after the valuation date 2024-01-02"),
    (lambda: P.black_scholes_market(base_market(), float("nan")), "the volatility must be positive and finite, got NaN"),
    (lambda: P.price_black_scholes(P.vanilla_option("call", 100.0, days_later(9)), MARKET,
                                   P.black_scholes_settings(accuracy=0.0)),
     None),
])
def test_library_refusals_raise_core_error(call, message):
    with pytest.raises(Error) as raised:
        call()
    if message is not None:
        assert raised.value.message == message
    assert raised.value.file.startswith("Library/Pricing/")


def test_results_are_views_kept_alive_by_their_arrays():
    r = P.price_black_scholes(P.vanilla_option("put", 100.0, days_later(365)), MARKET)
    values, spots = r.values, r.spots
    assert values.base is not None and not values.flags.writeable and values.dtype == np.float64
    copy = values.copy()
    del r
    assert np.array_equal(values, copy) and spots[0] < SPOT < spots[-1]
    option = P.vanilla_option("put", 100.0, days_later(365))
    price = P.price_black_scholes_batch([option], MARKET).price
    assert price.base is not None and price[0] == P.price_black_scholes(option, MARKET).price


def test_pickled_instruments_and_settings_price_the_same():
    options = mixed_options()
    settings = P.black_scholes_settings(accuracy=1e-3, scheme="crank_nicolson", vega=False)
    again, settings_again = pickle.loads(pickle.dumps((options, settings)))
    assert [repr(o) for o in again] == [repr(o) for o in options] and repr(settings_again) == repr(settings)
    ours = P.price_black_scholes_batch(options, MARKET, settings)
    theirs = P.price_black_scholes_batch(again, MARKET, settings_again)
    assert np.array_equal(ours.price, theirs.price, equal_nan=True) and ours.errors == theirs.errors
    with pytest.raises(ValueError, match=r"a pickled vanilla_option is a tuple of 4 items, not \(1, 2\)"):
        P.vanilla_option.__new__(P.vanilla_option).__setstate__((1, 2))


def test_reprs():
    option = P.vanilla_option("call", 100.0, TODAY, "american")
    assert repr(option) == "vanilla_option(type='call', strike=100.0, expiry=datetime.date(2024, 1, 2), " \
                           "exercise='american')"
    assert repr(P.barrier_option(option, "up", "knock_out", 120.0)) == \
        "barrier_option(option=vanilla_option(type='call', strike=100.0, expiry=datetime.date(2024, 1, 2), " \
        "exercise='american'), direction='up', kind='knock_out', level=120.0, rebate=0.0, payment='at_expiry')"
    assert repr(MARKET) == "black_scholes_market(spot=100.0, valuation_date=datetime.date(2024, 1, 2), volatility=0.2)"
    assert repr(P.black_scholes_settings(scheme="crank_nicolson")) == \
        "black_scholes_settings(accuracy=0.0001, space_points=0, time_steps=0, scheme='crank_nicolson', vega=True)"


def test_batch_releases_the_gil():
    options = [P.vanilla_option("put", 100.0, days_later(365), "american")] * 2
    longest, duration = gil_pause_during(lambda: P.price_black_scholes_batch(options, MARKET, threads=1))
    assert longest < duration / 2, (longest, duration)
    longest, duration = gil_pause_during(lambda: P.price_black_scholes(options[0], MARKET))
    assert longest < duration / 2, (longest, duration)


def test_memory_stays_flat():
    tiny = P.black_scholes_settings(space_points=9, time_steps=4)
    option = P.vanilla_option("put", 100.0, days_later(365))
    assert_memory_flat(P.price_black_scholes, (option, MARKET, tiny), calls=10_000)
    # None's reference count moves with any code that runs: no None among the arguments.
    columns = (base_market(), ["call", "swap"], [100.0, -1.0], days_later(365), "european", 0.2, np.nan, "down",
               "knock_out", 0.0, "at_expiry", tiny, 1)
    assert_memory_flat(P.price_black_scholes_columns, columns, calls=10_000)

"""korvexmodules.Market: curves against QuantLib-Python computed here, dates in every accepted form,
round trips of every persistable class through files and pickle, the container as a mapping,
refusals as exceptions with the library's message, threads."""

import datetime as dt
import pickle
import re

import numpy as np
import pandas as pd
import pytest

from conftest import results_of_threads

from korvexmodules import Analytics as A
from korvexmodules import Market as M
from korvexmodules.Core import Error
from korvexmodules.Vectorization import vector_IdE

ql = pytest.importorskip("QuantLib")

TODAY = dt.date(2024, 1, 2)
PILLARS = [dt.date(2024, 7, 1), dt.date(2025, 1, 2), dt.date(2027, 1, 4), dt.date(2034, 1, 2)]
RATES = [0.031, 0.034, 0.029, 0.04]
RNG = np.random.default_rng(5)
# Dates from the valuation date to beyond the last pillar, with times of day.
QUERY_SERIALS = np.sort(45293.0 + RNG.uniform(0.0, 12.0 * 365.0, 300))


def serial(date):
    return float((date - dt.date(1899, 12, 30)).days)


def ql_date(serial_number):
    return ql.Date(int(serial_number))


def ql_time(serial_number, day_counter=ql.Actual365Fixed()):
    """QuantLib's time from TODAY to a serial date with a time of day (days / 365)."""
    whole = np.floor(serial_number)
    return day_counter.yearFraction(ql_date(serial(TODAY)), ql_date(whole)) + (serial_number - whole) / 365.0


@pytest.fixture(autouse=True)
def quantlib_evaluation_date():
    ql.Settings.instance().evaluationDate = ql_date(serial(TODAY))


def test_discount_curves_against_quantlib():
    flat = M.discount_curve_flat(TODAY, 0.05, "ACT/365F")
    peer_flat = ql.FlatForward(ql_date(serial(TODAY)), 0.05, ql.Actual365Fixed(), ql.Continuous)
    np.testing.assert_allclose(flat.df(QUERY_SERIALS),
                               [peer_flat.discount(ql_time(s)) for s in QUERY_SERIALS], rtol=1e-14)
    # The rate of pillar k holds up to pillar k: QuantLib's backward-flat forward curve.
    curve = M.discount_curve_piecewise_constant(TODAY, PILLARS, RATES)
    peer = ql.ForwardCurve([ql_date(serial(TODAY))] + [ql_date(serial(p)) for p in PILLARS],
                           [RATES[0]] + RATES, ql.Actual365Fixed())
    peer.enableExtrapolation()
    np.testing.assert_allclose(curve.df(QUERY_SERIALS), [peer.discount(ql_time(s)) for s in QUERY_SERIALS],
                               rtol=1e-13)
    np.testing.assert_allclose(curve.log_df(QUERY_SERIALS[:-1], QUERY_SERIALS[1:]),
                               np.diff(np.log(curve.df(QUERY_SERIALS))), atol=1e-15)


def test_survival_curves_against_quantlib():
    flat = M.survival_curve_flat(TODAY, 0.02)
    peer_flat = ql.FlatHazardRate(ql_date(serial(TODAY)), ql.QuoteHandle(ql.SimpleQuote(0.02)), ql.Actual365Fixed())
    np.testing.assert_allclose(flat.survival_probability(QUERY_SERIALS),
                               [peer_flat.survivalProbability(ql_time(s)) for s in QUERY_SERIALS], rtol=1e-14)
    # The hazard rate of pillar k holds from pillar k on: QuantLib's backward-flat hazard curve
    # with every rate moved to the next pillar.
    curve = M.survival_curve_piecewise_constant(TODAY, PILLARS, RATES)
    dates = [ql_date(serial(TODAY))] + [ql_date(serial(p)) for p in PILLARS] + [ql.Date(1, 1, 2100)]
    peer = ql.HazardRateCurve(dates, [RATES[0], RATES[0]] + RATES, ql.Actual365Fixed())
    np.testing.assert_allclose(curve.survival_probability(QUERY_SERIALS),
                               [peer.survivalProbability(ql_time(s)) for s in QUERY_SERIALS], rtol=1e-13)


@pytest.mark.parametrize("name, peer", [
    ("ACT/365F", ql.Actual365Fixed()), ("ACT/360", ql.Actual360()),
    ("30/360", ql.Thirty360(ql.Thirty360.BondBasis)), ("ACT/ACT ISDA", ql.ActualActual(ql.ActualActual.ISDA)),
    ("BUS/252", ql.Business252(ql.WeekendsOnly()))])
def test_day_counts_against_quantlib(name, peer):
    starts = np.floor(RNG.uniform(40000.0, 50000.0, 100))
    ends = starts + np.floor(RNG.uniform(-400.0, 4000.0, 100))
    fractions = M.day_count_convention(name).fraction(starts, ends)
    expected = [peer.yearFraction(ql_date(a), ql_date(b)) if b >= a else -peer.yearFraction(ql_date(b), ql_date(a))
                for a, b in zip(starts, ends)]
    np.testing.assert_allclose(fractions, expected, rtol=1e-14, atol=1e-15)


def test_sabr_model_and_volatility_surface():
    model = M.volatility_model_sabr(0.03, 0.5, 0.4, -0.3, 0.01, False)
    strikes = np.linspace(0.01, 0.05, 9)
    np.testing.assert_array_equal(model.price(strikes, 0.025, 2.0, 1.0, 1.0),
                                  A.sabr_price(strikes, 0.025, 2.0, 1.0, 1.0, 0.03, 0.5, 0.4, -0.3, 0.01, False))
    unshifted = M.volatility_model_sabr(0.03, 0.5, 0.4, -0.3, 0.0, False)
    lognormal = unshifted.implied_volatility(strikes, 0.025, 2.0, M.volatility_type.lognormal)
    np.testing.assert_allclose(lognormal, [ql.sabrVolatility(k, 0.025, 2.0, 0.03, 0.5, 0.4, -0.3) for k in strikes],
                               rtol=1e-9)
    assert model.implied_volatility(0.02, 0.025, 2.0, "normal") > 0.0
    axis = [TODAY, dt.date(2034, 1, 2)]

    def flat(value):
        return M.surface_term_structure(axis, axis, np.full((2, 2), value))

    data = M.ir_volatility_data_sabr(flat(0.03), flat(0.5), flat(-0.3), flat(0.4), flat(0.01), False)
    at = data.model(dt.date(2026, 1, 2), dt.date(2031, 1, 2))
    assert (at.alpha, at.beta, at.nu, at.rho, at.shift) == (0.03, 0.5, 0.4, -0.3, 0.01)
    surface = M.ir_volatility_surface(TODAY, data)
    assert surface.data.model(TODAY, TODAY).nu == 0.4
    grid = M.surface_term_structure(axis, axis, [[1.0, 2.0], [3.0, 4.0]])
    middle = (serial(axis[0]) + serial(axis[1])) / 2
    assert grid.at(middle, middle) == 2.5 and grid.at(axis[1], [axis[0], axis[1]]).tolist() == [3.0, 4.0]


NOON = dt.time(12)
# (make the form of a date, the time of day it adds in days)
DATE_FORMS = [
    pytest.param(lambda d: d, 0.0, id="date"),
    pytest.param(lambda d: dt.datetime.combine(d, NOON), 0.5, id="datetime"),
    pytest.param(lambda d: np.datetime64(d, "D"), 0.0, id="datetime64[D]"),
    pytest.param(lambda d: np.datetime64(dt.datetime.combine(d, NOON), "ns"), 0.5, id="datetime64[ns]"),
    pytest.param(lambda d: pd.Timestamp(dt.datetime.combine(d, NOON)), 0.5, id="pandas.Timestamp"),
    pytest.param(serial, 0.0, id="serial float"),
    pytest.param(lambda d: int(serial(d)), 0.0, id="serial int"),
]
DATES = [dt.date(2023, 12, 1), dt.date(2025, 6, 30), dt.date(2040, 2, 29)]


@pytest.mark.parametrize("form, time_of_day", DATE_FORMS)
def test_dates_in_every_form(form, time_of_day):
    curve = M.discount_curve_piecewise_constant(form(TODAY), [form(p) for p in PILLARS], RATES)
    reference = M.discount_curve_piecewise_constant(serial(TODAY) + time_of_day,
                                                    [serial(p) + time_of_day for p in PILLARS], RATES)
    expected = [reference.df(serial(TODAY) + time_of_day, serial(d) + time_of_day) for d in DATES]
    assert [curve.df(form(TODAY), form(d)) for d in DATES] == expected
    assert curve.df(form(TODAY), [form(d) for d in DATES]).tolist() == expected


def test_date_arrays_in_every_form():
    curve = M.discount_curve_piecewise_constant(TODAY, PILLARS, RATES)
    expected = curve.df([serial(d) for d in DATES])
    forms = [DATES, np.array(DATES, dtype="datetime64[D]"), np.array(DATES, dtype="datetime64[ns]"),
             pd.DatetimeIndex(DATES), pd.Series(pd.DatetimeIndex(DATES)), vector_IdE([serial(d) for d in DATES]),
             np.array([serial(d) for d in DATES], dtype=np.float32).astype(np.float64)]
    for form in forms:
        np.testing.assert_array_equal(curve.df(form), expected)
    grid = curve.df(np.array(DATES, dtype="datetime64[D]")[:, None], np.array(PILLARS, dtype="datetime64[D]"))
    assert grid.shape == (3, 4)
    assert np.isnan(M.discount_curve_flat(TODAY, 0.05).df(np.datetime64("NaT")))
    assert curve.valuation_date == TODAY and M.equity_spot(45293.5, 1.0).valuation_date == dt.datetime(2024, 1, 2, 12)
    assert curve.dates.dtype == np.dtype("datetime64[us]") and list(curve.dates.astype("datetime64[D]")) == \
        list(np.array(PILLARS, dtype="datetime64[D]"))


@pytest.mark.parametrize("curve, query", [
    (M.discount_curve_piecewise_constant(TODAY, PILLARS, RATES), "df"),
    (M.survival_curve_piecewise_constant(TODAY, PILLARS, RATES), "survival_probability"),
    (M.discount_curve_flat(TODAY, 0.05), "df")])
def test_array_queries_equal_the_date_by_date_queries(curve, query):
    # Long (split over threads), shuffled, before the valuation date, on pillars, NaN; 2-D.
    dates = np.concatenate([RNG.permutation(np.linspace(45000.0, 50000.0, 3001)),
                            [serial(p) for p in PILLARS], [np.nan]]).reshape(-1, 2)
    values = getattr(curve, query)(dates)
    assert values.shape == dates.shape
    expected = [getattr(curve, query)(float(d)) for d in dates.ravel()]
    np.testing.assert_array_equal(values.ravel(), expected)


def test_piecewise_rates_are_a_read_only_view_that_keeps_the_curve_alive():
    rates = M.discount_curve_piecewise_constant(TODAY, PILLARS, RATES).rates
    assert rates.tolist() == RATES and not rates.flags.writeable and not rates.flags.owndata
    with pytest.raises(ValueError):
        rates[0] = 1.0


def with_default_calendars(record):
    """The record as read back: a reader gives a convention without calendar the default one."""
    return re.sub(r'"calendar": \{\n( *)"Class": "empty"\n',
                  r'"calendar": {\n\1"Class": "korvex::calendar",\n\1"use_weekends": true,\n\1"dates": null\n', record)


def market_objects():
    axis = [TODAY, dt.date(2034, 1, 2)]
    surface = M.surface_term_structure(axis, axis, [[0.03, 0.031], [0.032, 0.033]])
    constant = M.surface_term_structure(axis, axis, np.full((2, 2), 0.5))
    data = M.ir_volatility_data_sabr(surface, constant, M.surface_term_structure(axis, axis, np.full((2, 2), -0.2)),
                                     constant, M.surface_term_structure(axis, axis, np.zeros((2, 2))), True)
    holidays = M.calendar([dt.date(2024, 12, 25), dt.date(2025, 1, 1)])
    return {
        M.discount_id("OIS", "USD"): M.discount_curve_flat(TODAY, 0.05, "ACT/360"),
        M.discount_id("LIBOR", "EUR"): M.discount_curve_piecewise_constant(
            TODAY, PILLARS, RATES, M.day_count_convention("BUS/252", holidays)),
        M.default_id("ACME", "USD", "SNR", "XR", "2014"): M.survival_curve_piecewise_constant(TODAY, PILLARS, RATES),
        M.default_id("OTHER", "EUR", "SUB", "MR", "2003"): M.survival_curve_flat(TODAY, 0.02, "30/360"),
        M.fx_spot_id("EUR", "USD"): M.fx_spot(TODAY, 1.1),
        M.fx_spot_id("USD", "JPY"): M.equity_spot(TODAY, 150.0),
        M.discount_id("SWAPTION", "USD"): M.ir_volatility_surface(TODAY, data),
    }


def persistable_objects():
    objects = market_objects()
    return (list(objects) + list(objects.values()) + [objects[M.discount_id("SWAPTION", "USD")].data] +
            [M.currency("USD"), M.discount_definition("OIS"), M.any_container(objects), M.any_container()])


@pytest.mark.parametrize("obj", persistable_objects(), ids=lambda o: type(o).__name__)
def test_round_trips_through_files_and_pickle(obj, tmp_path):
    cls = type(obj)
    obj.write_json(tmp_path / "o.json")
    obj.write_binary(str(tmp_path / "o.bin"))
    copies = [cls.read_json(tmp_path / "o.json"), cls.read_binary(tmp_path / "o.bin"),
              pickle.loads(pickle.dumps(obj, protocol=pickle.HIGHEST_PROTOCOL)), cls.from_bytes(obj.to_bytes()),
              cls.__new__(cls)]
    copies[-1].__setstate__(obj.to_bytes()[24:])  # older pickles held the bare record
    assert obj.to_bytes() == (tmp_path / "o.bin").read_bytes()
    record = with_default_calendars(obj.json_to_string())
    for copy in copies:
        assert type(copy) is cls and copy is not obj and copy.json_to_string() == record
        if isinstance(obj, M.any_container):  # a read container lists its entries by hash
            assert copy.keys() == sorted(obj.keys(), key=lambda key: key.hash)
        else:
            assert repr(copy) == repr(obj)
    if isinstance(obj, M.discount_curve):
        assert copies[2].df(QUERY_SERIALS).tolist() == obj.df(QUERY_SERIALS).tolist()


def test_pickles_of_the_other_classes():
    model = M.volatility_model_sabr(0.03, 0.5, 0.4, -0.3, 0.01, True)
    surface = M.surface_term_structure([TODAY], [TODAY, dt.date(2030, 1, 2)], [[1.0, 2.0]])
    assert repr(pickle.loads(pickle.dumps(model))) == repr(model)
    back = pickle.loads(pickle.dumps(surface))
    assert back.z.tolist() == [[1.0, 2.0]] and back.y.tolist() == surface.y.tolist()
    assert not surface.z.flags.writeable and not surface.z.flags.owndata


def test_damaged_pickles_and_files_raise():
    curve = M.discount_curve_piecewise_constant(TODAY, PILLARS, RATES)
    state = curve.__getstate__()
    assert state[:8] == b"KORVEXBF"  # the binary file's header, checksum included
    flipped = bytearray(state)
    flipped[len(state) // 2] ^= 1
    payload = len(state) - 24
    for damaged, message in [
            (state[:-5], f"The binary record is truncated: the header announces {payload} payload bytes, "
                         f"only {payload - 5} are present"),
            (state + b"x", f"The binary record is corrupted: the header announces {payload} payload bytes, "
                           f"but {payload + 1} follow"),
            (bytes(flipped), "The binary record is corrupted: its checksum does not match its content"),
            (b"", "The binary record is empty, not a korvex binary record")]:
        with pytest.raises(Error) as raised:
            M.discount_curve_piecewise_constant.__new__(M.discount_curve_piecewise_constant).__setstate__(damaged)
        assert raised.value.message == message
    assert pickle.loads(pickle.dumps(curve)).rates.tolist() == RATES
    assert curve.to_bytes() == state
    assert M.discount_curve_piecewise_constant.from_bytes(state).rates.tolist() == RATES
    with pytest.raises(Error, match="checksum"):
        M.any_container.from_bytes(bytes(flipped))
    with pytest.raises(Error, match="does-not-exist"):
        M.any_container.read_binary("/does-not-exist/market.bin")


def test_container_is_a_mapping():
    objects = market_objects()
    container = M.any_container(objects)
    keys = list(objects)
    assert len(container) == len(objects) and list(container) == keys and container.keys() == keys
    for key, value in objects.items():
        assert key in container and type(container[key]) is type(value)
        assert container[key].json_to_string() == value.json_to_string()
    assert [type(v) for v in container.values()] == [type(v) for v in objects.values()]
    assert container.items()[0][0] == keys[0]
    missing = M.discount_id("OIS", "GBP")
    assert missing not in container and "OIS" not in container and container.get(missing, 7) == 7
    with pytest.raises(KeyError):
        container[missing]
    pairs = M.any_container(list(objects.items()))
    split = M.any_container(keys, list(objects.values()))
    assert pairs.keys() == split.keys() == keys
    curve = M.discount_curve_flat(TODAY, 0.01)
    container.update({keys[0]: curve, missing: curve})
    assert container[keys[0]].rate == 0.05 and container[missing].rate == 0.01 and container.keys()[-1] == missing
    assert repr(M.any_container({keys[0]: objects[keys[0]]})) == \
        "any_container({discount_id('OIS', 'USD'): discount_curve_flat(valuation_date=2024-01-02, rate=0.05, " \
        "convention='ACT/360')})"


def test_identifiers():
    a, b = M.discount_id("OIS", "USD"), M.discount_id("OIS", "USD")
    assert a == b and hash(a) == hash(b) and a is not b and {a: 1}[b] == 1
    assert str(a) == "OIS_USD" and (a.id, a.ccy) == ("OIS", "USD")
    assert str(M.default_id("n", "c", "s", "r", "i")) == "n_c_s_r_i"
    assert M.fx_spot_id("EUR", "USD") != M.fx_spot_id("USD", "EUR")
    assert (a < M.fx_spot_id("a", "b")) == (a.hash < M.fx_spot_id("a", "b").hash)
    assert a != "OIS_USD"


@pytest.mark.parametrize("call, message", [
    (lambda: M.discount_curve_piecewise_constant(TODAY, PILLARS[:3], RATES[:2]),
     " The term structure should have the same size"),
    (lambda: M.volatility_model_sabr(0.0, 0.5, 0.3, -0.2, 0.0, False),
     "Expected alpha_ > 0.0 to be true, but got false.  alpha_ must be positive: 0 not allowed"),
    (lambda: M.currency(""), "invalide currency!"),
    (lambda: M.discount_id("", ""), "invalide key!"),
    (lambda: M.any_container([M.discount_id("A", "B")] * 2, [M.equity_spot(TODAY, 1.0)] * 2),
     "Duplicated key in data container"),
    (lambda: M.any_container([M.discount_id("A", "B")], []), " ids list size is different from object list size "),
    (lambda: M.ir_volatility_data_sabr(None, None, None, None, None, False), "alpha is null"),
])
def test_library_refusals_raise_core_error(call, message):
    with pytest.raises(Error) as raised:
        call()
    assert raised.value.message == message


@pytest.mark.parametrize("call, error, text", [
    (lambda: M.discount_curve_flat("2024-01-02", 0.05), TypeError,
     "discount_curve_flat() argument 'valuation_date' must be a date, a numpy.datetime64, a serial number or an "
     "array of them, not str"),
    (lambda: M.discount_curve_flat(TODAY, 0.05).df([TODAY, "x"]), TypeError,
     "df() argument 'd1' must be a date, a numpy.datetime64, a serial number or an array of them, not str"),
    (lambda: M.discount_curve_flat([TODAY, TODAY], 0.05), TypeError,
     "discount_curve_flat() argument 'valuation_date' must be one date, not an array"),
    (lambda: M.discount_curve_flat(TODAY, 0.05, "ACT/999"), ValueError,
     "unknown day count convention 'ACT/999'; expected ACT/365F, ACT/360, 30/360, ACT/ACT ISDA or BUS/252"),
    (lambda: M.discount_curve_flat(TODAY, 0.05).df(np.ones(2), np.ones(3)), ValueError,
     "df(): operands could not be broadcast together with shapes (2,) (3,)"),
    (lambda: M.any_container({"OIS": M.equity_spot(TODAY, 1.0)}), TypeError,
     "any_container keys must be market data identifiers, not str"),
    (lambda: M.any_container({M.discount_id("A", "B"): 1.0}), TypeError,
     "any_container values must be market objects, not float"),
    (lambda: M.volatility_model_sabr(0.03, 0.5, 0.4, -0.3, 0.0, False).implied_volatility(0.02, 0.02, 1.0, "x"),
     ValueError, "unknown volatility type 'x'; expected 'normal' or 'lognormal'"),
])
def test_wrong_arguments(call, error, text):
    with pytest.raises(error) as raised:
        call()
    assert str(raised.value) == text


def test_readable_reprs():
    assert repr(M.discount_curve_piecewise_constant(TODAY, PILLARS, RATES)) == (
        "discount_curve_piecewise_constant(valuation_date=2024-01-02, 4 pillars from 2024-07-01 to 2034-01-02, "
        "convention='ACT/365F')")
    assert repr(M.fx_spot(dt.datetime(2024, 1, 2, 18), 1.25)) == "fx_spot(valuation_date=2024-01-02T18:00:00, spot=1.25)"
    assert repr(M.default_id("n", "c", "s", "r", "i")) == "default_id('n', 'c', 's', 'r', 'i')"
    assert repr(M.day_count_convention("act_act_isda")) == "day_count_convention('ACT/ACT ISDA')"


def test_threads_query_one_curve_at_once():
    curve = M.discount_curve_piecewise_constant(TODAY, PILLARS, RATES)
    dates = np.linspace(45000.0, 50000.0, 40_000)
    expected = curve.df(dates)
    for result in results_of_threads(lambda: curve.df(dates)):
        np.testing.assert_array_equal(result, expected)

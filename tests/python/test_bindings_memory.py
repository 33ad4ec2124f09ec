"""Reference counts and memory stay flat over 10^5 calls of the pybind11 modules, with valid and
with refused arguments (the C++ side also runs under the sanitizers in the test build)."""

import datetime as dt
import pickle

import numpy as np
import pytest

from conftest import assert_memory_flat

from korvexmodules import Analytics as A
from korvexmodules import Market as M

TODAY = dt.date(2024, 1, 2)
CURVE = M.discount_curve_piecewise_constant(TODAY, [dt.date(2025, 1, 2), dt.date(2030, 1, 2)], [0.03, 0.04])
DATES = np.arange("2024-01-02", "2024-01-12", dtype="datetime64[D]")
STRIKES = np.array([90.0, 100.0, 110.0])
OIS = M.discount_id("OIS", "USD")
CONTAINER = M.any_container({OIS: CURVE})
PICKLED = pickle.dumps(CURVE)

# (name, function, arguments); refused calls raise and are part of the loop.
CASES = [
    ("black price", A.black_scholes_price, (100.0, 100.0, 1.0, 0.2, 1.0, 1.0)),
    ("black implied volatility", A.black_scholes_implied_volatility, (100.0, 100.0, 1.0, 8.0, 1.0, 1.0)),
    ("black price arrays", A.black_scholes_price, (STRIKES, 100.0, 1.0, 0.2, 1.0, [1.0, -1.0, 1.0])),
    ("black price keywords", lambda: A.black_scholes_price(100.0, 100.0, 1.0, 0.2, annuity=1.0, sign=1.0), ()),
    ("black price refused", A.black_scholes_price, (float("nan"), 100.0, 1.0, 0.2, 1.0, 1.0)),
    ("black price wrong type", A.black_scholes_price, ("x", 100.0, 1.0, 0.2, 1.0, 1.0)),
    ("black price bad shapes", A.black_scholes_price, (STRIKES, np.ones(2), 1.0, 0.2, 1.0, 1.0)),
    ("sabr volatility", A.sabr_volatility, (0.02, 0.025, 1.0, 0.03, 0.5, 0.4, -0.3, 0.0, False)),
    ("norm_ppf list", A.norm_ppf, ([0.1, 0.5],)),
    ("df", CURVE.df, (TODAY, dt.date(2026, 1, 2))),
    ("df dates", CURVE.df, (DATES,)),
    ("df refused", CURVE.df, ("2024-01-02",)),
    ("curve", M.discount_curve_piecewise_constant, (TODAY, [dt.date(2025, 1, 2)], [0.03], "ACT/360")),
    ("curve refused", M.discount_curve_piecewise_constant, (TODAY, [dt.date(2025, 1, 2)], [0.03, 0.04])),
    ("container lookup", CONTAINER.__getitem__, (OIS,)),
    ("container miss", CONTAINER.get, (M.discount_id("OIS", "EUR"),)),
    ("unpickle", pickle.loads, (PICKLED,)),
]


@pytest.mark.parametrize("name, function, args", CASES, ids=[case[0] for case in CASES])
def test_calls_leave_memory_flat(name, function, args):
    assert_memory_flat(function, args)

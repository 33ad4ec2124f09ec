"""korvexmodules.Pricing's calls, refusals included, leave memory and reference counts flat (run
with the sanitizer's quarantine off, see CMakeLists.txt)."""

import datetime

import numpy as np

from conftest import assert_memory_flat

from korvexmodules import Market as M
from korvexmodules import Pricing as P

TODAY = datetime.date(2024, 1, 2)
EXPIRY = datetime.date(2025, 1, 1)


def test_memory_stays_flat():
    market = P.market(M.equity_spot(TODAY, 100.0), M.discount_curve_flat(TODAY, 0.05),
                      M.discount_curve_flat(TODAY, 0.02))
    tiny = P.black_scholes_settings(space_points=9, time_steps=4)
    option = P.vanilla_option("put", 100.0, EXPIRY)
    assert_memory_flat(P.price_black_scholes, (option, P.black_scholes_market(market, 0.2), tiny), calls=5_000)
    # None's reference count moves with any code that runs: no None among the arguments.
    columns = (market, ["call", "swap"], [100.0, -1.0], EXPIRY, "european", 0.2, np.nan, "down",
               "knock_out", 0.0, "at_expiry", tiny, 1)
    assert_memory_flat(P.price_black_scholes_columns, columns, calls=5_000)

"""korvexmodules.Pricing timed from Python, in one process.

  1. One Black-Scholes price per call (S = 100, sigma = 0.2, r = 0.05, q = 0.02, one year, the
     default accuracy 1e-4) for a European call, an American put and a down-and-out call at
     90: price_black_scholes from Python against the same option priced by the C++ library
     inside price_black_scholes_batch (one thread, many copies: the C++ cost per option
     without Python's), and the share of the Python call lost to the binding; the same for a
     European call on a tiny grid (21 x 4), where the binding's own cost shows.
  2. A list of options in one call on 1 thread and on every core: options per second and the
     speed-up, for the American put (a costly row) and the European call (a cheap one).
  3. The column form's own cost per row: price_black_scholes_columns against
     price_black_scholes_batch on the same 10^4 European rows (one thread).
  4. One Heston price per call (v0 = eta = 0.04, kappa 1.5, sigma 0.3, rho -0.7; the European
     call above) on a (t, x, v) = (5, 28, 14) grid and at the default accuracy 1e-3:
     price_heston from Python against the C++ cost per row inside price_heston_columns (one
     thread, many copies), and the share lost to the binding.

Times are the minimum over repetitions of process CPU time (wall time where threads run).
Usage: PYTHONPATH=<build>/python /usr/bin/python3 bench_python_pricing.py [--quick]
"""

import datetime as dt
import math
import os
import sys
import time

import numpy as np

from korvexmodules import Market as M
from korvexmodules import Pricing as P

QUICK = "--quick" in sys.argv
REPEATS = 3 if QUICK else 7
TODAY = dt.date(2024, 1, 2)
EXPIRY = dt.date(2025, 1, 1)
SETTINGS = P.black_scholes_settings(accuracy=1e-4)

MARKET = P.black_scholes_market(M.equity_spot(TODAY, 100.0), M.discount_curve_flat(TODAY, 0.05),
                                M.discount_curve_flat(TODAY, 0.02), 0.2)
WORKS = {
    "european_call": P.vanilla_option("call", 100.0, EXPIRY),
    "american_put": P.vanilla_option("put", 100.0, EXPIRY, "american"),
    "down_and_out_call": P.barrier_option(P.vanilla_option("call", 100.0, EXPIRY), "down", "knock_out", 90.0),
}


def best_time(function, repeats=REPEATS, clock=time.process_time):
    best = math.inf
    for _ in range(repeats):
        start = clock()
        function()
        best = min(best, clock() - start)
    return best


def copies_for(option):
    """Enough copies of an option for about 0.2 s of pricing."""
    once = best_time(lambda: P.price_black_scholes(option, MARKET, SETTINGS), repeats=3)
    return max(4, int(0.2 / max(once, 1e-6)) // (4 if QUICK else 1))


def one_call_against_cpp():
    print("1. one price per call, CPU time (us): Python call, C++ per option, share lost")
    tiny = P.black_scholes_settings(space_points=21, time_steps=4)
    rows = [(name, option, SETTINGS) for name, option in WORKS.items()]
    for name, option, settings in rows + [("european 21x4 grid", WORKS["european_call"], tiny)]:
        n = copies_for(option)
        options = [option] * n
        python = best_time(lambda: [P.price_black_scholes(option, MARKET, settings) for _ in range(n)]) / n
        cpp = best_time(lambda: P.price_black_scholes_batch(options, MARKET, settings, threads=1)) / n
        print(f"   {name:18s} python {1e6 * python:9.1f}  c++ {1e6 * cpp:9.1f}  "
              f"lost {100.0 * (python - cpp) / python:5.1f} %")


def threads_speed_up():
    cores = os.cpu_count()
    print(f"2. a list in one call, options per second (wall), 1 thread and {cores}")
    for name in ("american_put", "european_call"):
        option = WORKS[name]
        options = [option] * (4 * copies_for(option))
        one = best_time(lambda: P.price_black_scholes_batch(options, MARKET, SETTINGS, threads=1),
                        clock=time.perf_counter)
        every = best_time(lambda: P.price_black_scholes_batch(options, MARKET, SETTINGS, threads=0),
                          clock=time.perf_counter)
        print(f"   {name:18s} {len(options) / one:10.0f} /s  {len(options) / every:10.0f} /s  "
              f"speed-up {one / every:4.2f}")


def column_cost():
    rows = 2_000 if QUICK else 10_000
    rng = np.random.default_rng(5)
    strikes = rng.uniform(80.0, 120.0, rows)
    coarse = P.black_scholes_settings(space_points=21, time_steps=4)
    options = [P.vanilla_option("call", k, EXPIRY) for k in strikes]
    batch = best_time(lambda: P.price_black_scholes_batch(options, MARKET, coarse, threads=1))
    columns = best_time(lambda: P.price_black_scholes_columns(MARKET, "call", strikes, EXPIRY, settings=coarse,
                                                              threads=1))
    build = best_time(lambda: [P.vanilla_option("call", k, EXPIRY) for k in strikes])
    print(f"3. {rows} cheap European rows (21 x 4 grid), one thread, CPU us per row: columns "
          f"{1e6 * columns / rows:.2f}, list {1e6 * batch / rows:.2f} (+ {1e6 * build / rows:.2f} to build the "
          f"option objects)")


def heston_one_call():
    print("4. one Heston price per call, CPU time (us): Python call, C++ per option, share lost")
    heston = P.heston_parameters(0.04, 1.5, 0.04, 0.3, -0.7)
    option = WORKS["european_call"]
    for name, settings in (("grid 5 x 28 x 14", P.heston_settings(spot_points=28, variance_points=14, time_steps=5)),
                           ("accuracy 1e-3", P.heston_settings())):
        once = best_time(lambda: P.price_heston(option, MARKET, heston, settings), repeats=3)
        n = max(4, int(0.2 / max(once, 1e-6)) // (4 if QUICK else 1))
        python = best_time(lambda: [P.price_heston(option, MARKET, heston, settings) for _ in range(n)]) / n
        cpp = best_time(lambda: P.price_heston_columns(MARKET, "call", [100.0] * n, EXPIRY, "european", 0.04, 1.5,
                                                       0.04, 0.3, -0.7, settings=settings, threads=1)) / n
        print(f"   {name:18s} python {1e6 * python:9.1f}  c++ {1e6 * cpp:9.1f}  "
              f"lost {100.0 * (python - cpp) / python:5.1f} %")


if __name__ == "__main__":
    print("korvexmodules.Pricing from Python; minimum of repetitions on a possibly shared machine")
    one_call_against_cpp()
    threads_speed_up()
    column_cost()
    heston_one_call()

"""korvexmodules.Analytics and Market timed beside QuantLib-Python and scipy, in one process.

  1. Black implied volatilities of 10^6 options from numpy arrays, one call, against
     QuantLib-Python's blackFormulaImpliedStdDev in a Python loop and scipy's brentq per
     option. The peers are timed on a subsample and scaled to 10^6 (said in the table). Each
     side runs at its fastest setting whose volatilities reach the accuracy target, and whose
     next tighter setting reaches it too (steady).
  2. One scalar Black price and one implied volatility per call, against QuantLib-Python.
  3. 10^5 discount factors over an array of dates on a piecewise-constant curve, one call,
     against QuantLib-Python's ForwardCurve.discount in a loop (the same curve).

Times are the minimum over repetitions, wall clock and process CPU time (the 10^6 options are
split over the machine's cores, so there CPU time exceeds wall time). Usage:
PYTHONPATH=<build>/python /usr/bin/python3 bench_python_analytics.py [--quick]
"""

import datetime as dt
import math
import sys
import time
import timeit

import numpy as np

from korvexmodules import Analytics as A
from korvexmodules import Market as M

try:
    import QuantLib as ql
except ImportError:  # the peer comparisons need Debian's quantlib-python
    ql = None
try:
    from scipy.optimize import brentq
except ImportError:
    brentq = None

QUICK = "--quick" in sys.argv
REPEATS = 3 if QUICK else 5
OPTIONS = 100_000 if QUICK else 1_000_000
QL_SAMPLE = 5_000 if QUICK else 20_000
SCIPY_SAMPLE = 500 if QUICK else 2_000
TARGET = 1e-10  # largest relative error of an implied volatility


def best_time(function, repeats=REPEATS):
    """(wall seconds, CPU seconds) of the fastest of `repeats` runs."""
    best = (math.inf, math.inf)
    for _ in range(repeats):
        wall, cpu = time.perf_counter(), time.process_time()
        function()
        best = min(best, (time.perf_counter() - wall, time.process_time() - cpu))
    return best


def per_call(function, number):
    return min(timeit.repeat(function, number=number, repeat=REPEATS)) / number


def chain(n, seed=11):
    """Options within three standard deviations of the forward, out of the money as quoted."""
    rng = np.random.default_rng(seed)
    forward = rng.uniform(80.0, 120.0, n)
    expiry = rng.uniform(0.1, 5.0, n)
    vol = rng.uniform(0.05, 0.8, n)
    strike = forward * np.exp(rng.uniform(-3.0, 3.0, n) * vol * np.sqrt(expiry))
    sign = np.where(strike >= forward, 1.0, -1.0)
    price = A.black_scholes_price(strike, forward, expiry, vol, 1.0, sign)
    return strike, forward, expiry, vol, sign, price


def worst_error(found, vol):
    return float(np.max(np.abs(np.asarray(found) / vol - 1.0)))


def steady(settings, run, vol):
    """The fastest setting that reaches TARGET and whose next setting does too: (setting, time,
    error). `settings` go from loose to tight; run(setting) returns (volatilities, time)."""
    results = [(s, *run(s)) for s in settings]
    for (setting, found, seconds), (_, tighter, _) in zip(results, results[1:]):
        if worst_error(found, vol) <= TARGET and worst_error(tighter, vol) <= TARGET:
            return setting, seconds, worst_error(found, vol)
    setting, found, seconds = results[-1]
    return setting, seconds, worst_error(found, vol)


def row(work, ours, peer_name, peer, note=""):
    ratio = peer / ours
    print(f"| {work} | {ours * 1e9:,.0f} ns | {peer_name} {peer * 1e9:,.0f} ns | {ratio:,.1f}x | {note} |")


def implied_volatility_chain():
    strike, forward, expiry, vol, sign, price = chain(OPTIONS)
    wall, cpu = best_time(lambda: A.black_scholes_implied_volatility(strike, forward, expiry, price, 1.0, sign))
    found = A.black_scholes_implied_volatility(strike, forward, expiry, price, 1.0, sign)
    print(f"korvex: {OPTIONS:,} implied volatilities in one call: {wall * 1e3:.1f} ms wall, "
          f"{cpu * 1e3:.1f} ms CPU ({wall / OPTIONS * 1e9:.0f} ns per option wall), "
          f"worst relative error {worst_error(found, vol):.1e}")
    if ql is not None:
        n = QL_SAMPLE

        def quantlib(accuracy):
            def loop():
                return [ql.blackFormulaImpliedStdDev(ql.Option.Call if w > 0 else ql.Option.Put, k, f, p, 1.0, 0.0,
                                                     0.2 * math.sqrt(t), accuracy, 100) / math.sqrt(t)
                        for k, f, t, p, w in zip(strike[:n], forward[:n], expiry[:n], price[:n], sign[:n])]
            return loop(), best_time(loop, 2)[1] / n
        accuracy, seconds, error = steady([1e-8, 1e-10, 1e-12, 1e-14], quantlib, vol[:n])
        row(f"Black implied volatility, {OPTIONS:,} options from numpy arrays (per option)", wall / OPTIONS,
            "QuantLib-Python blackFormulaImpliedStdDev loop", seconds,
            f"QuantLib accuracy {accuracy:g} (error {error:.1e}), timed on {n:,} options and scaled; "
            f"ours wall time over the machine's cores, {cpu / OPTIONS * 1e9:.0f} ns CPU")
    if brentq is not None:
        n = SCIPY_SAMPLE

        def scipy(xtol):
            def loop():
                return [brentq(lambda s: A.black_scholes_price(k, f, t, s, 1.0, w) - p, 1e-4, 5.0, xtol=xtol,
                               rtol=4 * np.finfo(float).eps, maxiter=200)
                        for k, f, t, p, w in zip(strike[:n], forward[:n], expiry[:n], price[:n], sign[:n])]
            return loop(), best_time(loop, 2)[1] / n
        xtol, seconds, error = steady([1e-10, 1e-12, 1e-14, 1e-16], scipy, vol[:n])
        row("Black implied volatility (per option)", wall / OPTIONS, "scipy brentq per option", seconds,
            f"xtol {xtol:g} (error {error:.1e}), prices by korvex, timed on {n:,} options and scaled")


def scalar_calls():
    price = A.black_scholes_price(95.0, 100.0, 1.0, 0.25, 1.0, -1.0)
    ours_price = per_call(lambda: A.black_scholes_price(95.0, 100.0, 1.0, 0.25, 1.0, -1.0), 100_000)
    ours_vol = per_call(lambda: A.black_scholes_implied_volatility(95.0, 100.0, 1.0, price, 1.0, -1.0), 100_000)
    if ql is None:
        print(f"korvex scalar Black price {ours_price * 1e9:.0f} ns, implied volatility {ours_vol * 1e9:.0f} ns")
        return
    put = ql.Option.Put
    peer_price = per_call(lambda: ql.blackFormula(put, 95.0, 100.0, 0.25, 1.0), 100_000)
    peer_vol = per_call(lambda: ql.blackFormulaImpliedStdDev(put, 95.0, 100.0, price, 1.0, 0.0, 0.2, 1e-12, 100),
                        100_000)
    row("one scalar Black price call", ours_price, "QuantLib-Python blackFormula", peer_price)
    row("one scalar Black implied volatility call", ours_vol, "QuantLib-Python blackFormulaImpliedStdDev",
        peer_vol, "QuantLib accuracy 1e-12, ours full precision")


def discount_factors():
    today = dt.date(2024, 1, 2)
    pillars = [today + dt.timedelta(days=int(365.25 * y)) for y in (0.5, 1, 2, 3, 5, 7, 10, 15, 20, 30)]
    rates = [0.030, 0.032, 0.033, 0.034, 0.035, 0.036, 0.037, 0.038, 0.038, 0.037]
    curve = M.discount_curve_piecewise_constant(today, pillars, rates)
    n = 100_000
    dates = np.datetime64(today) + np.random.default_rng(3).integers(0, 30 * 365, n).astype("timedelta64[D]")
    wall, ours = (seconds / n for seconds in best_time(lambda: curve.df(dates)))
    if ql is None:
        print(f"korvex {n:,} discount factors over datetime64 dates: {ours * 1e9:.0f} ns per date")
        return
    ql_today = ql.Date(today.day, today.month, today.year)
    ql.Settings.instance().evaluationDate = ql_today
    peer_curve = ql.ForwardCurve([ql_today] + [ql.Date(p.day, p.month, p.year) for p in pillars],
                                 [rates[0]] + rates, ql.Actual365Fixed())
    peer_curve.enableExtrapolation()
    serials = (dates - np.datetime64("1899-12-30")).astype(int)
    ql_dates = [ql.Date(int(s)) for s in serials]
    expected = [peer_curve.discount(d) for d in ql_dates]
    assert np.allclose(curve.df(dates), expected, rtol=1e-13)
    peer = best_time(lambda: [peer_curve.discount(d) for d in ql_dates])[1] / n
    row(f"{n:,} discount factors over an array of dates, piecewise curve (per date)", ours,
        "QuantLib-Python ForwardCurve.discount loop", peer,
        f"ours CPU time from datetime64[D] ({wall * 1e9:.0f} ns wall over the machine's cores); "
        "QuantLib's dates made beforehand")


if __name__ == "__main__":
    print("| work | korvexmodules | peer | ratio | notes |")
    print("|---|---|---|---|---|")
    scalar_calls()
    discount_factors()
    implied_volatility_chain()

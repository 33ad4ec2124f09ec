"""A small market and generated books on it, for the demo, the tests and the timings."""

import datetime

import numpy as np
import pandas as pd

from korvexmodules import Analytics, Market

from .references import equity_id, identifier

VALUATION = datetime.date(2024, 1, 2)
# name, currency, spot, dividend yield
EQUITIES = (("ACME", "USD", 100.0, 0.02), ("GLOBEX", "USD", 48.5, 0.0), ("INITECH", "EUR", 82.0, 0.035))
EUR_USD = 1.09


def yearly(years):
    return [VALUATION.replace(year=VALUATION.year + k) for k in range(1, years + 1)]


def sample_market():
    """Discount curves in USD and EUR, dividend curves, three equity spots, EUR/USD and a
    survival curve, in one any_container."""
    entries = {
        Market.discount_id("OIS", "USD"): Market.discount_curve_piecewise_constant(
            VALUATION, yearly(5), [0.0525, 0.0480, 0.0440, 0.0415, 0.0400], "ACT/360"),
        Market.discount_id("OIS", "EUR"): Market.discount_curve_flat(VALUATION, 0.0325),
        Market.fx_spot_id("EUR", "USD"): Market.fx_spot(VALUATION, EUR_USD),
        Market.default_id("ACME", "USD", "SNRFOR", "MM14", "2014"): Market.survival_curve_piecewise_constant(
            VALUATION, yearly(5), [0.0120, 0.0150, 0.0180, 0.0200, 0.0210]),
    }
    for name, ccy, spot, dividend in EQUITIES:
        entries[equity_id(name, ccy)] = Market.equity_spot(VALUATION, spot)
        entries[Market.discount_id(f"DIV-{name}", ccy)] = Market.discount_curve_flat(VALUATION, dividend)
    return Market.any_container(entries)


def underlyings(rng, n):
    """(spot, rate, carry reference, spot value) of n rows drawn among the sample market's
    underlyings (the EUR/USD rate among them)."""
    choices = [(f"equity:{name}/{ccy}", f"discount:OIS/{ccy}", f"discount:DIV-{name}/{ccy}", spot)
               for name, ccy, spot, _ in EQUITIES] + [("fx:EUR/USD", "discount:OIS/USD", "discount:OIS/EUR", EUR_USD)]
    picked = rng.integers(0, len(choices), n)
    spot_ref, rate_ref, carry_ref = (np.array([choices[k][j] for k in picked], dtype=object) for j in range(3))
    return spot_ref, rate_ref, carry_ref, np.array([choices[k][3] for k in picked])


def dates_after(rng, n, shortest_days, longest_days):
    days = rng.integers(shortest_days, longest_days + 1, n)
    return (np.datetime64(VALUATION) + days.astype("timedelta64[D]")).astype(str)


def sample_book(n, seed=1, heston=True):
    """n options: European and American vanillas, barriers and (when `heston`) Heston
    Europeans, a quarter of them knock-outs, strikes 70-130 % of the spot, a month to three
    years. Heston rows are 2 % of the book: each costs about a thousand Black-Scholes
    Europeans."""
    rng = np.random.default_rng(seed)
    spot_ref, rate_ref, carry_ref, spot = underlyings(rng, n)
    kinds = rng.choice(["european", "american", "barrier", "heston"], n,
                       p=[0.44, 0.27, 0.27, 0.02] if heston else [0.45, 0.3, 0.25, 0.0])
    strike = np.round(spot * rng.uniform(0.7, 1.3, n), 4)
    book = pd.DataFrame({
        "id": [f"OPT{i:07d}" for i in range(n)],
        "type": rng.choice(["call", "put"], n),
        "strike": strike,
        "expiry": dates_after(rng, n, 30, 3 * 365),
        "exercise": np.where(kinds == "american", "american", "european"),
        "barrier": np.nan, "barrier_type": "", "rebate": np.nan,
        "model": np.where(kinds == "heston", "heston", "black_scholes"),
        "volatility": np.round(rng.uniform(0.15, 0.45, n), 4),
        "v0": np.nan, "kappa": np.nan, "eta": np.nan, "sigma": np.nan, "rho": np.nan,
        "spot": spot_ref, "rate": rate_ref, "carry": carry_ref})
    barrier = (kinds == "barrier") | ((kinds == "heston") & (rng.random(n) < 0.25))
    up = rng.random(n) < 0.5
    level = np.where(up, rng.uniform(1.1, 1.4, n), rng.uniform(0.6, 0.9, n)) * spot
    knock = np.where((rng.random(n) < 0.75) | (kinds == "heston"), "out", "in")
    book.loc[barrier, "barrier"] = np.round(level[barrier], 4)
    book.loc[barrier, "barrier_type"] = [f"{'up' if u else 'down'}-and-{k}" for u, k in zip(up[barrier], knock[barrier])]
    book.loc[barrier, "rebate"] = 0.0
    heston_rows = kinds == "heston"
    book.loc[heston_rows, "volatility"] = np.nan
    for name, low, high in (("v0", 0.02, 0.09), ("kappa", 0.5, 3.0), ("eta", 0.02, 0.09), ("sigma", 0.2, 0.8),
                            ("rho", -0.8, -0.2)):
        book.loc[heston_rows, name] = np.round(rng.uniform(low, high, heston_rows.sum()), 4)
    return book


def sample_implied_volatility_book(n, seed=2):
    """n European options on a flat 3 % market whose price column holds Black-Scholes prices
    at volatilities of 10-60 %, for the implied-volatility mode; the volatilities themselves are
    in the column true_volatility."""
    rng = np.random.default_rng(seed)
    spot_ref, rate_ref, carry_ref, spot = underlyings(rng, n)
    container = sample_market()
    expiry = np.datetime64(VALUATION) + rng.integers(30, 3 * 365 + 1, n).astype("timedelta64[D]")
    strike = np.round(spot * rng.uniform(0.7, 1.3, n), 4)
    sign = rng.choice([1.0, -1.0], n)
    volatility = rng.uniform(0.1, 0.6, n)
    forward, annuity = np.empty(n), np.empty(n)
    for reference in np.unique(spot_ref):
        rows = spot_ref == reference
        rate = container[identifier(rate_ref[rows][0])]
        carry = container[identifier(carry_ref[rows][0])]
        annuity[rows] = rate.df(expiry[rows])
        forward[rows] = spot[rows] * carry.df(expiry[rows]) / annuity[rows]
    years = Market.day_count_convention("ACT/365F").fraction(VALUATION, expiry)
    price = Analytics.black_scholes_price(strike, forward, years, volatility, annuity, sign)
    return pd.DataFrame({"id": np.arange(n), "type": np.where(sign > 0, "call", "put"), "strike": strike,
                         "expiry": expiry.astype(str), "spot": spot_ref, "rate": rate_ref, "carry": carry_ref,
                         "price": price, "true_volatility": volatility})


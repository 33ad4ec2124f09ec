"""One partition of a book priced on a worker: its rows parsed, its market references looked
up (shifted by the scenario), then every row that is sound priced in one call of a vectorised
pricer. A row that cannot be priced keeps its error text; the others are priced."""

from dataclasses import dataclass

import numpy as np
import pandas as pd

from korvexmodules import Analytics, Market
from korvexmodules.Core import Error

from .references import BASE, MarketView
from .schema import parse_rows

PRICE_COLUMNS = ("price", "delta", "gamma", "theta", "vega")
IMPLIED_VOLATILITY_COLUMN = "implied_volatility"
ACT_365 = Market.day_count_convention("ACT/365F")
BARRIER_DIRECTION = {"down-and-out": "down", "down-and-in": "down", "up-and-out": "up", "up-and-in": "up"}
BARRIER_KIND = {"down-and-out": "knock_out", "down-and-in": "knock_in", "up-and-out": "knock_out",
                "up-and-in": "knock_in"}
# Analytics splits arrays of 2^15 elements or more over the machine's cores; shorter slices keep
# a task on its worker's one core, so that the cluster's workers set the parallelism.
ONE_THREAD_SLICE = 1 << 14


@dataclass(frozen=True)
class Settings:
    """How rows are priced: the absolute accuracy the PDE pricer aims at (None: its default)."""
    implied_volatility: bool = False
    accuracy: float = None


def error_text(error):
    return str(error) if isinstance(error, Error) else f"{type(error).__name__}: {error}"


def price_partition(part, container, scenario=BASE, settings=Settings()):
    """The result columns of the rows of `part` (a DataFrame of book rows) against the market
    `container`: price and Greeks, or the implied volatility, and "error"."""
    rows = parse_rows(part, settings.implied_volatility)
    found = look_up_market(rows, MarketView(container, scenario))
    if settings.implied_volatility:
        columns = {IMPLIED_VOLATILITY_COLUMN: implied_volatilities(rows, found)}
    else:
        columns = dict(zip(PRICE_COLUMNS, prices(rows, found, scenario, settings)))
    columns["error"] = rows.errors
    return pd.DataFrame(columns, index=part.index)


def positions_by_value(values):
    """{value: positions of the value in the array}."""
    codes, distinct = pd.factorize(values)
    return {distinct[code]: positions for code, positions in pd.Series(codes).groupby(codes).indices.items()}


class Found:
    """The spot, rate and carry objects of every row (None where the row failed), with the
    identity of each object, so that rows on the same market can be grouped."""
    ROLES = ("spot", "rate", "carry")

    def __init__(self, n):
        self.objects = {role: np.full(n, None, dtype=object) for role in self.ROLES}
        self.identities = {role: np.zeros(n, dtype=np.int64) for role in self.ROLES}

    def set(self, role, positions, value):
        self.objects[role][positions] = value
        self.identities[role][positions] = id(value)

    def groups(self, positions):
        """Index arrays into `positions` of the rows that share spot, rate and carry."""
        keys = pd.DataFrame({role: self.identities[role][positions] for role in self.ROLES})
        return keys.groupby(list(self.ROLES), sort=False).indices.values()


def look_up_market(rows, view):
    """The market objects the rows' references name; a reference that names nothing usable
    fails its rows."""
    found = Found(len(rows.errors))
    for role in Found.ROLES:
        good = np.flatnonzero(rows.good)
        for reference, members in positions_by_value(getattr(rows, role)[good]).items():
            chosen = good[members]
            if role == "carry" and reference == "":
                for _, same_spot in positions_by_value(found.identities["spot"][chosen]).items():
                    first = chosen[same_spot[0]]
                    found.set(role, chosen[same_spot], view.no_carry(found.objects["spot"][first]))
                continue
            value, error = view.lookup(reference, role)
            if error:
                rows.fail(chosen, error)
            else:
                found.set(role, chosen, value)
    return found


# --- Implied volatilities --------------------------------------------------------------------

def implied_volatilities(rows, found):
    """Black-Scholes volatilities of the rows' prices (European vanillas): the price is the
    discounted one, the forward spot * P_carry / P_rate to expiry, time ACT/365 Fixed."""
    rows.fail(rows.exercise != "european", "an implied volatility needs a European option")
    rows.fail(~np.isnan(rows.barrier), "an implied volatility needs an option without barrier")
    result = np.full(len(rows.errors), np.nan)
    good = np.flatnonzero(rows.good)
    if len(good) == 0:
        return result
    forward, annuity, years = np.empty(len(good)), np.empty(len(good)), np.empty(len(good))
    for members in found.groups(good):
        spot, rate, carry = (found.objects[role][good[members[0]]] for role in Found.ROLES)
        expiries = rows.expiry[good[members]]
        annuity[members] = rate.df(expiries)
        forward[members] = spot.spot() * carry.df(expiries) / annuity[members]
        years[members] = ACT_365.fraction(spot.valuation_date, expiries)
    sign = np.where(rows.type[good] == "call", 1.0, -1.0)
    arguments = (rows.strike[good], forward, years, rows.price[good], annuity, sign)
    for start in range(0, len(good), ONE_THREAD_SLICE):
        chosen = slice(start, start + ONE_THREAD_SLICE)
        result[good[chosen]] = invert_slice(rows, good[chosen], [a[chosen] for a in arguments])
    return result


def invert_slice(rows, chosen, arguments):
    """The implied volatilities of one slice; the vectorised call stops at the first row the
    library refuses, so a refused slice is done again row by row."""
    try:
        return Analytics.black_scholes_implied_volatility(*arguments)
    except Error:
        volatilities = np.full(len(chosen), np.nan)
        for j, i in enumerate(chosen):
            try:
                volatilities[j] = Analytics.black_scholes_implied_volatility(*(a[j] for a in arguments))
            except Error as error:
                rows.fail([i], error_text(error))
        return volatilities


# --- Prices and Greeks -----------------------------------------------------------------------

def prices(rows, found, scenario, settings):
    """Price, delta, gamma, theta and vega of every row (NaN where it failed)."""
    n = len(rows.errors)
    columns = [np.full(n, np.nan) for _ in PRICE_COLUMNS]
    for model, price_group in (("black_scholes", black_scholes_group(rows, scenario, settings)),
                               ("heston", heston_group(rows, settings))):
        selected = np.flatnonzero(rows.good & (rows.model == model))
        if len(selected):
            values, errors = price_by_market(rows, selected, found, price_group)
            for column, value in zip(columns, values):
                column[selected] = value
            rows.fail_each(np.isin(np.arange(n), selected), errors)
    return columns


def price_by_market(rows, selected, found, price_group):
    """(price, delta, gamma, theta, vega arrays, error texts) of the rows `selected`, priced by
    price_group(Pricing, market, rows) once per market; the vectorised pricers it calls release
    the GIL and run on this task's one thread (the cluster's workers set the parallelism)."""
    values = [np.full(len(selected), np.nan) for _ in PRICE_COLUMNS]
    errors = np.full(len(selected), "", dtype=object)
    try:
        from korvexmodules import Pricing
    except ImportError:
        errors[:] = "korvexmodules.Pricing is not built"
        return values, errors
    for members in found.groups(selected):
        chosen = selected[members]
        try:
            market = Pricing.market(*(found.objects[role][chosen[0]] for role in Found.ROLES))
        except Error as error:
            errors[members] = error_text(error)
            continue
        group_values, group_errors = price_group(Pricing, market, chosen)
        for value, group_value in zip(values, group_values):
            value[members] = group_value
        errors[members] = group_errors
    return values, errors


def option_columns(rows, chosen):
    """The instrument columns both column pricers take, for the rows `chosen`: a row with a
    barrier level is a barrier option of its barrier_type, the others are vanillas."""
    barrier_type = rows.barrier_type[chosen]
    return dict(type=rows.type[chosen], strike=rows.strike[chosen], expiry=rows.expiry[chosen],
                exercise=rows.exercise[chosen], barrier=rows.barrier[chosen],
                direction=[BARRIER_DIRECTION.get(b) for b in barrier_type],
                kind=[BARRIER_KIND.get(b, "knock_out") for b in barrier_type], rebate=rows.rebate[chosen],
                payment=rows.rebate_payment[chosen])


def pricer_settings(make, settings):
    """The pricer's settings: its defaults, or the accuracy asked for."""
    return make() if settings.accuracy is None else make(accuracy=settings.accuracy)


def priced_columns(result):
    return [getattr(result, column) for column in PRICE_COLUMNS], result.errors


def black_scholes_group(rows, scenario, settings):
    """The pricer of price_by_market for Black-Scholes rows: price_black_scholes_columns."""
    def price_group(Pricing, market, chosen):
        return priced_columns(Pricing.price_black_scholes_columns(
            market, volatility=rows.volatility[chosen] + scenario.volatility_shift, **option_columns(rows, chosen),
            settings=pricer_settings(Pricing.black_scholes_settings, settings), threads=1))
    return price_group


def heston_group(rows, settings):
    """The pricer of price_by_market for Heston rows: price_heston_columns, whose barrier rows
    go to price_heston's barrier_option overload (its price or its refusal)."""
    def price_group(Pricing, market, chosen):
        return priced_columns(Pricing.price_heston_columns(
            market, **option_columns(rows, chosen), **{name: column[chosen] for name, column in rows.heston.items()},
            settings=pricer_settings(Pricing.heston_settings, settings), threads=1))
    return price_group

"""The columns of a book and their parsing into arrays, row by row: a cell that cannot be read
gives its row an error text and leaves the other rows alone."""

from dataclasses import dataclass

import numpy as np
import pandas as pd

# Columns every book needs, per mode; the others are optional (see the package's docstring).
REQUIRED_PRICING = ("id", "type", "strike", "expiry", "model", "spot", "rate")
REQUIRED_IMPLIED_VOLATILITY = ("id", "type", "strike", "expiry", "spot", "rate", "price")
HESTON_PARAMETERS = ("v0", "kappa", "eta", "sigma", "rho")

OPTION_TYPES = ("call", "put")
EXERCISES = ("european", "american")
MODELS = ("black_scholes", "heston")
BARRIER_TYPES = ("down-and-out", "down-and-in", "up-and-out", "up-and-in")
REBATE_PAYMENTS = ("at_expiry", "at_hit")


class BookError(ValueError):
    """The book, the market, the scenarios or the result file cannot be used at all."""


def missing_columns(book, implied_volatility):
    required = REQUIRED_IMPLIED_VOLATILITY if implied_volatility else REQUIRED_PRICING
    return [name for name in required if name not in book.columns]


def check_columns(book, implied_volatility):
    missing = missing_columns(book, implied_volatility)
    if missing:
        raise BookError("The book has no column " + ", ".join(f'"{name}"' for name in missing))


@dataclass
class Rows:
    """The cells of a partition as arrays, one element per row; `errors` holds the first
    problem met on each row ("" where none)."""
    errors: np.ndarray
    type: np.ndarray
    exercise: np.ndarray
    model: np.ndarray
    strike: np.ndarray
    expiry: np.ndarray
    spot: np.ndarray
    rate: np.ndarray
    carry: np.ndarray
    barrier: np.ndarray
    barrier_type: np.ndarray
    rebate: np.ndarray
    rebate_payment: np.ndarray
    volatility: np.ndarray
    price: np.ndarray
    heston: dict
    good: np.ndarray = None  # rows without an error, kept beside the texts

    def fail(self, mask, text):
        """Gives `text` to the rows of `mask` (booleans or positions) that have no error yet."""
        chosen = np.zeros(len(self.errors), dtype=bool)
        chosen[mask] = True
        chosen &= self.good
        self.errors[chosen] = text
        self.good &= ~chosen

    def fail_each(self, mask, texts):
        """The same with one text per row of `mask`."""
        for i, text in zip(np.flatnonzero(mask), texts):
            if self.good[i] and text:
                self.errors[i] = text
                self.good[i] = False


def by_distinct_value(values, function):
    """function applied to each distinct value of an array once (a book repeats its types,
    references and dates), the results spread back to every element as an object array."""
    codes, distinct = pd.factorize(values)
    results = np.empty(len(distinct) + 1, dtype=object)
    results[:-1] = [function(v) for v in distinct]
    results[-1] = function(None)  # code -1: an empty cell
    return results[codes]


def text_column(part, name, default="", lower=False):
    """The column as stripped text ("" for an empty cell; lower-cased with `lower`), or
    `default` everywhere when the book has no such column."""
    if name not in part.columns:
        return np.full(len(part), default)  # fixed-width text: quicker to fill than objects

    def clean(value):
        text = "" if value is None else str(value).strip()
        return text.lower() if lower else text
    return by_distinct_value(part[name], clean)


def choice_column(rows, part, name, choices, default):
    """The column lower-cased, an empty cell `default`, a row whose value is not one of
    `choices` failing."""
    if name not in part.columns:
        return np.full(len(part), default)
    values = text_column(part, name, default, lower=True)
    values[values == ""] = default
    unknown = ~np.isin(values, choices)
    rows.fail_each(unknown, (f'{name} "{v}" is not one of {", ".join(choices)}' for v in values[unknown]))
    return values


def to_float(text):
    try:
        return float(text)
    except ValueError:
        return np.nan


def parse_numbers(text):
    """Text to float64, correctly rounded (Python's float, as the CSV's writer's repr round
    trips; pandas' fast parser may miss the last bit); NaN where empty or not a number."""
    cleaned = np.where(text == "", "nan", text).astype(object)
    try:
        return cleaned.astype(np.float64)
    except ValueError:
        return np.array([to_float(t) for t in cleaned], dtype=np.float64)


def number_column(rows, part, name, required):
    """The column as float64: NaN in an empty cell; a cell that is not a number fails its row,
    and so does an empty one when `required`."""
    if name in part.columns and pd.api.types.is_numeric_dtype(part[name]):
        numbers = part[name].to_numpy(dtype=np.float64)
        blank = np.isnan(numbers)
    else:
        text = part[name].to_numpy(dtype=object) if name in part.columns else np.full(len(part), "", dtype=object)
        blank = pd.isna(text) | (text == "")
        numbers = parse_numbers(np.where(blank, "", text))
        unreadable = np.isnan(numbers) & ~blank
        rows.fail_each(unreadable, (f'{name} "{v}" is not a number' for v in text[unreadable]))
    if required:
        rows.fail(blank, f"{name} is empty")
    return numbers


def date_column(rows, part, name):
    """The column as datetime64[ns]; a cell that is not a date (YYYY-MM-DD, a time of day
    allowed) fails its row."""
    if pd.api.types.is_datetime64_dtype(part[name]):
        dates = part[name].to_numpy(dtype="datetime64[ns]")
        text = np.where(np.isnat(dates), "", "-")
    else:
        text = text_column(part, name)
        codes, distinct = pd.factorize(text)
        parsed = pd.to_datetime(pd.Series(distinct, dtype=object).replace("", None), errors="coerce")
        dates = parsed.to_numpy(dtype="datetime64[ns]")[codes]
    bad = np.isnat(dates)
    rows.fail_each(bad, (f'{name} "{v}" is not a date (YYYY-MM-DD)' if v else f"{name} is empty"
                         for v in text[bad]))
    return dates


def parse_rows(part, implied_volatility):
    """The cells of a partition of the book, each row checked on its own."""
    n = len(part)
    rows = Rows(errors=np.full(n, "", dtype=object), **{name: None for name in Rows.__dataclass_fields__
                                                        if name not in ("errors", "good")})
    rows.good = np.ones(n, dtype=bool)
    rows.type = choice_column(rows, part, "type", OPTION_TYPES, "")
    rows.exercise = choice_column(rows, part, "exercise", EXERCISES, "european")
    rows.model = choice_column(rows, part, "model", MODELS, "black_scholes")
    rows.strike = number_column(rows, part, "strike", required=True)
    rows.expiry = date_column(rows, part, "expiry")
    rows.spot = text_column(part, "spot")
    rows.rate = text_column(part, "rate")
    rows.carry = text_column(part, "carry")
    rows.fail(rows.spot == "", "spot is empty")
    rows.fail(rows.rate == "", "rate is empty")
    rows.barrier = number_column(rows, part, "barrier", required=False)
    has_barrier = ~np.isnan(rows.barrier)
    rows.barrier_type = choice_column(rows, part, "barrier_type", BARRIER_TYPES + ("",), "")
    rows.fail(has_barrier & (rows.barrier_type == ""), "barrier_type is empty on a row with a barrier")
    rows.fail(~has_barrier & (rows.barrier_type != ""), "barrier_type is given without a barrier level")
    rows.rebate = np.nan_to_num(number_column(rows, part, "rebate", required=False), nan=0.0)
    rows.rebate_payment = choice_column(rows, part, "rebate_payment", REBATE_PAYMENTS, "at_expiry")
    if implied_volatility:
        rows.price = number_column(rows, part, "price", required=True)
        rows.volatility = np.full(n, np.nan)
        rows.heston = {}
    else:
        black_scholes = rows.model == "black_scholes"
        rows.volatility = number_column(rows, part, "volatility", required=False)
        rows.fail(black_scholes & np.isnan(rows.volatility), "volatility is empty on a black_scholes row")
        rows.heston = {name: number_column(rows, part, name, required=False) for name in HESTON_PARAMETERS}
        for name, values in rows.heston.items():
            rows.fail(~black_scholes & np.isnan(values), f"{name} is empty on a heston row")
        rows.price = np.full(n, np.nan)
    return rows

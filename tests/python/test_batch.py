"""korvexmodules.batch in this process (Dask's synchronous scheduler): the book's rows against
the same rows computed one by one, row errors, scenarios, the command's exit code and files,
and the pictures. The cluster runs are in test_batch_cluster.py."""

import importlib.util
import os
import subprocess
import sys

import numpy as np
import pandas as pd
import pytest

from korvexmodules import Analytics, Market
from korvexmodules.batch import BookError, IN_PROCESS, price_book, read_table
from korvexmodules.batch.__main__ import MOST_FAILED_ROWS, NOTHING_PRICED, main
from korvexmodules.batch import read_scenarios
from korvexmodules.batch.partition import PRICE_COLUMNS
from korvexmodules.batch.references import BASE, identifier, shifted_curve, shifted_spot
from korvexmodules.batch.sample import VALUATION, sample_book, sample_implied_volatility_book, sample_market
from korvexmodules.Core import Error


@pytest.fixture(scope="module")
def market():
    return sample_market()


@pytest.fixture(scope="module")
def files(tmp_path_factory, market):
    folder = tmp_path_factory.mktemp("batch")
    market.write_json(folder / "market.json")
    market.write_binary(folder / "market.bin")
    sample_implied_volatility_book(60).to_csv(folder / "prices.csv", index=False)
    return folder


def implied_volatility_one_by_one(row, container, spot_shift=0.0):
    """The implied volatility of one book row by a scalar Analytics call."""
    spot = container[identifier(row["spot"])].spot() * (1.0 + spot_shift)
    expiry = np.datetime64(row["expiry"])
    annuity = container[identifier(row["rate"])].df(expiry)
    carry = container[identifier(row["carry"])].df(expiry) if row["carry"] else 1.0
    forward = spot * carry / annuity
    years = Market.day_count_convention("ACT/365F").fraction(VALUATION, expiry)
    sign = 1.0 if row["type"] == "call" else -1.0
    return Analytics.black_scholes_implied_volatility(float(row["strike"]), forward, years, float(row["price"]),
                                                      annuity, sign)


# Arrays of implied volatilities are solved by blocks of vectorised lanes, which agree with the
# scalar inversion, and with each other wherever a row falls in a block, to a few ulp (optimised
# builds fuse products differently in the lanes and the remainder).
VOLATILITY_ULPS = 8 * np.finfo(float).eps


def assert_same_volatilities(actual, expected):
    np.testing.assert_allclose(actual, expected, rtol=VOLATILITY_ULPS, atol=0)


def test_implied_volatilities_equal_one_by_one_calls(files, market):
    book = read_table(files / "prices.csv", "book")
    result = price_book(book, files / "market.bin", scheduler=IN_PROCESS, partition_size=7,
                        implied_volatility=True)
    expected = [implied_volatility_one_by_one(row, market) for _, row in book.iterrows()]
    assert list(result.columns) == list(book.columns) + ["implied_volatility", "error"]
    assert (result["error"] == "").all()
    assert_same_volatilities(result["implied_volatility"], expected)
    np.testing.assert_allclose(result["implied_volatility"], book["true_volatility"].astype(float), rtol=1e-9)


def shifted_market(row, container, scenario):
    """The Pricing market of one book row under a scenario."""
    from korvexmodules import Pricing
    spot = shifted_spot(container[identifier(row["spot"])], scenario.spot_shift)
    rate = shifted_curve(container[identifier(row["rate"])], scenario.rate_shift)
    carry = container[identifier(row["carry"])] if row["carry"] else Market.discount_curve_flat(VALUATION, 0.0)
    carry = shifted_curve(carry, scenario.carry_shift)
    return Pricing.black_scholes_market(spot, rate, carry, float(row["volatility"]) + scenario.volatility_shift)


def price_one_by_one(book, container, scenario=BASE, accuracy=1e-3):
    """Price and Greeks of every row of a Black-Scholes book, one Pricing call each."""
    from korvexmodules import Pricing
    values = []
    for _, row in book.iterrows():
        option = Pricing.vanilla_option(row["type"], float(row["strike"]), np.datetime64(row["expiry"]),
                                        row["exercise"] or "european")
        if row["barrier_type"]:
            direction, kind = row["barrier_type"].split("-and-")
            option = Pricing.barrier_option(option, direction, "knock_" + kind, float(row["barrier"]),
                                            float(row.get("rebate") or 0.0))
        result = Pricing.price_black_scholes(option, shifted_market(row, container, scenario),
                                             Pricing.black_scholes_settings(accuracy=accuracy))
        values.append([result.price, result.delta, result.gamma, result.theta, result.vega])
    return pd.DataFrame(values, columns=list(PRICE_COLUMNS))


SCENARIOS = pd.DataFrame({"scenario": ["base", "shocked"], "spot_shift": [0.0, -0.03],
                          "volatility_shift": [0.0, 0.02], "rate_shift": [0.0, 0.001], "carry_shift": [0.0, -0.002]})


def test_prices_under_scenarios_equal_one_by_one_calls(market, tmp_path):
    book = sample_book(16, seed=5, heston=False)
    book.to_csv(tmp_path / "book.csv", index=False)
    text = read_table(tmp_path / "book.csv", "book")
    result = price_book(text, market, scheduler=IN_PROCESS, partition_size=5, scenarios=SCENARIOS, accuracy=1e-3)
    assert set(book["exercise"]) == {"european", "american"} and (book["barrier_type"] != "").any()
    assert (result["error"] == "").all()
    for k, scenario in enumerate(read_scenarios(SCENARIOS)):
        rows = result[result["scenario"] == scenario.name].reset_index(drop=True)
        expected = price_one_by_one(text, market, scenario)
        for column in PRICE_COLUMNS:
            np.testing.assert_array_equal(rows[column], expected[column], err_msg=column)


@pytest.mark.parametrize("curve", [Market.discount_curve_flat(VALUATION, 0.03, "ACT/360"),
                                   Market.discount_curve_piecewise_constant(VALUATION, np.array(["2025-01-02", "2027-01-02"], "datetime64[D]"),
                                                                            [0.03, 0.05])])
def test_a_curve_shift_is_parallel(curve):
    dates = np.datetime64(VALUATION) + np.array([1, 200, 1000, 3000]).astype("timedelta64[D]")
    years = curve.convention.fraction(VALUATION, dates)
    np.testing.assert_allclose(shifted_curve(curve, 0.01).df(dates), curve.df(dates) * np.exp(-0.01 * years),
                               rtol=1e-14)
    assert shifted_spot(Market.equity_spot(VALUATION, 80.0), 0.05).spot() == 84.0


def test_a_row_the_pricer_refuses_gets_its_message(market):
    from korvexmodules import Pricing
    book = pd.DataFrame([bad_row(id="before"), bad_row(expiry="2023-12-01"),
                         bad_row(barrier="120", barrier_type="down-and-out"), bad_row(id="after")]).drop(columns="price")
    result = price_book(book, market, scheduler=IN_PROCESS)
    for i in (1, 2):
        with pytest.raises(Error) as refusal:
            price_one_by_one(book.iloc[[i]].fillna(""), market)
        assert result["error"][i] == str(refusal.value)
    assert list(result["error"][[0, 3]]) == ["", ""]


def bad_row(**changes):
    row = {"id": "x", "type": "call", "strike": "100", "expiry": "2025-01-02", "exercise": "", "barrier": "",
           "barrier_type": "", "model": "black_scholes", "volatility": "0.2", "v0": "", "kappa": "", "eta": "",
           "sigma": "", "rho": "", "spot": "equity:ACME/USD", "rate": "discount:OIS/USD", "carry": "",
           "price": "10"}
    row.update(changes)
    return row


BAD_ROWS = [
    (dict(type="straddle"), 'type "straddle" is not one of call, put'),
    (dict(strike="abc"), 'strike "abc" is not a number'),
    (dict(strike=""), "strike is empty"),
    (dict(expiry="2024-13-45"), 'expiry "2024-13-45" is not a date (YYYY-MM-DD)'),
    (dict(exercise="bermudan"), 'exercise "bermudan" is not one of european, american'),
    (dict(model="sabr"), 'model "sabr" is not one of black_scholes, heston'),
    (dict(barrier="80"), "barrier_type is empty on a row with a barrier"),
    (dict(barrier_type="up-and-out"), "barrier_type is given without a barrier level"),
    (dict(volatility=""), "volatility is empty on a black_scholes row"),
    (dict(model="heston", v0="0.04", kappa="1", eta="0.04", sigma="0.5"), "rho is empty on a heston row"),
    (dict(spot=""), "spot is empty"),
    (dict(spot="stock:ACME"), 'spot: "stock:ACME" is not a market reference (discount:, fx:, default:, equity:)'),
    (dict(rate="discount:OIS"), 'rate: "discount:OIS" does not read discount:ID/CCY'),
    (dict(rate="discount:OIS/JPY"), 'rate: the market holds no "discount:OIS/JPY"'),
    (dict(spot="discount:OIS/USD"), 'spot: "discount:OIS/USD" is a discount_curve_piecewise_constant, '
                                    'not an equity or FX spot'),
    (dict(carry="default:ACME/USD/SNRFOR/MM14/2014"), 'carry: "default:ACME/USD/SNRFOR/MM14/2014" is a '
                                                      'survival_curve_piecewise_constant, not a discount curve'),
]


@pytest.mark.parametrize("changes, message", BAD_ROWS, ids=[m[:40] for _, m in BAD_ROWS])
def test_a_bad_row_gets_its_error_and_the_others_are_priced(market, changes, message):
    book = pd.DataFrame([bad_row(id="before"), bad_row(**changes), bad_row(id="after")])
    result = price_book(book.drop(columns="price"), market, scheduler=IN_PROCESS)
    assert list(result["error"])[1] == message
    assert np.isnan(result["price"][1])


HESTON = dict(model="heston", volatility="", v0="0.04", kappa="1.5", eta="0.05", sigma="0.4", rho="-0.6")


@pytest.mark.parametrize("changes", [dict(), dict(type="put", strike="90", exercise="american")])
def test_a_heston_row_equals_a_one_by_one_call(market, changes):
    from korvexmodules import Pricing
    book = pd.DataFrame([bad_row(id="before"), bad_row(**HESTON, **changes)]).drop(columns="price")
    result = price_book(book, market, scheduler=IN_PROCESS, accuracy=1e-2)
    row = book.iloc[1]
    option = Pricing.vanilla_option(row["type"], float(row["strike"]), np.datetime64(row["expiry"]),
                                    row["exercise"] or "european")
    heston = Pricing.heston_parameters(*(float(row[name]) for name in ("v0", "kappa", "eta", "sigma", "rho")))
    expected = Pricing.price_heston(option, shifted_market(dict(row, volatility="0.2"), market, BASE), heston,
                                    Pricing.heston_settings(accuracy=1e-2))
    assert list(result["error"]) == ["", ""]
    for column in ("price", "delta", "gamma", "theta"):
        assert result[column][1] == getattr(expected, column), column
    assert np.isnan(result["vega"][1])


def test_a_heston_barrier_row_gets_the_pricers_refusal(market):
    from korvexmodules import Pricing
    book = pd.DataFrame([bad_row(**HESTON, barrier="120", barrier_type="down-and-out"), bad_row(id="after")])
    result = price_book(book.drop(columns="price"), market, scheduler=IN_PROCESS, accuracy=1e-2)
    option = Pricing.barrier_option(Pricing.vanilla_option("call", 100.0, np.datetime64("2025-01-02")), "down",
                                    "knock_out", 120.0)
    with pytest.raises(Error) as refusal:
        Pricing.price_heston(option, shifted_market(bad_row(), market, BASE),
                             Pricing.heston_parameters(0.04, 1.5, 0.05, 0.4, -0.6))
    assert list(result["error"]) == [str(refusal.value), ""]


IMPLIED_VOLATILITY_BAD_ROWS = [
    (dict(exercise="american"), "an implied volatility needs a European option"),
    (dict(barrier="80", barrier_type="down-and-out"), "an implied volatility needs an option without barrier"),
    (dict(price="abc"), 'price "abc" is not a number'),
]


@pytest.mark.parametrize("changes, message", IMPLIED_VOLATILITY_BAD_ROWS)
def test_a_bad_row_of_prices_gets_its_error_and_the_others_are_inverted(market, changes, message):
    book = pd.DataFrame([bad_row(id="before"), bad_row(**changes), bad_row(id="after")])
    result = price_book(book, market, scheduler=IN_PROCESS, implied_volatility=True)
    assert list(result["error"]) == ["", message, ""]
    assert np.isfinite(result["implied_volatility"][[0, 2]]).all()


def test_a_price_the_library_refuses_gets_its_message(market):
    book = pd.DataFrame([bad_row(), bad_row(price="-1"), bad_row()])
    result = price_book(book, market, scheduler=IN_PROCESS, implied_volatility=True)
    with pytest.raises(Error) as refusal:
        implied_volatility_one_by_one(book.iloc[1], market)
    assert list(result["error"]) == ["", str(refusal.value), ""]
    assert result["implied_volatility"][0] == result["implied_volatility"][2] == \
        implied_volatility_one_by_one(book.iloc[0], market)


def test_scenarios_price_the_whole_book_each(files, market):
    book = read_table(files / "prices.csv", "book").head(10)
    scenarios = pd.DataFrame({"scenario": ["base", "spot up"], "spot_shift": ["", "0.05"]})
    result = price_book(book, market, scheduler=IN_PROCESS, scenarios=scenarios, implied_volatility=True)
    assert list(result["scenario"]) == ["base"] * 10 + ["spot up"] * 10
    for shift, rows in ((0.0, result[:10]), (0.05, result[10:])):
        for (_, row), volatility, error in zip(book.iterrows(), rows["implied_volatility"], rows["error"]):
            try:
                expected = implied_volatility_one_by_one(row, market, shift)
                assert error == "" and volatility == pytest.approx(expected, rel=VOLATILITY_ULPS, abs=0)
            except Error as refusal:
                assert np.isnan(volatility) and error == str(refusal)
    assert (result["error"][10:] != "").any()  # a price under the shifted intrinsic value


@pytest.mark.parametrize("scenarios, message", [
    (pd.DataFrame({"name": ["a"]}), 'The scenarios need a column "scenario"'),
    (pd.DataFrame({"scenario": ["a"], "spot_shfit": [0.1]}), 'unknown: "spot_shfit"'),
    (pd.DataFrame({"scenario": ["a", "a"]}), "The scenarios need distinct, non-empty names"),
    (pd.DataFrame({"scenario": ["a"], "rate_shift": ["1bp"]}), 'The scenario column "rate_shift" holds a value'),
])
def test_unusable_scenarios_are_refused(market, scenarios, message):
    with pytest.raises(BookError, match=message):
        price_book(pd.DataFrame([bad_row()]), market, scheduler=IN_PROCESS, scenarios=scenarios, implied_volatility=True)


@pytest.mark.parametrize("option, message", [
    (dict(partition_size=0), "The partition size must be a positive whole number, not 0"),
    (dict(accuracy=-1e-4), "The accuracy must be a positive number, not -0.0001"),
    (dict(retries=-1), "The retries must be a whole number from 0, not -1"),
])
def test_unusable_options_are_refused(market, option, message):
    with pytest.raises(BookError, match=message):
        price_book(pd.DataFrame([bad_row()]).drop(columns="price"), market, scheduler=IN_PROCESS, **option)


def test_book_without_a_required_column_or_with_a_result_column_is_refused(market):
    with pytest.raises(BookError, match='The book has no column "strike", "rate"'):
        price_book(pd.DataFrame([bad_row()]).drop(columns=["strike", "rate"]), market, scheduler=IN_PROCESS)
    with pytest.raises(BookError, match='The book already has the result column "price"'):
        price_book(pd.DataFrame([bad_row()]), market, scheduler=IN_PROCESS)


def run_command(*arguments):
    return subprocess.run([sys.executable, "-m", "korvexmodules.batch", "price", *map(str, arguments)],
                          capture_output=True, text=True, timeout=600)


def test_command_writes_the_result_and_counts_the_failed_rows(files, market):
    book = read_table(files / "prices.csv", "book")
    book.loc[[3, 8], "strike"] = "-"
    book.to_csv(files / "two_bad.csv", index=False)
    out = files / "two_bad_result.csv"
    done = run_command(files / "two_bad.csv", "--market", files / "market.json", "--out", out,
                       "--scheduler", "synchronous", "--implied-volatility", "--partition-size", 16, "--quiet")
    assert done.returncode == 2, done.stderr
    assert done.stderr == f"58 of 60 rows priced, 2 failed; result in {out}\n"
    written = pd.read_csv(out, dtype={"error": str}, keep_default_na=False, float_precision="round_trip")
    expected = price_book(book, market, scheduler=IN_PROCESS, implied_volatility=True)
    assert_same_volatilities(written["implied_volatility"].replace("", np.nan).astype(float),
                             expected["implied_volatility"])
    assert list(written["error"]) == list(expected["error"])
    assert [name for name in os.listdir(files) if name.endswith(".tmp")] == []
    umask = os.umask(0o022)
    os.umask(umask)
    assert out.stat().st_mode & 0o777 == 0o666 & ~umask  # as open() makes files, not private


def test_exit_code_is_capped(files, market):
    book = read_table(files / "prices.csv", "book")
    book = pd.concat([book] * 3, ignore_index=True)
    book["strike"] = "-"
    book.to_csv(files / "all_bad.csv", index=False)
    code = main(["price", str(files / "all_bad.csv"), "--market", str(files / "market.json"), "--out",
                 str(files / "all_bad_result.csv"), "--scheduler", "synchronous", "--implied-volatility", "--quiet"])
    assert len(book) > MOST_FAILED_ROWS and code == MOST_FAILED_ROWS


@pytest.mark.parametrize("content", [b"", b"{\"root\": 1", b"KORVEXBF\x01\x00\x00", b"\x00" * 64])
def test_unreadable_market_file_leaves_no_result(files, content):
    market = files / "broken_market"
    market.write_bytes(content)
    out = files / "kept.csv"
    out.write_text("what was here before\n")
    done = run_command(files / "prices.csv", "--market", market, "--out", out, "--scheduler", "synchronous",
                       "--implied-volatility", "--quiet")
    assert done.returncode == NOTHING_PRICED
    assert done.stderr.startswith(f'error: Cannot read the market "{market}": ')
    assert out.read_text() == "what was here before\n"
    assert [name for name in os.listdir(files) if name.endswith(".tmp")] == []


def test_result_may_not_replace_an_input(files):
    done = run_command(files / "prices.csv", "--market", files / "market.json", "--out", files / "prices.csv",
                       "--scheduler", "synchronous", "--implied-volatility", "--quiet")
    assert done.returncode == NOTHING_PRICED
    assert "would replace the input file" in done.stderr


@pytest.mark.skipif(any(importlib.util.find_spec(m) for m in ("pyarrow", "fastparquet")),
                    reason="Parquet files are read here")
def test_parquet_needs_pyarrow(files, market):
    with pytest.raises(BookError, match='Parquet files need pyarrow, which is not installed here; use CSV for ".*book.parquet"'):
        price_book(files / "book.parquet", market, scheduler=IN_PROCESS)
    with pytest.raises(BookError, match="Parquet files need pyarrow"):
        price_book(files / "prices.csv", market, files / "result.parquet", scheduler=IN_PROCESS, implied_volatility=True)


def is_png(path):
    with open(path, "rb") as file:
        return file.read(8) == b"\x89PNG\r\n\x1a\n" and os.path.getsize(path) > 5000


def test_pictures_are_written(tmp_path, market):
    from korvexmodules.batch import pictures
    result = price_book(sample_book(40, heston=True), market, scheduler=IN_PROCESS, accuracy=1e-2)
    written = [pictures.sabr_smile(tmp_path / "sabr.png"), pictures.market_curves(market, tmp_path / "curves.png"),
               pictures.black_scholes_profile(tmp_path / "profile.png", accuracy=1e-3),
               pictures.price_distribution(result, tmp_path / "book.png")]
    assert all(is_png(path) for path in written)

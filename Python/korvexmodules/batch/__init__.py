"""Books of options priced on a Dask cluster: ``python -m korvexmodules.batch price BOOK
--market MARKET --out RESULT``, or price_book() from Python.

The book is a table (CSV, or Parquet where pyarrow is installed), one instrument per row:
    id              any text, carried to the result
    type            call or put
    strike          a number
    expiry          a date, YYYY-MM-DD
    exercise        european (an empty cell) or american
    barrier         empty, or the level of a barrier monitored continuously to expiry
    barrier_type    down-and-out, down-and-in, up-and-out or up-and-in (with a barrier)
    rebate          paid when a knock-out dies or a knock-in never lives (empty: 0)
    rebate_payment  at_expiry (an empty cell) or at_hit (knock-outs)
    model           black_scholes (an empty cell) or heston
    volatility      the Black-Scholes volatility
    v0, kappa, eta, sigma, rho
                    the Heston parameters: initial and long-run variance, mean reversion,
                    volatility of the variance, correlation
    spot            market reference of the spot: equity:NAME/CCY or fx:DOMESTIC/FOREIGN
    rate            market reference of the discounting curve: discount:ID/CCY
    carry           market reference of the carry curve (dividend yield, foreign rate);
                    empty: no carry
    price           with implied_volatility only: the discounted price to invert
Columns id, type, strike, expiry, model, spot and rate are required to price (id, type, strike,
expiry, spot, rate and price to find implied volatilities); other columns pass through. The
references name identifiers of the market container (see korvexmodules.batch.references).

The result is the book followed by price, delta, gamma, theta, vega (or implied_volatility)
and error: "" where the row is priced, else why it is not. A row's bad input never stops the
others.
"""

from .references import Scenario
from .run import IN_PROCESS, failed_rows, price_book, read_market, read_scenarios, read_table, write_table
from .schema import BookError

__all__ = ["price_book", "read_market", "read_scenarios", "read_table", "write_table", "failed_rows",
           "BookError", "Scenario", "IN_PROCESS"]

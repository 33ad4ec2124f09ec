"""Option pricing by finite differences: vanilla and barrier options (instruments), the market
inputs on the spots and curves of korvexmodules.Market, and the pricers with their settings
and results.

Each pricer prices one instrument, or many in one call with the GIL released and the options
shared among threads: a list of instruments (the *_batch form) or a table given by columns
(the *_columns form). There an option that cannot be priced gets its error text and does not
stop the others. Enumeration arguments take the enumeration value, its name or its integer
code; dates are what korvexmodules.Market accepts. The library's refusals raise
korvexmodules.Core.Error."""

import datetime
import enum
from collections.abc import Sequence
from typing import Any, Optional, Union

import numpy as np
import numpy.typing as npt

from korvexmodules.Market import discount_curve, equity_spot, fx_spot

Date = Union[datetime.date, np.datetime64, float, int]
DateResult = Union[datetime.date, datetime.datetime, float]
Array = npt.NDArray[np.float64]
Column = Union[float, int, str, npt.ArrayLike, Sequence[Any]]

class option_type(enum.IntEnum):
    call = 0
    put = 1

class exercise_type(enum.IntEnum):
    european = 0
    american = 1

class barrier_direction(enum.IntEnum):
    down = 0
    up = 1

class barrier_kind(enum.IntEnum):
    knock_out = 0
    knock_in = 1

class rebate_payment(enum.IntEnum):
    at_hit = 0
    at_expiry = 1

class pde_scheme_type(enum.IntEnum):
    adi_hundsdorfer_verwer = 0
    adi_douglas = 1
    adi_craig_sneyd = 2
    adi_modified_craig_sneyd = 3
    crank_nicolson = 4
    two_stage_l_stable = 5
    implicit_euler = 6

class vanilla_option:
    """A call or a put on the market's spot, exercised at expiry or at any time up to it."""
    def __init__(self, type: Union[option_type, str, int], strike: float, expiry: Date,
                 exercise: Union[exercise_type, str, int] = "european") -> None: ...
    @property
    def type(self) -> option_type: ...
    @property
    def strike(self) -> float: ...
    @property
    def expiry(self) -> DateResult: ...
    @property
    def exercise(self) -> exercise_type: ...

class barrier_option:
    """A vanilla option with one barrier monitored continuously up to expiry."""
    def __init__(self, option: vanilla_option, direction: Union[barrier_direction, str, int],
                 kind: Union[barrier_kind, str, int], level: float, rebate: float = 0.0,
                 payment: Union[rebate_payment, str, int] = "at_expiry") -> None: ...
    @property
    def option(self) -> vanilla_option: ...
    @property
    def direction(self) -> barrier_direction: ...
    @property
    def kind(self) -> barrier_kind: ...
    @property
    def level(self) -> float: ...
    @property
    def rebate(self) -> float: ...
    @property
    def payment(self) -> rebate_payment: ...

Option = Union[vanilla_option, barrier_option]

class market:
    """A spot with the discount curve of the payoff (rate) and the curve of the carry."""
    def __init__(self, spot: Union[equity_spot, fx_spot], rate: discount_curve, carry: discount_curve) -> None: ...
    @property
    def spot(self) -> float: ...
    @property
    def valuation_date(self) -> DateResult: ...

class black_scholes_market(market):
    """A market with a constant Black-Scholes volatility."""
    def __init__(self, *args: object, **kwargs: object) -> None:
        """black_scholes_market(market, volatility) or
        black_scholes_market(spot, rate, carry, volatility)."""
    @property
    def volatility(self) -> float: ...

class black_scholes_settings:
    """How price_black_scholes solves: the accuracy aimed at, or the grid itself."""
    def __init__(self, accuracy: float = 1e-4, space_points: int = 0, time_steps: int = 0,
                 scheme: Union[pde_scheme_type, str, int, None] = None, vega: bool = True) -> None: ...
    @property
    def accuracy(self) -> float: ...
    @property
    def space_points(self) -> int: ...
    @property
    def time_steps(self) -> int: ...
    @property
    def scheme(self) -> Optional[pde_scheme_type]: ...
    @property
    def vega(self) -> bool: ...

class _price_and_greeks:
    """What every pricer's result holds (not a class of the module)."""
    @property
    def price(self) -> float: ...
    @property
    def delta(self) -> float: ...
    @property
    def gamma(self) -> float: ...
    @property
    def theta(self) -> float: ...

class black_scholes_result(_price_and_greeks):
    """A price with its Greeks, the grid values and the grid that was solved."""
    @property
    def vega(self) -> float: ...
    @property
    def spots(self) -> Array: ...
    @property
    def values(self) -> Array: ...
    @property
    def space_points(self) -> int: ...
    @property
    def time_steps(self) -> int: ...
    @property
    def scheme(self) -> pde_scheme_type: ...
    @property
    def extrapolated(self) -> bool: ...

class heston_parameters:
    """The Heston model's parameters (variances and kappa per year)."""
    def __init__(self, v0: float, kappa: float, eta: float, sigma: float, rho: float) -> None: ...
    @property
    def v0(self) -> float: ...
    @property
    def kappa(self) -> float: ...
    @property
    def eta(self) -> float: ...
    @property
    def sigma(self) -> float: ...
    @property
    def rho(self) -> float: ...

class heston_settings:
    """How price_heston solves: the accuracy aimed at, or the grid itself."""
    def __init__(self, accuracy: float = 1e-3, spot_points: int = 0, variance_points: int = 0,
                 time_steps: int = 0, scheme: Union[pde_scheme_type, str, int, None] = None) -> None: ...
    @property
    def accuracy(self) -> float: ...
    @property
    def spot_points(self) -> int: ...
    @property
    def variance_points(self) -> int: ...
    @property
    def time_steps(self) -> int: ...
    @property
    def scheme(self) -> Optional[pde_scheme_type]: ...

class heston_result(_price_and_greeks):
    """A Heston price with its Greeks, the grid (spot index outer) and how it was solved."""
    @property
    def spots(self) -> Array: ...
    @property
    def variances(self) -> Array: ...
    @property
    def values(self) -> Array: ...
    @property
    def time_steps(self) -> int: ...
    @property
    def scheme(self) -> pde_scheme_type: ...

class batch_result:
    """Prices and Greeks of a list of instruments; errors[i] is '' where priced."""
    @property
    def price(self) -> Array: ...
    @property
    def delta(self) -> Array: ...
    @property
    def gamma(self) -> Array: ...
    @property
    def theta(self) -> Array: ...
    @property
    def vega(self) -> Array: ...
    @property
    def errors(self) -> list[str]: ...
    @property
    def failed(self) -> int: ...
    def __len__(self) -> int: ...

def price_black_scholes(option: Option, market: black_scholes_market,
                        settings: Optional[black_scholes_settings] = None) -> black_scholes_result:
    """The price and Greeks of an option under Black-Scholes, by finite differences."""

def price_black_scholes_batch(options: Sequence[Option],
                              markets: Union[black_scholes_market, Sequence[black_scholes_market]],
                              settings: Optional[black_scholes_settings] = None,
                              threads: int = 0) -> batch_result:
    """Prices a list of options in one call with the GIL released; per-option errors."""

def price_black_scholes_columns(market: market, type: Column, strike: Column, expiry: Column,
                                exercise: Column = "european", volatility: Optional[Column] = None,
                                barrier: Optional[Column] = None, direction: Optional[Column] = None,
                                kind: Column = "knock_out", rebate: Column = 0.0,
                                payment: Column = "at_expiry",
                                settings: Optional[black_scholes_settings] = None,
                                threads: int = 0) -> batch_result:
    """Prices a table of options given by columns (one value for all rows or one per row) in
    one call with the GIL released. A NaN barrier makes its row a vanilla option; without a
    volatility column the market must be a black_scholes_market. Per-row errors."""

def price_heston(option: Option, market: market, heston: heston_parameters,
                 settings: Optional[heston_settings] = None) -> heston_result:
    """The price and Greeks of a vanilla or barrier option under Heston, by finite differences."""

def heston_semi_closed_form(option: vanilla_option, market: market, heston: heston_parameters) -> float:
    """The price of a European vanilla option under Heston in semi-closed form."""

def price_heston_columns(market: market, type: Column, strike: Column, expiry: Column, exercise: Column,
                         v0: Column, kappa: Column, eta: Column, sigma: Column, rho: Column,
                         settings: Optional[heston_settings] = None, threads: int = 0, *,
                         barrier: Optional[Column] = None, direction: Optional[Column] = None,
                         kind: Column = "knock_out", rebate: Column = 0.0,
                         payment: Column = "at_expiry") -> batch_result:
    """Prices a table of options under Heston given by columns in one call with the GIL
    released; the barrier columns as price_black_scholes_columns takes them, a barrier row
    priced by price_heston's barrier_option overload; vega NaN. Per-row errors."""

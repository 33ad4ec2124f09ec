"""Analytic option prices and implied volatilities (Black, Bachelier, Hagan's shifted SABR)
and the normal distribution, element-wise over floats and numpy arrays.

Every argument is a float or an array (any real or integer dtype, a vector_IdE, a sequence);
arrays broadcast as numpy broadcasts. The result is a float when every argument is a scalar,
otherwise a float64 array of the broadcast shape. sign is +1 for a call and -1 for a put;
prices are annuity times the undiscounted value. The library's refusals raise
korvexmodules.Core.Error with its message."""

from typing import Union, overload

import numpy as np
import numpy.typing as npt

from korvexmodules.Vectorization import vector_IdE

Array = Union[npt.ArrayLike, vector_IdE]
Number = Union[float, int]

@overload
def black_scholes_price(strike: Number, forward: Number, expiry: Number, volatility: Number, annuity: Number,
                        sign: Number) -> float: ...
@overload
def black_scholes_price(strike: Array, forward: Array, expiry: Array, volatility: Array, annuity: Array,
                        sign: Array) -> npt.NDArray[np.float64]: ...
@overload
def black_scholes_implied_volatility(strike: Number, forward: Number, expiry: Number, price: Number,
                                     annuity: Number, sign: Number, tolerance: Number = 2.220446049250313e-16,
                                     iterations: Number = 20) -> float: ...
@overload
def black_scholes_implied_volatility(strike: Array, forward: Array, expiry: Array, price: Array, annuity: Array,
                                     sign: Array, tolerance: Array = 2.220446049250313e-16,
                                     iterations: Array = 20) -> npt.NDArray[np.float64]: ...
@overload
def bachelier_price(strike: Number, forward: Number, expiry: Number, volatility: Number, annuity: Number,
                    sign: Number) -> float: ...
@overload
def bachelier_price(strike: Array, forward: Array, expiry: Array, volatility: Array, annuity: Array,
                    sign: Array) -> npt.NDArray[np.float64]: ...
@overload
def bachelier_implied_volatility(strike: Number, forward: Number, expiry: Number, price: Number, annuity: Number,
                                 sign: Number) -> float: ...
@overload
def bachelier_implied_volatility(strike: Array, forward: Array, expiry: Array, price: Array, annuity: Array,
                                 sign: Array) -> npt.NDArray[np.float64]: ...
@overload
def sabr_price(strike: Number, forward: Number, expiry: Number, annuity: Number, sign: Number, alpha: Number,
               beta: Number, nu: Number, rho: Number, shift: Number, is_skew_dampening: Number) -> float: ...
@overload
def sabr_price(strike: Array, forward: Array, expiry: Array, annuity: Array, sign: Array, alpha: Array,
               beta: Array, nu: Array, rho: Array, shift: Array,
               is_skew_dampening: Array) -> npt.NDArray[np.float64]: ...
@overload
def sabr_volatility(strike: Number, forward: Number, expiry: Number, alpha: Number, beta: Number, nu: Number,
                    rho: Number, shift: Number, is_skew_dampening: Number) -> float: ...
@overload
def sabr_volatility(strike: Array, forward: Array, expiry: Array, alpha: Array, beta: Array, nu: Array,
                    rho: Array, shift: Array, is_skew_dampening: Array) -> npt.NDArray[np.float64]: ...
@overload
def norm_cdf(x: Number) -> float: ...
@overload
def norm_cdf(x: Array) -> npt.NDArray[np.float64]: ...
@overload
def norm_pdf(x: Number) -> float: ...
@overload
def norm_pdf(x: Array) -> npt.NDArray[np.float64]: ...
@overload
def norm_ppf(q: Number) -> float: ...
@overload
def norm_ppf(q: Array) -> npt.NDArray[np.float64]: ...

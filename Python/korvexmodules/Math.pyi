"""Normal, gamma, inverse Gaussian and Hartman-Watson distributions, Gaussian quadrature and a
Gaver-Stehfest Laplace inverter. The classes are collections of static functions, called on
the class; their arguments are positional. Vector arguments are vector_IdE objects (outputs
receive the result's size); an input may also be anything vector_IdE() accepts."""

from collections.abc import MutableSequence, Sequence
from typing import overload

from korvexmodules.Vectorization import vector_IdE

class hartman_watson_distribution_type(int):
    FULLY_ASYMPTOTIC: hartman_watson_distribution_type
    NUMERICAL_INTEGRAL: hartman_watson_distribution_type
    MIXTURE: hartman_watson_distribution_type

class gammaDistribution:
    @staticmethod
    def lgamma(x: float, /) -> float: ...
    @staticmethod
    def gamma(x: float, /) -> float: ...

class hartmanWatsonDistribution:
    @staticmethod
    def distribution(results: vector_IdE, t: float, x: vector_IdE, roots: vector_IdE, weights: vector_IdE,
                     type: hartman_watson_distribution_type = ..., max_bound: float = ..., /) -> None: ...
    @staticmethod
    def cheyette_density(density: vector_IdE, U: vector_IdE, t: float, roots: vector_IdE, weights: vector_IdE,
                         hartman_watson_roots: vector_IdE, hartman_watson_weights: vector_IdE, /) -> None: ...
    @staticmethod
    def log_distribution_asymptotique(x: float, t: float, /) -> float: ...
    @staticmethod
    def distribution_numerical(x: float, t: float, roots: vector_IdE, weights: vector_IdE, /) -> float: ...

class inverseGaussianDistribution:
    @staticmethod
    def density(x: float, lambda_: float, /) -> float: ...
    @staticmethod
    def cumulative(x: float, lambda_: float, /) -> float: ...

class normalDistribution:
    @staticmethod
    def density_function(x: float, /) -> float: ...
    @staticmethod
    def cdfnorm(z: float, /) -> float: ...
    @staticmethod
    def cdf_over_density(z: float, /) -> float: ...
    @overload
    @staticmethod
    def cdfnorminv(p: float, /) -> float: ...
    @overload
    @staticmethod
    def cdfnorminv(size: int, uniform: Sequence[float], gaussian: MutableSequence[float], /) -> None: ...
    @staticmethod
    def cdfnorminv_fast(p: float, /) -> float: ...

class gaussianQuadrature:
    @staticmethod
    def gauss_hermite_coefficients(np: int, points: vector_IdE, weights: vector_IdE, use_precomputed: bool = True,
                                   tolerance: float = ..., max_iter: int = 20, /) -> None: ...
    @staticmethod
    def gauss_laguerre_coefficients(alpha: float, n: int, points: vector_IdE, weights: vector_IdE,
                                    tolerance: float = ..., max_iter: int = 20, /) -> None: ...
    @staticmethod
    def gauss_legendre_coefficients(n: int, points: vector_IdE, weights: vector_IdE,
                                    tolerance: float = 1e-14, /) -> None: ...
    @staticmethod
    def gauss_kronrod(n: int, x: vector_IdE, w1: vector_IdE, w2: vector_IdE, tolerance: float = 1e-14,
                      max_iter: int = 20, /) -> None: ...

class laplaceInverterGaverStehfest:
    @overload
    def __init__(self, size: int, shift: float, /) -> None: ...
    @overload
    def __init__(self, other: laplaceInverterGaverStehfest, /) -> None: ...

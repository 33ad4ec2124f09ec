"""korvex numerical libraries for Python.

Submodules:
    korvexmodules.Core           the package's run-time and its exception class Error
    korvexmodules.Vectorization  vector_IdE, the vector of doubles the library functions take
    korvexmodules.Math           normal, gamma, inverse Gaussian and Hartman-Watson
                                 distributions, Gaussian quadrature, Gaver-Stehfest inversion
    korvexmodules.Analytics      Black, Bachelier and SABR prices and implied volatilities,
                                 the normal distribution, element-wise over numpy arrays
    korvexmodules.Market         curves, spots, identifiers, SABR model, volatility surfaces
                                 and any_container, with their files and pickling
    korvexmodules.Pricing        vanilla and barrier options priced by finite differences,
                                 one by one or a list in one call
    korvexmodules.batch          books of options priced on a Dask cluster
                                 (python -m korvexmodules.batch price BOOK ...)

Import the submodule you need: ``from korvexmodules.Math import normalDistribution``.
"""

__version__ = "@PROJECT_VERSION@"
__all__ = ["Core", "Vectorization", "Math", "Analytics", "Market", "Pricing"]

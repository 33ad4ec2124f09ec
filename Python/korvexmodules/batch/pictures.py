"""Pictures of what the libraries compute, drawn with matplotlib (figures without pyplot, so
no display is needed): each function writes one PNG file and returns its path."""

from dataclasses import dataclass

import numpy as np
from matplotlib.figure import Figure

from korvexmodules import Analytics, Market

ACT_365 = Market.day_count_convention("ACT/365F")


def save(figure, path):
    figure.tight_layout()
    figure.savefig(path, dpi=90)
    return path


def sabr_smile(path, forward=0.03, expiry=2.0, alpha=0.025, beta=0.5, nu=0.45, rho=-0.3):
    """Hagan's SABR volatilities across strikes beside the Black-Scholes implied volatilities of
    the SABR prices at those strikes, and their difference."""
    strikes = np.linspace(0.4 * forward, 2.5 * forward, 80)
    sign = np.where(strikes >= forward, 1.0, -1.0)  # out of the money
    sabr = (alpha, beta, nu, rho, 0.0, False)
    volatility = Analytics.sabr_volatility(strikes, forward, expiry, *sabr[:5], sabr[5])
    prices = Analytics.sabr_price(strikes, forward, expiry, 1.0, sign, *sabr)
    implied = Analytics.black_scholes_implied_volatility(strikes, forward, expiry, prices, 1.0, sign)
    figure = Figure(figsize=(7, 5.5))
    top, bottom = figure.subplots(2, 1, sharex=True, gridspec_kw={"height_ratios": [3, 1]})
    top.plot(strikes * 100, volatility * 100, label="SABR volatility (Hagan)")
    top.plot(strikes[::4] * 100, implied[::4] * 100, "o", markersize=4, label="implied from the SABR prices")
    top.axvline(forward * 100, color="grey", linewidth=0.5)
    top.set_ylabel("volatility (%)")
    top.set_title(f"SABR smile, F = {forward:.2%}, T = {expiry:g}y, "
                  f"alpha = {alpha}, beta = {beta}, nu = {nu}, rho = {rho}", fontsize=9)
    top.legend()
    bottom.plot(strikes * 100, (implied - volatility) * 1e4)
    bottom.set_xlabel("strike (%)")
    bottom.set_ylabel("difference (bp)")
    return save(figure, path)


def identifier_label(id):
    if isinstance(id, Market.discount_id):
        return f"discount {id.id} {id.ccy}"
    if isinstance(id, Market.default_id):
        return f"survival {id.name} {id.ccy} {id.seniority}"
    return type(id).__name__


def market_curves(container, path, years=7):
    """The discount factors and survival probabilities of every curve of a market container,
    from its valuation date over `years` years."""
    figure = Figure(figsize=(9, 4))
    discount, survival = figure.subplots(1, 2)
    for id, value in sorted(container.items(), key=lambda item: identifier_label(item[0])):
        if isinstance(value, (Market.discount_curve, Market.survival_curve)):
            start = np.datetime64(value.valuation_date, "D")
            dates = start + np.arange(0, 365 * years + 1, 7).astype("timedelta64[D]")
            time = ACT_365.fraction(start, dates)
            if isinstance(value, Market.discount_curve):
                discount.plot(time, value.df(dates), label=identifier_label(id))
            else:
                survival.plot(time, value.survival_probability(dates), label=identifier_label(id))
    for axes, title in ((discount, "discount factor"), (survival, "survival probability")):
        axes.set_title(title)
        axes.set_xlabel("years")
        axes.legend(fontsize=7)
    return save(figure, path)


def price_distribution(result, path):
    """Histograms of the prices of a book's priced rows, as percentages of their strikes (so that
    underlyings of every size compare), one per kind of instrument."""
    priced = result[result["error"] == ""]
    kinds = np.where(priced["model"].str.lower() == "heston", "Heston",
                     np.where(priced["barrier_type"].astype(str) != "", "barrier",
                              np.where(priced["exercise"].str.lower() == "american", "American", "European")))
    figure = Figure(figsize=(7, 4.5))
    axes = figure.subplots()
    prices = 100 * priced["price"].to_numpy(dtype=float) / priced["strike"].to_numpy(dtype=float)
    bins = np.linspace(0.0, np.percentile(prices, 99) if len(prices) else 1.0, 60)
    for kind in ("European", "American", "barrier", "Heston"):
        chosen = prices[kinds == kind]
        if len(chosen):
            axes.hist(chosen, bins=bins, histtype="step", linewidth=1.5, label=f"{kind} ({len(chosen)})")
    failed = len(result) - len(priced)
    axes.set_title(f"Prices of the book: {len(priced)} priced, {failed} not", fontsize=10)
    axes.set_xlabel("price (% of the strike)")
    axes.set_ylabel("options")
    axes.legend()
    return save(figure, path)


def black_scholes_profile(path, strike=100.0, volatility=0.2, rate=0.03, carry=0.01, days=365, accuracy=1e-5):
    """Price and gamma of a European call across spots, by the PDE pricer (the vectorised form,
    one solve per spot) beside the closed form, and their differences."""
    from korvexmodules import Pricing
    valuation = np.datetime64("2024-01-02")
    expiry = valuation + np.timedelta64(days, "D")
    spots = np.linspace(0.6 * strike, 1.5 * strike, 37)
    rate_curve = Market.discount_curve_flat(valuation, rate)
    carry_curve = Market.discount_curve_flat(valuation, carry)
    markets = [Pricing.black_scholes_market(Market.equity_spot(valuation, s), rate_curve, carry_curve, volatility)
               for s in spots]
    option = Pricing.vanilla_option("call", strike, expiry)
    pde = Pricing.price_black_scholes_batch([option] * len(spots), markets,
                                            Pricing.black_scholes_settings(accuracy=accuracy, vega=False))
    years = ACT_365.fraction(valuation, expiry)
    annuity = rate_curve.df(expiry)
    forward = spots * carry_curve.df(expiry) / annuity
    price = Analytics.black_scholes_price(strike, forward, years, volatility, annuity, 1.0)
    d1 = (np.log(forward / strike) + 0.5 * volatility**2 * years) / (volatility * np.sqrt(years))
    gamma = carry_curve.df(expiry) * Analytics.norm_pdf(d1) / (spots * volatility * np.sqrt(years))
    figure = Figure(figsize=(9, 6))
    axes = figure.subplots(2, 2, sharex=True, gridspec_kw={"height_ratios": [2, 1]})
    for column, (name, exact, computed) in enumerate((("price", price, pde.price), ("gamma", gamma, pde.gamma))):
        axes[0, column].plot(spots, exact, label="closed form")
        axes[0, column].plot(spots, computed, "o", markersize=3, label="PDE")
        axes[0, column].set_title(f"{name} of a one-year call, K = {strike:g}, sigma = {volatility:g}", fontsize=9)
        axes[0, column].legend()
        axes[1, column].plot(spots, computed - exact)
        axes[1, column].set_ylabel("PDE - closed form")
        axes[1, column].set_xlabel("spot")
        axes[1, column].ticklabel_format(axis="y", style="sci", scilimits=(0, 0))
    return save(figure, path)


@dataclass(frozen=True)
class HestonGrid:
    """A European call solved by price_heston: the grid's nodes, the values on them (spot
    index first) and what the call was priced with."""
    spots: np.ndarray
    variances: np.ndarray
    values: np.ndarray
    option: object
    curves: tuple
    parameters: tuple
    valuation: np.datetime64

    @property
    def strike(self):
        return self.option.strike

    def window(self):
        """The nodes drawn: spots from 50 % to 150 % of the strike, variances up to 3 v0."""
        spots = np.flatnonzero((self.spots >= 0.5 * self.strike) & (self.spots <= 1.5 * self.strike))
        variances = np.flatnonzero(self.variances <= 3.0 * self.parameters[0])
        return spots, variances


def heston_grid(strike=100.0, days=365, rate=0.03, carry=0.01, parameters=(0.04, 1.5, 0.05, 0.4, -0.6),
                accuracy=1e-3):
    """The HestonGrid of a call of `days` days on a spot of 100 (parameters: v0, kappa, eta,
    sigma, rho)."""
    from korvexmodules import Pricing
    valuation = np.datetime64("2024-01-02")
    curves = (Market.discount_curve_flat(valuation, rate), Market.discount_curve_flat(valuation, carry))
    option = Pricing.vanilla_option("call", strike, valuation + np.timedelta64(days, "D"))
    market = Pricing.market(Market.equity_spot(valuation, 100.0), *curves)
    result = Pricing.price_heston(option, market, Pricing.heston_parameters(*parameters),
                                  Pricing.heston_settings(accuracy=accuracy))
    spots, variances = np.array(result.spots), np.array(result.variances)
    return HestonGrid(spots, variances, np.array(result.values).reshape(len(spots), len(variances)), option, curves,
                      tuple(parameters), valuation)


def heston_title(grid, what):
    v0, kappa, eta, sigma, rho = grid.parameters
    return (f"{what}\ncall K = {grid.strike:g} to {grid.option.expiry} priced at spot 100 (+): v0 = {v0:g}, "
            f"kappa = {kappa:g}, eta = {eta:g}, sigma = {sigma:g}, rho = {rho:g}")


def heston_surface(path, grid=None):
    """The price of a Heston call over spot and variance: the values price_heston returns on
    its grid's nodes (a HestonGrid; None solves heston_grid())."""
    grid = grid or heston_grid()
    spots, variances = grid.window()
    figure = Figure(figsize=(7.5, 5.5))
    axes = figure.add_subplot(projection="3d")
    s, v = np.meshgrid(grid.spots[spots], grid.variances[variances], indexing="ij")
    axes.plot_surface(s, v, grid.values[np.ix_(spots, variances)], cmap="viridis", linewidth=0, antialiased=True)
    axes.set_xlabel("spot")
    axes.set_ylabel("variance")
    axes.set_zlabel("price")
    axes.set_title(heston_title(grid, "Heston price on the PDE grid"), fontsize=9)
    return save(figure, path)


def heston_error_map(path, grid=None, most_nodes=40):
    """|PDE - semi-closed form| of a Heston call at the grid's nodes (at most `most_nodes`
    along each axis, evenly taken from the window), on a logarithmic colour scale; the
    semi-closed form at a node is priced with the node's spot and its variance as v0."""
    from matplotlib.colors import LogNorm
    from korvexmodules import Pricing
    grid = grid or heston_grid()
    spots, variances = (nodes[np.unique(np.linspace(0, len(nodes) - 1, most_nodes).round().astype(int))]
                        for nodes in grid.window())
    model = grid.parameters[1:]
    error = np.empty((len(spots), len(variances)))
    for i, spot in enumerate(spots):
        market = Pricing.market(Market.equity_spot(grid.valuation, grid.spots[spot]), *grid.curves)
        for j, variance in enumerate(variances):
            exact = Pricing.heston_semi_closed_form(
                grid.option, market, Pricing.heston_parameters(grid.variances[variance], *model))
            error[i, j] = abs(grid.values[spot, variance] - exact)
    figure = Figure(figsize=(7.5, 5))
    axes = figure.subplots()
    floor = 1e-10  # exact agreement would have no logarithm
    mesh = axes.pcolormesh(grid.spots[spots], grid.variances[variances], np.maximum(error, floor).T,
                           shading="nearest", norm=LogNorm(vmin=max(floor, error.min()), vmax=max(floor, error.max())))
    figure.colorbar(mesh, ax=axes, label="|PDE - semi-closed form|")
    axes.plot([100.0], [grid.parameters[0]], "w+", markersize=12)
    axes.set_xlabel("spot")
    axes.set_ylabel("variance")
    axes.set_title(heston_title(grid, f"Heston error, largest {error.max():.1e}"), fontsize=9)
    return save(figure, path)

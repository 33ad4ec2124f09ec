"""References from a book into the market container, and the scenario shifts of what they
name.

A reference is "kind:part/part...", naming one identifier of korvexmodules.Market:
    discount:ID/CCY                                   discount_id(ID, CCY)
    fx:DOMESTIC/FOREIGN                               fx_spot_id(DOMESTIC, FOREIGN)
    default:NAME/CCY/SENIORITY/RESTRUCTURING/ISDA     default_id(...)
    equity:NAME/CCY                                   default_id(NAME, CCY, "EQUITY", "", ""),
the identifier under which a container keeps an issuer's equity spot."""

from dataclasses import dataclass

from korvexmodules import Market
from korvexmodules.Core import Error


def equity_id(name, ccy):
    return Market.default_id(name, ccy, "EQUITY", "", "")


IDENTIFIERS = {
    "discount": (Market.discount_id, "discount:ID/CCY"),
    "fx": (Market.fx_spot_id, "fx:DOMESTIC/FOREIGN"),
    "default": (Market.default_id, "default:NAME/CCY/SENIORITY/RESTRUCTURING/ISDA"),
    "equity": (equity_id, "equity:NAME/CCY"),
}

SPOT_CLASSES = (Market.equity_spot, Market.fx_spot)
CURVE_CLASSES = (Market.discount_curve_flat, Market.discount_curve_piecewise_constant)


class ReferenceError(LookupError):
    """A reference that names nothing usable; its text goes to the row's error column."""


def identifier(reference):
    """The market identifier a reference names."""
    kind, colon, path = reference.partition(":")
    if not colon or kind not in IDENTIFIERS:
        raise ReferenceError(f'"{reference}" is not a market reference ({", ".join(k + ":" for k in IDENTIFIERS)})')
    make, form = IDENTIFIERS[kind]
    parts = path.split("/")
    if len(parts) != form.count("/") + 1:
        raise ReferenceError(f'"{reference}" does not read {form}')
    return make(*parts)


@dataclass(frozen=True)
class Scenario:
    """Shifts applied to the market before a book is priced: the spot by a relative amount
    (0.01 is +1 %), the Black-Scholes volatility by an absolute one (0.01 is one point), the
    rate and carry curves in parallel by an absolute rate (continuously compounded, in each
    curve's own day count)."""
    name: str = ""
    spot_shift: float = 0.0
    volatility_shift: float = 0.0
    rate_shift: float = 0.0
    carry_shift: float = 0.0


BASE = Scenario()


def shifted_spot(spot, shift):
    if shift == 0.0:
        return spot
    return type(spot)(spot.valuation_date, spot.spot() * (1.0 + shift))


def shifted_curve(curve, shift):
    if shift == 0.0:
        return curve
    if isinstance(curve, Market.discount_curve_flat):
        return Market.discount_curve_flat(curve.valuation_date, curve.rate + shift, curve.convention)
    return Market.discount_curve_piecewise_constant(curve.valuation_date, curve.dates, curve.rates + shift,
                                                    curve.convention)


class MarketView:
    """The objects a partition's references name, looked up and shifted once each. A failed
    lookup is remembered as its error text."""

    def __init__(self, container, scenario=BASE):
        self.container = container
        self.scenario = scenario
        self.found = {}

    def lookup(self, reference, role):
        """(object, "") or (None, error text) for a reference in the role "spot", "rate" or
        "carry"."""
        key = (reference, role)
        if key not in self.found:
            try:
                self.found[key] = (self.resolve(reference, role), "")
            except (ReferenceError, Error) as error:
                self.found[key] = (None, f"{role}: {error}")
        return self.found[key]

    def resolve(self, reference, role):
        id = identifier(reference)
        if id not in self.container:
            raise ReferenceError(f'the market holds no "{reference}"')
        value = self.container[id]
        if role == "spot":
            if not isinstance(value, SPOT_CLASSES):
                raise ReferenceError(f'"{reference}" is a {type(value).__name__}, not an equity or FX spot')
            return shifted_spot(value, self.scenario.spot_shift)
        if not isinstance(value, CURVE_CLASSES):
            raise ReferenceError(f'"{reference}" is a {type(value).__name__}, not a discount curve')
        shift = self.scenario.rate_shift if role == "rate" else self.scenario.carry_shift
        return shifted_curve(value, shift)

    def no_carry(self, spot):
        """The carry of a row without one: a zero rate from the spot's valuation date."""
        key = ("", "carry", spot.valuation_date)
        if key not in self.found:
            self.found[key] = (shifted_curve(Market.discount_curve_flat(spot.valuation_date, 0.0),
                                             self.scenario.carry_shift), "")
        return self.found[key][0]


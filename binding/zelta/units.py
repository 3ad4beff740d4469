"""Quantities and units of the Pythonic layer.

Every value this package takes or returns is in SI units: K, Pa, J/mol,
J/kg, J/(mol K), J/(kg K), kg/m3, m/s, K/Pa, Pa s, W/(m K), N/m, kg/mol
for molar masses.  The library itself works in units selected per quantity
code for the whole process (setUMC); this package never changes that
selection.  It converts to and from whatever unit is selected with the
library's own converters (UMCS/UMCR with unit 0), so other callers in the
same process may keep their own selection.

`parse("50 bar", "pressure")` turns a text with a unit into SI, with the
unit names of the library's unit tables ("bar", "psia", "C", "F", "MPa",
...).
"""
import re

import _zelta

from .errors import ZeltaError

# Quantity codes of the library, by the name used in this package.
QUANTITY = {
    "temperature": 15, "pressure": 17, "molar_enthalpy": 19, "molar_entropy": 20,
    "enthalpy_flow": 21, "entropy_flow": 22, "viscosity": 23, "mass_flow": 25, "volume_flow": 27,
    "conductivity": 28, "density": 30, "surface_tension": 32, "specific_heat": 33,
    "specific_enthalpy": 34, "speed_of_sound": 35, "specific_entropy": 36,
    "compressibility": 37, "expansivity": 38, "joule_thomson": 39, "molar_mass": 40,
    "length": 43, "area": 44, "molar_flow": 26, "fraction": 53,
}

# Factor from the library's base unit (unit 1) of a quantity to SI.  Most
# base units are SI already; the molar and specific energies are per kmol
# and per kg in kJ, and molar masses in kg/kmol.
_BASE_TO_SI = {
    19: 1.0,        # kJ/kmol = J/mol
    20: 1.0,        # kJ/(kmol K) = J/(mol K)
    21: 1e3,        # kJ/s -> W
    22: 1e3,        # kW/K -> W/K
    26: 1e3,        # kmol/s -> mol/s
    33: 1e3,        # kJ/(kg K) -> J/(kg K)
    34: 1e3,        # kJ/kg -> J/kg
    36: 1e3,        # kJ/(kg K) -> J/(kg K)
    40: 1e-3,       # kg/kmol -> kg/mol
}


def to_library(value, code):
    """An SI value of quantity `code` in the unit the library expects now."""
    base = value / _BASE_TO_SI.get(code, 1.0)
    return _zelta.xumcs(float(base), code, 0)


def from_library(value, code):
    """A value the library returned for quantity `code`, in SI."""
    return _zelta.xumcr(float(value), code, 0) * _BASE_TO_SI.get(code, 1.0)


def unit_names(code):
    """The names of the units of quantity `code`, in the library's order."""
    return [_zelta.xums(code, u) for u in range(1, _zelta.xumnr(code) + 1)]


_NUMBER = re.compile(r"^\s*([-+]?(?:\d+\.?\d*|\.\d+)(?:[eE][-+]?\d+)?)\s*(.*?)\s*$")


def parse(text, quantity):
    """A number with an optional unit ("50bar", "25 C", "1e5") as an SI value of `quantity`.

    Without a unit the number is taken as SI.  Unit names are the library's
    (case-sensitive first, then case-insensitive).
    """
    if isinstance(text, (int, float)):
        return float(text)
    code = QUANTITY[quantity]
    m = _NUMBER.match(str(text))
    if not m:
        raise ValueError("%r is not a number with a unit" % (text,))
    number, unit = float(m.group(1)), m.group(2)
    if not unit:
        return number
    names = unit_names(code)
    index = names.index(unit) + 1 if unit in names else None
    if index is None:
        lowered = [n.lower() for n in names]
        if unit.lower() in lowered:
            index = lowered.index(unit.lower()) + 1
    if index is None:
        raise ValueError("unknown %s unit %r; known: %s" % (quantity, unit, ", ".join(names)))
    base = _zelta.xumcr(number, code, index)
    if base != base:
        raise ZeltaError(_zelta.xerr(), _zelta.xerrmsg(), "parse")
    return base * _BASE_TO_SI.get(code, 1.0)

"""Thermodynamic models by name, mapped to the library's codes in one place.

A model name selects either one of the library's predefined packages
(applied with setPK: models for every property and phase, options and the
stored interaction parameters) or, for the cubic equations with gE mixing
rules, a fluid model code for vapour and liquid.  `names()` lists them.
"""
from .errors import ZeltaError

# name -> (description, package number or None, fluid model code or None)
_MODELS = {
    "REGULAR": ("Regular solution / ideal gas", 1, None),
    "WILSON": ("Wilson liquid, PRX vapour", 2, None),
    "NRTL": ("NRTL liquid, PRX vapour", 3, None),
    "UNIQUAC": ("UNIQUAC liquid, PRX vapour", 4, None),
    "UNIFAC": ("UNIFAC liquid, PRX vapour", 5, None),
    "SRK": ("Soave-Redlich-Kwong, van der Waals mixing", 6, None),
    "PR": ("Peng-Robinson, van der Waals mixing", 7, None),
    "PRX": ("Peng-Robinson with volume translation", 8, None),
    "BWRS": ("Benedict-Webb-Rubin-Starling", 9, None),
    "LKP": ("Lee-Kesler-Ploecker", 10, None),
    "IAPWS95": ("IAPWS-95 (pure water)", 11, None),
    "GERG2008": ("GERG-2008 multiparameter equation", 12, None),
    "CPA": ("CPA on Peng-Robinson, with solids and hydrates", 13, None),
    "SRKX": ("SRK with volume translation", None, 31),
    "PR-WS-WILSON": ("PR, Wong-Sandler mixing with Wilson", None, 55),
    "PR-WS-UNIQUAC": ("PR, Wong-Sandler mixing with UNIQUAC", None, 56),
    "PR-WS-NRTL": ("PR, Wong-Sandler mixing with NRTL", None, 57),
    "PR-HV-NRTL": ("PR, Huron-Vidal mixing with NRTL", None, 60),
    "PR-HV-WILSON": ("PR, Huron-Vidal mixing with Wilson", None, 61),
    "PR-HV-UNIQUAC": ("PR, Huron-Vidal mixing with UNIQUAC", None, 62),
    "PR-MHV2-WILSON": ("PR, MHV2 mixing with Wilson", None, 65),
    "PR-MHV2-UNIQUAC": ("PR, MHV2 mixing with UNIQUAC", None, 66),
    "PR-MHV2-NRTL": ("PR, MHV2 mixing with NRTL", None, 67),
    "PR-LCVM-NRTL": ("PR, LCVM mixing with NRTL", None, 70),
    "PR-LCVM-WILSON": ("PR, LCVM mixing with Wilson", None, 71),
    "PR-LCVM-UNIQUAC": ("PR, LCVM mixing with UNIQUAC", None, 72),
    "CPA-HV-NRTL": ("CPA with Huron-Vidal NRTL mixing", None, 115),
    "CPA-LCVM-NRTL": ("CPA with LCVM NRTL mixing", None, 116),
}

_SPELLINGS = {"GERG": "GERG2008", "GERG-2008": "GERG2008", "IAPWS": "IAPWS95", "IAPWS-95": "IAPWS95",
              "PENG-ROBINSON": "PR", "SOAVE": "SRK", "LEE-KESLER": "LKP", "IDEAL": "REGULAR"}


def lookup(name):
    """(package, fluid model code) of a model name; exactly one of them is not None."""
    key = str(name).strip().upper().replace("_", "-")
    key = _SPELLINGS.get(key, key)
    if key not in _MODELS:
        raise ZeltaError(1, "unknown model %r; known: %s" % (name, ", ".join(sorted(_MODELS))), "models")
    _, package, code = _MODELS[key]
    return package, code


def names():
    """{name: description} of every model name this package knows."""
    return {k: v[0] for k, v in _MODELS.items()}

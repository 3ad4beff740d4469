"""The analytic derivative functions with Python lists in and out.

All functions address a stream through a derivative slot bound with
_zelta.xspi(slot, stream) and take a phase code, temperature, pressure and
the mole fractions x of the slot's stream.  Each returns a named tuple whose
first field is the library's return code; the arrays are allocated,
filled by the library and freed here.
"""
from collections import namedtuple

import _zelta

from .arrays import DoubleArray, Matrix

Fugacities = namedtuple("Fugacities", "code F")
FugacityDerivatives = namedtuple("FugacityDerivatives", "code F dFdT dFdP dFdx")
Property = namedtuple("Property", "code value")
PropertyDerivatives = namedtuple("PropertyDerivatives", "code value dT dP dx")


def fugacities(slot, phase, T, P, x):
    """StrFv: per component the fugacity quantity F_i."""
    with DoubleArray(x) as xs, DoubleArray(len(xs)) as f:
        code = _zelta.xsfv(slot, phase, T, P, xs, f)
        return Fugacities(code, f.tolist())


def fugacity_derivatives(slot, phase, T, P, x):
    """StrFvd: F_i with dF_i/dT, dF_i/dP and dFdx[m][i] = dF_i/dx_m."""
    n = len(x)
    with DoubleArray(x) as xs, DoubleArray(n) as f, DoubleArray(n) as dT, DoubleArray(n) as dP, \
            Matrix(n, n) as dx:
        code = _zelta.xsfvd(slot, phase, T, P, xs, f, dT, dP, dx)
        return FugacityDerivatives(code, f.tolist(), dT.tolist(), dP.tolist(), dx.tolist())


def _value(function, slot, phase, T, P, x):
    with DoubleArray(x) as xs, DoubleArray(1) as out:
        code = function(slot, phase, T, P, xs, out)
        return Property(code, out[0])


def _derivatives(function, slot, phase, T, P, x):
    with DoubleArray(x) as xs, DoubleArray(1) as v, DoubleArray(1) as dT, DoubleArray(1) as dP, \
            DoubleArray(len(x)) as dx:
        code = function(slot, phase, T, P, xs, v, dT, dP, dx)
        return PropertyDerivatives(code, v[0], dT[0], dP[0], dx.tolist())


def enthalpy(slot, phase, T, P, x):
    """StrHv: molar enthalpy of the phase."""
    return _value(_zelta.xshv, slot, phase, T, P, x)


def enthalpy_derivatives(slot, phase, T, P, x):
    """StrHvd: molar enthalpy with its T, P and composition derivatives."""
    return _derivatives(_zelta.xshvd, slot, phase, T, P, x)


def entropy(slot, phase, T, P, x):
    """StrSv: molar entropy of the phase."""
    return _value(_zelta.xssv, slot, phase, T, P, x)


def entropy_derivatives(slot, phase, T, P, x):
    """StrSvd: molar entropy with its T, P and composition derivatives."""
    return _derivatives(_zelta.xssvd, slot, phase, T, P, x)


def volume(slot, phase, T, P, x):
    """StrVv: molar volume of the phase."""
    return _value(_zelta.xsvv, slot, phase, T, P, x)


def volume_derivatives(slot, phase, T, P, x):
    """StrVvd: molar volume with its T, P and composition derivatives."""
    return _derivatives(_zelta.xsvvd, slot, phase, T, P, x)

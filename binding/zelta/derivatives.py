"""The analytic derivative functions with Python lists in and out.

All functions address a stream through a derivative slot of the calling
thread and take a phase code, temperature, pressure and the mole fractions x
of the slot's stream.  Bind the slot with bind_slot(slot, stream): the
package then knows the stream and checks that x holds exactly one value per
component.  (A slot bound with _zelta.xspi directly works too; then an x that
is too short is still refused by _zelta's size check, but one that is too
long cannot be told from a valid one.)

Each function returns a named tuple whose first field is the library's
return code (1); the arrays are allocated, filled by the library and freed
here.  A failed call raises ZeltaError with the library's message.
"""
import threading
from collections import namedtuple

import _zelta

from .arrays import DoubleArray, Matrix
from .errors import LengthError, Sequence, ZeltaError

Fugacities = namedtuple("Fugacities", "code F")
FugacityDerivatives = namedtuple("FugacityDerivatives", "code F dFdT dFdP dFdx")
Property = namedtuple("Property", "code value")
PropertyDerivatives = namedtuple("PropertyDerivatives", "code value dT dP dx")

_bound = threading.local()  # slots are per thread in the library, so is this record


def _slots():
    if not hasattr(_bound, "streams"):
        _bound.streams = {}
    return _bound.streams


def bind_slot(slot, stream):
    """DPinit: bind derivative slot `slot` of this thread to `stream` (a number or a Stream)."""
    number = int(stream)
    _slots().pop(slot, None)
    Sequence("bind_slot")(_zelta.xspi, slot, number, context="slot %r, stream %d" % (slot, number))
    _slots()[slot] = number


def _composition(function, slot, x):
    """x as floats, checked against the stream bound to the slot when the package bound it."""
    values = [float(v) for v in x]
    if not values:
        raise LengthError(function, "x is empty")
    stream = _slots().get(slot)
    if stream is not None:
        n = _zelta.xscnr(stream)
        if len(values) != n:
            raise LengthError(function, "x holds %d values, the stream bound to slot %d (stream %d) has %d components"
                              % (len(values), slot, stream, n))
    return values


def _call(function, native, *args):
    code = Sequence(function)(native, *args)
    if code != 1:  # a failure without the error flag (not expected from the library)
        raise ZeltaError(0, "returned %r without setting the error flag" % (code,), function)
    return code


def fugacities(slot, phase, T, P, x):
    """StrFv: per component the fugacity quantity F_i."""
    x = _composition("fugacities", slot, x)
    with DoubleArray(x) as xs, DoubleArray(len(x)) as f:
        code = _call("fugacities", _zelta.xsfv, slot, phase, T, P, xs, f)
        return Fugacities(code, f.tolist())


def fugacity_derivatives(slot, phase, T, P, x):
    """StrFvd: F_i with dF_i/dT, dF_i/dP and dFdx[m][i] = dF_i/dx_m."""
    x = _composition("fugacity_derivatives", slot, x)
    n = len(x)
    with DoubleArray(x) as xs, DoubleArray(n) as f, DoubleArray(n) as dT, DoubleArray(n) as dP, \
            Matrix(n, n) as dx:
        code = _call("fugacity_derivatives", _zelta.xsfvd, slot, phase, T, P, xs, f, dT, dP, dx)
        return FugacityDerivatives(code, f.tolist(), dT.tolist(), dP.tolist(), dx.tolist())


def _value(name, function, slot, phase, T, P, x):
    x = _composition(name, slot, x)
    with DoubleArray(x) as xs, DoubleArray(1) as out:
        code = _call(name, function, slot, phase, T, P, xs, out)
        return Property(code, out[0])


def _derivatives(name, function, slot, phase, T, P, x):
    x = _composition(name, slot, x)
    with DoubleArray(x) as xs, DoubleArray(1) as v, DoubleArray(1) as dT, DoubleArray(1) as dP, \
            DoubleArray(len(x)) as dx:
        code = _call(name, function, slot, phase, T, P, xs, v, dT, dP, dx)
        return PropertyDerivatives(code, v[0], dT[0], dP[0], dx.tolist())


def enthalpy(slot, phase, T, P, x):
    """StrHv: molar enthalpy of the phase."""
    return _value("enthalpy", _zelta.xshv, slot, phase, T, P, x)


def enthalpy_derivatives(slot, phase, T, P, x):
    """StrHvd: molar enthalpy with its T, P and composition derivatives."""
    return _derivatives("enthalpy_derivatives", _zelta.xshvd, slot, phase, T, P, x)


def entropy(slot, phase, T, P, x):
    """StrSv: molar entropy of the phase."""
    return _value("entropy", _zelta.xssv, slot, phase, T, P, x)


def entropy_derivatives(slot, phase, T, P, x):
    """StrSvd: molar entropy with its T, P and composition derivatives."""
    return _derivatives("entropy_derivatives", _zelta.xssvd, slot, phase, T, P, x)


def volume(slot, phase, T, P, x):
    """StrVv: molar volume of the phase."""
    return _value("volume", _zelta.xsvv, slot, phase, T, P, x)


def volume_derivatives(slot, phase, T, P, x):
    """StrVvd: molar volume with its T, P and composition derivatives."""
    return _derivatives("volume_derivatives", _zelta.xsvvd, slot, phase, T, P, x)

"""Pythonic helpers on top of the _zelta extension module.

_zelta itself is a flat, exact mirror of the zpk C interface: library
failures come back as return values and the error state is read with
xerr()/xerrmsg().  This package is optional and adds

- ZeltaError, checked() and Sequence: turn the library's error state into an
  exception when you ask for it, reporting the first failure of a chain of
  calls (its root cause); LengthError for sequences of the wrong length;
- DoubleArray, Matrix and Buffer: owned native arrays (from zelta_arrays)
  that can be passed wherever _zelta expects double *, double ** or char *;
- stream(): a context manager that defines a stream on a free stream number
  and clears it again on exit;
- bind_slot(), fugacities(), fugacity_derivatives() and friends: the
  derivative functions with Python lists in and out, lengths checked.

NumPy is not needed.
"""
from .errors import ZeltaError, LengthError, Sequence, checked, raise_on_error
from .arrays import DoubleArray, Matrix, Buffer
from .streams import Stream, stream, model_set
from .derivatives import (bind_slot, fugacities, fugacity_derivatives, enthalpy, enthalpy_derivatives, entropy,
                          entropy_derivatives, volume, volume_derivatives)
from .reference import describe

__all__ = [
    "ZeltaError", "LengthError", "Sequence", "checked", "raise_on_error",
    "DoubleArray", "Matrix", "Buffer",
    "Stream", "stream", "model_set",
    "bind_slot", "fugacities", "fugacity_derivatives", "enthalpy", "enthalpy_derivatives",
    "entropy", "entropy_derivatives", "volume", "volume_derivatives",
    "describe",
]

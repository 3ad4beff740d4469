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

- Fluid, State, Phase: mixtures by component and model name, flashes at
  any two specifications, dew and bubble points, envelopes and property
  tables, all in SI units (see zelta.fluid);
- components, models, units: names of components and models, unit parsing;
- Flow, mix, split, separate, pipe, nozzle, compressor, column, regress: unit operations
  on material flows, the distillation column and the regression of binary
  parameters (see zelta.operations; the column, the regression and the
  envelope's quality lines come from the companion module _zelta_ops).

NumPy is needed only for Fluid.table's arrays; matplotlib only for zelta.plot.
"""
from .errors import ZeltaError, ExtrapolationWarning, LengthError, Sequence, checked, raise_on_error
from .arrays import DoubleArray, Matrix, Buffer
from .streams import Stream, stream, model_set
from . import components, models, units
from .fluid import Fluid, State, Phase, table_frame
from .operations import (Flow, Separated, Nozzle, Compression, ColumnResult, Regression, mix, split, separate, pipe,
                         nozzle, compressor, column, regress)
from .derivatives import (bind_slot, fugacities, fugacity_derivatives, enthalpy, enthalpy_derivatives, entropy,
                          entropy_derivatives, volume, volume_derivatives)
from .reference import describe

__all__ = [
    "ZeltaError", "ExtrapolationWarning", "LengthError", "Sequence", "checked", "raise_on_error",
    "Fluid", "State", "Phase", "table_frame", "components", "models", "units",
    "Flow", "Separated", "Nozzle", "Compression", "ColumnResult", "Regression", "mix", "split", "separate", "pipe",
    "nozzle", "compressor", "column", "regress",
    "DoubleArray", "Matrix", "Buffer",
    "Stream", "stream", "model_set",
    "bind_slot", "fugacities", "fugacity_derivatives", "enthalpy", "enthalpy_derivatives",
    "entropy", "entropy_derivatives", "volume", "volume_derivatives",
    "describe",
]

"""Direct ctypes access to libzpk, typed from the function table, to compare with _zelta."""
import ctypes
import os

from functable import FUNCTIONS

_C_TYPES = {
    "int": ctypes.c_int, "double": ctypes.c_double, "char *": ctypes.c_char_p,
    "double *": ctypes.POINTER(ctypes.c_double), "double **": ctypes.POINTER(ctypes.POINTER(ctypes.c_double)),
}


def load():
    lib = ctypes.CDLL(os.environ["ZELTA_LIBZPK"])
    for f in FUNCTIONS:
        c = getattr(lib, f.c_name)
        c.restype = _C_TYPES[f.result]
        c.argtypes = [_C_TYPES[a] for a in f.args]
    return lib

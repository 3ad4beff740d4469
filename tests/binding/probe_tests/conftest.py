"""Fixtures for the tests that run _zelta against the recording probe library.

PYTHONPATH puts the probe build of _zelta first; ZELTA_PROBE_LIB names the
probe library that it links, which ctypes opens to program results and read
what each call handed to the library.
"""
import ctypes
import os

import pytest

import _zelta


class Probe:
    def __init__(self, path):
        lib = ctypes.CDLL(path)
        lib.probe_set_value.argtypes = [ctypes.c_char_p, ctypes.c_double]
        lib.probe_set_text.argtypes = [ctypes.c_char_p, ctypes.c_char_p, ctypes.c_int]
        lib.probe_set_delay.argtypes = [ctypes.c_char_p, ctypes.c_double]
        lib.probe_set_gate.argtypes = [ctypes.c_char_p, ctypes.c_int]
        lib.probe_count.argtypes = [ctypes.c_char_p]
        lib.probe_arg_count.argtypes = [ctypes.c_char_p]
        lib.probe_arg.argtypes = [ctypes.c_char_p, ctypes.c_int, ctypes.POINTER(ctypes.c_double),
                                  ctypes.POINTER(ctypes.c_int), ctypes.POINTER(ctypes.c_void_p),
                                  ctypes.c_char_p, ctypes.c_int, ctypes.POINTER(ctypes.c_int)]
        self.lib = lib

    def reset(self):
        self.lib.probe_reset()

    def returns(self, name, value):
        self.lib.probe_set_value(name.encode(), value)

    def returns_text(self, name, data):
        """Program a text result: bytes, or None for a null text."""
        self.lib.probe_set_text(name.encode(), data, len(data) if data is not None else 0)

    def count(self, name=None):
        return self.lib.probe_count(name.encode() if name else None)

    def args(self, name):
        """Arguments of the last call of `name` as Python values.

        int and double arguments come back as int and float, texts as bytes
        (None for a null text), arrays as their address (None for null).
        """
        n = self.lib.probe_arg_count(name.encode())
        assert n >= 0, "%s was not called" % name
        out = []
        for i in range(n):
            num, null, ptr, length = ctypes.c_double(), ctypes.c_int(), ctypes.c_void_p(), ctypes.c_int()
            buf = ctypes.create_string_buffer(4096)
            kind = self.lib.probe_arg(name.encode(), i, ctypes.byref(num), ctypes.byref(null),
                                      ctypes.byref(ptr), buf, len(buf), ctypes.byref(length))
            kind = chr(kind)
            if kind == "i":
                out.append(int(num.value))
            elif kind == "d":
                out.append(num.value)
            elif kind == "t":
                out.append(None if null.value else buf.raw[:length.value])
            else:
                out.append(ptr.value)
        return out


@pytest.fixture(scope="session")
def probe_lib():
    p = Probe(os.environ["ZELTA_PROBE_LIB"])
    # The probe must be the library behind this _zelta, not a second copy.
    p.reset()
    _zelta.xcfgi(5)
    assert p.count("CFGInt") == 1, "_zelta is not linked against the probe library"
    return p


@pytest.fixture
def probe(probe_lib):
    probe_lib.reset()
    yield probe_lib
    probe_lib.reset()

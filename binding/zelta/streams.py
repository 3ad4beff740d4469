"""Stream definitions with automatic stream numbers."""
import threading

import _zelta

from .errors import ZeltaError

# Model sets by number: (liquid model for fugacity, liquid model for the
# other properties, vapour model).  The solid phase always gets model 1.
_MODEL_SETS = {
    1: (1, 1, 1), 2: (10, 51, 51), 3: (11, 51, 51), 4: (12, 51, 51), 5: (130, 51, 51),
    6: (30, 30, 30), 7: (50, 50, 50), 21: (81, 81, 81), 22: (91, 91, 91),
}

_lock = threading.Lock()
_taken = set()


def model_set(number, code):
    """Give stream `number` the models of model set `code` (1..7, 21, 22) for all phases."""
    try:
        liquid_f, liquid, vapour = _MODEL_SETS[code]
    except KeyError:
        raise ValueError("unknown model set %r" % (code,)) from None
    for prop in (1, 2, 3, 4):
        _zelta.xsetsm(number, prop, 1, liquid_f if prop == 1 else liquid)
        _zelta.xsetsm(number, prop, 0, vapour)
        _zelta.xsetsm(number, prop, 2, 1)


def _take_number():
    with _lock:
        for n in range(1, _zelta.xmsnr() + 1):
            if n not in _taken:
                _taken.add(n)
                return n
    raise RuntimeError("all %d stream numbers are in use" % _zelta.xmsnr())


def _give_back(number):
    with _lock:
        _taken.discard(number)


class Stream:
    """A stream defined in the library on a stream number reserved for it.

    Numbers are handed out from 1 up to the library's maximum (xmsnr()) and
    are unique among the Stream objects of this process; the definition is
    cleared (xinits) and the number returned when the stream is closed.
    """

    def __init__(self, components, fractions, models=6, flow=1.0):
        if len(components) != len(fractions):
            raise ValueError("one fraction per component")
        self.number = _take_number()
        try:
            n = self.number
            _zelta.xseterr(0)
            _zelta.xinits(n)
            _zelta.xsetswm(n, flow)
            model_set(n, models)
            for i, z in enumerate(fractions, 1):
                _zelta.xsetsz(n, i, z)
            for i, c in enumerate(components, 1):
                code = _zelta.xidc(c) if c > 10000 else c
                _zelta.xsetscc(n, i, code)
            _zelta.xsets(n)
            if _zelta.xerr() or not _zelta.xsdef(n):
                message = _zelta.xerrmsg()
                code = _zelta.xerr()
                _zelta.xseterr(0)
                raise ZeltaError(code, message or "stream definition rejected", "Stream")
        except BaseException:
            self.close()
            raise

    def close(self):
        number, self.number = self.number, None
        if number is not None:
            _zelta.xinits(number)
            _give_back(number)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def __int__(self):
        return self.number

    __index__ = __int__


def stream(components, fractions, models=6, flow=1.0):
    """Context manager: `with stream([74828, 74840], [0.9, 0.1]) as s: _zelta.xftp(s.number, 300, 1e6)`.

    Components are CAS numbers without hyphens (anything above 10000; they
    are looked up with xidc) or library component codes.
    """
    return Stream(components, fractions, models, flow)

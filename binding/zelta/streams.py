"""Stream definitions with automatic stream numbers."""
import threading

import _zelta

from .errors import LengthError, Sequence, ZeltaError

# Model sets by number: (liquid model for fugacity, liquid model for the
# other properties, vapour model).  The solid phase always gets model 1.
_MODEL_SETS = {
    1: (1, 1, 1), 2: (10, 51, 51), 3: (11, 51, 51), 4: (12, 51, 51), 5: (130, 51, 51),
    6: (30, 30, 30), 7: (50, 50, 50), 21: (81, 81, 81), 22: (91, 91, 91),
}

_lock = threading.Lock()
_taken = set()


def _models(code):
    try:
        return _MODEL_SETS[code]
    except (KeyError, TypeError):
        raise ValueError("unknown model set %r" % (code,)) from None


def model_set(number, code, step=None):
    """Give stream `number` the models of model set `code` (1..7, 21, 22) for all phases.

    `step` runs each library call (a Sequence; by default the calls are made
    plainly and the library's error state is left to the caller).
    """
    liquid_f, liquid, vapour = _models(code)
    call = step or (lambda f, *a, context=None: f(*a))
    for prop in (1, 2, 3, 4):
        for phase, model in ((1, liquid_f if prop == 1 else liquid), (0, vapour), (2, 1)):
            call(_zelta.xsetsm, number, prop, phase, model,
                 context="model set %s: property %d, phase %d, model %d" % (code, prop, phase, model))


def _check_lengths(components, fractions):
    """One fraction per component, 1 up to the library's positions per stream."""
    if len(components) != len(fractions):
        raise LengthError("stream", "%d components but %d fractions (one fraction per component)"
                          % (len(components), len(fractions)))
    most = _zelta.xsmcnr()
    if not 1 <= len(components) <= most:
        raise LengthError("stream", "%d components; a stream holds 1 to %d" % (len(components), most))


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
        components, fractions = list(components), list(fractions)
        _check_lengths(components, fractions)
        _models(models)
        self.number = _take_number()
        try:
            n = self.number
            step = Sequence("stream")
            step(_zelta.xinits, n, context="stream %d: clearing it" % n)
            step(_zelta.xsetswm, n, flow, context="stream %d: mass flow %r" % (n, flow))
            model_set(n, models, step)
            for i, z in enumerate(fractions, 1):
                step(_zelta.xsetsz, n, i, z, context="stream %d: fraction %d" % (n, i))
            for i, c in enumerate(components, 1):
                if c > 10000:
                    c = step(_zelta.xidc, c, context="stream %d: component %d (CAS %d)" % (n, i, c))
                step(_zelta.xsetscc, n, i, c, context="stream %d: component %d" % (n, i))
            step(_zelta.xsets, n, context="stream %d: completing the definition" % n)
            if not _zelta.xsdef(n):
                raise ZeltaError(0, "stream definition rejected", "stream", "stream %d" % n)
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

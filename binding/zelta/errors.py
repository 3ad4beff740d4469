"""The library's error state as a Python exception, on request."""
import _zelta


class ZeltaError(Exception):
    """A failed library call: the error code of xerr() and the text of xerrmsg()."""

    def __init__(self, code, message, function=None):
        self.code = code
        self.message = message
        self.function = function
        where = "%s: " % function if function else ""
        super().__init__("%slibrary error %d: %s" % (where, code, message or "(no message)"))


def raise_on_error():
    """Raise ZeltaError when the calling thread's error flag is set, clearing it."""
    code = _zelta.xerr()
    if code:
        message = _zelta.xerrmsg()
        _zelta.xseterr(0)
        raise ZeltaError(code, message)


def checked(function, *args):
    """Call a _zelta function and raise ZeltaError if the library reports a failure.

    The error flag is cleared before the call (the library keeps it set
    until cleared), so only a failure of this very call is reported.
    """
    _zelta.xseterr(0)
    result = function(*args)
    code = _zelta.xerr()
    if code:
        message = _zelta.xerrmsg()
        _zelta.xseterr(0)
        raise ZeltaError(code, message, getattr(function, "__name__", None))
    return result

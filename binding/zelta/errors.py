"""The library's error state as a Python exception, on request."""
import warnings

import _zelta

BAD_ARGUMENT = 1  # the library's flag for a rejected argument
EXTRAPOLATED = 7  # the flag of a result computed outside a model's validity range


class ExtrapolationWarning(UserWarning):
    """A result the library computed outside the range its model was made for."""


class ZeltaError(Exception):
    """A failed library call: the error code of xerr() and the text of xerrmsg().

    `message` is the library's first message of the failing sequence (the root
    cause); `function` names the call or helper that failed and `context`
    what the helper was doing at the time.
    """

    def __init__(self, code, message, function=None, context=None):
        self.code = code
        self.message = message
        self.function = function
        self.context = context
        where = "%s: " % function if function else ""
        text = "%slibrary error %d: %s" % (where, code, message or "(no message)")
        super().__init__(text + (" (%s)" % context if context else ""))


class LengthError(ZeltaError, ValueError):
    """A sequence given to the package has the wrong length for the library."""

    def __init__(self, function, message):
        super().__init__(BAD_ARGUMENT, message, function)

    def __str__(self):
        return "%s: %s" % (self.function, self.message)


def _take_error():
    """(flag, message) of the calling thread, clearing both."""
    code = _zelta.xerr()
    message = _zelta.xerrmsg() if code else None
    if code:
        _zelta.xseterr(0)
    return code, message


def raise_on_error():
    """Raise ZeltaError when the calling thread's error flag is set, clearing it."""
    code, message = _take_error()
    if code:
        raise ZeltaError(code, message)


class Sequence:
    """Library calls made one after the other, stopped at the first failure.

    The library keeps its error flag set until it is cleared and every failing
    call overwrites the message, so after a chain of calls the message tells
    only what failed last (often a consequence, such as "position 2 has no
    component" after a component look-up failed).  A Sequence clears the
    flag when it starts and reads it after every step: the first step that
    sets it raises ZeltaError with that step's message, the sequence's name
    and the step's context.
    """

    def __init__(self, name):
        self.name = name
        _zelta.xseterr(0)

    def __call__(self, function, *args, context=None, fails=None):
        """Call function(*args); `fails`, when given, is a result that means failure even
        with the flag clear (NaN results always do then)."""
        result = function(*args)
        code, message = _take_error()
        if code == EXTRAPOLATED:
            warnings.warn("%s: %s" % (self.name, message), ExtrapolationWarning, stacklevel=2)
            code = 0
        if not code and fails is not None and (result == fails or result != result):
            code, message = 3, "%s returned its failure value" % getattr(function, "__name__", "the call")
        if code:
            raise ZeltaError(code, message, self.name, context)
        return result


def checked(function, *args):
    """Call a _zelta function and raise ZeltaError if the library reports a failure.

    The error flag is cleared before the call (the library keeps it set
    until cleared), so only a failure of this very call is reported.
    """
    return Sequence(getattr(function, "__name__", None))(function, *args)

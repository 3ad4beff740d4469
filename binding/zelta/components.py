"""Components by name, formula, common alias or CAS number.

`code("methane")`, `code("C1")`, `code("CH4")`, `code("74-82-8")` and
`code(74828)` all give the library's component code of methane.  Names are
matched without regard to case, spaces, hyphens and commas; an unknown
name raises ZeltaError with the closest names of the database.
"""
import difflib
import re
import threading

import _zelta

from .errors import ZeltaError

# Short names engineers use, by CAS number.
ALIASES = {
    "c1": "74-82-8", "c2": "74-84-0", "c3": "74-98-6", "ic4": "75-28-5", "nc4": "106-97-8",
    "ic5": "78-78-4", "nc5": "109-66-0", "nc6": "110-54-3", "c6": "110-54-3", "nc7": "142-82-5",
    "c7": "142-82-5", "nc8": "111-65-9", "c8": "111-65-9", "nc9": "111-84-2", "c9": "111-84-2",
    "nc10": "124-18-5", "c10": "124-18-5", "co2": "124-38-9", "h2s": "7783-06-4", "n2": "7727-37-9",
    "o2": "7782-44-7", "h2": "1333-74-0", "co": "630-08-0", "ar": "7440-37-1", "he": "7440-59-7",
    "water": "7732-18-5", "h2o": "7732-18-5", "meoh": "67-56-1", "etoh": "64-17-5",
    "meg": "107-21-1", "deg": "111-46-6", "teg": "112-27-6", "nh3": "7664-41-7", "so2": "7446-09-5",
    "isobutane": "75-28-5", "nbutane": "106-97-8", "isopentane": "78-78-4", "npentane": "109-66-0",
}

_CAS_TEXT = re.compile(r"^\s*(\d{2,7})-(\d\d)-(\d)\s*$")
_lock = threading.Lock()
_index = None


def _key(name):
    return re.sub(r"[\s,\-_']", "", name).lower()


def _build_index():
    index = {}
    for c in range(1, _zelta.xmfcnr() + 1):
        for text in (_zelta.xcn(c), _zelta.xcn1(c), _zelta.xcn2(c)):
            if text:
                index.setdefault(_key(text), c)
    # Formulas only where they name one component (C4H10 does not).
    formulas = {}
    for c in range(1, _zelta.xmfcnr() + 1):
        f = _zelta.xcf(c)
        if f:
            formulas.setdefault(_key(f), []).append(c)
    for f, codes in formulas.items():
        if len(codes) == 1:
            index.setdefault(f, codes[0])
    return index


def _names():
    global _index
    with _lock:
        if _index is None:
            _index = _build_index()
        return _index


def cas_number(text):
    """The CAS number of "74-82-8" as the integer 74828 (check digit verified)."""
    m = _CAS_TEXT.match(text)
    if not m:
        raise ValueError("%r is not a CAS number" % (text,))
    digits = m.group(1) + m.group(2)
    check = sum(int(d) * (i + 1) for i, d in enumerate(reversed(digits))) % 10
    if check != int(m.group(3)):
        raise ValueError("%r is not a CAS number (check digit %d expected)" % (text, check))
    return int(digits + m.group(3))


def _by_cas(cas, given):
    _zelta.xseterr(0)
    c = _zelta.xidc(cas)
    if not c:
        message = _zelta.xerrmsg()
        _zelta.xseterr(0)
        raise ZeltaError(1, "unknown component %r (%s)" % (given, message), "components")
    return c


def code(component):
    """The library's component code of a name, alias, formula, CAS text or CAS number."""
    if isinstance(component, bool):
        raise TypeError("a component is a name or a CAS number, not %r" % (component,))
    if isinstance(component, int):
        return _by_cas(component, component)
    if not isinstance(component, str):
        raise TypeError("a component is a name or a CAS number, not %r" % (component,))
    if _CAS_TEXT.match(component):
        return _by_cas(cas_number(component), component)
    key = _key(component)
    if key in ALIASES:
        return _by_cas(cas_number(ALIASES[key]), component)
    index = _names()
    if key in index:
        return index[key]
    close = difflib.get_close_matches(key, list(index) + list(ALIASES), n=5, cutoff=0.75)
    hint = "; close: " + ", ".join(_display(k) for k in close) if close else ""
    raise ZeltaError(1, "unknown component %r%s" % (component, hint), "components")


def _display(key):
    if key in ALIASES:
        return key.upper()
    return name(_names()[key])


def name(code_):
    """The database name of a component code, in lower case ("n-hexane")."""
    return _zelta.xcn(code_).lower()


def cas(code_):
    """The CAS number of a component code as text, e.g. "74-82-8"."""
    n = str(_zelta.xcid(code_))
    return "%s-%s-%s" % (n[:-3], n[-3:-1], n[-1])

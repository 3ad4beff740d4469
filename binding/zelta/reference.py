"""Reference text of the raw library functions, read from the interface table.

``describe("xftp")`` (or the C name, ``describe("setOp")``) gives the C
declaration, the Python name, every argument with its meaning and unit, the
result and its unit, the failure value and the rule for calling it from
threads, for each of the 265 functions of ``_zelta`` and the functions only C
callers have.  The text comes from ``functions.tsv``, the copy of the
library's interface table (zpk/functions.tsv) that the build places next to
this module; nothing here is written by hand per function.

This module imports neither ``_zelta`` nor the rest of the package at load
time, so tools can load it on its own (tools/apidoc/functions_md.py renders
docs/functions.md with it).
"""
import difflib
import os
import re
import threading

TABLE_NAME = "functions.tsv"

_ARGUMENT = re.compile(r"^(int|double|char\*|int\*|double\*|double\*\*) (\w+)((?:\[[^\]]+\])*)(\?)?: (.+)$")
_DECLARATION = re.compile(r"^(int|double|char \*)\s*(\w+)\((.*)\)$")
_UNIT = re.compile(r"\[([^\]]+)\]")
_C_TYPES = {"char*": "const char*"}  # zpk/zpk.h declares text arguments const: the library only reads them


class UnknownFunction(LookupError):
    """No function of the interface table has the given name."""


class Argument:
    """One argument of a table row: type, name, extents, meaning."""

    def __init__(self, text):
        m = _ARGUMENT.match(text)
        if not m:
            raise ValueError("cannot read argument %r of the interface table" % text)
        self.type, self.name, extents, optional, self.meaning = m.groups()
        self.extents = re.findall(r"\[([^\]]+)\]", extents)
        self.optional = optional == "?"

    @property
    def c_type(self):
        """The argument's type as zpk/zpk.h declares it."""
        return _C_TYPES.get(self.type, self.type)

    def extent_text(self):
        """'3 doubles', 'ncd(slot) rows of ncd(slot) doubles': what the call reads or writes."""
        element = {"int*": "ints", "double*": "doubles", "double**": "doubles"}[self.type]
        if self.type == "double**":
            return "%s rows of %s %s" % (self.extents[0], self.extents[1], element)
        return "%s %s" % (self.extents[0], element)

    def extent_legend(self):
        """Meanings of the nc(), ncd() and ncol() terms of the extents."""
        out = []
        for kind, name in re.findall(r"\b(ncol|ncd|nc)\((\w+)\)", " ".join(self.extents)):
            text = _EXTENT_TERMS[kind] % (name, name)
            if text not in out:
                out.append(text)
        return out


_EXTENT_TERMS = {
    "nc": "nc(%s) = getCNr(%s)",
    "ncd": "ncd(%s) = getCNr of the stream that DPinit bound to the calling thread's derivative slot %s",
    "ncol": "ncol(%s) = number of distinct components of the feed streams listed in %s",
}


class Function:
    """One row of the interface table."""

    def __init__(self, fields):
        if len(fields) != 6:
            raise ValueError("interface table row with %d columns, expected 6: %r" % (len(fields), fields))
        self.python, self.declaration, args, self.result, self.failure, self.threads = fields
        m = _DECLARATION.match(self.declaration)
        if not m:
            raise ValueError("cannot read declaration %r of the interface table" % self.declaration)
        self.result_type, self.name, _ = m.groups()
        self.result_type = self.result_type.replace(" ", "")
        self.arguments = [] if args == "-" else [Argument(a) for a in args.split(" ; ")]

    @property
    def exposed(self):
        """True when _zelta has the function."""
        return self.python != "-"

    def c_prototype(self):
        """The C declaration with argument names, as zpk/zpk.h declares it."""
        args = ", ".join("%s %s" % (a.c_type, a.name) for a in self.arguments) or "void"
        return "%s %s(%s)" % (self.result_type, self.name, args)

    def python_call(self):
        if not self.exposed:
            return None
        return "_zelta.%s(%s)" % (self.python, ", ".join(a.name for a in self.arguments))


def _unit_name(unit, current_unit):
    if unit == "-":
        return "dimensionless"
    m = re.match(r"^quantity (\d+)$", unit)
    if not m:
        return unit
    name = current_unit(int(m.group(1))) if current_unit else None
    return "%s, now %s" % (unit, name) if name else unit


def unit_line(text, current_unit=None):
    """The units a meaning names in brackets ('quantity 15, now K', 'dimensionless'), None when none.

    current_unit(code) may give the name of the unit now selected for a quantity code.
    """
    units = []
    for unit in _UNIT.findall(text):
        if unit not in units:
            units.append(unit)
    return " or ".join(_unit_name(u, current_unit) for u in units) or None


def failure_text(f):
    """The failure value and how a caller recognises a failure."""
    if f.failure == "never fails":
        return "never fails"
    flag, message = ("xerr()", "xerrmsg()") if f.exposed else ("getErrFlag()", "ErrMsg()")
    text = "%s; a failed call returns it and sets the calling thread's error flag (%s) and message (%s)" % (
        f.failure, flag, message)
    if f.failure == "0":
        text += "; where 0 can also be a valid result, the flag tells the two apart"
    return text


def python_result(f):
    """The Python type of the result of _zelta's function."""
    return {"int": "int", "double": "float", "char*": "str, or None for a null text"}[f.result_type]


# The C-only functions that the companion module _zelta_ops (binding/ops.cpp)
# carries: its call (the C counts are the lengths of the sequences, outputs are
# returned), what it returns, and the zelta function built on it.  A test keeps
# these calls and the module's doc strings in agreement.
OPS_CALLS = {
    "DCOL": ("dcol(kind, mode, pressures, heat, efficiency, guess, top, bottom, feeds, feed_stages, draws, "
             "draw_stages, draw_kinds, draw_amounts, spec_places, spec_quantities, spec_components, spec_values)",
             "(duties, component codes, top flows, bottom flows, stage temperatures)", "zelta.column"),
    "BRegr": ("bregr(stream, code, a, b, c, x, y, T, P, flags)", "(params[10], x_out, y_out)", "zelta.regress"),
    "PFLine": ("pfline(stream, kind, fraction, capacity)", "(T, P)", "Fluid.envelope(quality=...)"),
    "PELine": ("peline(stream, line, capacity)", "(T, P)", None),
    "StrMDt": ("strmdt(stream)", "float", None),
    "getDATAF": ("getdataf()", "str", None),
}


def ops_line(name):
    """The Python line of a C-only function that _zelta_ops carries, else None."""
    if name not in OPS_CALLS:
        return None
    call, result, wrapper = OPS_CALLS[name]
    text = "Python: _zelta_ops.%s -> %s; raises zelta.ZeltaError on failure" % (call, result)
    return text + ("; see %s" % wrapper if wrapper else "")


def render(f, current_unit=None):
    """The plain-text description of one table row.

    current_unit(code) may name the unit now selected for a quantity code; it
    is added to every [quantity N] of the text.
    """
    lines = [f.c_prototype()]
    if f.exposed:
        lines.append("Python: %s -> %s" % (f.python_call(), python_result(f)))
    else:
        lines.append(ops_line(f.name) or "Python: none (C callers only)")
    lines.append("Arguments:" if f.arguments else "Arguments: none")
    for k, a in enumerate(f.arguments, 1):
        lines.append("  %d. %s %s: %s" % (k, a.c_type, a.name, a.meaning))
        unit = unit_line(a.meaning, current_unit)
        if unit and a.type in ("int", "double"):
            lines.append("     unit: %s" % unit)
        if a.extents:
            lines.append("     array: %s%s" % (a.extent_text(), "; may be null" if a.optional else ""))
            lines += ["       %s" % t for t in a.extent_legend()]
    lines.append("Result (%s): %s" % (f.result_type, f.result))
    unit = unit_line(f.result, current_unit)
    if unit and f.result_type != "char*":
        lines.append("  unit: %s" % unit)
    lines.append("Failure value: %s" % failure_text(f))
    lines.append("Threads: %s" % f.threads)
    return "\n".join(lines)


def read_table(path):
    """The rows of an interface table file, in table order."""
    functions = []
    with open(path, encoding="utf-8") as stream:
        for line in stream:
            line = line.rstrip("\n")
            if line and not line.startswith("#"):
                functions.append(Function(line.split("\t")))
    return functions


def table_path():
    """The installed copy next to this module, else the one of a source checkout."""
    here = os.path.dirname(os.path.abspath(__file__))
    for candidate in (os.path.join(here, TABLE_NAME), os.path.join(here, "..", "..", "zpk", TABLE_NAME)):
        if os.path.isfile(candidate):
            return candidate
    raise FileNotFoundError("%s is missing from the zelta package (%s); the build copies zpk/%s there"
                            % (TABLE_NAME, here, TABLE_NAME))


_lock = threading.Lock()
_cache = {}


def functions():
    """Every row of the interface table (read once per process)."""
    with _lock:
        if "rows" not in _cache:
            _cache["rows"] = read_table(table_path())
        return list(_cache["rows"])


def lookup(name):
    """The table row of a Python name (xftp) or C name (setOp)."""
    rows = functions()
    for f in rows:
        if name in (f.python, f.name):
            return f
    folded = [f for f in rows if name.lower() in (f.python.lower(), f.name.lower())]
    if len(folded) == 1:
        return folded[0]
    names = [f.python for f in rows if f.exposed] + [f.name for f in rows]
    close = difflib.get_close_matches(name, names, n=5, cutoff=0.6)
    hint = "; close matches: %s" % ", ".join(close) if close else ""
    raise UnknownFunction("no library function is called %r%s" % (name, hint))


class Description(str):
    """The text of describe(); shown as the text itself at the interactive prompt."""

    def __repr__(self):
        return str(self)


def _selected_unit(code):
    try:
        import _zelta
    except ImportError:
        return None
    return _zelta.xsums(code)


def describe(name):
    """Describe a raw library function by its _zelta name ("xftp") or C name ("setOp").

    Returns the text (a str that the interactive prompt shows as it is):
    C declaration, Python name, each argument with meaning and unit, result
    and unit, failure value and thread rule.  Units are those of the unit
    settings (quantity codes 15..54, docs/units.md); when _zelta can be
    imported the unit now selected for each quantity is named too.
    Raises UnknownFunction (a LookupError) naming close matches.
    """
    if not isinstance(name, str):
        raise TypeError("describe() takes a function name (str), not %s" % type(name).__name__)
    return Description(render(lookup(name), _selected_unit))

#!/usr/bin/python3
"""Generate the array-size checks of the _zelta wrappers from the interface table.

Usage: gen_array_checks.py TABLE OUTPUT

TABLE is zpk/functions.tsv (read with tools/apidoc/interface_table.py);
OUTPUT is a SWIG fragment that zelta.i includes.  For every exposed function
with double * or double ** arguments it holds

- a C++ function zelta_fits_<Name>(arguments) that compares each array
  argument's capacity with its extent in the table (array_checks.h) and
  reports the first one that is too small;
- an %exception block for <Name> that calls it after the argument
  conversion and, when it fails, gives the table's failure value instead of
  calling the library.

Extent terms understood: integers, int arguments of the same call and
ncd(slot) (the stream bound to a derivative slot).  An exposed function whose
arrays need another term stops the generation with a message.
"""
import os
import re
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools", "apidoc"))
import interface_table  # noqa: E402

C_TYPES = {"int": "int", "double": "double", "char*": "char *", "double*": "double *", "double**": "double **"}
FAILURE = {"0": "0", "-1": "-1", "NULL": "nullptr", "NaN": "std::numeric_limits<double>::quiet_NaN()"}


class GenerationError(Exception):
    pass


class Extents:
    """C++ expressions for the extents of one function's arrays."""

    def __init__(self, function):
        self.function = function
        self.position = {a.name: i for i, a in enumerate(function.args, 1)}
        self.slots = []  # ncd(...) arguments, computed once per call

    def term(self, term):
        if term.isdigit():
            return "%sL" % term
        m = re.match(r"^(\w+)\((\w+)\)$", term)
        if m and m.group(1) == "ncd":
            if m.group(2) not in self.slots:
                self.slots.append(m.group(2))
            return "ncd_%s" % m.group(2)
        if m:
            raise GenerationError("%s: extent term %s is not supported by the binding's checks"
                                  % (self.function.name, term))
        return "static_cast<long>(a%d)" % self.position[term]

    def value(self, extent):
        sums = []
        for part in extent.split("+"):
            factors = [self.term(t.strip()) for t in part.split("*")]
            expr = factors[0]
            for f in factors[1:]:
                expr = "zelta_checks::times(%s, %s)" % (expr, f)
            sums.append(expr)
        expr = sums[0]
        for s in sums[1:]:
            expr = "zelta_checks::plus(%s, %s)" % (expr, s)
        return expr

    def phrase(self, extent, value, writes):
        term = extent.strip()
        if re.match(r"^ncd\(\w+\)$", term):
            return "zelta_checks::streamPhrase(%s)" % value
        if re.match(r"^[A-Za-z_]\w*$", term):
            return 'zelta_checks::argumentPhrase(%d, "%s", %s)' % (self.position[term], term, value)
        return "zelta_checks::countPhrase(%s, %s)" % ("true" if writes else "false", value)


def checks(function):
    """The fits-function and the %exception block, or None without arrays."""
    arrays = [(i, a) for i, a in enumerate(function.args, 1) if a.type in ("double*", "double**")]
    unsupported = [a for a in function.args if a.type not in C_TYPES]
    if unsupported:
        raise GenerationError("%s: argument type %s is not exposed to Python" % (function.name, unsupported[0].type))
    if not arrays:
        return None
    if function.failure not in FAILURE:
        raise GenerationError("%s: an array check needs a failure value, the table says %r"
                              % (function.name, function.failure))
    ex = Extents(function)
    lines = []
    for pos, a in arrays:
        writes = a.meaning.startswith("output")
        if a.type == "double*":
            v = ex.value(a.extents[0])
            lines.append('call.doubles(%d, "%s", a%d, %s, %s)' % (pos, a.name, pos, v, ex.phrase(a.extents[0], v, writes)))
        else:
            rows, cols = ex.value(a.extents[0]), ex.value(a.extents[1])
            if a.extents[0].strip() == a.extents[1].strip():
                why = ex.phrase(a.extents[0], rows, writes)
            else:
                why = "zelta_checks::matrixPhrase(%s, %s, %s)" % ("true" if writes else "false", rows, cols)
            lines.append('call.matrix(%d, "%s", a%d, %s, %s, %s)' % (pos, a.name, pos, rows, cols, why))
    params = ", ".join("%s a%d" % (C_TYPES[a.type], i) for i, a in enumerate(function.args, 1))
    known = " && ".join("!call.known(a%d)" % pos for pos, _ in arrays)
    body = ["static bool zelta_fits_%s(%s) {" % (function.name, params),
            '  const zelta_checks::Call call("%s");' % function.python,
            "  if (%s) return true;" % known]
    for slot in ex.slots:
        body.append("  const long ncd_%s = zelta_checks::slotPositions(a%d);" % (slot, ex.position[slot]))
    body.append("  return " + "\n      && ".join(lines) + ";")
    body.append("}")
    used = "\n".join(body[1:])
    unused = [i for i in range(1, len(function.args) + 1) if not re.search(r"\ba%d\b" % i, used)]
    if unused:
        body.insert(1, "  " + " ".join("(void)a%d;" % i for i in unused))
    call_args = ", ".join("arg%d" % i for i in range(1, len(function.args) + 1))
    block = ["%%exception %s {" % function.name,
             "  if (!zelta_fits_%s(%s)) {" % (function.name, call_args),
             "    result = %s;" % FAILURE[function.failure],
             "  } else {",
             "    $action",
             "  }",
             "}"]
    return "\n".join(body), "\n".join(block)


def generate(functions):
    helpers, blocks = [], []
    for f in functions:
        if not f.exposed:
            continue
        made = checks(f)
        if made:
            helpers.append(made[0])
            blocks.append(made[1])
    return "\n".join(["/* Generated by gen_array_checks.py from zpk/functions.tsv; do not edit. */",
                      "%{", "#include <limits>", "", '#include "array_checks.h"', ""]
                     + [h + "\n" for h in helpers] + ["%}", ""] + [b + "\n" for b in blocks])


def main(argv):
    if len(argv) != 3:
        sys.exit("usage: gen_array_checks.py TABLE OUTPUT")
    try:
        text = generate(interface_table.read(argv[1]))
    except (interface_table.TableError, GenerationError) as e:
        sys.exit("gen_array_checks.py: %s" % e)
    try:
        with open(argv[2], encoding="utf-8") as f:
            if f.read() == text:
                return
    except OSError:
        pass
    with open(argv[2], "w", encoding="utf-8") as f:
        f.write(text)


if __name__ == "__main__":
    main(sys.argv)

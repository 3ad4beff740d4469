#!/usr/bin/python3
"""Post-process and check the wrapper source that SWIG generates for _zelta.

Usage: check_wrap.py [--table TABLE] GENERATED OUTPUT

GENERATED is SWIG's output; OUTPUT is the source that is compiled.  With
TABLE (zpk/functions.tsv: Python name, C declaration, further columns; the
rows with a Python name, in method-table order) the module is _zelta and its
function table is checked; without it (the zelta_arrays companion) only the
runtime is mended.

The module must expose exactly the functions of the table, in table order,
with the calling form that follows from the number of declared arguments
(METH_NOARGS for none, METH_O for one, METH_VARARGS for more) and no
documentation strings.  Method-table entries that SWIG adds on its own for
other purposes (SWIG_PyInstanceMethod_New, SWIG_PyStaticMethod_New) are
removed here.  The module must define no constants (which would also bring
a variable-link object into the module dictionary) and register exactly the
three pointer types char *, double * and double **.  Anything else stops the
build with a message.

Runtime mend (both modules): SWIG 4.1's pointer-object comparison reads the
other operand as a pointer object even when it is not one (None, a number);
here `==` and `!=` with any other object return NotImplemented instead, so
such comparisons fall back to identity and never read foreign memory.
"""
import re
import sys

FORMS = {0: "METH_NOARGS", 1: "METH_O"}
EXPECTED_TYPES = [("_p_char", "char *"), ("_p_double", "double *"),
                  ("_p_p_double", "double **")]


def fail(message):
    sys.stderr.write("check_wrap.py: %s\n" % message)
    sys.exit(1)


def read_table(path):
    rows = []
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.rstrip("\n")
            if not line or line.startswith("#"):
                continue
            name, decl = line.split("\t")[:2]
            if name == "-":  # not exposed to Python
                continue
            args = decl[decl.index("(") + 1:decl.rindex(")")].strip()
            count = 0 if args in ("", "void") else len(args.split(","))
            rows.append((name, FORMS.get(count, "METH_VARARGS")))
    return rows


ENTRY = re.compile(r'^\s*\{\s*"(\w+)",\s*(\w+),\s*(\w+),\s*(NULL|"[^"]*")\s*\},\s*$')


def check_methods(lines, table):
    try:
        start = next(i for i, l in enumerate(lines)
                     if l.startswith("static PyMethodDef SwigMethods[]"))
    except StopIteration:
        fail("no SwigMethods table in the generated source")
    kept, dropped = [], []
    i = start + 1
    while not re.match(r"^\s*\{\s*NULL,\s*NULL,\s*0,\s*NULL\s*\}\s*$", lines[i]):
        if re.match(r'^\s*\{\s*"SWIG_\w+"', lines[i]):
            dropped.append(i)
        else:
            m = ENTRY.match(lines[i])
            if not m:
                fail("unexpected method-table line: %r" % lines[i])
            kept.append(m.groups())
        i += 1
    found = [(name, flags) for name, _, flags, _ in kept]
    if len(found) != len(table):
        fail("method table has %d entries, expected %d" % (len(found), len(table)))
    for pos, (got, want) in enumerate(zip(found, table)):
        if got != want:
            fail("method-table entry %d is %s %s, expected %s %s" % ((pos + 1,) + got + want))
    for name, _, _, doc in kept:
        if doc != "NULL":
            fail("method %s carries a documentation string" % name)
    return [l for j, l in enumerate(lines) if j not in set(dropped)], len(dropped)


def check_runtime(text):
    m = re.search(r"static swig_const_info swig_const_table\[\] = \{\s*(.*?)\};", text, re.S)
    if not m or m.group(1).strip() != "{0, 0, 0, 0.0, 0, 0}":
        fail("the module would define constants")
    types = re.findall(r'static swig_type_info _swigt__\w+ = \{"(\w+)", "([^"]*)", 0, 0, \(void\*\)0, 0\};',
                       text)
    if types != EXPECTED_TYPES:
        fail("registered pointer types are %r, expected %r" % (types, EXPECTED_TYPES))
    init = text[text.index("SWIG_init(void) {"):]
    if re.search(r"SWIG_globals\(\)|SWIG_addvarlink|cvar", init):
        fail("the module initialisation creates a variable-link object")


RICHCOMPARE_OLD = """SWIGRUNTIME PyObject*
SwigPyObject_richcompare(SwigPyObject *v, SwigPyObject *w, int op)
{
  PyObject* res;
  if( op != Py_EQ && op != Py_NE ) {"""
RICHCOMPARE_NEW = """SWIGRUNTIMEINLINE int SwigPyObject_Check(PyObject *op);

SWIGRUNTIME PyObject*
SwigPyObject_richcompare(SwigPyObject *v, SwigPyObject *w, int op)
{
  PyObject* res;
  if( (op != Py_EQ && op != Py_NE) || !SwigPyObject_Check((PyObject *)w) ) {"""


def mend_runtime(text):
    if text.count(RICHCOMPARE_OLD) != 1:
        fail("pointer-object comparison not found where expected; review the runtime mend")
    return text.replace(RICHCOMPARE_OLD, RICHCOMPARE_NEW, 1)


def main(argv):
    args = argv[1:]
    table = None
    if args[:1] == ["--table"]:
        table = read_table(args[1])
        args = args[2:]
    if len(args) != 2:
        fail("usage: check_wrap.py [--table TABLE] GENERATED OUTPUT")
    with open(args[0], encoding="utf-8") as f:
        text = f.read()
    if table is not None:
        lines, removed = check_methods(text.split("\n"), table)
        text = "\n".join(lines)
        check_runtime(text)
        print("check_wrap.py: %d functions, %d generator entries removed" % (len(table), removed))
    text = mend_runtime(text)
    with open(args[1], "w", encoding="utf-8") as f:
        f.write(text)


if __name__ == "__main__":
    main(sys.argv)

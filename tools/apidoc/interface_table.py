"""Reader of the interface table zpk/functions.tsv (format: docs/api.md).

Gives one Function per row with its parsed arguments, and checks the table
against the declarations of zpk/zpk.h.
"""
import re
import sys

TYPES = ("int", "double", "char*", "int*", "double*", "double**")
FAILURES = ("0", "NaN", "NULL", "-1", "never fails")
ARGUMENT = re.compile(r"^(int|double|char\*|int\*|double\*|double\*\*) (\w+)((?:\[[^\]]+\])*)(\?)?: (.+)$")
EXTENT_TERM = re.compile(r"^(\d+|\w+|nc\(\w+\)|ncd\(\w+\)|ncol\(\w+\))$")
DECLARATION = re.compile(r"^(int|double|char \*)\s*(\w+)\((.*)\)$")


class TableError(Exception):
    pass


class Argument:
    def __init__(self, text):
        m = ARGUMENT.match(text)
        if not m:
            raise TableError("cannot read argument %r" % text)
        self.type, self.name, extents, optional, self.meaning = m.groups()
        self.extents = re.findall(r"\[([^\]]+)\]", extents)
        self.optional = optional == "?"

    @property
    def is_array(self):
        return self.type in ("int*", "double*", "double**")

    def extent_terms(self):
        return [t for e in self.extents for t in re.split(r"[+*]", e)]


class Function:
    def __init__(self, fields, line):
        if len(fields) != 6:
            raise TableError("line %d: %d columns, expected 6" % (line, len(fields)))
        self.python, self.declaration, args, self.result, self.failure, self.threads = fields
        m = DECLARATION.match(self.declaration)
        if not m:
            raise TableError("line %d: cannot read declaration %r" % (line, self.declaration))
        result, self.name, types = m.groups()
        self.result_type = result.replace(" ", "")
        self.types = [] if types.strip() in ("", "void") else [t.strip().replace(" ", "") for t in types.split(",")]
        self.args = [] if args == "-" else [Argument(a) for a in args.split(" ; ")]
        self._check(line)

    def _check(self, line):
        where = "line %d (%s)" % (line, self.name)
        if self.failure not in FAILURES:
            raise TableError("%s: failure value %r is not one of %s" % (where, self.failure, ", ".join(FAILURES)))
        if [a.type for a in self.args] != self.types:
            raise TableError("%s: argument types %s differ from the declaration %s"
                             % (where, [a.type for a in self.args], self.types))
        ints = {a.name for a in self.args if a.type == "int"}
        for a in self.args:
            if a.is_array and not a.extents:
                raise TableError("%s: array argument %s has no extent" % (where, a.name))
            if a.type == "double**" and len(a.extents) != 2:
                raise TableError("%s: double** argument %s needs two extents" % (where, a.name))
            if not a.is_array and (a.extents or a.optional):
                raise TableError("%s: argument %s is not an array" % (where, a.name))
            for term in a.extent_terms():
                if not EXTENT_TERM.match(term):
                    raise TableError("%s: extent term %r of %s" % (where, term, a.name))
                inner = re.match(r"^\w+\((\w+)\)$", term)
                ref = inner.group(1) if inner else term
                if not ref.isdigit() and ref not in {b.name for b in self.args}:
                    raise TableError("%s: extent of %s names no argument (%s)" % (where, a.name, ref))
                if not inner and not term.isdigit() and term not in ints:
                    raise TableError("%s: extent of %s is not an int argument (%s)" % (where, a.name, term))

    @property
    def exposed(self):
        return self.python != "-"


def read(path):
    functions = []
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.rstrip("\n")
            if not line or line.startswith("#"):
                continue
            functions.append(Function(line.split("\t"), number))
    names = [f.name for f in functions]
    if len(set(names)) != len(names):
        raise TableError("a function appears twice")
    seen_hidden = False
    for f in functions:
        seen_hidden = seen_hidden or not f.exposed
        if f.exposed and seen_hidden:
            raise TableError("%s: exposed rows must come before the rows with python name -" % f.name)
    return functions


HEADER_DECLARATION = re.compile(r"ZPK_API\s+(int|double|char\s*\*)\s*(\w+)\s*\(([^)]*)\)\s*;")


def header_declarations(path):
    """(name, result type, [argument types]) of every function of zpk/zpk.h, in order."""
    with open(path, encoding="utf-8") as f:
        text = re.sub(r"/\*.*?\*/", "", f.read(), flags=re.S)
    out = []
    for result, name, args in HEADER_DECLARATION.findall(text):
        types = []
        if args.strip() not in ("", "void"):
            for a in args.split(","):
                a = re.sub(r"^\s*const\s+", "const ", a)
                a = re.sub(r"(?<!const)\s+", "", a)
                types.append(re.sub(r"^((?:const )?(?:int|double|char))(\**)\w*$", r"\1\2", a))
        out.append((name, result.replace(" ", ""), types))
    return out


def header_type(table_type):
    """How zpk/zpk.h declares an argument of a table type: texts are only read, so const."""
    return "const char*" if table_type == "char*" else table_type


def compare_with_header(functions, header):
    """Messages for every difference between the table and the header."""
    problems = []
    table = {f.name: f for f in functions}
    declared = {name: (r, t) for name, r, t in header}
    for name in declared:
        if name not in table:
            problems.append("%s is declared in zpk/zpk.h but not in the table" % name)
    for f in functions:
        if f.name not in declared:
            problems.append("%s is in the table but not declared in zpk/zpk.h" % f.name)
            continue
        result, types = declared[f.name]
        wanted = [header_type(t) for t in f.types]
        if result != f.result_type or types != wanted:
            problems.append("%s: the table asks zpk/zpk.h for %s(%s), zpk/zpk.h says %s(%s)"
                            % (f.name, f.result_type, ", ".join(wanted), result, ", ".join(types)))
    if not problems and [n for n, _, _ in header] != [f.name for f in functions]:
        problems.append("the table is not in the order of zpk/zpk.h")
    return problems


def command_line(argv, default_root, usage):
    """(root, mode) of a generator's arguments `[--root DIR] --write|--check`, or None
    after printing `usage` to standard error."""
    root, args = default_root, argv[1:]
    if args[:1] == ["--root"]:
        root, args = args[1], args[2:]
    if args not in (["--write"], ["--check"]):
        sys.stderr.write(usage)
        return None
    return root, args[0]

"""The exposed functions of the interface table (zpk/functions.tsv) for the binding tests."""
import os
import re

import pytest

TABLE = os.path.join(os.path.dirname(__file__), "..", "..", "zpk", "functions.tsv")
TYPES = ("int", "double", "char *", "double *", "double **")


class Function:
    def __init__(self, python, declaration):
        m = re.match(r"^(int|double|char \*)\s*(\w+)\((.*)\)$", declaration)
        self.python = python
        self.result, self.c_name, args = m.groups()
        self.args = [] if args.strip() in ("", "void") else [a.strip() for a in args.split(",")]
        assert all(a in TYPES for a in self.args), declaration

    @property
    def flag(self):
        return {0: 4, 1: 8}.get(len(self.args), 1)

    def valid_args(self):
        """Arguments that convert without error (pointers as None)."""
        sample = {"int": 1, "double": 1.5, "char *": "abc", "double *": None, "double **": None}
        return [sample[a] for a in self.args]

    def __repr__(self):
        return self.python


def read_table():
    with open(TABLE, encoding="utf-8") as f:
        rows = [l.rstrip("\n").split("\t") for l in f if l.strip() and not l.startswith("#")]
    return [Function(r[0], r[1]) for r in rows if r[0] != "-"]


FUNCTIONS = read_table()


@pytest.fixture(scope="session")
def functions():
    return FUNCTIONS

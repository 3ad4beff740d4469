"""The build step that generates the wrappers' array-size checks from the interface table."""
import os
import re
import subprocess
import sys

HERE = os.path.dirname(__file__)
SCRIPT = os.path.join(HERE, "..", "..", "binding", "gen_array_checks.py")
TABLE = os.path.join(HERE, "..", "..", "zpk", "functions.tsv")


def generate(tmp_path, table=TABLE):
    out = tmp_path / "checks.i"
    r = subprocess.run([sys.executable, SCRIPT, str(table), str(out)], capture_output=True, text=True)
    return r, (out.read_text() if out.exists() else None)


def table_rows():
    with open(TABLE, encoding="utf-8") as f:
        return [l for l in f if l.strip() and not l.startswith("#")]


def test_every_exposed_function_with_arrays_gets_one_check(tmp_path):
    r, text = generate(tmp_path)
    assert r.returncode == 0, r.stderr
    with_arrays = [row.split("\t")[1] for row in table_rows()
                   if row.split("\t")[0] != "-" and re.search(r"double \*", row.split("\t")[1])]
    names = [re.match(r"^\w+ \*?(\w+)\(", d).group(1) for d in with_arrays]
    assert re.findall(r"^%exception (\w+) \{", text, re.M) == names
    assert len(names) == 8
    # failure value of the table, not a guess
    assert text.count("result = 0;") == 8


def test_an_extent_the_binding_cannot_evaluate_stops_the_build(tmp_path):
    rows = table_rows()
    row = next(r for r in rows if r.startswith("xsfv\t"))
    bad = row.replace("double* F[ncd(slot)]", "double* F[nc(slot)]")
    assert bad != row
    table = tmp_path / "functions.tsv"
    table.write_text("".join(bad if r is row else r for r in rows))
    r, _ = generate(tmp_path, table)
    assert r.returncode != 0 and "StrFv: extent term nc(slot)" in r.stderr

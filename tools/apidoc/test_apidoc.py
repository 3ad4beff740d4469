"""The checks of apidoc.py find each kind of disagreement between the interface
table, zpk/zpk.h and docs/api.md (run: python3 -m unittest test_apidoc)."""
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.join(HERE, "..", "..")
SCRIPT = os.path.join(HERE, "apidoc.py")
FILES = ("zpk/zpk.h", "zpk/functions.tsv", "docs/api.md")


class ApidocCheck(unittest.TestCase):
    def setUp(self):
        self.root = tempfile.mkdtemp()
        for f in FILES:
            os.makedirs(os.path.join(self.root, os.path.dirname(f)), exist_ok=True)
            shutil.copy(os.path.join(ROOT, f), os.path.join(self.root, f))

    def tearDown(self):
        shutil.rmtree(self.root)

    def edit(self, name, old, new):
        path = os.path.join(self.root, name)
        with open(path, encoding="utf-8") as f:
            text = f.read()
        self.assertIn(old, text)
        with open(path, "w", encoding="utf-8") as f:
            f.write(text.replace(old, new, 1))

    def check(self):
        r = subprocess.run([sys.executable, SCRIPT, "--root", self.root, "--check"], capture_output=True, text=True)
        return r.returncode, r.stderr

    def test_the_sources_agree(self):
        self.assertEqual(self.check(), (0, ""))

    def test_argument_type_changed_in_the_header(self):
        self.edit("zpk/zpk.h", "ZPK_API double BPF(int, double);", "ZPK_API double BPF(int, int);")
        code, err = self.check()
        self.assertEqual(code, 1)
        self.assertIn("BPF: the table asks zpk/zpk.h for double(int, double), zpk/zpk.h says double(int, int)", err)

    def test_function_missing_from_the_table(self):
        self.edit("zpk/zpk.h", "ZPK_API int getASNr(void);", "ZPK_API int getASNr(void);\nZPK_API int extra(int);")
        code, err = self.check()
        self.assertEqual(code, 1)
        self.assertIn("extra is declared in zpk/zpk.h but not in the table", err)

    def test_order_differs(self):
        self.edit("zpk/zpk.h", "ZPK_API double CFGReal(int);\n", "")
        self.edit("zpk/zpk.h", "ZPK_API int AFOpen(const char*);", "ZPK_API int AFOpen(const char*);\nZPK_API double CFGReal(int);")
        code, err = self.check()
        self.assertEqual(code, 1)
        self.assertIn("not in the order of zpk/zpk.h", err)

    def test_documented_failure_value_differs(self):
        self.edit("docs/api.md", "| `BPF` | `xfbp` | `double BPF(int, double)` |", "| `BPF` | `xfbp` | `double BPF(int, int)` |")
        code, err = self.check()
        self.assertEqual(code, 1)
        self.assertIn("docs/api.md differs from the table", err)

    def test_array_without_extent(self):
        self.edit("zpk/functions.tsv", "double* first[capacity]:", "double* first:")
        code, err = self.check()
        self.assertEqual(code, 1)
        self.assertIn("array argument first has no extent", err)

    def test_extent_naming_no_argument(self):
        self.edit("zpk/functions.tsv", "double* first[capacity]:", "double* first[size]:")
        code, err = self.check()
        self.assertEqual(code, 1)
        self.assertIn("names no argument (size)", err)


if __name__ == "__main__":
    unittest.main()

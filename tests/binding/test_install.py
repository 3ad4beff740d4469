"""The installed modules import from the install prefix and find libzpk there."""
import glob
import os
import re
import shutil
import subprocess
import sys

import pytest

BUILD = os.environ.get("ZELTA_BUILD_DIR")

CHECK = """
import _zelta, zelta_arrays, _zelta_ops, zelta
assert _zelta.xmsnr() > 0 and _zelta.xidc(74828) > 0
assert _zelta_ops.getdataf().endswith("/")
with zelta.DoubleArray([1.0]) as a:
    _zelta.xsfv(1, 1, 300.0, 1e5, a, None)
assert zelta.describe("xftp").startswith("int setOp(int stream, double T, double P)")
with open("/proc/self/maps") as f:
    print(sorted({line.split()[-1] for line in f if "zpk" in line or "zelta" in line}))
"""


@pytest.mark.skipif(not BUILD or not shutil.which("cmake"), reason="needs the build tree and cmake")
def test_installed_modules_import_and_use_the_installed_library(tmp_path):
    prefix = tmp_path / "prefix"
    subprocess.run(["cmake", "--install", BUILD, "--component", "python", "--prefix", str(prefix)],
                   check=True, capture_output=True)
    (module,) = glob.glob(str(prefix / "**" / "_zelta.*.so"), recursive=True)
    site = os.path.dirname(module)
    assert os.path.isfile(os.path.join(site, "zelta", "__init__.py"))
    assert os.path.isfile(os.path.join(site, "zelta", "functions.tsv"))  # read by zelta.describe()
    assert glob.glob(os.path.join(site, "zelta_arrays*.so"))
    assert glob.glob(os.path.join(site, "_zelta_ops*.so"))
    # The library is installed by its own component; put it where the modules' run path points.
    dynamic = subprocess.run(["readelf", "-d", module], check=True, capture_output=True, text=True).stdout
    (runpath,) = re.findall(r"R(?:UN)?PATH.*\[(.*)\]", dynamic)
    assert runpath.startswith("$ORIGIN/")
    libdir = os.path.normpath(runpath.replace("$ORIGIN", site))
    assert libdir.startswith(str(prefix))
    os.makedirs(libdir, exist_ok=True)
    shutil.copy2(os.environ["ZELTA_LIBZPK"], libdir)

    env = {k: v for k, v in os.environ.items() if k not in ("PYTHONPATH", "LD_LIBRARY_PATH")}
    env["PYTHONPATH"] = site
    out = subprocess.run([sys.executable, "-c", CHECK], env=env, cwd=str(tmp_path), capture_output=True,
                         text=True, check=True).stdout
    loaded = eval(out)
    assert loaded and all(path.startswith(str(prefix)) for path in loaded), loaded

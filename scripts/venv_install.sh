#!/usr/bin/env bash
# pip-installs the package into a fresh virtual environment, offline with
# Debian's setuptools, and uses it from outside the source tree: an import,
# the command-line tool and an example script.
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
venv=$(mktemp -d)
trap 'rm -rf "$venv"' EXIT
/usr/bin/python3 -m venv --system-site-packages "$venv"
"$venv/bin/pip" install --no-build-isolation --no-index --no-deps -q "$src"
cd "$venv"
"$venv/bin/python" - <<'PY'
import sys
import _zelta, _zelta_ops, zelta
gas = zelta.Fluid({"methane": 0.85, "ethane": 0.10, "propane": 0.05}, model="PR")
state = gas.flash(T=250.0, P=50e5)
assert state.phases[0].kind == "vapour" and 50 < state.phases[0].density < 80
assert zelta.__file__.startswith(sys.prefix) and _zelta.__file__.startswith(sys.prefix)
assert _zelta_ops.__file__.startswith(sys.prefix)
assert "setOp" in str(zelta.describe("xftp"))
print("venv: zelta", zelta.__file__)
PY
"$venv/bin/zelta" flash "methane=0.85,ethane=0.10,propane=0.05" --model PR -T 250 -P 50bar
"$venv/bin/python" "$src/examples/python/lpg_bubble.py"
echo "venv install: ok"

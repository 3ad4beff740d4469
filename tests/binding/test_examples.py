"""Every example script runs to its end; each checks one number against an independent value."""
import os
import pathlib
import subprocess
import sys

import pytest

EXAMPLES = pathlib.Path(__file__).resolve().parents[2] / "examples" / "python"


@pytest.mark.parametrize("script", sorted(p.name for p in EXAMPLES.glob("*.py")))
def test_example_runs_and_its_check_holds(script, tmp_path):
    result = subprocess.run([sys.executable, str(EXAMPLES / script)], capture_output=True, text=True,
                            cwd=tmp_path, env=dict(os.environ, MPLBACKEND="Agg"), timeout=300)
    assert result.returncode == 0, result.stdout + result.stderr
    assert result.stdout.strip()


def test_there_are_ten_examples():
    assert len(list(EXAMPLES.glob("*.py"))) >= 10

"""Puts this folder on the import path for the shared helpers (functable)."""
import os
import sys

sys.path.insert(0, os.path.dirname(__file__))

from functable import functions  # noqa: E402,F401  (fixture)

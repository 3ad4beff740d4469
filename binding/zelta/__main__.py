"""python3 -m zelta: the command-line tool."""
import sys

from .cli import main

sys.exit(main())

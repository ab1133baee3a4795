"""`python3 -m quillet`: the command line of quillet.cli."""
import sys

from .cli import main

sys.exit(main())

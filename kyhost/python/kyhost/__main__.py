"""python -m kyhost: the kyhost command line (see kyhost --help)."""
import sys

from ._command import main

sys.exit(main())

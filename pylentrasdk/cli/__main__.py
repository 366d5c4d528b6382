"""`python -m pylentrasdk.cli` runs lxctl."""

import sys

from pylentrasdk.cli import main

if __name__ == "__main__":
    sys.exit(main())

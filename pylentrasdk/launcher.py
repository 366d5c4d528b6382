"""Starts the console tool: the `pylentractl` command and `python -m pylentrasdk` come here.

When the simulated rig's description (named in LENTRASDK_SIM) fails to load, the library has no
cameras and the tool can only say that it found none: the library logs the reason, but the tool
clears the screen before its first menu and the line is gone. The launcher says why on standard
error before the tool starts, and again after it ends when standard error is a terminal, where
the cleared screen would otherwise have wiped it. The tool itself is not changed.
"""
from __future__ import annotations

import sys

from pylentrasdk import pylentractl


def load_failure() -> str | None:
    """Why the simulated rig has no cameras, or None when its description loaded (or when the
    package is built against a library without simulation control)."""
    try:
        from pylentrasdk import sim
    except ImportError:
        return None
    return sim.load_error()


def _say(reason: str) -> None:
    sys.stderr.write(
        "pylentractl: the simulated rig's description did not load, so there are no cameras: "
        "{}\n".format(reason))
    sys.stderr.flush()


def main() -> None:
    reason = load_failure()
    if reason is None:
        return pylentractl.main()
    _say(reason)
    try:
        return pylentractl.main()
    finally:
        if sys.stderr.isatty():
            _say(reason)


if __name__ == "__main__":
    main()

#!/usr/bin/env bash
# Builds pylentrasdk, lints the Python sources (ruff, configured in pyproject.toml) and runs every
# test against the installed build, in as many worker processes as the machine has cores
# (pytest-xdist; `-n 0` runs them in this process, one after the other). The tests import the
# installed package (the pytest command does not put the source folder on the path).
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
echo "Linting (ruff)"
.venv/bin/ruff check --quiet .
exec .venv/bin/pytest -n "$(nproc)" "$@"

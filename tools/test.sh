#!/usr/bin/env bash
# Builds pylentrasdk and runs every test against the installed build. The tests import the
# installed package (the pytest command does not put the source folder on the path).
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
exec .venv/bin/pytest "$@"

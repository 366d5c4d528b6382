#!/usr/bin/env bash
# Installs what the project needs and builds it: the Debian packages of the C++ libraries, a
# Python virtual environment in .venv with the build and test packages, and pylentrasdk itself
# built and installed into that environment. Run it again at will: it installs only what is
# missing and the build is incremental (build/).
set -euo pipefail
cd "$(dirname "$0")/.."

debs=(g++ pkg-config nlohmann-json3-dev libspdlog-dev libyaml-cpp-dev libturbojpeg0-dev zlib1g-dev libyuv-dev libhwy-dev)
# The viewer's browser tests (tests/test_viewer_browser.py) drive Debian's chromium, headless,
# through its own driver /usr/bin/chromedriver: nothing is downloaded at test time.
debs+=(chromium chromium-driver)
source tools/install_debs.sh
install_debs "${debs[@]}"

if [ ! -x .venv/bin/python ]; then
  echo "Creating the virtual environment .venv"
  "${PYTHON:-python3}" -m venv .venv
fi
.venv/bin/python -m pip install -q --disable-pip-version-check -r requirements-dev.txt
# The build's whole output goes to build/setup.log; what is being compiled and linked is shown as
# it happens ("[12/64] Building CXX object sdk/src/api/device.cpp"), so a first build of a few
# minutes is not silent. A failed build shows the end of the log.
echo "Building and installing pylentrasdk (whole log: build/setup.log)"
mkdir -p build
if ! .venv/bin/python -m pip install -v --disable-pip-version-check --no-build-isolation --no-deps . 2>&1 \
    | tee build/setup.log \
    | sed -un -e 's#CMakeFiles/[^ ]*\.dir/##' -e 's#\.o$##' \
        -e 's#^ *\(\[[0-9]*/[0-9]*\] \(Building\|Linking\|Cythonizing\).*\)#  \1#p'; then
  echo "The build failed. The end of build/setup.log:" >&2
  tail -n 40 build/setup.log >&2
  exit 1
fi

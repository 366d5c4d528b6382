#!/usr/bin/env bash
# Installs what the project needs and builds it: the Debian packages of the C++ libraries, a
# Python virtual environment in .venv with the build and test packages, and pylentrasdk itself
# built and installed into that environment. Run it again at will: it installs only what is
# missing and the build is incremental (build/).
set -euo pipefail
cd "$(dirname "$0")/.."

debs=(g++ pkg-config nlohmann-json3-dev libspdlog-dev libyaml-cpp-dev libturbojpeg0-dev zlib1g-dev)
source tools/install_debs.sh
install_debs "${debs[@]}"

if [ ! -x .venv/bin/python ]; then
  echo "Creating the virtual environment .venv"
  "${PYTHON:-python3}" -m venv .venv
fi
.venv/bin/python -m pip install -q --disable-pip-version-check -r requirements-dev.txt
echo "Building and installing pylentrasdk"
.venv/bin/python -m pip install -q --disable-pip-version-check --no-build-isolation --no-deps .

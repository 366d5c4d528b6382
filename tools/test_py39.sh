#!/usr/bin/env bash
# Builds pylentrasdk with CPython 3.9, the oldest Python it supports, into a virtual environment
# of its own (.venv-3.9, built in build/cp39-...) and runs every test there, in as many worker
# processes as the machine has cores. Arguments go to pytest.
#
# The interpreter is the one PYTHON39 names, else pyenv's 3.9, else python3.9 on the PATH. A
# machine without one says so and the script ends with success: nothing was run on 3.9.
set -euo pipefail
cd "$(dirname "$0")/.."

is_39() { [ -n "$1" ] && [ -x "$1" ] && "$1" -c 'import sys; sys.exit(sys.version_info[:2] != (3, 9))' 2>/dev/null; }

python="${PYTHON39:-}"
if [ -z "$python" ]; then
  candidates=()
  if command -v pyenv >/dev/null; then
    prefix=$(pyenv prefix 3.9 2>/dev/null || true)
    [ -n "$prefix" ] && candidates+=("$prefix/bin/python3.9")
  fi
  candidates+=("${PYENV_ROOT:-$HOME/.pyenv}"/versions/3.9*/bin/python3.9)
  candidates+=("$(command -v python3.9 2>/dev/null || true)")
  for candidate in "${candidates[@]}"; do
    if is_39 "$candidate"; then python="$candidate"; break; fi
  done
fi
if [ -z "$python" ]; then
  echo "Python 3.9: no interpreter found (neither PYTHON39, pyenv's 3.9 nor python3.9 on the PATH);" \
       "the tests were NOT run on Python 3.9."
  exit 0
fi
is_39 "$python" || { echo "$python is not a Python 3.9" >&2; exit 1; }

echo "Python 3.9: $python ($("$python" -c 'import platform; print(platform.python_version())'))"
VENV=.venv-3.9 PYTHON="$python" tools/setup.sh
exec .venv-3.9/bin/pytest -n "$(nproc)" "$@"

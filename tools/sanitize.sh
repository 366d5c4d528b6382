#!/usr/bin/env bash
# Builds pylentrasdk (SDK library, binding, console tool) with AddressSanitizer and
# UndefinedBehaviorSanitizer into a virtual environment of its own (.venv-sanitize, built in
# build/sanitize) and runs the whole test suite against that build, in two worker processes. The
# first report of either sanitizer ends the run with a failure. Arguments go to pytest (default:
# -q -x -n 2 -m "not slow").
#
# The build is optimised as the sanitizers' authors advise (-O1) with line tables only (-g1):
# enough for a report's stack to name files and lines, and about a third less to compile than
# -O2 with full debug information.
#
# The interpreter is not built with the sanitizers, so the runtime is preloaded. Leak detection
# is on, in every process the tests start too: the few objects the interpreter leaves unreachable
# at exit are passed over by the function that allocated them (tools/sanitize_leaks.supp), so a
# leak of our code still ends the run.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh >/dev/null

venv=.venv-sanitize
if [ ! -x "$venv/bin/python" ]; then
  echo "Creating the virtual environment $venv"
  "${PYTHON:-python3}" -m venv "$venv"
fi
"$venv/bin/python" -m pip install -q --disable-pip-version-check -r requirements-dev.txt

flags="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
optimise="-O1 -g1 -DNDEBUG"
echo "Building pylentrasdk with AddressSanitizer and UndefinedBehaviorSanitizer"
source tools/ccache.sh
# RelWithDebInfo with its flags replaced: the build type keeps pybind11 from stripping the modules.
"$venv/bin/python" -m pip install -q --disable-pip-version-check --no-build-isolation --no-deps \
  -C "build-dir=build/sanitize/{wheel_tag}" -C cmake.build-type=RelWithDebInfo \
  -C "cmake.define.CMAKE_CXX_FLAGS=$flags" -C "cmake.define.CMAKE_C_FLAGS=$flags" \
  -C "cmake.define.CMAKE_CXX_FLAGS_RELWITHDEBINFO=$optimise" \
  -C "cmake.define.CMAKE_C_FLAGS_RELWITHDEBINFO=$optimise" "${CCACHE_BUILD_OPTIONS[@]}" .

# libstdc++ is preloaded with the runtime: the interpreter does not link it, and the sanitizer's
# hook on C++ throws must find it when the runtime starts.
runtime="$(g++ -print-file-name=libasan.so) $(g++ -print-file-name=libstdc++.so)"
for library in $runtime; do
  [ -f "$library" ] || { echo "no sanitizer runtime at $library" >&2; exit 1; }
done

echo "Running the tests under the sanitizers"
# The slow tests build and install ordinary packages (a wheel, checked for the libraries it
# loads, which here would include the preloaded runtime): none of the sanitized code is in them.
[ $# -eq 0 ] && set -- -q -x -n 2 -m "not slow"
# PYTHONMALLOC=malloc: the interpreter's objects come from malloc too, so the sanitizer sees
# every buffer the binding hands to Python.
# use_tls=0: the leak checker does not read thread-local storage as roots. With glibc's dynamic
# TLS of the many extension modules a process loads (ours, NumPy's, aiohttp's) the checker's
# tracer read a bogus dynamic-TLS range and crashed at exit ("Tracer caught signal 11"), which
# ended the process with SIGABRT. Not reading TLS can only report more, never hide a leak: an
# object kept only by a thread-local pointer would be reported; the loader's own such objects are
# in the suppressions.
exec env LD_PRELOAD="$runtime" PYTHONMALLOC=malloc \
  LSAN_OPTIONS="use_tls=0:suppressions=$PWD/tools/sanitize_leaks.supp:print_suppressions=0" \
  ASAN_OPTIONS="detect_leaks=1:halt_on_error=1:abort_on_error=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_string_checks=1" \
  UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1" \
  "$venv/bin/pytest" -p no:cacheprovider "$@"

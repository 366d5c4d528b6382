# Compiles through ccache where it is installed (tools/setup.sh installs it). Sourced by the
# tools/ scripts; sets CCACHE_BUILD_OPTIONS, the options that make a pip build of pylentrasdk
# compile through it.
#
# Paths under the checkout are hashed relative to it (CCACHE_BASEDIR), so the same source built
# in two build folders of the same depth (build/cp311-..., build/cp39-...) is compiled once.
# The cache is ccache's own (~/.cache/ccache unless CCACHE_DIR says otherwise).
CCACHE_BUILD_OPTIONS=()
if command -v ccache >/dev/null; then
  export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$PWD}"
  CCACHE_BUILD_OPTIONS=(-C cmake.define.CMAKE_CXX_COMPILER_LAUNCHER=ccache
                        -C cmake.define.CMAKE_C_COMPILER_LAUNCHER=ccache)
fi

#!/usr/bin/env bash
# Configures (once) and builds the tree in build/. Incremental after the first run.
set -euo pipefail
cd "$(dirname "$0")/.."
generator=()
command -v ninja >/dev/null && generator=(-G Ninja)
# Repeated runs on one machine (CI included) recompile only what changed.
command -v ccache >/dev/null && generator+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
# Clones in other folders (CI) share the cache: paths below here are hashed relative.
export CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=true
# CI builds treat warnings as errors; a local build only shows them.
werror=OFF
[[ "${CI:-}" == true ]] && werror=ON
# TARNWICK_BUILD_DIR names another tree; arguments are added to its first configuration.
dir=${TARNWICK_BUILD_DIR:-build}
if [[ ! -f "$dir/CMakeCache.txt" ]]; then
  cmake -S . -B "$dir" "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARNWICK_WERROR=$werror "$@" >/dev/null
fi
cmake --build "$dir" -j "$(nproc)"

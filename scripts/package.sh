#!/usr/bin/env bash
# Builds the Debian package of Tarnwick in build-package/ (no tests, no
# benchmarks): build-package/tarnwick_<version>_<arch>.deb. Install it with
#   apt install ./build-package/tarnwick_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
generator=()
command -v ninja >/dev/null && generator=(-G Ninja)
command -v ccache >/dev/null && generator+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
export CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=true
# The same optimised build as build/ (so ccache shares its objects); the
# package strips the debugging symbols from the programs.
werror=OFF
[[ "${CI:-}" == true ]] && werror=ON
if [[ ! -f build-package/CMakeCache.txt ]]; then
  cmake -S . -B build-package "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARNWICK_WERROR=$werror \
        -DTARNWICK_TESTS=OFF -DTARNWICK_BENCH=OFF >/dev/null
fi
cmake --build build-package -j "$(nproc)"
rm -f build-package/tarnwick_*.deb
(cd build-package && cpack -G DEB >/dev/null)
ls build-package/tarnwick_*.deb

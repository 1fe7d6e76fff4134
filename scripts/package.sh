#!/usr/bin/env bash
# Builds the Debian package of Tarnwick in build-package/ (no tests, no
# benchmarks): build-package/tarnwick_<version>_<arch>.deb. Install it with
#   apt install ./build-package/tarnwick_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
# The same optimised build as build/ (so ccache shares its objects); the
# package strips the debugging symbols from the programs.
TARNWICK_BUILD_DIR=build-package bash scripts/build.sh -DTARNWICK_TESTS=OFF -DTARNWICK_BENCH=OFF
rm -f build-package/tarnwick_*.deb
(cd build-package && cpack -G DEB >/dev/null)
ls build-package/tarnwick_*.deb

#!/usr/bin/env bash
# Sets up, builds and runs every test: once as usual, once under a German
# locale (decimal commas must not leak into files, SQL or NMEA), and the core
# tests once more under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh

jobs=$(nproc)
ctest --test-dir build --output-on-failure -j "$jobs"

if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  localedef -i de_DE -f UTF-8 de_DE.UTF-8
fi
echo "== the same tests under LC_ALL=de_DE.UTF-8 =="
LC_ALL=de_DE.UTF-8 ctest --test-dir build --output-on-failure -j "$jobs"

echo "== core tests under AddressSanitizer and UndefinedBehaviorSanitizer =="
generator=()
command -v ninja >/dev/null && generator=(-G Ninja)
if [[ ! -f build-asan/CMakeCache.txt ]]; then
  cmake -S . -B build-asan "${generator[@]}" -DCMAKE_BUILD_TYPE=Debug -DTARNWICK_GUI=OFF \
        -DTARNWICK_SANITIZE=ON >/dev/null
fi
cmake --build build-asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure -j "$jobs"

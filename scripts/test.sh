#!/usr/bin/env bash
# Sets up, builds and runs every test: once as usual, once under a German
# locale (decimal commas must not leak into files, SQL or NMEA), and the core
# tests once more under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh

jobs=$(nproc)
passed=0
skipped=0
summary=$(mktemp)
# Runs ctest, keeping count of the tests that passed and were skipped for the
# closing line. ctest counts a skipped test as passed; the closing line does not.
run_ctest() {
  ctest "$@" 2>&1 | tee "$summary"
  local n s
  n=$(sed -n 's/.*tests passed, 0 tests failed out of \([0-9]*\).*/\1/p' "$summary" | tail -n 1)
  s=$(grep -c '(Skipped)$' "$summary" || true)
  passed=$((passed + ${n:-0} - s))
  skipped=$((skipped + s))
  ((s == 0)) || echo "ctest: $s skipped (named above)"
}

run_ctest --test-dir build --output-on-failure -j "$jobs"

if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  localedef -i de_DE -f UTF-8 de_DE.UTF-8
fi
echo "== the same tests under LC_ALL=de_DE.UTF-8 =="
LC_ALL=de_DE.UTF-8 run_ctest --test-dir build --output-on-failure -j "$jobs"

echo "== the Debian package, run from a throwaway root =="
bash scripts/package.sh >/dev/null
deb=$(ls "$PWD"/build-package/tarnwick_*.deb)
root=$(mktemp -d)
dpkg-deb -x "$deb" "$root"
# The installed program finds its shipped files in usr/share/tarnwick: the
# batch run makes the cache database from the template and asks in the words
# of the language file.
out=$(env -u TARNWICK_INSTALL_DIR TARNWICK_CONFIG_DIR="$root/home/config" TARNWICK_DATA_DIR="$root/home/data" \
      "$root/usr/bin/tarnwick" tdel 2>&1) || { echo "$out"; echo "package: the installed program failed" >&2; exit 1; }
[[ -f "$root/home/data/cachedb.db3" ]] || { echo "$out"; echo "package: the installed program made no cache database" >&2; exit 1; }
asked=no
for lang in "$root"/usr/share/tarnwick/lang.*; do
  question=$(sed -n 's/^298=" *\(.*\)"\r\?$/\1/p' "$lang")
  [[ -n "$question" ]] && grep -qF "$question" <<<"$out" && asked=yes
done
[[ $asked == yes ]] || { echo "$out"; echo "package: the installed program read no language file" >&2; exit 1; }
# Every dependency resolves from the configured archives (a dry run).
apt-get install -s "$deb" >"$root/apt.log" 2>&1 || { cat "$root/apt.log"; echo "package: its dependencies do not resolve" >&2; exit 1; }
echo "package: $(basename "$deb") ($(du -k "$deb" | cut -f1) KiB) installs and runs"
rm -rf "$root"

# A clean Debian 12 takes two to three minutes to make and fill from the
# mirror, so only CI does it on every run.
if [[ "${CI:-}" == true ]]; then
  echo "== the Debian package on a clean Debian 12 (scripts/install-check.sh) =="
  bash scripts/install-check.sh "$deb"
else
  echo "package: run scripts/install-check.sh to install it on a clean Debian 12 (CI does)"
fi

echo "== core tests under AddressSanitizer and UndefinedBehaviorSanitizer =="
generator=()
command -v ninja >/dev/null && generator=(-G Ninja)
command -v ccache >/dev/null && generator+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
# Clones in other folders (CI) share the cache: paths below here are hashed relative.
export CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=true
if [[ ! -f build-asan/CMakeCache.txt ]]; then
  cmake -S . -B build-asan "${generator[@]}" -DCMAKE_BUILD_TYPE=Debug -DTARNWICK_GUI=OFF \
        -DTARNWICK_SANITIZE=ON -DTARNWICK_BENCH=OFF -DTARNWICK_WERROR="$([[ "${CI:-}" == true ]] && echo ON || echo OFF)" >/dev/null
fi
# GoogleTest from Debian is built without the sanitizer: its containers carry
# no annotations, which the container-overflow check would misread. The
# build runs the test programs too (to list their tests), so set it first.
export ASAN_OPTIONS=detect_leaks=0:detect_container_overflow=0 UBSAN_OPTIONS=print_stacktrace=1
cmake --build build-asan -j "$jobs"
run_ctest --test-dir build-asan --output-on-failure -j "$jobs"

# ---- GPS: the receiver and the track logger under ThreadSanitizer.
echo "== GPS tests under ThreadSanitizer =="
if [[ ! -f build-tsan/CMakeCache.txt ]]; then
  cmake -S . -B build-tsan "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARNWICK_GUI=OFF -DTARNWICK_BENCH=OFF \
        -DCMAKE_CXX_FLAGS="-fsanitize=thread -fno-omit-frame-pointer" \
        -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=thread" >/dev/null
fi
cmake --build build-tsan -j "$jobs" --target gps_tests
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
  build-tsan/bin/gps_tests --gtest_filter='RecordingConcurrency*:PortTest.*:ReplayTest.*:GpsdTest.*:Captures/*'

# ---- end of the GPS block

echo "== fuzzing every reader of outside input (libFuzzer, 20 s each) =="
bash scripts/fuzz.sh 20

rm -f "$summary"
echo "tests: $passed passed, 0 failed, $skipped skipped"

#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, in build-fuzz/) and runs each for the
# given number of seconds (default 60) on a copy of its seed corpus, with one
# worker process per core.
#   scripts/fuzz.sh [SECONDS] [TARGET...]     targets: see tests/fuzz/CMakeLists.txt
# A finding stops the run with the target's crash file in build-fuzz/findings.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
bash scripts/setup.sh
generator=()
command -v ninja >/dev/null && generator=(-G Ninja)
command -v ccache >/dev/null && generator+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
export CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=true
if [[ ! -f build-fuzz/CMakeCache.txt ]]; then
  CC=clang CXX=clang++ cmake -S . -B build-fuzz "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTARNWICK_FUZZ=ON -DTARNWICK_GUI=OFF -DTARNWICK_BENCH=OFF >/dev/null
fi
cmake --build build-fuzz -j "$(nproc)" --target fuzz_targets >/dev/null

targets=("$@")
if ((${#targets[@]} == 0)); then
  targets=($(cd tests/fuzz/seeds && ls))
fi
findings=$PWD/build-fuzz/findings
mkdir -p "$findings"
export ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
for t in "${targets[@]}"; do
  corpus=$(mktemp -d)
  cp -r "tests/fuzz/seeds/$t/." "$corpus/"
  # Seeds made at run time from files that do not ship with the tree.
  if [[ -f tests/fuzz/$t-seeds.sh ]]; then bash "tests/fuzz/$t-seeds.sh" "$corpus"; fi
  echo "== $t: $seconds s"
  max_len=65536
  # The pocket-query import costs time in proportion to its input. 16 KB still
  # holds every limit it has: a value beyond the tokenizer's 8191 units, more
  # caches than one storing batch (64), the 256 attributes of a tag; longer
  # inputs only repeat what those hold, at a quarter of the speed.
  [[ $t == gpx_import ]] && max_len=16384
  if ! build-fuzz/bin/${t}_fuzz -fork="$(nproc)" -max_total_time="$seconds" -max_len="$max_len" -timeout=10 -rss_limit_mb=1024 \
        -print_final_stats=1 -artifact_prefix="$findings/$t-" "$corpus" >"$corpus.log" 2>&1; then
    tail -n 60 "$corpus.log"
    echo "fuzz: $t found a fault; the input is in $findings" >&2
    exit 1
  fi
  # The workers' last summary line counts the executions of all of them.
  sed -n 's/^#\([0-9]*\): cov: \([0-9]*\).*/executions: \1, coverage: \2/p' "$corpus.log" | tail -n 1
  rm -rf "$corpus" "$corpus.log"
done

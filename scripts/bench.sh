#!/usr/bin/env bash
# Builds the benchmarks in Release (build-bench/) and prints one table of the
# program's speed against its goals. A missed goal is reported, not failed:
# the exit code is non-zero only when something could not be built or run.
# The generated inputs stay in build-bench/data/ for later runs; the first
# run makes them, which takes several minutes. Not part of the tests.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
root=$PWD
out=$root/build-bench
bin=$out/bin
data=$out/data

generator=()
command -v ninja >/dev/null && generator=(-G Ninja)
command -v ccache >/dev/null && generator+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
export CCACHE_BASEDIR=$root CCACHE_NOHASHDIR=true
if [[ ! -f $out/CMakeCache.txt ]]; then
  cmake -S . -B "$out" "${generator[@]}" -DCMAKE_BUILD_TYPE=Release -DTARNWICK_BENCH=ON >/dev/null
fi
echo "bench: building in $out" >&2
cmake --build "$out" -j "$(nproc)" --target tarnwick tarnwick_resources make_pocket_query import_bench \
  cache_list_bench map_compose_bench startup_bench track_flush_bench send_bench >/dev/null

mkdir -p "$data"
results=$(mktemp -d)
trap 'rm -rf "$results"' EXIT
failed=0
note() { echo "bench: $*" >&2; }
now() { date +%s.%N; }

# Pocket queries, kept until the generator changes.
stamp=$(sha1sum "$bin/make_pocket_query" | cut -c1-12)
pocketQuery() { # N SHAPE -> prints the file; fails when the shape is unknown
  local n=$1 shape=$2 file=$data/pq-$1-$2-$stamp.gpx
  if [[ ! -f $file ]]; then
    rm -f "$data"/pq-"$n"-"$shape"-*.gpx
    note "generating $n caches ($shape shape)"
    if [[ $shape == default ]]; then
      "$bin/make_pocket_query" "$n" "$file.part" >/dev/null
    else
      "$bin/make_pocket_query" --shape "$shape" "$n" "$file.part" >/dev/null 2>&1 ||
        "$bin/make_pocket_query" "$n" "$file.part" --shape "$shape" >/dev/null 2>&1 ||
        { rm -f "$file.part"; return 1; }
    fi
    mv "$file.part" "$file"
  fi
  echo "$file"
}

# Imports and GPSBabel reading the same file, each the best of three runs:
# on this machine one run of either may take a third longer than the next.
importRow() { # NAME N SHAPE
  local name=$1 file
  if ! file=$(pocketQuery "$2" "$3"); then
    echo "n/a" >"$results/$name.import"
    return
  fi
  note "import $name"
  local start run
  for run in 1 2 3; do
    if ! "$bin/import_bench" "$file" --alone >>"$results/$name.import" 2>&1; then
      note "import_bench failed on $file"
      failed=1
    fi
    start=$(now)
    if gpsbabel -i gpx -f "$file" >/dev/null 2>&1; then
      echo "$start $(now)" >>"$results/$name.gpsbabel"
    else
      note "gpsbabel failed on $file"
    fi
  done
}
command -v gpsbabel >/dev/null || note "gpsbabel is not installed (scripts/setup.sh installs it): no ratios"
importRow import10k 10000 default
importRow import10kHeavy 10000 heavy
importRow import50k 50000 default

# The cache list on its own generated database of 100,000 caches.
note "cache list (the first run generates its database)"
TARNWICK_BENCH_DB=$data/list-100k.db3 "$bin/cache_list_bench" --benchmark_repetitions=5 \
  --benchmark_format=json >"$results/list.json" 2>/dev/null || { note "cache_list_bench failed"; failed=1; }

# One frame per repetition: the median and the 99th percentile of frames.
note "map compose"
QT_QPA_PLATFORM=offscreen "$bin/map_compose_bench" --benchmark_repetitions=200 --benchmark_min_time=0.000001 \
  --benchmark_format=json >"$results/map.json" 2>/dev/null || { note "map_compose_bench failed"; failed=1; }

# Start-up on 100,000 caches imported by the program's batch word.
startupDb=$data/startup-100k-$stamp.db3
if [[ ! -f $startupDb ]]; then
  rm -f "$data"/startup-100k-*.db3
  pq100k=$(pocketQuery 100000 default)
  note "importing 100,000 caches for the start-up"
  home=$(mktemp -d)
  mkdir -p "$home/config" "$home/data" "$home/docs"
  cp "$bin/emptydb.db3" "$home/data/cachedb.db3"
  if (unset QT_QPA_PLATFORM TARNWICK_EXIT_AFTER_LIST
      TARNWICK_CONFIG_DIR=$home/config TARNWICK_DATA_DIR=$home/data XDG_DOCUMENTS_DIR=$home/docs \
        "$bin/tarnwick" i "$pq100k" </dev/null >/dev/null 2>&1); then
    sqlite3 "$home/data/cachedb.db3" "PRAGMA wal_checkpoint(TRUNCATE);" >/dev/null
    mv "$home/data/cachedb.db3" "$startupDb"
  else
    note "the import of $pq100k failed"
    failed=1
  fi
  # Over a gigabyte, and needed again only with the database.
  rm -rf "$home" "$pq100k"
fi
if [[ -f $startupDb ]]; then
  note "start-up"
  TARNWICK_BENCH_STARTUP_DB=$startupDb TARNWICK_BENCH_PROGRAM=$bin/tarnwick "$bin/startup_bench" \
    --benchmark_format=json >"$results/startup.json" 2>/dev/null || { note "startup_bench failed"; failed=1; }
fi

note "track flush"
"$bin/track_flush_bench" --benchmark_format=json >"$results/track.json" 2>/dev/null ||
  { note "track_flush_bench failed"; failed=1; }
note "send to a GPS device"
"$bin/send_bench" --benchmark_format=json >"$results/send.json" 2>/dev/null ||
  { note "send_bench failed"; failed=1; }

python3 - "$results" <<'EOF' || failed=1
import json, os, re, statistics, sys

results = sys.argv[1]
rows = []  # measure, value, goal, holds


def read(name):
    path = os.path.join(results, name)
    return open(path).read() if os.path.exists(path) else None


def bench(name):
    text = read(name)
    if not text:
        return None
    try:
        return json.loads(text)["benchmarks"]
    except (ValueError, KeyError):
        return None


def ms(entry):
    scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[entry["time_unit"]]
    return entry["real_time"] * scale


def runs(benchmarks, name):
    """Times (ms) of every repetition of one benchmark; None on an error."""
    if benchmarks is None:
        return None
    found = [b for b in benchmarks
             if b.get("run_name", b["name"]).split("/")[0] == name and b.get("run_type") != "aggregate"]
    if not found or any(b.get("error_occurred") for b in found):
        return None
    return [ms(b) for b in found]


def percentile(values, p):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(round(p / 100 * (len(ordered) - 1))))]


def holds(ok):
    return "yes" if ok else "NO"


imports = {}
for name, label, goal_ratio in [("import10k", "Import 10k, default shape", None),
                                ("import10kHeavy", "Import 10k, heavy shape", 0.5),
                                ("import50k", "Import 50k, default shape", None)]:
    goal = "RSS < 64 MB" + (f", <= {goal_ratio}x GPSBabel" if goal_ratio else "")
    text = read(name + ".import")
    if text is not None and text.strip() == "n/a":
        rows.append((label, "n/a (no such shape yet)", goal, "n/a"))
        continue
    text = text or ""
    found = re.findall(r"import: (\d+) caches.* in ([\d.]+) s .*peak RSS ([\d.]+) MB", text)
    if not found:
        rows.append((label, "FAILED", goal, "NO"))
        continue
    caches = int(found[0][0])
    seconds = min(float(f[1]) for f in found)
    rss = max(float(f[2]) for f in found)
    imports[name] = seconds
    babel = read(name + ".gpsbabel")
    ratio = None
    value = f"{caches / seconds:,.0f} caches/s, {seconds:.2f} s"
    if babel:
        babel_seconds = min(end - start for start, end in
                            (map(float, line.split()) for line in babel.splitlines() if line.strip()))
        ratio = seconds / babel_seconds
        value += f", {ratio:.2f}x GPSBabel ({babel_seconds:.2f} s)"
    else:
        value += ", GPSBabel n/a"
    value += f", peak RSS {rss:.1f} MB"
    ok = rss < 64 and (goal_ratio is None or (ratio is not None and ratio <= goal_ratio))
    rows.append((label, value, goal, holds(ok)))

if "import10k" in imports and "import50k" in imports:
    r = imports["import50k"] / imports["import10k"]
    rows.append(("Import time 50k / 10k", f"{r:.2f}", "<= 5.2", holds(r <= 5.2)))
else:
    rows.append(("Import time 50k / 10k", "n/a", "<= 5.2", "n/a"))

def add(label, times, goal, describe, ok=None):
    """One row from the times (ms) of a benchmark; FAILED when it did not run."""
    if times is None:
        rows.append((label, "FAILED", goal, "NO"))
    else:
        rows.append((label, describe(times), goal, holds(ok(times)) if ok else "-"))


median = statistics.median
lists = bench("list.json")
add("List 100k, no distance limit", runs(lists, "BM_ReadCaches_NoDistanceLimit"), "<= 25 ms",
    lambda t: f"{median(t):.1f} ms (median of {len(t)})", lambda t: median(t) <= 25)
add("List 100k, within 10 km", runs(lists, "BM_ReadCaches_Within10km"), "- (reported)",
    lambda t: f"{median(t):.1f} ms (median of {len(t)})")
add("List 100k, no limit, by name", runs(lists, "BM_ReadCaches_NoDistanceLimitSortedByName"), "- (reported)",
    lambda t: f"{median(t):.1f} ms (median of {len(t)})")
add("List 100k, no limit, first after a change", runs(lists, "BM_ReadCaches_NoDistanceLimitAfterAChange"),
    "- (reported)", lambda t: f"{median(t):.1f} ms (median of {len(t)})")

maps = bench("map.json")
add("Map compose, cold", runs(maps, "composeCold"), "<= 40 ms", lambda t: f"median {median(t):.1f} ms",
    lambda t: median(t) <= 40)
add("Map compose, warm", runs(maps, "composeWarm"), "median <= 8, p99 <= 16 ms",
    lambda t: f"median {median(t):.1f} ms, p99 {percentile(t, 99):.1f} ms ({len(t)} frames)",
    lambda t: median(t) <= 8 and percentile(t, 99) <= 16)

starts = bench("startup.json")
for name, label in [("BM_StartupToFirstList", "Start-up to first list, 100k"),
                    ("BM_BatchStartup_tdel", "Batch word tdel, 100k, start to exit"),
                    ("BM_BatchStartup_fn", "Batch word fn, 100k, start to exit")]:
    add(label, runs(starts, name), "<= 1 s", lambda t: f"median {median(t):.0f} ms, max {max(t):.0f} ms",
        lambda t: median(t) <= 1000)

# The receiver's thread holds the track logger while it flushes; fixes come
# at most every second, so even a flush of 10,000 points must end well
# within one.
add("Track flush, 10,000 points", runs(bench("track.json"), "BM_TrackFlush10000"), "<= 250 ms",
    lambda t: f"median {median(t):.1f} ms", lambda t: median(t) <= 250)
add("Send 5,000 caches, 5 logs each, to a GPS device", runs(bench("send.json"), "BM_Send5000"), "<= 5 s",
    lambda t: f"median {median(t) / 1000:.2f} s", lambda t: median(t) <= 5000)

failed = any(r[1] == "FAILED" for r in rows)
header = ("Measure", "Value", "Goal", "Holds")
widths = [max(len(str(r[i])) for r in rows + [header]) for i in range(4)]
line = "+".join("-" * (w + 2) for w in widths)
print("+" + line + "+")
print("| " + " | ".join(h.ljust(w) for h, w in zip(header, widths)) + " |")
print("+" + line + "+")
for r in rows:
    print("| " + " | ".join(str(c).ljust(w) for c, w in zip(r, widths)) + " |")
print("+" + line + "+")
sys.exit(1 if failed else 0)
EOF
exit $failed

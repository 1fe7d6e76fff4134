#!/usr/bin/env bash
# SIGTERM while the track is being recorded: the program ends through its
# shutdown and the points still in the track buffer reach the database (the
# logger keeps one point every 5 s: the first is written at once, the second
# only by the flush at shutdown).
set -u
exe=$1
dir=$(mktemp -d)
trap '[[ -n "${KEEP:-}" ]] || rm -rf "$dir"' EXIT
mkdir -p "$dir/config" "$dir/data" "$dir/docs"
: > "$dir/docs/Tarnwick.log"
# A receiver walking north, one fix a second, 22 m apart.
log=$dir/walk.nmea
for i in $(seq 0 59); do
  printf '$GPGGA,1200%02d.00,4910.%04d,N,01636.000,E,1,07,1.0,250.0,M,,M,,\r\n' "$i" $((i * 12)) >> "$log"
done
cp "$(dirname "$exe")/emptydb.db3" "$dir/data/cachedb.db3"
# A buffer far larger than the run, so that only the shutdown can write it.
cat > "$dir/config/Tarnwick.ini" <<INI
[Options]
GpsPortS = replay:$log
GpsBaud = 4800
GpsAutoStart = 1
SaveTrackLog = 1
MaxTrackBuffer = 100000
INI
export TARNWICK_CONFIG_DIR=$dir/config TARNWICK_DATA_DIR=$dir/data XDG_DOCUMENTS_DIR=$dir/docs
QT_QPA_PLATFORM=offscreen "$exe" >"$dir/out" 2>&1 &
pid=$!
# The receiver starts right after the window opens (the log says when);
# then the replay (one fix a second) must get past the logger's 5 s spacing
# so that a second point waits in the buffer.
for _ in $(seq 300); do
  grep -q "Main window open" "$dir/docs/Tarnwick.log" && break
  kill -0 $pid 2>/dev/null || break
  sleep 0.1
done
sleep 6
kill -TERM $pid
wait $pid
rc=$?
points=$(sqlite3 "$dir/data/\$tarnwick.db3" "SELECT COUNT(*) FROM track_log WHERE lat <> 0")
echo "exit code $rc, $points points stored"
[[ $rc -eq 0 && $points -ge 2 ]] || { cat "$dir/out"; exit 1; }

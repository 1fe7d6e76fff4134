#!/usr/bin/env bash
# A batch run that finds the databases in use by another run waits for them
# instead of failing with "database is locked".
set -eu
exe=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
run() {
  env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM \
    TARNWICK_CONFIG_DIR="$dir/config" TARNWICK_DATA_DIR="$dir/data" XDG_DOCUMENTS_DIR="$dir/docs" \
    timeout 30 "$exe" "$@"
}
mkdir -p "$dir/docs"
run tdel 2>/dev/null
for n in 1 2; do
  cat > "$dir/pq$n.gpx" <<GPX
<?xml version="1.0" encoding="utf-8"?>
<gpx xmlns="http://www.topografix.com/GPX/1/0" version="1.0" creator="test">
<wpt lat="50.0$n" lon="14.0$n"><name>GCAB$n</name><type>Geocache|Traditional Cache</type>
<groundspeak:cache xmlns:groundspeak="http://www.groundspeak.com/cache/1/0/1" id="$n" available="True" archived="False">
<groundspeak:name>Cache $n</groundspeak:name><groundspeak:type>Traditional Cache</groundspeak:type>
<groundspeak:container>Small</groundspeak:container><groundspeak:difficulty>1</groundspeak:difficulty>
<groundspeak:terrain>1</groundspeak:terrain></groundspeak:cache></wpt>
</gpx>
GPX
done
# Another writer holds both databases for two seconds.
for db in "$dir/data/cachedb.db3" "$dir/data/\$tarnwick.db3"; do
  (echo "BEGIN IMMEDIATE;"; sleep 2; echo "COMMIT;") | sqlite3 "$db" &
done
sleep 0.3
run i "$dir/pq1.gpx" 2>"$dir/err1" &
first=$!
run i "$dir/pq2.gpx" 2>"$dir/err2"
wait "$first"
wait
if grep -i 'locked' "$dir/err1" "$dir/err2"; then exit 1; fi
stored=$(sqlite3 "$dir/data/cachedb.db3" "SELECT COUNT(*) FROM geocache WHERE id IN ('GCAB1', 'GCAB2')")
if [[ $stored != 2 ]]; then
  echo "stored $stored of the 2 caches; what the runs said:" >&2
  cat "$dir/err1" "$dir/err2" >&2
  exit 1
fi

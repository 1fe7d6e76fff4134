#!/usr/bin/env bash
# The batch words work with no display at all, within seconds, and leave the
# databases and settings of a first run behind.
set -eu
exe=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
mkdir -p "$dir/docs"
: > "$dir/docs/Tarnwick.log"
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM \
  TARNWICK_CONFIG_DIR="$dir/config" TARNWICK_DATA_DIR="$dir/data" XDG_DOCUMENTS_DIR="$dir/docs" \
  timeout 20 "$exe" tdel 2>"$dir/stderr"
grep -q '^\[CurrentVersion\]' "$dir/config/Tarnwick.ini"
grep -Eq '^Version ?= ?1\.6\.0\.95' "$dir/config/Tarnwick.ini"
[[ $(sqlite3 "$dir/data/cachedb.db3" "SELECT id || '|' || name FROM geocache") == "GC0|Tarnwick" ]]
[[ $(sqlite3 "$dir/data/cachedb.db3" "SELECT COUNT(*) FROM geotagcategory") == 8 ]]
sqlite3 "$dir/data/\$tarnwick.db3" "SELECT hdop FROM track_log; SELECT name FROM track_name;"
[[ $(grep -c 'Tarnwick START' "$dir/docs/Tarnwick.log") == 1 ]]
[[ $(grep -c 'Tarnwick EXIT' "$dir/docs/Tarnwick.log") == 1 ]]
# The map picture needs no display either; a source it does not know, or
# values that do not read, end the run with a failure and the reason.
for args in "png 50.087 14.421 13 300x200 $dir/a.png Atlantis" "png 50.087 14.421 13 3x200 $dir/a.png"; do
  set +e
  env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM \
    TARNWICK_CONFIG_DIR="$dir/config" TARNWICK_DATA_DIR="$dir/data" XDG_DOCUMENTS_DIR="$dir/docs" \
    timeout 20 "$exe" $args 2>>"$dir/png-stderr"
  rc=$?
  set -e
  [[ $rc -eq 1 ]]
done
grep -q Atlantis "$dir/png-stderr"
grep -q "png 50.087" "$dir/png-stderr"
[[ ! -e "$dir/a.png" ]]
# A map file in the map folder (the data folder) is drawn: the word reads
# the map sources as the window does.
"$(dirname "$exe")/tarnwick-demomap" "$dir/data/demo.map" 48.8108 14.3152 > /dev/null
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM \
  TARNWICK_CONFIG_DIR="$dir/config" TARNWICK_DATA_DIR="$dir/data" XDG_DOCUMENTS_DIR="$dir/docs" \
  timeout 20 "$exe" png 48.8108 14.3152 16 300x200 "$dir/b.png" demo 2>>"$dir/png-stderr"
[[ $(head -c 8 "$dir/b.png" | od -An -c | tr -d ' ') == '211PNG\r\n032\n' ]]
# Without a batch word and without a display the program explains itself.
set +e
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM TARNWICK_CONFIG_DIR="$dir/config" \
  TARNWICK_DATA_DIR="$dir/data" "$exe" 2>"$dir/nodisplay"
rc=$?
set -e
[[ $rc -ne 0 ]]
grep -q 'no display' "$dir/nodisplay"
grep -q 'tgpx' "$dir/nodisplay"

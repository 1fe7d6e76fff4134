#!/usr/bin/env bash
# Starts the program on a virtual X display, lets it open its window, ends it
# with SIGTERM and checks that it shut down through its normal sequence.
set -u
exe=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
mkdir -p "$dir/docs"
: > "$dir/docs/Tarnwick.log"
export TARNWICK_CONFIG_DIR=$dir/config TARNWICK_DATA_DIR=$dir/data XDG_DOCUMENTS_DIR=$dir/docs
unset QT_QPA_PLATFORM WAYLAND_DISPLAY
# The questions of a first start and whether to create the database would
# wait for a click: start with settings and a database in place.
mkdir -p "$dir/data" "$dir/config"
printf '[Options]\nLanguage = en\n' > "$dir/config/Tarnwick.ini"
cp "$(dirname "$exe")/emptydb.db3" "$dir/data/cachedb.db3"
# Ends the program once its log says the window is open (at most 60 s).
xvfb-run -a -s "-screen 0 800x900x24" bash -c '
  "$0" & pid=$!
  for _ in $(seq 600); do
    grep -q "Main window open" "$1" && break
    kill -0 $pid 2>/dev/null || break
    sleep 0.1
  done
  kill -TERM $pid
  wait $pid' "$exe" "$dir/docs/Tarnwick.log"
rc=$?
log=$(cat "$dir/docs/Tarnwick.log")
echo "$log"
[[ $rc -eq 0 ]] || { echo "exit code $rc"; exit 1; }
grep -q 'Tarnwick START' <<<"$log" && grep -q 'Tarnwick EXIT' <<<"$log"

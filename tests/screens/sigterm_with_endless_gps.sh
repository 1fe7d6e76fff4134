#!/usr/bin/env bash
# GPS sources that never deliver a line: /dev/zero (bytes without end) and a
# FIFO that nobody writes. The program starts, stays small and ends through
# its shutdown within moments of SIGTERM.
set -u
exe=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
mkfifo "$dir/silent.fifo"
fail=0
n=0
for port in /dev/zero "$dir/silent.fifo"; do
  run=$dir/run$((++n))
  mkdir -p "$run/config" "$run/data" "$run/docs"
  : > "$run/docs/Tarnwick.log"
  cp "$(dirname "$exe")/emptydb.db3" "$run/data/cachedb.db3"
  printf '[Options]\nGpsPortS = replay:%s\nGpsBaud = 4800\nGpsAutoStart = 1\n' "$port" > "$run/config/Tarnwick.ini"
  TARNWICK_CONFIG_DIR=$run/config TARNWICK_DATA_DIR=$run/data XDG_DOCUMENTS_DIR=$run/docs \
    QT_QPA_PLATFORM=offscreen "$exe" >"$run/out" 2>&1 &
  pid=$!
  sleep 2
  rss=$(ps -o rss= -p $pid | tr -d ' ')
  kill -TERM $pid
  # Ended within two seconds (SIGKILL after that, so a hang fails instead of waiting).
  for _ in $(seq 20); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
  kill -0 $pid 2>/dev/null && { echo "$port: still running 2 s after SIGTERM"; kill -KILL $pid; fail=1; }
  wait $pid
  rc=$?
  echo "$port: exit code $rc, ${rss:-?} KiB resident"
  [[ $rc -eq 0 && -n "$rss" && $rss -lt 102400 ]] || fail=1
  grep -q 'Tarnwick EXIT' "$run/docs/Tarnwick.log" || { echo "$port: no orderly shutdown"; cat "$run/out"; fail=1; }
done
exit $fail

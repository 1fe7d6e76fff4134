#!/usr/bin/env bash
# SIGTERM ends the program within a second whatever it is doing: the first
# start's questions, the question whether to create the cache database, a
# message box at start-up, a running import, an online download from a
# server that never answers. The databases stay whole.
set -u
exe=$1
bin=$(dirname "$exe")
root=$(mktemp -d)
server=
trap '[[ -n $server ]] && kill $server 2>/dev/null; rm -rf "$root"' EXIT
fail=0

# A loopback server that takes connections and never says a word.
python3 -c '
import socket
s = socket.socket(); s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
s.bind(("127.0.0.1", 0)); s.listen(8)
print(s.getsockname()[1], flush=True)
held = []
while True:
    held.append(s.accept()[0])
' > "$root/port" &
server=$!
for _ in $(seq 100); do [[ -s $root/port ]] && break; sleep 0.05; done
port=$(cat "$root/port")
"$bin/make_pocket_query" 20000 "$root/pq.gpx" >/dev/null

# state, then the log line after which the state is reached (- for none).
run() {
  local state=$1 ready=$2
  local dir=$root/$state
  mkdir -p "$dir/config" "$dir/data" "$dir/docs"
  : > "$dir/docs/Tarnwick.log"
  local args=() env=(QT_QPA_PLATFORM=offscreen)
  [[ $state != first-start ]] && printf '[Options]\nLanguage = en\n' > "$dir/config/Tarnwick.ini"
  [[ $state != first-start && $state != create-database ]] && cp "$bin/emptydb.db3" "$dir/data/cachedb.db3"
  case $state in
    message-box)
      printf 'not a route' > "$dir/route.gpx"
      printf '[State]\nLastRoute = %s\n' "$dir/route.gpx" >> "$dir/config/Tarnwick.ini";;
    import)
      args=(i "$root/pq.gpx"); env=(-u QT_QPA_PLATFORM);;
    download)
      printf '[{994508FA-A8C5-C598-EE87-E8D97154F574}]\ntwtk = nopqrstu\n' > "$dir/config/handover.ini"
      args=(dl GCQUIET)
      env=(-u QT_QPA_PLATFORM TARNWICK_LIVE_URL=http://127.0.0.1:$port/ TARNWICK_ALLOW_PRIVATE_HOSTS=1
           TARNWICK_UPDATE_URL=http://127.0.0.1:9/update);;
  esac
  env -u DISPLAY -u WAYLAND_DISPLAY "${env[@]}" TARNWICK_CONFIG_DIR="$dir/config" TARNWICK_DATA_DIR="$dir/data" \
    XDG_DOCUMENTS_DIR="$dir/docs" "$exe" "${args[@]}" >"$dir/out" 2>&1 &
  local pid=$!
  for _ in $(seq 300); do
    [[ $ready == - ]] || grep -q "$ready" "$dir/docs/Tarnwick.log" && break
    kill -0 $pid 2>/dev/null || break
    sleep 0.05
  done
  # Time for the box to open or the job to get going.
  sleep 1
  kill -0 $pid 2>/dev/null || { echo "$state: ended before the signal"; cat "$dir/out"; fail=1; return; }
  local t0 t1
  t0=$(date +%s%N)
  kill -TERM $pid
  for _ in $(seq 150); do kill -0 $pid 2>/dev/null || break; sleep 0.01; done
  t1=$(date +%s%N)
  kill -0 $pid 2>/dev/null && { echo "$state: still running after SIGTERM"; kill -KILL $pid; fail=1; }
  wait $pid
  local rc=$? ms=$(( (t1 - t0) / 1000000 ))
  echo "$state: exit code $rc after $ms ms"
  (( ms < 1000 )) || { echo "$state: took $ms ms"; fail=1; }
  case $state in
    first-start) [[ $rc -eq 0 ]] || fail=1;;
    create-database)
      # Asked on the way out, the question is answered No.
      [[ $rc -eq 0 && ! -e $dir/data/cachedb.db3 ]] || fail=1
      grep -q 'Tarnwick EXIT' "$dir/docs/Tarnwick.log" || { echo "$state: no orderly shutdown"; fail=1; };;
    message-box)
      [[ $rc -eq 0 ]] || fail=1
      grep -q 'Tarnwick EXIT' "$dir/docs/Tarnwick.log" || { echo "$state: no orderly shutdown"; fail=1; };;
    import)
      # Cancelled, so the run failed; what was read is stored.
      [[ $rc -eq 1 ]] || fail=1
      grep -q 'Tarnwick EXIT' "$dir/docs/Tarnwick.log" || { echo "$state: no orderly shutdown"; fail=1; }
      local n
      n=$(sqlite3 "$dir/data/cachedb.db3" "SELECT COUNT(*) FROM geocache")
      (( n > 1 && n < 20001 )) || { echo "$state: $n caches stored"; fail=1; };;
    download)
      # The request ends with the signal, and the program the usual way.
      [[ $rc -ne 143 ]] || { echo "$state: ended by the watchdog"; fail=1; }
      grep -q 'Tarnwick EXIT' "$dir/docs/Tarnwick.log" || { echo "$state: no orderly shutdown"; fail=1; };;
  esac
  if [[ -e $dir/data/cachedb.db3 ]]; then
    [[ $(sqlite3 "$dir/data/cachedb.db3" "PRAGMA integrity_check") == ok ]] || { echo "$state: database damaged"; fail=1; }
  fi
  (( fail == 0 )) || cat "$dir/out"
}

run first-start -
run create-database "Tarnwick START"
run message-box "Tarnwick START"
run import "BEGIN: GPX import"
run download "Live: POST"
exit $fail

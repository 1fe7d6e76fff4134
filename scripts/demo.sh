#!/usr/bin/env bash
# Shows Tarnwick at work on made-up data, a minute after cloning: builds what
# is missing, starts tarnwick-sim on a free loopback port as the map's tile
# server, writes a made-up vector map of the area (tarnwick-demomap) into the
# demo's map folder as data/maps/demo.map, imports a pocket query of 300
# caches around Český Krumlov into a fresh demo folder, replays a GPS walk
# from cache to cache and opens the window on the map. Closing the window
# ends the simulator too.
#
#   scripts/demo.sh                     open the window (needs a display)
#   scripts/demo.sh --screenshot FILE [--after SECONDS]
#                                       no window: on a virtual display, save a
#                                       picture of the map SECONDS (default 40)
#                                       after the window opened, and end
#
# The demo's settings and databases live in TARNWICK_DEMO_DIR (default
# ${XDG_CACHE_HOME:-~/.cache}/tarnwick-demo), made anew on every run; your
# own settings and caches are not touched.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

shot=""
after=40
while (($#)); do
  case $1 in
    --screenshot) shot=${2:?--screenshot needs a file name}; shift 2 ;;
    --after) after=${2:?--after needs a number of seconds}; shift 2 ;;
    -h|--help) sed -n '2,19s/^# \{0,1\}//p' "$0"; exit 0 ;;
    *) echo "demo: unknown option $1 (see scripts/demo.sh --help)" >&2; exit 2 ;;
  esac
done
[[ $after =~ ^[0-9]+$ ]] || { echo "demo: --after takes whole seconds" >&2; exit 2; }
[[ -z $shot ]] || shot=$(realpath -m "$shot")

bash scripts/setup.sh
bash scripts/build.sh
bin=$root/build/bin
for tool in tarnwick tarnwick-sim tarnwick-demomap make_pocket_query make_nmea_walk grab_screen; do
  [[ -x $bin/$tool ]] || { echo "demo: $bin/$tool was not built" >&2; exit 1; }
done

if [[ -z $shot && -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
  echo "demo: there is no display to open the window on; try: scripts/demo.sh --screenshot demo.png" >&2
  exit 2
fi

demo=${TARNWICK_DEMO_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/tarnwick-demo}
# Only a folder an earlier demo made is emptied.
if [[ -d $demo && -n $(ls -A "$demo") && ! -e $demo/.tarnwick-demo ]]; then
  echo "demo: $demo holds other files; set TARNWICK_DEMO_DIR to an empty or new folder" >&2
  exit 2
fi
rm -rf "$demo"
mkdir -p "$demo/config" "$demo/data/maps" "$demo/docs"
: > "$demo/.tarnwick-demo"
export TARNWICK_CONFIG_DIR=$demo/config TARNWICK_DATA_DIR=$demo/data XDG_DOCUMENTS_DIR=$demo/docs
# The diagnostic log: the screenshot waits for the window through it.
: > "$demo/docs/Tarnwick.log"

sim_pid=""
stop_sim() {
  if [[ -n $sim_pid ]]; then
    kill -TERM "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
  fi
}
trap stop_sim EXIT
"$bin/tarnwick-sim" --port 0 > "$demo/sim.out" 2> "$demo/sim.err" &
sim_pid=$!
port=""
for _ in $(seq 100); do
  port=$(sed -n 's/^listening on \([0-9]*\)$/\1/p' "$demo/sim.out")
  [[ -n $port ]] && break
  kill -0 "$sim_pid" 2>/dev/null || break
  sleep 0.1
done
[[ -n $port ]] || { echo "demo: tarnwick-sim did not start:" >&2; cat "$demo/sim.err" >&2; exit 1; }
echo "demo: the simulator serves map tiles on 127.0.0.1:$port"

# 300 caches within 2.5 km of the square of Český Krumlov, and a walk
# through 40 of them at a brisk 2 m/s, one fix a second.
centre=48.8108,14.3152
"$bin/make_pocket_query" 300 "$demo/demo-pq.gpx" --centre "$centre" --radius 2.5
"$bin/make_nmea_walk" "$demo/demo-pq.gpx" "$demo/walk.nmea" --speed 2 --stops 40
# A vector map of a few km around the square, made up: the program lists it
# as a map source of its own, named after the file.
"$bin/tarnwick-demomap" "$demo/data/maps/demo.map" "${centre%,*}" "${centre#*,}" > /dev/null

cat > "$demo/data/maps/demo-map-config.xml" <<XML
<?xml version="1.0" encoding="UTF-8"?>
<Tarnwick>
  <MapSource>
    <type>Google</type>
    <name>Simulator tiles</name>
    <storage>database</storage>
    <requestHeader>User-Agent: Tarnwick demo</requestHeader>
    <MapType mode="basic">
      <name>Grid</name>
      <file>demo-grid</file>
      <url>http://127.0.0.1:$port/tiles/{z}/{x}/{y}.png</url>
      <defaultZoom>18</defaultZoom>
      <minZoom>1</minZoom>
      <maxZoom>19</maxZoom>
    </MapType>
  </MapSource>
</Tarnwick>
XML
# The installation's own map configuration holds the sources before the
# simulator's; the map files found in the map folder come after it: the demo
# opens on the vector map, and the Map menu switches to the simulator's tiles.
sources=$(grep -c '<MapSource>' "$bin/map-config.xml")
micro() { awk -v d="$1" 'BEGIN { printf "%d", d * 1000000 }'; }
cat > "$demo/config/Tarnwick.ini" <<INI
[Options]
Language = en
Nickname = demo
HomeLat = $(micro "${centre%,*}")
HomeLon = $(micro "${centre#*,}")
MapFolder = $demo/data/maps
MapSource = $((sources + 1))
MapType = 0
MovingMap = 1
DnlOnline = 1
GpsPortS = replay:$demo/walk.nmea
GpsBaud = 4800
GpsAutoStart = 1
SaveTrackLog = 1
INI

cp "$bin/emptydb.db3" "$demo/data/cachedb.db3"
"$bin/tarnwick" i "$demo/demo-pq.gpx"

if [[ -z $shot ]]; then
  echo "demo: opening the window; close it to end the demo"
  status=0
  "$bin/tarnwick" --map || status=$?
  exit $status
fi

# A virtual display of the window's size; the picture once the walk has
# gone on for a while.
mkdir -p "$(dirname "$shot")"
unset WAYLAND_DISPLAY QT_QPA_PLATFORM
xvfb-run -a -s "-screen 0 480x800x24" bash -c '
  bin=$1 log=$2 after=$3 shot=$4
  "$bin/tarnwick" --map & pid=$!
  opened=""
  for _ in $(seq 600); do
    grep -q "Main window open" "$log" && { opened=1; break; }
    kill -0 $pid 2>/dev/null || break
    sleep 0.1
  done
  status=0
  if [[ -n $opened ]]; then
    sleep "$after"
    "$bin/grab_screen" "$shot" || status=1
  else
    echo "demo: the window did not open" >&2
    status=1
  fi
  kill -TERM $pid 2>/dev/null
  wait $pid || status=1
  exit $status' demo "$bin" "$demo/docs/Tarnwick.log" "$after" "$shot"
echo "demo: saved $shot"

#!/usr/bin/env bash
# Installs the Debian package on a clean Debian 12 and runs it there: a
# minimal bookworm made by debootstrap, the package installed into it with
# apt-get (its dependencies alone, no recommended packages), then, as an
# ordinary user of that system, the batch words tdel, i and e, and the window
# on a virtual display with the imported caches in its list. Prints a PASS or
# FAIL line for each step; the exit status is 0 only when all passed.
#
#   scripts/install-check.sh [PACKAGE.deb] [--screenshot FILE]
#
# Without PACKAGE.deb it builds build-package/tarnwick_*.deb first
# (scripts/package.sh). --screenshot keeps the picture of the window.
# Needs root (debootstrap, chroot, mounts) and the network to a Debian mirror
# (the host's own, from its apt sources). The clean base system is made once
# into TARNWICK_CHROOT_CACHE (default build-package/chroot-base) and copied
# for every check, so every check starts from the same clean system; the
# downloaded packages are kept there too.
set -euo pipefail
here=$(realpath "$(dirname "$0")/..")
if [[ $(id -u) -ne 0 ]]; then
  exec sudo --preserve-env=TARNWICK_CHROOT_CACHE,CI bash "$here/scripts/install-check.sh" "$@"
fi

deb=""
shot=""
while (($#)); do
  case $1 in
    --screenshot) shot=$(realpath -m "${2:?--screenshot needs a file name}"); shift 2 ;;
    -h|--help) sed -n '2,17s/^# \{0,1\}//p' "$0"; exit 0 ;;
    -*) echo "install-check: unknown option $1 (see --help)" >&2; exit 2 ;;
    *) deb=$(realpath "$1"); shift ;;
  esac
done
cd "$here"

started=$SECONDS
step=$SECONDS
pass() { echo "install-check: PASS: $* ($((SECONDS - step)) s)"; step=$SECONDS; }
fail() { echo "install-check: FAIL: $*" >&2; exit 1; }

bash scripts/setup.sh
if [[ -z $deb ]]; then
  bash scripts/package.sh >/dev/null
  deb=$(ls "$here"/build-package/tarnwick_*.deb)
fi
[[ -f $deb ]] || fail "there is no package $deb"

# The mirrors the host itself uses for bookworm and its security updates.
apt_sources() {
  cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null |
    awk '$1 == "deb" { i = 2; if ($2 ~ /^\[/) while ($i !~ /\]$/) i++; if ($2 ~ /^\[/) i++; print $i, $(i + 1) }'
  awk 'tolower($1) == "uris:" { u = $2 } tolower($1) == "suites:" { for (i = 2; i <= NF; i++) print u, $i }' \
    /etc/apt/sources.list.d/*.sources 2>/dev/null
}
mirror=$(apt_sources | awk '$2 == "bookworm" { print $1; exit }')
security=$(apt_sources | awk '$2 == "bookworm-security" { print $1; exit }')
mirror=${mirror:-http://deb.debian.org/debian}
security=${security:-http://deb.debian.org/debian-security}

cache=$(realpath -m "${TARNWICK_CHROOT_CACHE:-$here/build-package/chroot-base}")
base=$cache/bookworm
run=$cache/run
mkdir -p "$cache/archives/partial"

# Nothing may be mounted below a folder that is about to be removed.
mounted_below() { findmnt -rn -o TARGET | grep -q "^$1\(/\|$\)"; }

if [[ ! -d $base ]]; then
  mounted_below "$base.part" && fail "something is still mounted below $base.part"
  rm -rf "$base.part"
  echo "install-check: making a minimal Debian 12 from $mirror (once)"
  debootstrap --variant=minbase bookworm "$base.part" "$mirror" >"$cache/debootstrap.log" 2>&1 ||
    { tail -n 20 "$cache/debootstrap.log" >&2; fail "debootstrap did not make the base system"; }
  cat >"$base.part/etc/apt/sources.list" <<EOF
deb $mirror bookworm main
deb $mirror bookworm-updates main
deb $security bookworm-security main
EOF
  # Packages installed in the chroot start no services.
  printf '#!/bin/sh\nexit 101\n' >"$base.part/usr/sbin/policy-rc.d"
  chmod 755 "$base.part/usr/sbin/policy-rc.d"
  mv "$base.part" "$base"
  pass "debootstrap made a minimal Debian 12 in $base"
fi

xvfb_pid=""
app_pid=""
mounts=()
cleanup() {
  local status=$?
  [[ -z $app_pid ]] || { kill -KILL "$app_pid" 2>/dev/null; wait "$app_pid" 2>/dev/null; }
  [[ -z $xvfb_pid ]] || { kill -TERM "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null; }
  for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do
    umount "${mounts[i]}" 2>/dev/null || umount -l "${mounts[i]}" || true
  done
  if mounted_below "$run"; then
    echo "install-check: FAIL: something is still mounted below $run" >&2
    status=1
  elif ((status == 0)); then
    rm -rf "$run"
  else
    echo "install-check: the system of the failed check is kept in $run" >&2
  fi
  [[ -z ${fb:-} ]] || rm -rf "$fb"
  ((status == 0)) && echo "install-check: all passed in $((SECONDS - started)) s" || status=1
  exit $status
}
trap cleanup EXIT
mount_in() { mount "$@"; mounts+=("${*: -1}"); }

mounted_below "$run" && fail "something is still mounted below $run"
rm -rf "$run"
cp -a "$base" "$run"
cp /etc/resolv.conf "$run/etc/resolv.conf"
mount_in -t proc proc "$run/proc"
mount_in -t devpts -o newinstance,ptmxmode=0666 devpts "$run/dev/pts"
mount_in -t tmpfs -o mode=1777 tmpfs "$run/dev/shm"
mount_in --bind "$cache/archives" "$run/var/cache/apt/archives"
[[ -d /tmp/.X11-unix ]] || install -d -m 1777 /tmp/.X11-unix
mkdir -p "$run/tmp/.X11-unix"
# The host's virtual display serves the window; the chroot holds only the
# package and what it depends on.
mount_in -o bind,ro /tmp/.X11-unix "$run/tmp/.X11-unix"

# ---- the package and its dependencies from the archive
cp "$deb" "$run/tmp/"
log=$cache/apt.log
if ! chroot "$run" bash -c 'apt-get update -q && DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends /tmp/*.deb' >"$log" 2>&1; then
  tail -n 30 "$log" >&2
  fail "apt-get could not install $(basename "$deb")"
fi
[[ -x $run/usr/bin/tarnwick ]] || fail "the package installed no /usr/bin/tarnwick"
pass "apt-get installed $(basename "$deb") with $(sed -n 's/.* \([0-9]*\) newly installed.*/\1/p' "$log") packages"

# ---- batch words, as an ordinary user
chroot "$run" useradd -m -s /bin/bash walker
uid=$(chroot "$run" id -u walker)
home=$run/home/walker
as_walker=(chroot --userspec="$uid:$uid" "$run" env -i HOME=/home/walker USER=walker LOGNAME=walker
           PATH=/usr/bin:/bin LANG=C.UTF-8 XDG_RUNTIME_DIR=/tmp/runtime-walker)
mkdir -p -m 700 "$run/tmp/runtime-walker"
chown "$uid:$uid" "$run/tmp/runtime-walker"

out=$("${as_walker[@]}" /usr/bin/tarnwick tdel 2>&1) || { echo "$out"; fail "tarnwick tdel ended with an error"; }
[[ -f $home/.local/share/Tarnwick/cachedb.db3 ]] || { echo "$out"; fail "tarnwick tdel made no cache database"; }
pass "tarnwick tdel made the cache database from the installed template"

# A pocket query of 24 caches around Olomouc, on a grid 300 m apart.
caches=24
awk -v n=$caches 'BEGIN {
  types[0] = "Traditional Cache"; types[1] = "Multi-cache"; types[2] = "Unknown Cache"
  print "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
  print "<gpx xmlns=\"http://www.topografix.com/GPX/1/0\" version=\"1.0\" creator=\"install-check\">"
  for (i = 0; i < n; i++) {
    lat = 49.5938 + (int(i / 6) - 2) * 0.0027; lon = 17.2509 + (i % 6 - 3) * 0.0041; t = types[i % 3]
    printf "<wpt lat=\"%.6f\" lon=\"%.6f\"><time>2015-05-%02dT00:00:00Z</time><name>GC7%03d</name>", lat, lon, i % 28 + 1, i
    printf "<sym>Geocache</sym><type>Geocache|%s</type>\n", t
    printf "<groundspeak:cache id=\"%d\" available=\"True\" archived=\"False\" xmlns:groundspeak=\"http://www.groundspeak.com/cache/1/0/1\">", 700000 + i
    printf "<groundspeak:name>Hanácká cesta %d</groundspeak:name><groundspeak:placed_by>owner</groundspeak:placed_by>", i + 1
    printf "<groundspeak:owner id=\"5\">owner</groundspeak:owner><groundspeak:type>%s</groundspeak:type>", t
    printf "<groundspeak:container>Small</groundspeak:container><groundspeak:difficulty>%.1f</groundspeak:difficulty>", 1 + i % 5
    printf "<groundspeak:terrain>%.1f</groundspeak:terrain><groundspeak:long_description html=\"False\">", 1.5 + i % 4
    printf "A walk through the town.</groundspeak:long_description><groundspeak:encoded_hints>under the bench</groundspeak:encoded_hints>"
    print "</groundspeak:cache></wpt>"
  }
  print "</gpx>"
}' >"$home/olomouc.gpx"
chown "$uid:$uid" "$home/olomouc.gpx"
out=$("${as_walker[@]}" /usr/bin/tarnwick i /home/walker/olomouc.gpx 2>&1) || { echo "$out"; fail "tarnwick i ended with an error"; }
out=$("${as_walker[@]}" /usr/bin/tarnwick e /home/walker/exported.gpx 2>&1) || { echo "$out"; fail "tarnwick e ended with an error"; }
exported=$(grep -o '<groundspeak:cache ' "$home/exported.gpx" 2>/dev/null | wc -l)
((exported == caches)) || { echo "$out"; fail "tarnwick e exported $exported caches after $caches were imported"; }
pass "tarnwick i imported $caches caches and tarnwick e exported them again"

# ---- the window, on a virtual display served from the host
# Settings written beforehand, as a finished first start leaves them; the
# diagnostic log tells when the window is open.
mkdir -p "$home/.config/Tarnwick" "$home/Documents"
printf '[Options]\nLanguage = en\nNickname = walker\nHomeLat = 49593800\nHomeLon = 17250900\n' \
  >"$home/.config/Tarnwick/Tarnwick.ini"
: >"$home/Documents/Tarnwick.log"
chown -R "$uid:$uid" "$home/.config" "$home/Documents"

fb=$(mktemp -d)
Xvfb -displayfd 3 -screen 0 480x800x24 -fbdir "$fb" -nocursor -nolisten tcp 3>"$fb/display" >"$cache/xvfb.log" 2>&1 &
xvfb_pid=$!
display=""
for _ in $(seq 100); do
  display=$(sed -n '1s/^\([0-9]\+\)$/\1/p' "$fb/display")
  [[ -n $display ]] && break
  kill -0 "$xvfb_pid" 2>/dev/null || break
  sleep 0.1
done
[[ -n $display ]] || { cat "$cache/xvfb.log" >&2; fail "the virtual display did not start"; }

"${as_walker[@]}" DISPLAY=":$display" QT_QPA_PLATFORM=xcb /usr/bin/tarnwick >"$cache/window.log" 2>&1 &
app_pid=$!
opened=""
for _ in $(seq 600); do
  grep -q "Main window open" "$home/Documents/Tarnwick.log" && { opened=1; break; }
  kill -0 "$app_pid" 2>/dev/null || break
  sleep 0.1
done
[[ -n $opened ]] || { cat "$cache/window.log" "$home/Documents/Tarnwick.log" >&2; fail "the installed window did not open"; }
grep -q "END: CGlobalData::readCaches" "$home/Documents/Tarnwick.log" ||
  { cat "$home/Documents/Tarnwick.log" >&2; fail "the window read no cache list"; }

# The screen once it holds a drawn window and has stopped changing.
picture=$cache/installed-window.png
verdict=$(python3 - "$fb/Xvfb_screen0" "$picture" <<'PY'
import struct, sys, time, zlib
from collections import Counter

def read(path):
    data = open(path, "rb").read()
    h = struct.unpack(">25I", data[:100])
    size, width, height, order, bpp, line, ncolours = h[0], h[4], h[5], h[7], h[11], h[12], h[19]
    if bpp != 32:
        sys.exit("unexpected framebuffer of %d bits a pixel" % bpp)
    start = size + 12 * ncolours
    return width, height, order, [data[start + y * line:start + y * line + 4 * width] for y in range(height)]

deadline = time.monotonic() + 30
last = None
while True:
    width, height, order, rows = read(sys.argv[1])
    pixels = Counter()
    for row in rows:
        pixels.update(memoryview(row).cast("I"))
    background = pixels.most_common(1)[0][1] / (width * height)
    drawn = len(pixels) >= 16 and background < 0.95
    if drawn and rows == last or time.monotonic() > deadline:
        break
    last = rows
    time.sleep(0.5)

def chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

raw = bytearray()
# 24-bit pixels in 32 bits: B G R x with the least significant byte first, else x R G B.
r, g, b = (2, 1, 0) if order == 0 else (1, 2, 3)
for row in rows:
    rgb = bytearray(3 * width)
    rgb[0::3], rgb[1::3], rgb[2::3] = row[r::4], row[g::4], row[b::4]
    raw += b"\0" + rgb
with open(sys.argv[2], "wb") as out:
    out.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)) +
              chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))
print("%s %d %.0f" % ("drawn" if drawn else "blank", len(pixels), 100 * background))
PY
) || fail "the screen could not be read"
read -r state colours share <<<"$verdict"
[[ $state == drawn ]] || fail "the screen stayed blank ($colours colours, $share % one colour)"
[[ -z $shot ]] || { mkdir -p "$(dirname "$shot")"; cp "$picture" "$shot"; }
pass "the installed window shows its list: $colours colours on the screen${shot:+, saved to $shot}"

kill -TERM "$app_pid"
status=0
wait "$app_pid" || status=$?
app_pid=""
((status == 0)) || { cat "$cache/window.log" >&2; fail "the window ended with status $status on SIGTERM"; }
grep -q "Tarnwick EXIT" "$home/Documents/Tarnwick.log" || fail "the window did not shut down in order"
pass "the window ended in order on SIGTERM"

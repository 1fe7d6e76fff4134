#!/usr/bin/env bash
# The batch word pdf: the sheet of one cache or of every listed cache, read
# back with pdftotext; an unknown code, an unwritable file or missing words
# end the run with a failure, a reason, and no file.
set -eu
exe=$1
command -v pdftotext >/dev/null || { echo "pdftotext is missing (scripts/setup.sh installs poppler-utils)" >&2; exit 1; }
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
mkdir -p "$dir/docs"
cat >"$dir/pq.gpx" <<'GPX'
<?xml version="1.0" encoding="utf-8"?>
<gpx version="1.0" xmlns="http://www.topografix.com/GPX/1/0" xmlns:groundspeak="http://www.groundspeak.com/cache/1/0/1">
  <wpt lat="49.19500" lon="16.60800">
    <name>GC9PDF1</name>
    <type>Geocache|Traditional Cache</type>
    <groundspeak:cache id="1" available="True" archived="False">
      <groundspeak:name>Studánka pod Špilberkem</groundspeak:name>
      <groundspeak:placed_by>Jiří</groundspeak:placed_by>
      <groundspeak:type>Traditional Cache</groundspeak:type>
      <groundspeak:container>Small</groundspeak:container>
      <groundspeak:difficulty>1.5</groundspeak:difficulty>
      <groundspeak:terrain>2</groundspeak:terrain>
      <groundspeak:short_description html="True">&lt;p&gt;Malá &lt;b&gt;procházka&lt;/b&gt; k prameni&lt;/p&gt;</groundspeak:short_description>
      <groundspeak:long_description html="True">&lt;p&gt;Voda teče i v zimě &amp;amp; v létě.&lt;/p&gt;</groundspeak:long_description>
      <groundspeak:encoded_hints>pod kamenem</groundspeak:encoded_hints>
    </groundspeak:cache>
  </wpt>
  <wpt lat="49.19600" lon="16.61000">
    <name>GC9PDF2</name>
    <type>Geocache|Multi-cache</type>
    <groundspeak:cache id="2" available="True" archived="False">
      <groundspeak:name>Second Spring</groundspeak:name>
      <groundspeak:placed_by>Eva</groundspeak:placed_by>
      <groundspeak:type>Multi-cache</groundspeak:type>
      <groundspeak:container>Regular</groundspeak:container>
      <groundspeak:difficulty>3</groundspeak:difficulty>
      <groundspeak:terrain>3</groundspeak:terrain>
      <groundspeak:long_description html="False">Plain words.</groundspeak:long_description>
    </groundspeak:cache>
  </wpt>
</gpx>
GPX
run() { # ARGS... -> the exit code; what it said goes to $dir/said
  set +e
  env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM \
    TARNWICK_CONFIG_DIR="$dir/config" TARNWICK_DATA_DIR="$dir/data" XDG_DOCUMENTS_DIR="$dir/docs" \
    timeout 60 "$exe" "$@" 2>"$dir/said" </dev/null
  local rc=$?
  set -e
  return $rc
}
run i "$dir/pq.gpx" || { cat "$dir/said" >&2; exit 1; }

# One cache, its code given in any case.
run pdf gc9pdf1 "$dir/one.pdf" || { cat "$dir/said" >&2; exit 1; }
pdftotext "$dir/one.pdf" "$dir/one.txt"
grep -q 'GC9PDF1' "$dir/one.txt"
grep -q 'Studánka pod Špilberkem' "$dir/one.txt"
grep -q 'Voda teče i v zimě & v létě.' "$dir/one.txt"
grep -q 'pod kamenem' "$dir/one.txt"
grep -q 'cbq xnzrarz' "$dir/one.txt"
! grep -q 'Second Spring' "$dir/one.txt"
! grep -q '<b>' "$dir/one.txt"

# Every cache of the filter, each on its own page.
run pdf all "$dir/all.pdf" || { cat "$dir/said" >&2; exit 1; }
pdftotext "$dir/all.pdf" "$dir/all.txt"
grep -q 'Studánka pod Špilberkem' "$dir/all.txt"
grep -q 'Second Spring' "$dir/all.txt"
[[ $(pdfinfo "$dir/all.pdf" | awk '/^Pages:/ {print $2}') -ge 2 ]]

# Failures: the reason on stderr, exit code 1, no file.
if run pdf GC0NONE "$dir/none.pdf"; then exit 1; fi
grep -q 'GC0NONE' "$dir/said"
[[ ! -e "$dir/none.pdf" ]]
if run pdf GC9PDF1 "$dir/no/such/folder/x.pdf"; then exit 1; fi
grep -q 'no/such/folder/x.pdf' "$dir/said"
[[ ! -e "$dir/no" ]]
if run pdf GC9PDF1; then exit 1; fi
grep -q 'pdf GC12345' "$dir/said"
# An existing file is replaced only by a whole one.
echo old >"$dir/kept.pdf"
if run pdf GC0NONE "$dir/kept.pdf"; then exit 1; fi
[[ $(cat "$dir/kept.pdf") == old ]]
# Nor is a temporary file left beside it.
[[ -z $(find "$dir" -maxdepth 1 -name '*.pdf.*') ]]
echo "sheet batch word: fine"

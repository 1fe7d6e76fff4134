#!/usr/bin/env bash
# The build holds the layers: with a folder's include path, a header of every
# folder its rule forbids is not found, and one of every folder it may use is.
# Usage: layer_includes.sh COMPILER SOURCE_DIR BUILD_DIR
# The compiler speaks English here (the tests run under other locales too).
set -euo pipefail
cxx=$1 src=$2 build=$3
core=(platform xml geo db filter exchange gps maps online app)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
checked=0
for folder in "${core[@]}"; do
  forbidden=$(sed -n "s/^$folder: *\([^#]*\).*/\1/p" "$src/layers.txt")
  for other in "${core[@]}"; do
    header=$(cd "$src" && ls "$other"/*.h | head -n 1)
    printf '#include "%s"\n' "$header" >"$work/probe.cpp"
    if LC_ALL=C "$cxx" -std=c++20 -E -I "$build/layers/$folder" -I "$build/generated" "$work/probe.cpp" >/dev/null 2>"$work/err"; then
      found=yes
    else
      found=no
    fi
    if [[ " $forbidden " == *" $other "* ]]; then
      if [[ $found == yes ]]; then
        echo "$folder/ reaches $header, which its rule forbids"
        failures=$((failures + 1))
      elif ! grep -q "No such file" "$work/err"; then
        echo "$folder/: $header failed for another reason:"; cat "$work/err"
        failures=$((failures + 1))
      fi
    elif [[ $found == no ]]; then
      echo "$folder/ may include $header, but it is not found:"; cat "$work/err"
      failures=$((failures + 1))
    fi
    checked=$((checked + 1))
  done
done
echo "$checked includes checked, $failures wrong"
((failures == 0))

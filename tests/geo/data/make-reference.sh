#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Regenerates the reference tables of the geo tests with GeographicLib's
# command-line tools (Debian package geographiclib-tools), which serve as an
# independent oracle: exact ellipsoidal geodesics and the exact transverse
# Mercator projection. The points come from a fixed MINSTD sequence, so the
# same tool version writes the same tables.
#   sh tests/geo/data/make-reference.sh tests/geo/data
set -eu
out=${1:-.}
version=$(GeodSolve --version 2>&1 | head -n 1)

points() { # $1 = seed, $2 = count; writes "u1 u2 u3 u4" uniform in [0, 1)
    awk -v seed="$1" -v n="$2" 'BEGIN {
        x = seed
        for (i = 0; i < n; ++i) {
            line = ""
            for (k = 0; k < 4; ++k) { x = (x * 48271) % 2147483647; line = line " " x / 2147483647 }
            print line
        }
    }'
}

# Geodesics: start point within ±80°, any azimuth, lengths log-uniform from
# 10 m to 10,000 km; GeodSolve -D gives the end point of each.
{
    echo "# lat1 lon1 lat2 lon2 distanceKm azimuth1Deg -- WGS-84 geodesics by GeodSolve ($version)"
    points 20240601 400 | awk '{ printf "%.9f %.9f %.6f %.9f\n", $1 * 160 - 80, $2 * 360 - 180, $3 * 360, 10 * 10 ^ (6 * $4) }' |
        while read -r lat lon azi s; do
            end=$(echo "$lat $lon $azi $s" | GeodSolve -p 6)
            set -- $end
            echo "$lat $lon $1 $2 $(awk -v s="$s" 'BEGIN { printf "%.9f", s / 1000 }') $azi"
        done
} > "$out/geodesic-wgs84.txt"

# UTM in the standard zone of each point (Norway and Svalbard exceptions
# included), latitudes −80 to 84, and a band of points
# around zone 33 (up to 6° off its central meridian) forced into it.
{
    echo "# lat lon zone hemisphere easting northing -- WGS-84 UTM by GeoConvert ($version)"
    points 19700101 400 | awk '{ printf "%.9f %.9f\n", $1 * 164 - 80, $2 * 360 - 180 }' |
        while read -r lat lon; do
            set -- $(echo "$lat $lon" | GeoConvert -u -p 6)
            zone=${1%[ns]}; hemi=${1#"$zone"}
            echo "$lat $lon $zone $hemi $2 $3"
        done
    points 19891117 40 | awk '{ printf "%.9f %.9f\n", $1 * 12 + 44, $2 * 12 + 9 }' |
        while read -r lat lon; do
            set -- $(echo "$lat $lon" | GeoConvert -u -z 33 -p 6 2>/dev/null || echo x)
            [ "$1" = "33n" ] && echo "$lat $lon 33 n $2 $3 forced"
        done
} > "$out/utm-wgs84.txt"

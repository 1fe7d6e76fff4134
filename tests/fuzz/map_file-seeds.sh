#!/usr/bin/env bash
# Adds the vector maps of the shared corpus (when it is beside the tree) to
# the map_file target's seeds in folder $1; they are not ours to keep here.
set -euo pipefail
corpus="$(dirname "$0")/../../../shared/corpus/mapsforge"
[[ -d $corpus ]] || { echo "map_file: no shared corpus, only the seeds of the tree" >&2; exit 0; }
cp "$corpus/pankow.map" "$1/pankow.map"
for map in "$corpus"/reference/*/output.map; do
  cp "$map" "$1/$(basename "$(dirname "$map")").map"
done

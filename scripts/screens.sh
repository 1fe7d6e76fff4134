#!/usr/bin/env bash
# Sets up and builds the program, then writes one PNG of every screen into
# OUTDIR (480×800) and OUTDIR/wide (1024×768), on a generated sample database.
#   scripts/screens.sh OUTDIR [SCREEN-NAME...]
# TARNWICK_TOUR_LANGUAGE=cs takes the texts of lang.cs instead of lang.en.
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:?usage: scripts/screens.sh OUTDIR [SCREEN-NAME...]}
shift
bash scripts/setup.sh
bash scripts/build.sh >/dev/null
mkdir -p "$out"
QT_QPA_PLATFORM=offscreen build/bin/tarnwick-tour "$(realpath "$out")" "$@"

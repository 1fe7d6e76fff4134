#!/usr/bin/env bash
# Sets up, builds and starts Tarnwick with its shipped defaults (template
# database, language files). Extra arguments go to the program, e.g. a batch
# word: scripts/run.sh tgpx
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
if [[ $# -eq 0 && -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" && -z "${QT_QPA_PLATFORM:-}" ]]; then
  cat >&2 <<'MSG'
There is no display here (DISPLAY and WAYLAND_DISPLAY are unset), so the window cannot open.
Run it on a desktop, or under a virtual one:   xvfb-run -a scripts/run.sh
Without a display Tarnwick runs its batch words, for example:
  scripts/run.sh fn              export the field notes of the last two days
  scripts/run.sh tgpx tkml       export every recorded track as GPX and KML (tplt: PLT)
  scripts/run.sh tdel            delete every recorded track
  scripts/run.sh i FILE.gpx      import a GPX pocket query (or a zipped one)
  scripts/run.sh e FILE.gpx      export the caches of the saved filter to GPX
MSG
  exit 2
fi
exec build/bin/tarnwick "$@"

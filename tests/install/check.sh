#!/bin/sh
# Runs an outside checker on a file the package ships. Where the checker is
# not installed the test is skipped (exit 77) with its reason, and fails
# under CI, where scripts/setup.sh installs it.
#   check.sh PROGRAM ARGUMENT...
# The program "man" is run as a lint: any warning of the formatter fails.
set -eu
tool=$1
shift
if ! command -v "$tool" >/dev/null 2>&1; then
  echo "$tool is not installed (scripts/setup.sh installs it)"
  [ "${CI:-}" = true ] && exit 1
  exit 77
fi
if [ "$tool" = man ]; then
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$@" 2>&1 >/dev/null)
  [ -z "$warnings" ] || { echo "$warnings"; exit 1; }
  exit 0
fi
exec "$tool" "$@"

#!/usr/bin/env bash
# Installs the Debian packages Tarnwick needs to build, run and test.
# Does nothing when everything is already there; runs apt-get update only
# when something must be installed.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config ccache
  libsqlite3-dev sqlite3 zlib1g-dev libsimpleini-dev libicu-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev qt6-svg-dev qt6-multimedia-dev qt6-webengine-dev libssl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth locales
  geographiclib-tools
  libzip-dev libdeflate-dev gpsbabel libxml2-utils python3
  libosmium2-dev libprotozero-dev
  libcurl4-openssl-dev libcpp-httplib-dev libpng-dev libjpeg-dev
  clang libclang-rt-14-dev
  file dpkg-dev desktop-file-utils appstream man-db debootstrap
  # pdftotext reads the printed cache sheets back in the tests; Symbola
  # gives emoji in listings a glyph on paper.
  poppler-utils fonts-symbola
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}" >&2
  sudo=""
  [[ $(id -u) -eq 0 ]] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

#!/usr/bin/env bash
# Installs every Debian package the build and the tests need (FUZZ=1: and
# those of the fuzz targets).
# Idempotent: packages already present are skipped, and the package index is
# updated once, only when something is missing.
set -euo pipefail

packages=(
  # build
  cmake ninja-build g++ pkg-config
  # tests and benchmarks
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  # libraries
  libpugixml-dev libsqlite3-dev libicu-dev libpcre2-dev libcli11-dev
  unixodbc-dev odbc-postgresql
  libsqliteodbc tdsodbc mdbtools-dev libfreexl-dev python3-xlwt
  lua5.4
  # the desktop studio and its windows (tests run them offscreen), fonts
  # metric-compatible with Arial, Times New Roman and Courier New, and the
  # PDF reader that tests use to read printed pages back
  qt6-base-dev libgl-dev fonts-liberation2 poppler-utils
  # the word processor whose reading of saved documents the corpus test compares
  libreoffice-writer-nogui
  # a real database server for the integration tests (started by the tests)
  postgresql
)
# The fuzz targets (scripts/fuzz.sh) are built with clang and libFuzzer.
if [ "${FUZZ:-0}" = 1 ]; then packages+=(clang libclang-rt-14-dev); fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all ${#packages[@]} packages present"
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
if ! $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"; then
  echo "install-deps: could not install: ${missing[*]}" >&2
  exit 1
fi
